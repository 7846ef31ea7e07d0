#pragma once
#include <memory>

#include "tav/qel/ps/InstancePublisher.hpp"

namespace tav::qel::ps {

template <class T>
class Publisher : public virtual InstancePublisher<T> {
public:
    // A publisher bound to the topic instance that sample identifies.
    virtual std::unique_ptr<InstancePublisher<T>> createInstancePublisher(T& sample) = 0;
};

}  // namespace tav::qel::ps
