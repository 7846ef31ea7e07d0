#pragma once
// The one way the project's modules include the binding library: opaque QoS lists
// and the duration conversion are seen by every translation unit before any use.
#include <pybind11/pybind11.h>

#include "tav/qel/bindings/Duration.hpp"
#include "tav/qel/bindings/Opaque.hpp"

#include <pybind11/functional.h>
#include <pybind11/stl.h>
#include <pybind11/stl_bind.h>
