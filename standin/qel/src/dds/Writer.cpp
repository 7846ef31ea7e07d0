// Writing samples, waiting for readers and acknowledgements.
#include "Writer.hpp"

#include <algorithm>
#include <optional>
#include <thread>
#include <vector>

#include "EngineLog.hpp"
#include "EntityQos.hpp"
#include "tav/qel/BlockingHook.hpp"
#include "tav/qel/InterruptionHook.hpp"
#include "tav/qel/QelException.hpp"

namespace tav::qel::dds {

namespace {

// The longest pause between two attempts of a write that found the readers lagging.
constexpr auto kMaxRetryPause = std::chrono::milliseconds(2);

// Longer waits than this are taken as this, so that adding them to the clock or
// counting them in nanoseconds cannot overflow.
constexpr std::chrono::milliseconds kLongestWait = std::chrono::hours(24 * 365 * 30);

// The longest pause between two writes that still counts as one burst.
constexpr std::int64_t kPauseTicks =
    std::chrono::duration_cast<std::chrono::steady_clock::duration>(WriteFlusher::kDelay).count();

// Wire structures of the usual sizes are made on the stack.
constexpr std::size_t kStackWire = 256;

}  // namespace

Writer::Writer(std::shared_ptr<Domain> domain, dds_entity_t topic, std::shared_ptr<const WireType> wire,
               std::string topicName, std::chrono::milliseconds ackWait, std::chrono::milliseconds discoveryWait,
               std::shared_ptr<WriteFlusher> flusher)
    : domain_(std::move(domain)),
      wire_(std::move(wire)),
      topicName_(std::move(topicName)),
      ackWait_(std::min(ackWait, kLongestWait)),
      discoveryWait_(std::min(discoveryWait, kLongestWait)),
      flusher_(std::move(flusher)) {
    Qos qos;
    writerQos(qos);
    writer_ = dds_create_writer(domain_->participant(), topic, qos.get(), nullptr);
    if (writer_ < 0) {
        throw QelException("cannot publish on topic '" + topicName_ + "': " + engineError(writer_));
    }
}

Writer::~Writer() {
    finish();
}

void Writer::write(const ps::DataEntityBase& sample, std::int64_t timestampNs,
                   std::chrono::steady_clock::time_point deadline) {
    alignas(std::max_align_t) unsigned char stackWire[kStackWire];
    std::vector<std::max_align_t> heapWire;
    void* wire = stackWire;
    if (wire_->wireSize() > kStackWire) {
        heapWire.resize(wire_->wireSize() / sizeof(std::max_align_t) + 1);
        wire = heapWire.data();
    }
    wire_->toWire(sample, wire);
    if (!discovered_.load(std::memory_order_acquire)) {
        awaitKnownReaders(deadline);
    }

    std::shared_lock<std::shared_mutex> lock(lifetime_);
    auto pause = std::chrono::microseconds(20);
    // After a pause, whether the readers acknowledged everything so far is worth
    // asking (it bounds what close and exit may have to report); within a burst the
    // question would cost the writer's throughput and could only say no.
    const std::int64_t now = std::chrono::steady_clock::now().time_since_epoch().count();
    if (now - lastWrite_.load() >= kPauseTicks) {
        noteAcknowledged(written_.load());
    }
    // A caller that the embedding interpreter must attend to while it waits (Ctrl-C
    // on Python's main thread) is checked between attempts, without the writer's lock.
    const InterruptionHook* hook = interruptionHook();
    const bool checked = hook != nullptr && hook->applies();
    // Read from the clock only once a write has to be repeated: most succeed at once.
    std::optional<std::chrono::steady_clock::time_point> lastCheck;
    for (;;) {
        if (finishing_.load()) {
            throw ClosedException("publisher of topic '" + topicName_ + "' is closed");
        }
        const dds_return_t rc = dds_write_ts(writer_, wire, timestampNs);
        if (rc == DDS_RETCODE_OK) {
            sendOrBatch(now);
            ++written_;
            return;
        }
        if (rc != DDS_RETCODE_TIMEOUT) {
            throw QelException("cannot publish on topic '" + topicName_ + "': " + engineError(rc) +
                               EngineLog::takeReason());
        }
        // The readers can acknowledge only what was sent.
        batchOpened_.store(0);
        dds_write_flush(writer_);
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            throw TimeoutException("publish on topic '" + topicName_ +
                                   "' timed out: a reader in another process did not take the samples in time");
        }
        if (!lastCheck) {
            lastCheck = now;
        }
        if (checked && now - *lastCheck >= std::chrono::milliseconds(interruptionIntervalMs)) {
            lock.unlock();
            hook->check();  // throws what a handler raised: nothing was written
            lock.lock();
            lastCheck = std::chrono::steady_clock::now();
            continue;
        }
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(pause, deadline - now));
        pause = std::min<std::chrono::microseconds>(pause * 2, kMaxRetryPause);
    }
}

void Writer::awaitKnownReaders(std::chrono::steady_clock::time_point deadline) {
    const auto until = std::min(deadline, std::chrono::steady_clock::now() + discoveryWait_);
    const InterruptionHook* hook = interruptionHook();
    const bool checked = hook != nullptr && hook->applies();
    auto lastCheck = std::chrono::steady_clock::now();
    for (;;) {
        const Domain::Discovered known = domain_->discovered(topicName_);
        dds_publication_matched_status_t status{};
        if (known.settled && dds_get_publication_matched_status(writer_, &status) == DDS_RETCODE_OK &&
            status.current_count >= known.readers) {
            break;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= until || finishing_.load()) {
            break;  // readers that have not matched by now get what is written later
        }
        if (checked && now - lastCheck >= std::chrono::milliseconds(interruptionIntervalMs)) {
            hook->check();  // throws what a handler raised: nothing was written
            lastCheck = std::chrono::steady_clock::now();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    discovered_.store(true, std::memory_order_release);
}

void Writer::noteAcknowledged(std::uint64_t written) {
    if (dds_wait_for_acks(writer_, 0) == DDS_RETCODE_OK) {
        std::uint64_t known = acknowledged_.load();
        while (known < written && !acknowledged_.compare_exchange_weak(known, written)) {
        }
    }
}

void Writer::sendOrBatch(std::int64_t now) {
    constexpr std::int64_t delay = kPauseTicks;
    const std::int64_t previous = lastWrite_.exchange(now);
    const std::int64_t opened = batchOpened_.load();
    if (opened != 0) {
        if (now - opened < delay) {
            return;  // gathered into the open batch
        }
        // Sent here rather than by the flusher, which would contend for the writer.
        batchOpened_.store(0);
        dds_write_flush(writer_);
        return;
    }
    if (now - previous < delay) {
        batchOpened_.store(now);
        if (flusher_->schedule(weak_from_this(), now)) {
            return;
        }
        batchOpened_.store(0);
    }
    dds_write_flush(writer_);
}

void Writer::flushBatch(std::int64_t opened) {
    std::shared_lock<std::shared_mutex> lock(lifetime_, std::try_to_lock);
    if (!lock.owns_lock() || finishing_.load()) {
        return;  // finishing sends what is left
    }
    // Cleared first: a write that still sees its batch open was written before this
    // flush and goes with it.
    if (batchOpened_.compare_exchange_strong(opened, 0)) {
        dds_write_flush(writer_);
    }
}

void Writer::waitForReaders(std::size_t count, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + std::min(timeout, kLongestWait);
    bool matched = false;
    runBlocking([&] {
        for (;;) {
            dds_publication_matched_status_t status{};
            if (dds_get_publication_matched_status(writer_, &status) == DDS_RETCODE_OK &&
                status.current_count >= count) {
                matched = true;
                return;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    if (!matched) {
        throw TimeoutException("publisher of topic '" + topicName_ + "': fewer than " + std::to_string(count) +
                               " readers in other processes appeared within " + std::to_string(timeout.count()) +
                               " ms");
    }
}

void Writer::retain() {
    ++open_;
}

std::size_t Writer::release() {
    return --open_ == 0 ? finish() : 0;
}

std::size_t Writer::finish(std::chrono::steady_clock::time_point notAfter) {
    if (finishing_.exchange(true)) {
        return 0;
    }
    std::size_t unacknowledged = 0;
    runBlocking([&] {
        std::unique_lock<std::shared_mutex> lock(lifetime_);
        dds_write_flush(writer_);
        auto wait = ackWait_;
        if (notAfter != std::chrono::steady_clock::time_point::max()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                notAfter - std::chrono::steady_clock::now());
            wait = std::clamp(left, std::chrono::milliseconds(0), ackWait_);
        }
        if (dds_wait_for_acks(writer_, DDS_MSECS(wait.count())) == DDS_RETCODE_TIMEOUT) {
            // Never 0: a reader did not acknowledge the last sample at least.
            unacknowledged = std::max<std::size_t>(1, written_.load() - acknowledged_.load());
        }
        dds_delete(writer_);
    });
    return unacknowledged;
}

}  // namespace tav::qel::dds
