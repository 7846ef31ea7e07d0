#pragma once
#include <cstdint>

namespace kyrif {

enum StartTriggerTypes : std::int32_t { Signal = 0, AbsTime = 1, Custom = 2, NotUsed = 3 };

}  // namespace kyrif
