// Errors of requests across processes.
#include "RrStatus.hpp"

#include "tav/qel/QelException.hpp"

namespace tav::qel::dds {

RrStatus statusOf(const std::exception_ptr& error, const RrWireType& wire) noexcept {
    RrStatus status;
    try {
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& failure) {
            if (wire.errorToWire(failure, status)) {
                return status;
            }
            if (dynamic_cast<const TimeoutException*>(&failure) != nullptr) {
                status.kind = RrErrorKind::Timeout;
            } else if (dynamic_cast<const ClosedException*>(&failure) != nullptr) {
                status.kind = RrErrorKind::Closed;
            } else {
                status.kind = RrErrorKind::Middleware;
            }
            status.text = failure.what();
        } catch (...) {
            status.kind = RrErrorKind::Middleware;
            status.text = "the service failed with an exception that is not a standard exception";
        }
    } catch (...) {
        // Forming the status failed (out of memory): the caller still hears of a failure.
        status = RrStatus{};
        status.kind = RrErrorKind::Middleware;
    }
    return status;
}

std::exception_ptr errorOf(const RrStatus& status, const RrWireType& wire) {
    switch (status.kind) {
        case RrErrorKind::Timeout:
            return std::make_exception_ptr(TimeoutException(status.text));
        case RrErrorKind::Closed:
            return std::make_exception_ptr(ClosedException(status.text));
        case RrErrorKind::Interface:
            if (auto error = wire.errorFromWire(status)) {
                return error;
            }
            return std::make_exception_ptr(
                QelException("the service failed with an error of type '" + status.type + "': " + status.text));
        default:
            return std::make_exception_ptr(QelException(status.text));
    }
}

}  // namespace tav::qel::dds
