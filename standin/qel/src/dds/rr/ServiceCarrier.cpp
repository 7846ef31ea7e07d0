// Serving the requests of the clients in the domain.
#include "ServiceCarrier.hpp"

#include <cstring>
#include <set>
#include <vector>

#include "../EngineLog.hpp"
#include "RrQos.hpp"
#include "RrStatus.hpp"
#include "tav/qel/BlockingHook.hpp"
#include "tav/qel/QelException.hpp"

namespace tav::qel::dds {

namespace {

// Wire structures of the usual sizes are made on the stack.
constexpr std::size_t kStackWire = 512;

}  // namespace

ServiceCarrier::ServiceCarrier(std::shared_ptr<Domain> domain, std::shared_ptr<const RrWireType> wire,
                               ServiceTopics topics, std::shared_ptr<embedded::reqrep::ClientState> bridge,
                               std::chrono::milliseconds ackWait)
    : domain_(std::move(domain)),
      wire_(std::move(wire)),
      topics_(std::move(topics)),
      bridge_(std::move(bridge)),
      ackWait_(ackWait) {}

ServiceCarrier::~ServiceCarrier() {
    stopReceiving();
    finish();
}

void ServiceCarrier::open() {
    const dds_entity_t requestTopic =
        domain_->topic(topics_.request, wire_->requestDescriptor(), typeNameOf(wire_->requestDescriptor()));
    const dds_entity_t replyTopic =
        domain_->topic(topics_.reply, wire_->replyDescriptor(), typeNameOf(wire_->replyDescriptor()));
    Qos writerSettings;
    rrWriterQos(writerSettings);
    writer_ = dds_create_writer(domain_->participant(), replyTopic, writerSettings.get(), nullptr);
    if (writer_ < 0) {
        const dds_return_t rc = writer_;
        writer_ = 0;
        throw QelException("cannot send replies on topic '" + topics_.reply + "': " + engineError(rc));
    }
    Qos readerSettings;
    rrReaderQos(readerSettings);
    dds_listener_t* listener = dds_create_listener(this);
    dds_lset_data_available(listener, &ServiceCarrier::onRequests);
    const dds_entity_t reader = dds_create_reader(domain_->participant(), requestTopic, readerSettings.get(), listener);
    dds_delete_listener(listener);
    if (reader < 0) {
        throw QelException("cannot take requests on topic '" + topics_.request + "': " + engineError(reader));
    }
    reader_.store(reader);
}

void ServiceCarrier::stopReceiving() {
    {
        std::lock_guard<std::mutex> lock(readerMutex_);
        if (const dds_entity_t reader = reader_.exchange(0); reader > 0) {
            runBlocking([&] { dds_delete(reader); });
        }
    }
    // Requests still waiting for their turn end as the server's own queued ones do,
    // and none is handed on any more.
    stopped_.store(true);
    for (RequestQueue::Entry& entry : queue_.drain()) {
        writeError(entry.header, entry.request.command,
                   std::make_exception_ptr(ClosedException("the server was closed before the request ran")));
    }
}

void ServiceCarrier::finish() {
    {
        std::unique_lock<std::shared_mutex> lock(writerLifetime_, std::try_to_lock);
        if (!lock.owns_lock()) {
            runBlocking([&] { lock.lock(); });
        }
        if (writer_ > 0) {
            const dds_entity_t writer = std::exchange(writer_, 0);
            runBlocking([&] {
                dds_wait_for_acks(writer, DDS_MSECS(ackWait_.count()));
                dds_delete(writer);
            });
        }
    }
    bridge_->close();
}

void ServiceCarrier::onRequests(dds_entity_t, void* self) {
    // The carrier outlives its reader: stopReceiving() waits for this call.
    static_cast<ServiceCarrier*>(self)->takeRequests();
}

namespace {
constexpr const char* kGaveUp = "the caller gave up waiting for the reply";
// The longest a request without reply time is kept for the service.
constexpr std::chrono::milliseconds kLongestReplyTime{60000};
}  // namespace

void ServiceCarrier::takeRequests() {
    const dds_entity_t reader = reader_.load();
    if (reader <= 0) {
        return;
    }
    struct Received {
        RrHeader header;
        tav::qel::rr::detail::Request request;
        std::exception_ptr unreadable;
    };
    void* samples[kBatch];
    dds_sample_info_t infos[kBatch];
    std::vector<Received> batch;
    for (;;) {
        samples[0] = nullptr;
        const dds_return_t taken = dds_take(reader, samples, infos, kBatch, kBatch);
        if (taken <= 0) {
            return;
        }
        // Read first, so that a request whose cancellation came in the same batch
        // (its caller gave up while this process was stopped, say) is never queued.
        batch.clear();
        for (dds_return_t i = 0; i < taken; ++i) {
            if (!infos[i].valid_data) {
                continue;
            }
            Received& received = batch.emplace_back();
            try {
                received.request = wire_->requestFromWire(samples[i], received.header);
            } catch (...) {
                received.unreadable = std::current_exception();
            }
            // A caller is named by the GUID of its reply reader, whose first twelve
            // bytes are its participant's: a request written by another participant
            // than the one it names (one process speaking for another) is dropped.
            if (!writtenByItsCaller(reader, infos[i].publication_handle, received.header)) {
                batch.pop_back();
            }
        }
        dds_return_loan(reader, samples, taken);
        std::set<RequestKey> cancelled;
        for (const Received& received : batch) {
            if (!received.unreadable && received.request.command.empty() && received.header.sequence != 0) {
                cancelled.insert(RequestKey{received.header.client, received.header.sequence});
            }
        }
        for (Received& received : batch) {
            const RrHeader& header = received.header;
            if (received.unreadable) {
                // Answered with the reason when at least whom to answer could be
                // read (an argument that is not UTF-8, say).
                if (header.sequence != 0) {
                    writeError(header, std::string(), received.unreadable);
                }
                continue;
            }
            if (received.request.command.empty()) {
                if (header.sequence == 0) {
                    write(header, received.request.command, std::string(), RrStatus{});  // a probe
                } else {
                    cancel(header);
                }
                continue;
            }
            if (cancelled.count(RequestKey{header.client, header.sequence}) != 0) {
                continue;
            }
            RequestQueue::Entry entry;
            entry.header = header;
            entry.arrived = std::chrono::steady_clock::now();
            // What a request holds: its text, and about a kilobyte for a structure.
            entry.bytes = received.request.text.size() + (received.request.entity ? 1024 : 0) + 64;
            entry.request = std::move(received.request);
            const std::string command = entry.request.command;
            if (auto refused = queue_.push(std::move(entry))) {
                writeError(header, command, std::make_exception_ptr(QelException(
                                                "service of topic '" + topics_.request + "' is busy: " + *refused)));
            }
        }
        dispatch();
        if (static_cast<std::size_t>(taken) < kBatch) {
            return;
        }
    }
}

void ServiceCarrier::dispatch() {
    auto self = weak_from_this().lock();
    if (!self || stopped_.load()) {
        return;  // closing: nothing more is handed on
    }
    while (auto entry = queue_.next()) {
        handOn(self, std::move(*entry));
    }
}

void ServiceCarrier::handOn(const std::shared_ptr<ServiceCarrier>& self, RequestQueue::Entry entry) {
    const RrHeader header = entry.header;
    const std::string command = entry.request.command;
    // How long its caller still waits, counted from its arrival; a request without
    // reply time waits at most kLongestReplyTime.
    const auto waitedFor = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                                 entry.arrived);
    const auto allowed = header.replyTimeMs != 0 ? std::chrono::milliseconds(header.replyTimeMs) : kLongestReplyTime;
    if (waitedFor >= allowed) {
        writeError(header, command,
                   std::make_exception_ptr(TimeoutException("request " + command + " waited " +
                                                            std::to_string(waitedFor.count()) +
                                                            " ms for the service, longer than its reply time")));
        queue_.finished(header.client);
        return;
    }
    const RequestKey key{header.client, header.sequence};
    {
        // Noted before it is handed on, so that neither its answer nor its
        // cancellation can come before it is known.
        std::lock_guard<std::mutex> lock(inFlightMutex_);
        inFlight_[key] = {};
    }
    boost::future<std::string> reply;
    std::weak_ptr<embedded::reqrep::Call> call;
    try {
        reply = bridge_->forward(std::move(entry.request), allowed - waitedFor, call);
    } catch (...) {
        {
            std::lock_guard<std::mutex> lock(inFlightMutex_);
            inFlight_.erase(key);
        }
        queue_.finished(header.client);
        writeError(header, command, std::current_exception());
        return;
    }
    bool cancelledMeanwhile = false;
    {
        std::lock_guard<std::mutex> lock(inFlightMutex_);
        auto it = inFlight_.find(key);
        cancelledMeanwhile = it == inFlight_.end();
        if (!cancelledMeanwhile && it->second.expired()) {
            it->second = call;
        }
    }
    if (auto forwarded = call.lock(); forwarded && cancelledMeanwhile) {
        forwarded->fail(std::make_exception_ptr(TimeoutException(kGaveUp)));
    }
    // Answered on the thread that completes the request: a worker thread of the
    // server, or whoever fails it (a close, a cancellation); the caller's next
    // request then takes its turn.
    reply.then(boost::launch::sync, [self, header, command](boost::future<std::string> done) mutable {
        self->answer(header, command, done);
        self->queue_.finished(header.client);
        self->dispatch();
    });
}

bool ServiceCarrier::writtenByItsCaller(dds_entity_t reader, dds_instance_handle_t writer, const RrHeader& header) {
    constexpr std::size_t kPrefix = 12;
    std::lock_guard<std::mutex> lock(writersMutex_);
    auto it = writerParticipants_.find(writer);
    if (it == writerParticipants_.end()) {
        dds_builtintopic_endpoint_t* endpoint = dds_get_matched_publication_data(reader, writer);
        if (endpoint == nullptr) {
            return false;  // a writer no longer matched: nothing can be said of it
        }
        if (writerParticipants_.size() >= kMostWriters) {
            writerParticipants_.clear();
        }
        RrClientId participant{};
        std::memcpy(participant.data(), endpoint->participant_key.v, participant.size());
        dds_builtintopic_free_endpoint(endpoint);
        it = writerParticipants_.emplace(writer, participant).first;
    }
    if (std::memcmp(it->second.data(), header.client.data(), kPrefix) == 0) {
        return true;
    }
    if (++misaddressed_ == 1) {
        EngineLog::post(LogLevel::Warning, kTransportLogger,
                        "service of topic '" + topics_.request +
                            "' dropped a request that a process wrote in the name of another caller; "
                            "later ones are counted, not logged");
    }
    return false;
}

void ServiceCarrier::cancel(const RrHeader& header) {
    if (queue_.remove(header.client, header.sequence)) {
        return;  // still waiting for its turn: it never runs
    }
    std::shared_ptr<embedded::reqrep::Call> call;
    {
        std::lock_guard<std::mutex> lock(inFlightMutex_);
        auto it = inFlight_.find(RequestKey{header.client, header.sequence});
        if (it == inFlight_.end()) {
            return;  // answered already, or never arrived
        }
        call = it->second.lock();
        inFlight_.erase(it);  // also tells a request being queued that it was cancelled
    }
    if (call) {
        // A request a worker runs already is not stopped; one still queued never runs.
        call->fail(std::make_exception_ptr(TimeoutException(kGaveUp)));
    }
}

void ServiceCarrier::answer(const RrHeader& header, const std::string& command, boost::future<std::string>& done) {
    {
        std::lock_guard<std::mutex> lock(inFlightMutex_);
        if (inFlight_.erase(RequestKey{header.client, header.sequence}) == 0) {
            return;  // cancelled: its caller waits no more
        }
    }
    std::string result;
    RrStatus status;
    try {
        result = done.get();
    } catch (...) {
        status = statusOf(std::current_exception(), *wire_);
    }
    write(header, command, result, status);
}

void ServiceCarrier::writeError(const RrHeader& header, const std::string& command, std::exception_ptr error) {
    write(header, command, std::string(), statusOf(error, *wire_));
}

void ServiceCarrier::write(const RrHeader& header, const std::string& command, const std::string& result,
                           const RrStatus& status) {
    alignas(std::max_align_t) unsigned char stack[kStackWire];
    std::vector<std::max_align_t> heap;
    void* wire = stack;
    if (wire_->replySize() > kStackWire) {
        heap.resize(wire_->replySize() / sizeof(std::max_align_t) + 1);
        wire = heap.data();
    }
    wire_->replyToWire(header, command, result, status, wire);
    std::shared_lock<std::shared_mutex> lock(writerLifetime_);
    if (writer_ > 0) {
        // A reply that cannot be sent ends by the caller's reply time. The domain
        // batches writes for publishers; a reply goes out at once.
        if (dds_write(writer_, wire) == DDS_RETCODE_OK) {
            dds_write_flush(writer_);
        }
    }
}

}  // namespace tav::qel::dds
