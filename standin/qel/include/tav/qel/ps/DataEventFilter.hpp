#pragma once
#include <memory>
#include <set>

#include "tav/qel/ps/InstanceState.hpp"

namespace tav::qel::ps {

// Selection applied by reads and subscriptions: one instance (empty: every
// instance), one instance state (ANY: every state) and a set of instance events
// (empty: every event).
template <class T>
class DataEventFilter {
public:
    DataEventFilter() = default;
    DataEventFilter(const DataEventFilter&) = default;
    DataEventFilter(DataEventFilter&&) noexcept = default;
    DataEventFilter& operator=(const DataEventFilter&) = default;
    DataEventFilter& operator=(DataEventFilter&&) noexcept = default;
    virtual ~DataEventFilter() = default;

    void setInstance(const std::shared_ptr<T>& instance) { this->instance = instance; }
    void setInstanceState(InstanceState state) { this->state = state; }
    void setInstanceEvents(const std::set<InstanceEvent>& events) { this->events = events; }
    std::shared_ptr<T> getInstance() const { return instance; }
    InstanceState getInstanceState() const { return state; }
    std::set<InstanceEvent> getInstanceEvents() const { return events; }

    std::shared_ptr<T> instance;
    InstanceState state = InstanceState::ANY;
    std::set<InstanceEvent> events;
};

}  // namespace tav::qel::ps
