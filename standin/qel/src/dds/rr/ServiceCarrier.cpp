// Serving the requests of the clients in the domain.
#include "ServiceCarrier.hpp"

#include <vector>

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
    std::lock_guard<std::mutex> lock(readerMutex_);
    if (const dds_entity_t reader = reader_.exchange(0); reader > 0) {
        runBlocking([&] { dds_delete(reader); });
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

void ServiceCarrier::takeRequests() {
    const dds_entity_t reader = reader_.load();
    if (reader <= 0) {
        return;
    }
    void* samples[kBatch];
    dds_sample_info_t infos[kBatch];
    std::shared_ptr<ServiceCarrier> self;
    for (;;) {
        samples[0] = nullptr;
        const dds_return_t taken = dds_take(reader, samples, infos, kBatch, kBatch);
        if (taken <= 0) {
            return;
        }
        for (dds_return_t i = 0; i < taken; ++i) {
            if (!infos[i].valid_data) {
                continue;
            }
            RrHeader header;
            tav::qel::rr::detail::Request request;
            try {
                request = wire_->requestFromWire(samples[i], header);
            } catch (...) {
                // Answered with the reason when at least whom to answer could be
                // read (an argument that is not UTF-8, say).
                if (header.sequence != 0) {
                    write(header, std::string(), std::string(), statusOf(std::current_exception(), *wire_));
                }
                continue;
            }
            if (request.command.empty()) {
                write(header, request.command, std::string(), RrStatus{});
                continue;
            }
            if (!self) {
                self = shared_from_this();
            }
            std::string command = request.command;
            boost::future<std::string> reply;
            try {
                reply = bridge_->forward(std::move(request), std::chrono::milliseconds(header.replyTimeMs));
            } catch (...) {
                write(header, command, std::string(), statusOf(std::current_exception(), *wire_));
                continue;
            }
            // Answered on the thread that completes the request: a worker thread of
            // the server, or whoever fails it (a close).
            reply.then(boost::launch::sync,
                       [self, header, command = std::move(command)](boost::future<std::string> done) mutable {
                           self->answer(header, command, done);
                       });
        }
        dds_return_loan(reader, samples, taken);
        if (static_cast<std::size_t>(taken) < kBatch) {
            return;
        }
    }
}

void ServiceCarrier::answer(const RrHeader& header, const std::string& command, boost::future<std::string>& done) {
    std::string result;
    RrStatus status;
    try {
        result = done.get();
    } catch (...) {
        status = statusOf(std::current_exception(), *wire_);
    }
    write(header, command, result, status);
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
