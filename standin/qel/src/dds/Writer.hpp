#pragma once
// The engine's writer of one publisher, shared with the instance publishers made
// from it: it goes when the last of them closes, after its matched readers have
// acknowledged what it wrote (up to a bound), and its instances then go too.
// Samples written in quick succession share packets (see WriteFlusher.hpp).
#include <dds/dds.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>

#include "Domain.hpp"
#include "WriteFlusher.hpp"
#include "tav/qel/WireType.hpp"
#include "tav/qel/ps/DataEntity.hpp"

namespace tav::qel::dds {

// The first write of a writer waits, up to the discovery bound (and the write's own
// deadline), until discovery has settled and the writer is matched with every reader
// of its topic that this participant knows of: a process that starts, publishes once
// and ends reaches the readers that were already running.
class Writer : public std::enable_shared_from_this<Writer> {
public:
    Writer(std::shared_ptr<Domain> domain, dds_entity_t topic, std::shared_ptr<const WireType> wire,
           std::string topicName, std::chrono::milliseconds ackWait, std::chrono::milliseconds discoveryWait,
           std::shared_ptr<WriteFlusher> flusher);
    ~Writer();
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    // Writes sample with a source timestamp in nanoseconds, retrying while matched
    // readers lag until deadline (TimeoutException). A value the wire cannot carry
    // is a QelException before anything is written.
    void write(const ps::DataEntityBase& sample, std::int64_t timestampNs,
               std::chrono::steady_clock::time_point deadline);

    // Waits until count readers of other processes are matched, or timeout
    // (TimeoutException).
    void waitForReaders(std::size_t count, std::chrono::milliseconds timeout);

    const std::string& topicName() const { return topicName_; }
    std::uint32_t domainId() const { return domain_->id(); }

    // One more publisher entity uses this writer.
    void retain();
    // One publisher entity closed; the last one finishes the writer and returns what
    // finish() returns, the others return 0.
    std::size_t release();
    // Waits up to the acknowledgement bound for matched readers, then deletes the
    // writer, which makes its instances go. Returns how many samples may not have
    // been acknowledged by a matched reader: 0 when all were, else the samples
    // written since the readers were last seen to have acknowledged everything (the
    // engine tells only that). Harmless when repeated (then 0). The wait ends at
    // notAfter at the latest (the exit work finishes every writer by one time).
    std::size_t finish(std::chrono::steady_clock::time_point notAfter = std::chrono::steady_clock::time_point::max());
    std::chrono::milliseconds ackWait() const { return ackWait_; }

    // Sends the batch opened at `opened` (steady clock ticks) unless it was sent.
    // Called by the flusher.
    void flushBatch(std::int64_t opened);

private:
    // After a successful write (begun at `now`, steady clock ticks): sends the sample
    // at once, or leaves it in the open batch, which it sends once that is old enough
    // (see WriteFlusher.hpp).
    void sendOrBatch(std::int64_t now);
    // The first write's wait for discovery (see above).
    void awaitKnownReaders(std::chrono::steady_clock::time_point deadline);
    // Notes that the readers acknowledged the first `written` samples, if they did.
    void noteAcknowledged(std::uint64_t written);

    const std::shared_ptr<Domain> domain_;
    const std::shared_ptr<const WireType> wire_;
    const std::string topicName_;
    const std::chrono::milliseconds ackWait_;
    const std::chrono::milliseconds discoveryWait_;
    dds_entity_t writer_;
    std::atomic<bool> discovered_{false};
    // Samples written, and how many of them matched readers were last seen to have
    // acknowledged.
    std::atomic<std::uint64_t> written_{0};
    std::atomic<std::uint64_t> acknowledged_{0};
    std::atomic<std::size_t> open_{0};
    std::atomic<bool> finishing_{false};
    const std::shared_ptr<WriteFlusher> flusher_;
    // When the last write happened, and when the open batch opened (0: none), in
    // steady clock ticks.
    std::atomic<std::int64_t> lastWrite_{0};
    std::atomic<std::int64_t> batchOpened_{0};
    // Writes hold it shared; finishing holds it exclusively.
    std::shared_mutex lifetime_;
};

}  // namespace tav::qel::dds
