#pragma once
// Conversion of Python durations to std::chrono::milliseconds, used for every timeout
// of the bindings. Include this header instead of <pybind11/chrono.h>, in every
// translation unit of every module, so that all of them agree on the conversion.
#include <pybind11/pybind11.h>

#include <datetime.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>

namespace pybind11::detail {

// A datetime.timedelta becomes its whole number of milliseconds, truncated toward
// zero (exact for every timedelta). A float (or subclass) is taken as seconds,
// times 1000, truncated toward zero and saturated at the limits of the 64-bit
// count; NaN is refused. Anything else, int included, does not convert.
template <>
class type_caster<std::chrono::milliseconds> {
public:
    PYBIND11_TYPE_CASTER(std::chrono::milliseconds, const_name("datetime.timedelta"));

    bool load(handle src, bool /*convert*/) {
        if (!src) {
            return false;
        }
        if (!PyDateTimeAPI) {
            PyDateTime_IMPORT;
            if (!PyDateTimeAPI) {
                throw error_already_set();
            }
        }
        if (PyDelta_Check(src.ptr())) {
            const __int128 days = PyDateTime_DELTA_GET_DAYS(src.ptr());
            const __int128 seconds = PyDateTime_DELTA_GET_SECONDS(src.ptr());
            const __int128 micros = PyDateTime_DELTA_GET_MICROSECONDS(src.ptr());
            const __int128 total = (days * 86400 + seconds) * 1000000 + micros;
            value = std::chrono::milliseconds(static_cast<std::int64_t>(total / 1000));
            return true;
        }
        if (PyFloat_Check(src.ptr())) {
            const double seconds = PyFloat_AS_DOUBLE(src.ptr());
            if (std::isnan(seconds)) {
                return false;
            }
            value = std::chrono::milliseconds(saturatingMilliseconds(seconds));
            return true;
        }
        return false;
    }

    static handle cast(const std::chrono::milliseconds& src, return_value_policy /*policy*/, handle /*parent*/) {
        if (!PyDateTimeAPI) {
            PyDateTime_IMPORT;
            if (!PyDateTimeAPI) {
                throw error_already_set();
            }
        }
        const std::int64_t ms = src.count();
        // timedelta reaches only +-999999999 days: a count beyond that (an infinite
        // timeout saturated above, say) becomes the nearest timedelta instead of a
        // day count that wraps around in the conversion to int.
        constexpr std::int64_t maxDays = 999999999;
        constexpr std::int64_t msPerDay = 86400000;
        if (ms >= (maxDays + 1) * msPerDay) {
            return PyDelta_FromDSU(static_cast<int>(maxDays), 86399, 999999);
        }
        if (ms < -maxDays * msPerDay) {
            return PyDelta_FromDSU(static_cast<int>(-maxDays), 0, 0);
        }
        const std::int64_t days = ms / 86400000;
        const std::int64_t rest = ms % 86400000;
        return PyDelta_FromDSU(static_cast<int>(days), static_cast<int>(rest / 1000),
                               static_cast<int>((rest % 1000) * 1000));
    }

    static std::int64_t saturatingMilliseconds(double seconds) {
        const double ms = std::trunc(seconds * 1000.0);
        constexpr double upper = 9223372036854775807.0;  // rounds to 2**63
        if (ms >= upper) {
            return std::numeric_limits<std::int64_t>::max();
        }
        if (ms <= -upper) {
            return std::numeric_limits<std::int64_t>::min();
        }
        return static_cast<std::int64_t>(ms);
    }
};

}  // namespace pybind11::detail
