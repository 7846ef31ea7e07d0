#pragma once
#include <chrono>
#include <memory>
#include <vector>

namespace tav::qel::ps {

// Keeps the most recent sample of every instance of a topic.
template <class T>
class MrvSubscriber {
public:
    virtual void close() = 0;
    // The latest sample of every instance, waiting up to timeout while there is none.
    virtual std::vector<std::shared_ptr<T>> readMostRecent(const std::chrono::milliseconds& timeout) = 0;
    virtual ~MrvSubscriber() = default;
};

}  // namespace tav::qel::ps
