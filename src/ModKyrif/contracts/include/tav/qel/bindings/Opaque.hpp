#pragma once
// The middleware's quality-of-service lists are Python classes of their own
// (registered by pyqelcpp), never converted from or to Python lists. Include this
// header before <pybind11/stl.h> in every translation unit of every module.
#include <pybind11/pybind11.h>

#include "tav/qel/ps/qos/QoS.hpp"
#include "tav/qel/rr/qos/QoS.hpp"

PYBIND11_MAKE_OPAQUE(tav::qel::ps::qos::QoSList)
PYBIND11_MAKE_OPAQUE(tav::qel::rr::qos::QoSList)
