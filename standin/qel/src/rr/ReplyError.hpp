#pragma once
#include <exception>

namespace tav::qel::embedded::reqrep {

// What the client receives for the exception being handled: a QelException (or one
// derived from it, such as an interface's own exception) unchanged, any other
// standard exception as a QelException with its text, anything else as a
// QelException saying so. Call only from a catch block and with no lock of the
// engine held: the text of an interpreter's exception may need that interpreter.
std::exception_ptr replyErrorFromCurrent() noexcept;

}  // namespace tav::qel::embedded::reqrep
