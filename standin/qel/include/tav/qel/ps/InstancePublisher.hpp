#pragma once
#include <chrono>
#include <memory>

#include "tav/qel/ps/DataEntityFactory.hpp"

namespace tav::qel {
class Qel;
}

namespace tav::qel::ps {

// Publishes samples of T on one topic. A full subscriber queue makes publish wait
// up to the timeout and then throw TimeoutException.
template <class T>
class InstancePublisher : public virtual DataEntityFactory<T> {
public:
    virtual std::shared_ptr<Qel> getQel() = 0;
    virtual void publish(const T& sample, const std::chrono::milliseconds& timeout) = 0;
    virtual void publish(double timestamp, const T& sample, const std::chrono::milliseconds& timeout) = 0;
    virtual void close() = 0;
};

}  // namespace tav::qel::ps
