#pragma once
// How a request ended, between the exceptions of both processes and the envelope's
// status: middleware errors keep their class (TimeoutException, ClosedException,
// QelException), an interface's own errors travel in the interface's wire form.
#include <exception>

#include "tav/qel/RrWireType.hpp"

namespace tav::qel::dds {

// The status of a failed request. Call with no lock held: the text of an
// interpreter's exception may need that interpreter.
RrStatus statusOf(const std::exception_ptr& error, const RrWireType& wire) noexcept;

// The exception a status stands for (kind other than None).
std::exception_ptr errorOf(const RrStatus& status, const RrWireType& wire);

}  // namespace tav::qel::dds
