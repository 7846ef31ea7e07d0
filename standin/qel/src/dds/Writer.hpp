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

class Writer : public std::enable_shared_from_this<Writer> {
public:
    Writer(std::shared_ptr<Domain> domain, dds_entity_t topic, std::shared_ptr<const WireType> wire,
           std::string topicName, std::chrono::milliseconds ackWait, std::shared_ptr<WriteFlusher> flusher);
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

    // One more publisher entity uses this writer.
    void retain();
    // One publisher entity closed; the last one finishes the writer.
    void release();
    // Waits up to the acknowledgement bound for matched readers, then deletes the
    // writer, which makes its instances go. Harmless when repeated.
    void finish();

    // Sends the batch opened at `opened` (steady clock ticks) unless it was sent.
    // Called by the flusher.
    void flushBatch(std::int64_t opened);

private:
    // After a successful write: sends the sample at once, or leaves it in the open
    // batch, which it sends once that is old enough (see WriteFlusher.hpp).
    void sendOrBatch();

    const std::shared_ptr<Domain> domain_;
    const std::shared_ptr<const WireType> wire_;
    const std::string topicName_;
    const std::chrono::milliseconds ackWait_;
    dds_entity_t writer_;
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
