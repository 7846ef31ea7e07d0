#pragma once
// The engine's side of one service of a server: takes the requests of the clients in
// the domain from the service's request topic, hands each to the service through the
// server of this process (its worker threads, its limit, its close), and writes the
// answer to the reply topic, addressed to the client that asked. Probes (requests
// without command) are answered at once, so that a client knows it is reached.
#include <dds/dds.h>

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <utility>

#include <boost/thread/future.hpp>

#include "../../rr/ClientState.hpp"
#include "../Domain.hpp"
#include "RequestQueue.hpp"
#include "RrEndpoint.hpp"
#include "tav/qel/RrWireType.hpp"

namespace tav::qel::dds {

class ServiceCarrier : public std::enable_shared_from_this<ServiceCarrier> {
public:
    // bridge is a client of the service's port in this process, which every request
    // from the domain goes through.
    ServiceCarrier(std::shared_ptr<Domain> domain, std::shared_ptr<const RrWireType> wire, ServiceTopics topics,
                   std::shared_ptr<embedded::reqrep::ClientState> bridge, std::chrono::milliseconds ackWait);
    ~ServiceCarrier();
    ServiceCarrier(const ServiceCarrier&) = delete;
    ServiceCarrier& operator=(const ServiceCarrier&) = delete;

    // Makes the engine's reader and writer; requests arrive from then on.
    void open();
    // Deletes the reader (waiting for a listener call under way): no request arrives
    // any more. Harmless when repeated.
    void stopReceiving();
    // Waits up to the acknowledgement bound until the clients have the replies
    // written, deletes the writer and closes the bridge. Harmless when repeated.
    void finish();

private:
    static constexpr std::size_t kBatch = 64;

    static void onRequests(dds_entity_t reader, void* self);
    void takeRequests();
    void answer(const RrHeader& header, const std::string& command, boost::future<std::string>& done);
    // Hands the waiting requests to the server, callers in turn (see RequestQueue).
    void dispatch();
    void handOn(const std::shared_ptr<ServiceCarrier>& self, RequestQueue::Entry entry);
    // A caller gave up on its request: it is dropped unless it runs already.
    void cancel(const RrHeader& header);
    // Whether the request was written by the participant of the caller it names.
    bool writtenByItsCaller(dds_entity_t reader, dds_instance_handle_t writer, const RrHeader& header);
    // Writers remembered for that, at most (then forgotten and learnt again).
    static constexpr std::size_t kMostWriters = 4096;
    void write(const RrHeader& header, const std::string& command, const std::string& result, const RrStatus& status);
    // Answers with the error instead of a result.
    void writeError(const RrHeader& header, const std::string& command, std::exception_ptr error);

    const std::shared_ptr<Domain> domain_;
    const std::shared_ptr<const RrWireType> wire_;
    const ServiceTopics topics_;
    const std::shared_ptr<embedded::reqrep::ClientState> bridge_;
    const std::chrono::milliseconds ackWait_;

    // The requests handed to the server and not yet answered, by caller and number,
    // so that a cancellation finds them.
    using RequestKey = std::pair<RrClientId, std::uint64_t>;
    std::mutex inFlightMutex_;
    std::map<RequestKey, std::weak_ptr<embedded::reqrep::Call>> inFlight_;

    RequestQueue queue_;
    std::atomic<bool> stopped_{false};  // no more requests are handed on
    std::mutex writersMutex_;
    std::unordered_map<dds_instance_handle_t, RrClientId> writerParticipants_;
    std::size_t misaddressed_ = 0;  // writersMutex_

    std::mutex readerMutex_;
    std::atomic<dds_entity_t> reader_{0};
    // Writes hold it shared; finishing holds it exclusively.
    std::shared_mutex writerLifetime_;
    dds_entity_t writer_ = 0;
};

}  // namespace tav::qel::dds
