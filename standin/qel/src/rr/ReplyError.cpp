#include "ReplyError.hpp"

#include "tav/qel/QelException.hpp"

namespace tav::qel::embedded::reqrep {

std::exception_ptr replyErrorFromCurrent() noexcept {
    try {
        try {
            throw;
        } catch (const tav::qel::QelException&) {
            return std::current_exception();
        } catch (const std::exception& error) {
            return std::make_exception_ptr(tav::qel::QelException(error.what()));
        } catch (...) {
            return std::make_exception_ptr(
                tav::qel::QelException("the service failed with an exception that is not a standard exception"));
        }
    } catch (...) {
        // Forming the text failed (out of memory, or the text could not be read).
        return std::current_exception();
    }
}

boost::exception_ptr futureErrorOf(std::exception_ptr error) noexcept {
    try {
        throw boost::enable_current_exception(boost::exception_detail::std_exception_ptr_wrapper(std::move(error)));
    } catch (...) {
        return boost::current_exception();
    }
}

}  // namespace tav::qel::embedded::reqrep
