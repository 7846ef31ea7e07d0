#pragma once
// What the publish/subscribe engine hands to the typed entities: one received
// sample with its instance event and timestamp, and the type-erased form of an
// event filter.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>

#include "tav/qel/ps/DataEntity.hpp"
#include "tav/qel/ps/InstanceState.hpp"

namespace tav::qel::ps::detail {

// One event as it sits in a subscriber's queue. The sample is the subscriber's own
// copy. An event of an instance that went away (REMOVED) is not alive and carries no
// valid data: its sample holds only the key fields, for filtering by instance.
struct Received {
    std::shared_ptr<DataEntityBase> data;
    InstanceEvent event = InstanceEvent::CREATED;
    double timestamp = 0.0;
    // Position in the subscriber's stream of received samples, counted from 1.
    std::uint64_t sequence = 0;
    bool alive = true;
};

// A filter without its type: the instance is a private copy of the filter's key
// sample, so that later changes to the caller's sample cannot race with a reader.
struct EventSelection {
    std::shared_ptr<const DataEntityBase> instance;
    std::size_t instanceHash = 0;
    InstanceState state = InstanceState::ANY;
    std::set<InstanceEvent> events;

    EventSelection() = default;
    EventSelection(const DataEntityBase* key, InstanceState selectedState, std::set<InstanceEvent> selectedEvents)
        : state(selectedState), events(std::move(selectedEvents)) {
        if (key != nullptr) {
            instanceHash = key->keyHash();
            instance = key->cloneKeyEntity();
        }
    }

    bool matches(const Received& received) const {
        if ((state == InstanceState::ALIVE && !received.alive) ||
            (state == InstanceState::NOT_ALIVE && received.alive)) {
            return false;
        }
        if (!events.empty() && events.count(received.event) == 0) {
            return false;
        }
        if (instance) {
            return received.data && received.data->keyHash() == instanceHash &&
                   received.data->keyEqualsEntity(*instance);
        }
        return true;
    }
};

}  // namespace tav::qel::ps::detail
