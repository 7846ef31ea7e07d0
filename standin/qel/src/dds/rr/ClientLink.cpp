// Sending requests to a service in the domain and taking its replies.
#include "ClientLink.hpp"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <limits>
#include <mutex>
#include <utility>
#include <vector>

#include "../EngineLog.hpp"
#include "RrQos.hpp"
#include "RrStatus.hpp"
#include "tav/qel/QelException.hpp"

namespace tav::qel::dds {

namespace {

using embedded::reqrep::Call;
using embedded::reqrep::EngineState;
using embedded::reqrep::ServiceBinding;
using embedded::reqrep::ServicePort;

// Set while this thread runs a listener of a link: the engine cannot delete a
// reader or writer from within its own listener, so a link whose last reference
// goes there is deleted on a worker thread instead.
thread_local int inLinkListener = 0;

struct ListenerScope {
    ListenerScope() { ++inLinkListener; }
    ~ListenerScope() { --inLinkListener; }
};

// Set while this thread sends a request. The engine delivers to readers of this
// process on the writing thread, so a service of this process may answer at once
// (a probe, a request it refuses) while the sender still holds the port's lock or
// the link's state: such replies are taken on a worker thread instead.
thread_local int inLinkSend = 0;

struct SendScope {
    SendScope() { ++inLinkSend; }
    ~SendScope() { --inLinkSend; }
};

// Work of a link that must run on a worker thread: taking replies that arrived while
// a sender held the port, sending a cancellation, failing a call.
class LinkJob final : public embedded::PoolJob {
public:
    explicit LinkJob(std::function<void()> work) : work_(std::move(work)) {}
    void runJob() override { work_(); }

private:
    std::function<void()> work_;
};

// Keeps a link, reachable, until the process ends. For a link whose last reference
// went inside one of its own listeners when no worker can delete it any more (the
// middleware has shut down): deleting it there would wait for that very listener
// call, for ever. The middleware's exit work deletes its engine entities with the
// domain.
void keepUntilExit(ClientLink* link) {
    struct Kept {
        std::mutex mutex;
        std::vector<std::unique_ptr<ClientLink>> links;
    };
    static auto* const kept = new Kept();  // never destroyed: used up to the very end
    std::lock_guard<std::mutex> lock(kept->mutex);
    kept->links.emplace_back(link);
}

class Deletion final : public embedded::PoolJob {
public:
    explicit Deletion(ClientLink* link) : link_(link) {}
    // A job the workers dropped unrun (they have stopped) may end inside the link's
    // listener, where the post was refused.
    ~Deletion() override {
        if (link_ != nullptr) {
            keepUntilExit(link_);
        }
    }
    void runJob() override { delete std::exchange(link_, nullptr); }

private:
    ClientLink* link_;
};

struct LinkDeleter {
    std::weak_ptr<EngineState> engine;
    void operator()(ClientLink* link) const {
        if (inLinkListener == 0) {
            delete link;
            return;
        }
        if (auto state = engine.lock()) {
            state->workers.post(std::make_shared<Deletion>(link));
        } else {
            keepUntilExit(link);
        }
    }
};

// The pauses between probes: short at first, as the service usually answers the
// first one, then longer while the service's writer has not yet found this reader.
constexpr std::chrono::milliseconds kFirstProbePause{5};
constexpr std::chrono::milliseconds kLongestProbePause{250};

// Wire structures of the usual sizes are made on the stack.
constexpr std::size_t kStackWire = 512;

class WireBuffer {
public:
    explicit WireBuffer(std::size_t size) {
        if (size > kStackWire) {
            heap_.resize(size / sizeof(std::max_align_t) + 1);
        }
    }
    void* get() { return heap_.empty() ? static_cast<void*>(stack_) : static_cast<void*>(heap_.data()); }

private:
    alignas(std::max_align_t) unsigned char stack_[kStackWire];
    std::vector<std::max_align_t> heap_;
};

}  // namespace

std::shared_ptr<ClientLink> ClientLink::create(std::shared_ptr<EngineState> engine, std::shared_ptr<Domain> domain,
                                               std::shared_ptr<const RrWireType> wire, const ServiceTopics& topics) {
    std::weak_ptr<EngineState> weakEngine = engine;
    std::shared_ptr<ClientLink> link(
        new ClientLink(Private{}, std::move(engine), std::move(domain), std::move(wire), topics),
        LinkDeleter{std::move(weakEngine)});
    link->open();
    return link;
}

ClientLink::ClientLink(Private, std::shared_ptr<EngineState> engine, std::shared_ptr<Domain> domain,
                       std::shared_ptr<const RrWireType> wire, const ServiceTopics& topics)
    : engine_(std::move(engine)),
      domain_(std::move(domain)),
      wire_(std::move(wire)),
      topics_(topics),
      port_(topics.canonical, engine_->notifier),
      binding_(std::make_shared<ServiceBinding>()) {
    binding_->name = topics_.service;
}

ClientLink::~ClientLink() {
    engine_->timer.disarm(*this);
    // Deleting them waits for listener calls under way, which find the link gone.
    if (const dds_entity_t reader = reader_.exchange(0); reader > 0) {
        dds_delete(reader);
    }
    if (const dds_entity_t writer = writer_.exchange(0); writer > 0) {
        dds_delete(writer);
    }
}

std::shared_ptr<ServicePort> ClientLink::port() {
    return std::shared_ptr<ServicePort>(shared_from_this(), &port_);
}

void ClientLink::open() {
    binding_->server = std::weak_ptr<RequestSink>(shared_from_this());
    const dds_entity_t requestTopic = domain_->topic(topics_.request, wire_->requestDescriptor(),
                                                     typeNameOf(wire_->requestDescriptor()));
    const dds_entity_t replyTopic =
        domain_->topic(topics_.reply, wire_->replyDescriptor(), typeNameOf(wire_->replyDescriptor()));

    Qos readerSettings;
    rrReaderQos(readerSettings);
    dds_listener_t* readerListener = dds_create_listener(this);
    dds_lset_data_available(readerListener, &ClientLink::onReplies);
    dds_lset_subscription_matched(readerListener, &ClientLink::onSubscriptionMatched);
    const dds_entity_t reader = dds_create_reader(domain_->participant(), replyTopic, readerSettings.get(),
                                                  readerListener);
    dds_delete_listener(readerListener);
    if (reader < 0) {
        throw QelException("cannot take replies on topic '" + topics_.reply + "': " + engineError(reader));
    }
    reader_.store(reader);
    dds_guid_t guid;
    if (const dds_return_t rc = dds_get_guid(reader, &guid); rc != DDS_RETCODE_OK) {
        throw QelException("cannot identify the reply reader of '" + topics_.service + "': " + engineError(rc));
    }
    static_assert(sizeof(guid.v) == sizeof(RrClientId));
    std::memcpy(self_.client.data(), guid.v, sizeof(guid.v));

    Qos writerSettings;
    rrWriterQos(writerSettings);
    dds_listener_t* writerListener = dds_create_listener(this);
    dds_lset_publication_matched(writerListener, &ClientLink::onPublicationMatched);
    const dds_entity_t writer = dds_create_writer(domain_->participant(), requestTopic, writerSettings.get(),
                                                  writerListener);
    dds_delete_listener(writerListener);
    if (writer < 0) {
        throw QelException("cannot send requests on topic '" + topics_.request + "': " + engineError(writer));
    }
    writer_.store(writer);
    // Matches made before both entities existed are counted now.
    matchChanged();
}

void ClientLink::onReplies(dds_entity_t, void* self) {
    ListenerScope scope;
    auto link = static_cast<ClientLink*>(self)->weak_from_this().lock();
    if (!link) {
        return;
    }
    if (inLinkSend > 0) {
        auto& workers = link->engine_->workers;
        workers.post(std::make_shared<LinkJob>([link = std::move(link)] { link->takeReplies(); }));
        return;
    }
    link->takeReplies();
}

void ClientLink::onPublicationMatched(dds_entity_t, const dds_publication_matched_status_t, void* self) {
    ListenerScope scope;
    if (auto link = static_cast<ClientLink*>(self)->weak_from_this().lock()) {
        link->matchChanged();
    }
}

void ClientLink::onSubscriptionMatched(dds_entity_t, const dds_subscription_matched_status_t, void* self) {
    ListenerScope scope;
    if (auto link = static_cast<ClientLink*>(self)->weak_from_this().lock()) {
        link->matchChanged();
    }
}

void ClientLink::matchChanged() {
    const dds_entity_t writer = writer_.load();
    const dds_entity_t reader = reader_.load();
    if (writer <= 0 || reader <= 0) {
        return;  // still opening: open() counts once both exist
    }
    std::lock_guard<std::mutex> state(stateMutex_);
    dds_publication_matched_status_t requests{};
    dds_subscription_matched_status_t replies{};
    const bool matched = dds_get_publication_matched_status(writer, &requests) == DDS_RETCODE_OK &&
                         dds_get_subscription_matched_status(reader, &replies) == DDS_RETCODE_OK &&
                         requests.current_count > 0 && replies.current_count > 0;
    if (matched && !connected_ && probePause_.count() == 0) {
        // Probing starts; the timer repeats it until a probe comes back.
        probePause_ = kFirstProbePause;
        sendProbe();
        engine_->timer.arm(shared_from_this(), embedded::reqrep::deadlineAfter(probePause_));
    } else if (!matched) {
        probePause_ = std::chrono::milliseconds(0);
        if (connected_) {
            connected_ = false;
            // New requests wait at the port again; those sent end by their reply time.
            port_.unbind(binding_);
        }
    }
}

void ClientLink::expire() {
    std::lock_guard<std::mutex> state(stateMutex_);
    if (connected_ || probePause_.count() == 0) {
        return;
    }
    sendProbe();
    probePause_ = std::min(probePause_ * 2, kLongestProbePause);
    engine_->timer.arm(shared_from_this(), embedded::reqrep::deadlineAfter(probePause_));
}

void ClientLink::connect() {
    std::lock_guard<std::mutex> state(stateMutex_);
    if (connected_ || probePause_.count() == 0) {
        return;  // connected already, or the service went before its answer came
    }
    connected_ = true;
    probePause_ = std::chrono::milliseconds(0);
    engine_->timer.disarm(*this);
    // The requests waiting at the port are sent now; the clients' waits complete
    // and their listeners hear that the service is reachable.
    port_.bind(binding_, *this);
}

void ClientLink::sendProbe() {
    // A probe is a request without command and with sequence number 0.
    tav::qel::rr::detail::Request probe;
    send(0, probe, 0);
}

void ClientLink::sweep() {
    if (sent_.size() < sentWatermark_) {
        return;
    }
    for (auto it = sent_.begin(); it != sent_.end();) {
        auto call = it->second.lock();
        it = !call || call->claimed() ? sent_.erase(it) : std::next(it);
    }
    sentWatermark_ = std::max<std::size_t>(256, sent_.size() * 2);
}

bool ClientLink::enqueue(const std::shared_ptr<Call>& call, const std::shared_ptr<ServiceBinding>&) {
    std::uint64_t sequence = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        sweep();
        sequence = ++nextSequence_;
        sent_.emplace(sequence, call);
    }
    // The service learns how long the caller still waits, as a span rather than a
    // time of day, so that clocks of other hosts do not matter.
    std::uint32_t replyTimeMs = 0;
    if (call->deadline() != embedded::reqrep::Clock::time_point::max()) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(call->deadline() -
                                                                       embedded::reqrep::Clock::now());
        replyTimeMs = static_cast<std::uint32_t>(
            std::clamp<std::int64_t>(left.count(), 1, std::numeric_limits<std::uint32_t>::max()));
    }
    // Set before sending, so that a call that ends from now on has its request
    // cancelled (after it, as both are sent under sendMutex_); one that ended
    // already is not sent at all.
    call->setOnAbandon([link = weak_from_this(), sequence] {
        // Sent by a worker: a write may wait for room in the writer, which neither
        // the caller nor the reply timer may do.
        if (auto self = link.lock()) {
            auto& workers = self->engine_->workers;
            workers.post(std::make_shared<LinkJob>([self = std::move(self), sequence] {
                self->abandoned(sequence);
            }));
        }
    });
    std::lock_guard<std::mutex> sending(sendMutex_);
    if (call->claimed()) {
        return true;
    }
    const bool sent = send(sequence, call->request(), replyTimeMs);
    jammed_.store(!sent);
    if (!sent) {
        // Said at once rather than left to the reply time, which may be unbounded;
        // failed on a worker, since the port's lock is held here.
        {
            std::lock_guard<std::mutex> lock(mutex_);
            sent_.erase(sequence);
        }
        auto refused = std::make_exception_ptr(
            TimeoutException("request " + call->request().command + " on topic '" + topics_.request +
                             "' could not be sent: the service's readers did not take requests for 1 s"));
        return engine_->workers.post(std::make_shared<LinkJob>([call, refused] { call->fail(refused); }));
    }
    return true;
}

void ClientLink::abandoned(std::uint64_t sequence) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (sent_.erase(sequence) == 0) {
            return;  // answered, or never sent
        }
    }
    // A request with no command and a sequence number is a cancellation. While the
    // service's readers hold the writer full (a service that died and is not yet
    // taken for gone), cancellations are not sent: each would wait for room.
    std::lock_guard<std::mutex> sending(sendMutex_);
    if (!jammed_.load()) {
        jammed_.store(!send(sequence, tav::qel::rr::detail::Request{}, 0));
    }
}

bool ClientLink::send(std::uint64_t sequence, const tav::qel::rr::detail::Request& request,
                      std::uint32_t replyTimeMs) {
    const dds_entity_t writer = writer_.load();
    if (writer <= 0) {
        return true;
    }
    WireBuffer wire(wire_->requestSize());
    RrHeader header = self_;
    header.sequence = sequence;
    header.replyTimeMs = replyTimeMs;
    try {
        wire_->requestToWire(header, request, wire.get());
    } catch (...) {
        return true;  // the clients check every request before it comes here
    }
    // The engine refuses a request only after the service's readers lagged for the
    // writer's blocking time. The domain batches writes for publishers; a request
    // goes out at once.
    SendScope sending;
    if (dds_write(writer, wire.get()) != DDS_RETCODE_OK) {
        return false;
    }
    dds_write_flush(writer);
    return true;
}

void ClientLink::takeReplies() {
    const dds_entity_t reader = reader_.load();
    if (reader <= 0) {
        return;
    }
    void* samples[kBatch];
    dds_sample_info_t infos[kBatch];
    bool probeAnswered = false;
    std::string command;
    std::string result;
    RrStatus status;
    for (;;) {
        samples[0] = nullptr;
        const dds_return_t taken = dds_take(reader, samples, infos, kBatch, kBatch);
        if (taken <= 0) {
            break;
        }
        for (dds_return_t i = 0; i < taken; ++i) {
            if (!infos[i].valid_data) {
                continue;
            }
            const RrHeader header = wire_->replyHeader(samples[i]);
            if (header.client != self_.client) {
                continue;  // the reply to another caller
            }
            if (header.sequence == 0) {
                probeAnswered = true;
                continue;
            }
            std::exception_ptr unreadable;
            try {
                wire_->replyFromWire(samples[i], command, result, status);
            } catch (...) {
                unreadable = std::current_exception();
            }
            std::shared_ptr<Call> call;
            bool misanswered = false;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                auto it = sent_.find(header.sequence);
                if (it != sent_.end()) {
                    call = it->second.lock();
                    // A reply naming another command than the one asked answers
                    // nothing (a forged or confused reply): the call waits on.
                    misanswered = call && !unreadable && command != call->request().command;
                    if (misanswered) {
                        call.reset();
                    } else {
                        sent_.erase(it);
                    }
                }
            }
            if (misanswered && ++misanswered_ == 1) {
                EngineLog::post(LogLevel::Warning, kTransportLogger,
                                "client of topic '" + topics_.reply + "' dropped a reply to its request " +
                                    std::to_string(header.sequence) + " that named command '" + command +
                                    "'; later ones are counted, not logged");
            }
            // A reply after its request timed out, or a second answer from another
            // server of the service, finds no call waiting and is dropped.
            if (!call || call->claimed()) {
                continue;
            }
            if (unreadable) {
                call->fail(unreadable);
            } else if (status.kind == RrErrorKind::None) {
                call->succeed(std::move(result));
            } else {
                call->fail(errorOf(status, *wire_));
            }
        }
        dds_return_loan(reader, samples, taken);
        if (static_cast<std::size_t>(taken) < kBatch) {
            break;
        }
    }
    if (probeAnswered) {
        connect();
    }
}

}  // namespace tav::qel::dds
