#pragma once
#include <stdexcept>
#include <string>
#include <utility>

#include "rr_service/KeptThreadState.hpp"
#include "rr_service/PythonErrorToNative.hpp"
#include "tav/qel/bindings/InterpreterLifetime.hpp"
#include "tav/qel/bindings/Pybind.hpp"

namespace modkyrif {

// The Python object behind a service implementation, called on middleware threads.
// Holds a strong reference, which the server may drop on any of its threads, often
// without the interpreter lock.
class PythonServant {
public:
    // Needs the interpreter lock.
    explicit PythonServant(pybind11::object target) : target_(std::move(target)) {}
    PythonServant(const PythonServant&) = delete;
    PythonServant& operator=(const PythonServant&) = delete;
    ~PythonServant() = default;

    // Takes the interpreter lock, calls target.<command>(args...), and converts the
    // result with convert while the lock is still held. Python errors become native
    // exceptions (throwNativeException); other exceptions, conversion errors of the
    // result included, leave unchanged.
    template <class Convert, class... Args>
    auto call(const char* command, Convert&& convert, const Args&... args) const
        -> decltype(convert(std::declval<pybind11::object>())) {
        if (!tav::qel::bindings::interpreterAlive()) {
            throw std::runtime_error(std::string("cannot run ") + command + ": the Python interpreter is not running");
        }
        // Worker threads serve request after request: each keeps one thread state.
        keepThreadState();
        pybind11::gil_scoped_acquire gil;
        try {
            pybind11::object method = target_.get().attr(command);
            return convert(method(args...));
        } catch (pybind11::error_already_set& error) {
            throwNativeException(error);
        }
    }

private:
    tav::qel::bindings::AnyThreadHeld<pybind11::object> target_;
};

}  // namespace modkyrif
