#pragma once
#include <cstdint>

namespace tav::qel::ps {

// Life state of a topic instance; ANY selects every state in a filter.
enum class InstanceState : std::int32_t { ALIVE = 0, NOT_ALIVE = 1, ANY = 2 };

// What happened to a topic instance with a sample.
enum class InstanceEvent : std::int32_t { CREATED = 0, UPDATED = 1, REMOVED = 2 };

}  // namespace tav::qel::ps
