#pragma once
#include <functional>
#include <memory>

#include <boost/thread/future.hpp>

#include "tav/qel/rr/ListenerRegistration.hpp"
#include "tav/qel/rr/RrEntity.hpp"

namespace tav::qel {
class Qel;
}

namespace tav::qel::rr {

// Entity operations of every request/reply client.
class QEL_API ClientRrEntity : public virtual RrEntity {
public:
    ~ClientRrEntity() override;
    virtual std::shared_ptr<Qel> getQel() const = 0;
    virtual void close() = 0;
    // Completes when the client's service is reachable, or with TimeoutException
    // when it is not within the client's reply time.
    virtual boost::future<void> asyncConnect() = 0;
    // The listener hears true when the service becomes reachable and false when it
    // goes, on a middleware thread; destroying the registration unregisters it.
    virtual ListenerRegistration registerConnectionListener(std::function<void(bool)> listener) = 0;
};

}  // namespace tav::qel::rr
