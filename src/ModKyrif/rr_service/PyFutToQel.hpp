#pragma once
#include <memory>
#include <stdexcept>

#include <boost/thread/future.hpp>

#include "tav/qel/bindings/Pybind.hpp"

namespace modkyrif {

// A middleware future that completes with a Python future: a done-callback attached
// to the Python future fulfils a promise with its result converted to T, or stores
// the error (the Python error, a conversion error) in it. The callback owns the
// promise, so a Python future dropped unfinished releases the waiters with
// broken_promise; a second outcome is refused with promise_already_satisfied, which
// reaches whoever called the callback. A Python error is kept as its text only: its
// traceback holds the frames that called the callback, and so the callback and this
// promise, a cycle through native code that the garbage collector cannot break.
// Needs the interpreter lock.
template <class T>
boost::future<T> pyFutToQel(const pybind11::object& future) {
    pybind11::object addDoneCallback = future.attr("add_done_callback");
    auto promise = std::make_shared<boost::promise<T>>();
    pybind11::cpp_function callback([promise](pybind11::object done) {
        try {
            pybind11::object result = done.attr("result")();
            promise->set_value(result.cast<T>());
        } catch (pybind11::error_already_set& error) {
            promise->set_exception(boost::copy_exception(std::runtime_error(error.what())));
        } catch (...) {
            promise->set_exception(boost::current_exception());
        }
    });
    addDoneCallback(callback);
    return promise->get_future();
}

}  // namespace modkyrif
