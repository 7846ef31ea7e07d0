#pragma once
// The way of this process's clients to one service in the domain: the engine's
// request writer and reply reader of one client endpoint, shared by every client of
// that endpoint in this process, and the port those clients send through. Requests
// wait at the port until the link is connected: when the writer has matched the
// service's request reader, the reader has matched its reply writer, and a probe
// sent to the service came back (so the service's writer reaches this reader too).
// The link then binds itself to the port as the service's carrier, and unbinds when
// the service goes (closed, or its process silent for the lease).
#include <dds/dds.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "../../rr/EngineState.hpp"
#include "../../rr/Pending.hpp"
#include "../../rr/RequestSink.hpp"
#include "../../rr/ServicePort.hpp"
#include "../Domain.hpp"
#include "RrEndpoint.hpp"
#include "tav/qel/RrWireType.hpp"

namespace tav::qel::dds {

class ClientLink final : public embedded::reqrep::RequestSink,
                         public embedded::reqrep::Expirable,
                         public std::enable_shared_from_this<ClientLink> {
public:
    // A new link with its engine entities; the port it returns keeps it alive.
    static std::shared_ptr<ClientLink> create(std::shared_ptr<embedded::reqrep::EngineState> engine,
                                              std::shared_ptr<Domain> domain,
                                              std::shared_ptr<const RrWireType> wire, const ServiceTopics& topics);
    ~ClientLink() override;
    ClientLink(const ClientLink&) = delete;
    ClientLink& operator=(const ClientLink&) = delete;

    // The port of the link's clients; it shares the link's lifetime.
    std::shared_ptr<embedded::reqrep::ServicePort> port();

    void adopt(const std::shared_ptr<embedded::reqrep::ServiceBinding>&) override {}
    bool enqueue(const std::shared_ptr<embedded::reqrep::Call>& call,
                 const std::shared_ptr<embedded::reqrep::ServiceBinding>& binding) override;
    // The timer: probes again while matched and not yet connected.
    void expire() override;

private:
    struct Private {};

public:
    ClientLink(Private, std::shared_ptr<embedded::reqrep::EngineState> engine, std::shared_ptr<Domain> domain,
               std::shared_ptr<const RrWireType> wire, const ServiceTopics& topics);

private:
    static constexpr std::size_t kBatch = 64;

    static void onReplies(dds_entity_t reader, void* self);
    static void onPublicationMatched(dds_entity_t writer, const dds_publication_matched_status_t status, void* self);
    static void onSubscriptionMatched(dds_entity_t reader, const dds_subscription_matched_status_t status, void* self);

    void open();
    void matchChanged();
    void takeReplies();
    void connect();
    // replyTimeMs: how long the caller still waits (0: no limit).
    // False when the engine refused the request (its readers lagged too long).
    bool send(std::uint64_t sequence, const tav::qel::rr::detail::Request& request, std::uint32_t replyTimeMs);
    void sendProbe();
    // A call sent under sequence ended without its reply (timeout, close): the
    // service is told to drop the request, unless its reply came meanwhile.
    void abandoned(std::uint64_t sequence);
    void sweep();  // mutex_ held

    const std::shared_ptr<embedded::reqrep::EngineState> engine_;
    const std::shared_ptr<Domain> domain_;
    const std::shared_ptr<const RrWireType> wire_;
    const ServiceTopics topics_;
    embedded::reqrep::ServicePort port_;
    const std::shared_ptr<embedded::reqrep::ServiceBinding> binding_;

    std::atomic<dds_entity_t> writer_{0};
    std::atomic<dds_entity_t> reader_{0};
    RrHeader self_{};  // this link's identity as the caller: the reply reader's GUID

    // Held across a change of connection, so that the port's binding follows the
    // order of the changes; never taken under the port's lock.
    std::mutex stateMutex_;
    bool connected_ = false;
    std::chrono::milliseconds probePause_{0};

    // Held while a request or a cancellation is sent, so that a cancellation never
    // overtakes its request.
    std::mutex sendMutex_;
    std::mutex mutex_;  // may be taken under the port's lock
    std::uint64_t nextSequence_ = 0;
    std::unordered_map<std::uint64_t, std::weak_ptr<embedded::reqrep::Call>> sent_;
    std::size_t sentWatermark_ = 256;
    std::atomic<std::size_t> misanswered_{0};  // replies dropped for naming another command
    // The last write of a request or cancellation found no room within its wait.
    std::atomic<bool> jammed_{false};
};

}  // namespace tav::qel::dds
