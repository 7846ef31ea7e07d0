#pragma once
#include <functional>
#include <memory>
#include <string>

#include <boost/thread/future.hpp>

#include "tav/qel/rr/ListenerRegistration.hpp"
#include "tav/qel/rr/detail/Request.hpp"

namespace tav::qel {
class Qel;
}

namespace tav::qel::rr::detail {

// The middleware's side of one client: interface libraries build their typed
// clients on it. Every reply is either the service's text, the service's
// QelException-derived exception (ICD exceptions keep their type), a QelException
// carrying the service's error text, or a TimeoutException after the reply time.
class QEL_API ClientCore {
public:
    virtual ~ClientCore();
    virtual std::shared_ptr<Qel> getQel() const = 0;
    virtual void close() = 0;
    virtual boost::future<void> asyncConnect() = 0;
    virtual ListenerRegistration registerConnectionListener(std::function<void(bool)> listener) = 0;
    // Sends the request; the future completes with the reply or the error.
    virtual boost::future<std::string> call(Request request) = 0;
    // Sends the request and waits for the reply (up to the reply time).
    virtual std::string callSync(Request request) = 0;
};

}  // namespace tav::qel::rr::detail
