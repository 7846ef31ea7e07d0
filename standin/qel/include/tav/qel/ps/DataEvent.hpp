#pragma once
#include <memory>

#include "tav/qel/ps/InstanceState.hpp"

namespace tav::qel::ps {

// One received sample with its instance state, instance event and source timestamp.
template <class T>
class DataEvent {
public:
    virtual bool hasValidData() const = 0;
    virtual const std::shared_ptr<T>& getData() const = 0;
    virtual InstanceState getInstanceState() const = 0;
    virtual InstanceEvent getInstanceEvent() const = 0;
    virtual double getSourceTimestamp() const = 0;
    virtual ~DataEvent() = default;
};

}  // namespace tav::qel::ps
