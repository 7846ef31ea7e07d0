#pragma once
// Source timestamps on the wire. The engine carries a timestamp as nanoseconds in a
// 32-bit count of seconds, so times from 2^31 s (2038-01-19) on arrive as negative
// numbers; since a timestamp is never negative here, the receiver reads them as the
// second half of a 2^32 s range, which reaches into the year 2106 (its last second
// is the engine's mark of an invalid time, so timestamps end one second earlier).
#include <cstdint>

namespace tav::qel::dds {

// The nanoseconds a source timestamp in seconds travels as. A QelException unless it
// is finite, from 0 to under 2^32 - 1 s, and arrives as exactly the same number: a value
// finer than a nanosecond (only below about 97 days since the epoch) cannot be
// carried exactly and is refused rather than changed.
std::int64_t wireNanoseconds(double seconds);

// The seconds a receiver delivers for the nanoseconds a writer sent: the number
// nearest to them, with a wrapped (negative) count of seconds read past 2^31 s.
double wireSeconds(std::int64_t nanoseconds);

}  // namespace tav::qel::dds
