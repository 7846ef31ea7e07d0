#pragma once
// Where a port hands the requests of its bound service: a server of this process,
// or a carrier that sends them to a service in another process.
#include <memory>

namespace tav::qel::embedded::reqrep {

class Call;
struct ServiceBinding;

class RequestSink {
public:
    virtual ~RequestSink() = default;
    // Accepts a binding made for this sink; called by a port under its lock.
    virtual void adopt(const std::shared_ptr<ServiceBinding>& binding) = 0;
    // Takes the call on its way to the service; false when the sink is closed (the
    // port then fails the call). Called by a port under its lock: it must neither
    // complete the call nor take the port's lock.
    virtual bool enqueue(const std::shared_ptr<Call>& call, const std::shared_ptr<ServiceBinding>& binding) = 0;
};

}  // namespace tav::qel::embedded::reqrep
