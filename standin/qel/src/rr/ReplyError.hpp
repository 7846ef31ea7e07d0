#pragma once
#include <exception>

#include <boost/thread/future.hpp>

namespace tav::qel::embedded::reqrep {

// What the client receives for the exception being handled: a QelException (or one
// derived from it, such as an interface's own exception) unchanged, any other
// standard exception as a QelException with its text, anything else as a
// QelException saying so. Call only from a catch block and with no lock of the
// engine held: the text of an interpreter's exception may need that interpreter.
std::exception_ptr replyErrorFromCurrent() noexcept;

// The error as a Boost future stores it, without losing its type: Boost's own capture
// of a standard exception keeps only its standard base (an interface's exception
// derived from QelException would arrive as a bare std::runtime_error), so the
// exception_ptr travels inside Boost's wrapper and is rethrown as itself by get().
boost::exception_ptr futureErrorOf(std::exception_ptr error) noexcept;

}  // namespace tav::qel::embedded::reqrep
