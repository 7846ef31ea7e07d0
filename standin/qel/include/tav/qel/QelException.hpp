#pragma once
#include <stdexcept>
#include <string>

#include "tav/qel/Export.hpp"

namespace tav::qel {

// Base of every exception the middleware throws: a standard runtime error.
class QEL_API QelException : public std::runtime_error {
public:
    explicit QelException(const std::string& what);
    explicit QelException(const char* what);
    ~QelException() override;
};

// Thrown whenever an operation gives up after its timeout.
class QEL_API TimeoutException : public QelException {
public:
    using QelException::QelException;
    ~TimeoutException() override;
};

// Thrown by every operation on an entity after it was closed, and by every
// operation once the middleware has shut down.
class QEL_API ClosedException : public QelException {
public:
    using QelException::QelException;
    ~ClosedException() override;
};

}  // namespace tav::qel
