// Exact conversions between seconds and the wire's nanoseconds.
#include "SourceTime.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "tav/qel/QelException.hpp"

namespace tav::qel::dds {

namespace {

constexpr std::int64_t kSecond = 1000000000;
// 2^32 s in nanoseconds: the first timestamp the wire cannot tell from 0.
constexpr std::int64_t kRange = (std::int64_t{1} << 32) * kSecond;
// The wire's seconds of the last second before 2^32 s are the engine's mark of an
// invalid time, and a sample carrying them is refused by every receiver as
// malformed: timestamps end one second earlier.
constexpr double kLast = 4294967295.0;

using Wide = unsigned __int128;

// A positive finite double as mantissa * 2^-shift, with shift >= 0 for every value
// below 2^53.
struct Binary {
    std::uint64_t mantissa;
    int shift;
};

Binary binary(double value) {
    int exponent = 0;
    const double fraction = std::frexp(value, &exponent);
    return Binary{static_cast<std::uint64_t>(std::ldexp(fraction, 53)), 53 - exponent};
}

// |value * 1e9 - nanoseconds| * 2^scale, exactly, for a scale at least value's shift.
Wide distance(double value, std::int64_t nanoseconds, int scale) {
    const Binary b = binary(value);
    const Wide scaled = (Wide{b.mantissa} * static_cast<Wide>(kSecond)) << (scale - b.shift);
    const Wide target = static_cast<Wide>(nanoseconds) << scale;
    return scaled > target ? scaled - target : target - scaled;
}

}  // namespace

double wireSeconds(std::int64_t nanoseconds) {
    if (nanoseconds < 0) {
        nanoseconds += kRange;
    }
    if (nanoseconds <= 0) {
        return 0.0;
    }
    // The quotient rounded to the 64 bits of a long double, then to a double: the
    // second rounding can differ from rounding the exact quotient only when the first
    // lands exactly halfway between two doubles. Otherwise that is the answer; in
    // that rare case, the nearest of it and its neighbours, compared exactly (ties go
    // to the even mantissa, as a single rounding would).
    const long double quotient = static_cast<long double>(nanoseconds) / 1e9L;
    int exponent = 0;
    const auto bits = static_cast<std::uint64_t>(std::ldexp(std::frexp(quotient, &exponent), 64));
    const double estimate = static_cast<double>(quotient);
    if ((bits & 0x7FF) != 0x400) {
        return estimate;
    }
    double best = estimate;
    const double candidates[] = {std::nextafter(estimate, 0.0), std::nextafter(estimate, INFINITY)};
    for (double candidate : candidates) {
        if (!(candidate > 0.0)) {
            continue;
        }
        const int scale = std::max(binary(best).shift, binary(candidate).shift);
        const Wide a = distance(candidate, nanoseconds, scale);
        const Wide b = distance(best, nanoseconds, scale);
        if (a < b || (a == b && (binary(candidate).mantissa & 1) == 0)) {
            best = candidate;
        }
    }
    return best;
}

std::int64_t wireNanoseconds(double seconds) {
    if (!std::isfinite(seconds) || std::signbit(seconds) || seconds >= kLast) {
        throw QelException("cannot send source timestamp " + std::to_string(seconds) +
                           " s: the wire carries timestamps from 0 to under 2^32 - 1 s (2106-02-07 06:28:15 UTC)");
    }
    std::int64_t nanoseconds = 0;
    const Binary b = binary(seconds);
    // Below 2^-47 s the value rounds to 0 ns (and is then refused as inexact).
    if (seconds > 0.0 && b.shift < 100) {
        // seconds * 1e9 rounded to the nearest integer, exactly.
        const Wide product = Wide{b.mantissa} * static_cast<Wide>(kSecond);
        const Wide half = Wide{1} << (b.shift - 1);
        nanoseconds = static_cast<std::int64_t>((product + half) >> b.shift);
    }
    if (wireSeconds(nanoseconds) != seconds) {
        throw QelException("cannot send source timestamp " + std::to_string(seconds) +
                           " s exactly: the wire carries whole nanoseconds");
    }
    return nanoseconds;
}

}  // namespace tav::qel::dds
