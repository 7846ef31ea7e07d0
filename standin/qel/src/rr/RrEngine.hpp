#pragma once
// Request/reply inside the embedded middleware: servers, their worker threads and
// the client cores that typed clients are built on. Owned by the embedded Qel.
#include <memory>
#include <string>

#include "tav/qel/Properties.hpp"
#include "tav/qel/Qel.hpp"
#include "tav/qel/rr/Server.hpp"
#include "tav/qel/rr/detail/ClientCore.hpp"
#include "tav/qel/rr/qos/QoS.hpp"

namespace tav::qel::embedded {

class RrEngine {
public:
    RrEngine();
    ~RrEngine();
    RrEngine(const RrEngine&) = delete;
    RrEngine& operator=(const RrEngine&) = delete;

    // qel is the owning middleware, handed back by getQel() of the entities (held weakly).
    std::shared_ptr<tav::qel::rr::Server> makeServer(const std::weak_ptr<Qel>& qel, const std::string& endpoint,
                                                     const tav::qel::rr::qos::QoSList& qos,
                                                     const Properties& properties);
    std::unique_ptr<tav::qel::rr::detail::ClientCore> makeClient(const std::weak_ptr<Qel>& qel,
                                                                 const std::string& endpoint,
                                                                 const tav::qel::rr::qos::QoSList& qos,
                                                                 const Properties& properties);
    // Fails every pending request and wait with ClosedException, closes every server
    // and client, joins every thread. Later calls fail at once.
    void shutdown();

private:
    struct State;
    std::shared_ptr<State> state_;
};

}  // namespace tav::qel::embedded
