#pragma once
// Request/reply between processes and hosts (scheme dds.rr): the servers and clients
// of the dds middleware. It reuses the embedded request/reply engine whole (client
// states, pending calls, reply timer, connection notifier, servers and their worker
// threads); only the way between a client's port and a service changes: a
// ClientLink carries the requests of this process's clients of one endpoint over
// the engine, and a ServiceCarrier hands the requests from the domain to a service
// of this process.
//
// Properties of a client or server (besides those of the domain, DomainSettings.hpp):
//   "rr.replyTimeMs"    = "5000"  how long a command waits for its reply, and for its
//                                 service to be reached (the ReplyTime QoS wins)
//   "rr.workerThreads"  = "4"     how many requests of one server run at once
//   "dds.ackWaitMs"     = "3000"  how long closing a service waits until its clients
//                                 acknowledged the replies written
#include <memory>
#include <mutex>
#include <string>

#include "tav/qel/Properties.hpp"
#include "tav/qel/Qel.hpp"
#include "tav/qel/rr/Server.hpp"
#include "tav/qel/rr/detail/ClientCore.hpp"
#include "tav/qel/rr/qos/QoS.hpp"

namespace tav::qel::dds {

class RrTransport {
public:
    RrTransport();
    ~RrTransport();
    RrTransport(const RrTransport&) = delete;
    RrTransport& operator=(const RrTransport&) = delete;

    // qel is the owning middleware, handed back by getQel() of the clients.
    std::unique_ptr<rr::detail::ClientCore> makeClient(const std::weak_ptr<Qel>& qel, const std::string& libraryName,
                                                       const std::string& typeName, const std::string& endpoint,
                                                       const rr::qos::QoSList& qos, const Properties& properties);
    std::shared_ptr<rr::Server> makeServer(const std::weak_ptr<Qel>& qel, const std::string& endpoint,
                                           const rr::qos::QoSList& qos, const Properties& properties);
    // Stops taking requests, fails every pending request and wait with
    // ClosedException (the services' callers hear it too), closes every server and
    // client and joins the threads. Later calls fail at once.
    void shutdown();

    struct State;

private:
    std::shared_ptr<State> state();

    std::mutex mutex_;
    bool shutDown_ = false;
    std::shared_ptr<State> state_;  // made on first use: no thread runs before
};

}  // namespace tav::qel::dds
