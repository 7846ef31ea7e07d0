#pragma once
// Where clients meet a service: one port for each client endpoint text (server
// endpoint, a slash, service name). It knows the service bound there, keeps the
// requests and connects that wait for a service, and the connection listeners.
// Lock order: a port's mutex may be held while a server's mutex is taken, never the
// other way round.
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ListenerRecord.hpp"
#include "Pending.hpp"
#include "RequestSink.hpp"
#include "ServiceBinding.hpp"

namespace tav::qel::embedded::reqrep {

class Notifier;

class ServicePort {
public:
    ServicePort(std::string endpoint, std::shared_ptr<Notifier> notifier);
    ~ServicePort();
    ServicePort(const ServicePort&) = delete;
    ServicePort& operator=(const ServicePort&) = delete;

    const std::string& endpoint() const noexcept { return endpoint_; }
    bool reachable();

    // Hands the call to the bound service's server, or keeps it until a service is
    // bound. A call whose server is closing fails with ClosedException.
    void submit(const std::shared_ptr<Call>& call);
    // Keeps the wait until a service is bound; false (and not kept) when one is bound.
    bool awaitService(const std::shared_ptr<ConnectWait>& wait);
    // Forgets a pending operation that completed while it was kept here.
    void unlink(Pending& pending);

    // Adds the listener; it hears true soon when the service is already reachable.
    void addListener(const std::shared_ptr<ListenerRecord>& listener);
    void removeListener(const std::shared_ptr<ListenerRecord>& listener);

    // Binds a service of server (a server of this process or a carrier to another
    // process); the server accepts it under this port's lock. Fails
    // when a service is already bound here or the server is closed. Requests kept
    // here go to the server, waits for the service complete, listeners hear true.
    void bind(const std::shared_ptr<ServiceBinding>& binding, RequestSink& server);
    // Unbinds binding if it is the one bound; listeners hear false.
    void unbind(const std::shared_ptr<ServiceBinding>& binding);

private:
    void notifyAll(bool reachable);  // under mutex_

    const std::string endpoint_;
    const std::shared_ptr<Notifier> notifier_;
    std::mutex mutex_;
    std::shared_ptr<ServiceBinding> binding_;
    PendingList waitingCalls_;
    PendingList waitingConnects_;
    std::vector<std::shared_ptr<ListenerRecord>> listeners_;
};

}  // namespace tav::qel::embedded::reqrep
