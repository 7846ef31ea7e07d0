#pragma once
// Moves what the engine's reader of one subscriber received into the subscriber's
// queue (or the most-recent-value subscriber's latest samples). The engine's thread
// that stores a sample takes it at once, in order of arrival. While the queue is
// full, what arrives waits in the pump's overflow, up to as many samples as the
// queue holds (at least kMinOverflow), then in the engine's reader (one sample),
// which then refuses more and so makes the writers of other processes wait and
// send again later. The overflow lets a reader that catches up get the samples that
// waited without a round of the engine's repeats per queue. The room a read frees
// is filled by a job on the dispatcher threads that every subscriber shares.
// Neither thread ever enters an interpreter.
#include <dds/dds.h>

#include <deque>
#include <memory>
#include <mutex>
#include <unordered_set>
#include <vector>

#include "../ps/MrvState.hpp"
#include "../ps/SubscriberState.hpp"
#include "Domain.hpp"
#include "EntityQos.hpp"
#include "tav/qel/WireType.hpp"

namespace tav::qel::dds {

class ReaderPump final : public embedded::RoomWatcher, public std::enable_shared_from_this<ReaderPump> {
public:
    // A pump with its engine's reader of topic. Exactly one of subscriber and mrv
    // is set.
    static std::shared_ptr<ReaderPump> make(std::shared_ptr<Domain> domain, dds_entity_t topic, const Qos& qos,
                                            std::shared_ptr<const WireType> wire,
                                            std::shared_ptr<embedded::Topic> localTopic,
                                            std::shared_ptr<embedded::SubscriberState> subscriber,
                                            std::shared_ptr<embedded::MrvState> mrv);

private:
    struct Private {};

public:
    ReaderPump(Private, std::shared_ptr<Domain> domain, std::shared_ptr<const WireType> wire,
               std::shared_ptr<embedded::Topic> localTopic, std::shared_ptr<embedded::SubscriberState> subscriber,
               std::shared_ptr<embedded::MrvState> mrv);
    ~ReaderPump();
    ReaderPump(const ReaderPump&) = delete;
    ReaderPump& operator=(const ReaderPump&) = delete;

    // Stops taking and deletes the engine's reader. Harmless when repeated.
    void stop();
    // Shutdown: closes the most-recent-value subscriber it fills (the embedded
    // engine closes subscribers itself).
    void closeTarget();

    // Topic mutex held: hands the refill to a dispatcher thread when samples may
    // wait in the engine's reader and the queue now has room.
    void roomFreed() override;

private:
    class RefillJob;

    // The most samples taken from the engine at once. The engine's reader of a
    // subscriber holds one sample and the goings of instances, so a take for it asks
    // for a few only: the engine prepares room for as many as asked.
    static constexpr std::size_t kBatch = 256;
    static constexpr std::size_t kQueueTake = 16;
    // The least overflow of a subscriber, whatever its queue's depth.
    static constexpr std::size_t kMinOverflow = 256;

    struct Item {
        std::unique_ptr<ps::DataEntityBase> sample;
        double timestamp;
        dds_instance_handle_t instance;
        bool valid;
        // The instance went away after this sample: its REMOVED event follows it.
        bool removedAfter;
    };

    static void onDataAvailable(dds_entity_t reader, void* self);
    // A sample the interface library could not read (a text that is not UTF-8, say)
    // is left out: counted, and logged once per writer with its identity. takeMutex_
    // held.
    void refuse(dds_entity_t reader, dds_instance_handle_t writer, const char* why);
    // Writers remembered for that, at most.
    static constexpr std::size_t kMostRefusingWriters = 1024;
    // Takes what the engine's reader holds, as far as there is room, into the
    // subscriber. Runs on the engine's thread when data arrives and on a dispatcher
    // thread when room is freed; one at a time, so that the order stays.
    // reader is the engine's reader, 0 for the pump's own once it is known.
    void drain(dds_entity_t reader = 0);
    void setPending(bool pending);  // topic mutex held
    // Topic mutex held: hands the taken samples on, behind those in the overflow.
    void deliver();
    // Topic mutex held: moves what the overflow holds into the queue, as far as
    // there is room.
    void flushOverflow();
    void deliverItem(Item& item);  // topic mutex held
    // Topic mutex free: wakes the readers that wait for samples queued meanwhile.
    void wakeWaitingReaders();
    std::size_t room() const;      // topic mutex held
    std::size_t capacity() const;  // topic mutex held: what may be taken now
    bool accepting() const;    // topic mutex held

    const std::shared_ptr<Domain> domain_;
    const std::shared_ptr<const WireType> wire_;
    const std::shared_ptr<embedded::Topic> topic_;
    const std::shared_ptr<embedded::SubscriberState> subscriber_;
    const std::shared_ptr<embedded::MrvState> mrv_;
    dds_entity_t reader_ = 0;  // set once made (takeMutex_)
    // Guarded by the topic's mutex: samples may wait in the engine's reader (the
    // pump then watches the topic for room); a refill job is queued or running; no
    // more taking.
    bool pending_ = false;
    bool scheduled_ = false;
    bool stop_ = false;
    std::shared_ptr<RefillJob> job_;  // made on the first refill
    std::mutex stopMutex_;
    bool deleted_ = false;  // the engine's reader is gone (stopMutex_)
    // Held while taking and delivering; guards the buffers below.
    std::mutex takeMutex_;
    void* samples_[kBatch];
    dds_sample_info_t infos_[kBatch];
    std::vector<Item> items_;
    std::size_t refused_ = 0;
    std::unordered_set<dds_instance_handle_t> refusedWriters_;
    // Samples were queued for readers that wait: they are woken once the drain lets
    // go of the topic's mutex.
    bool wakeReaders_ = false;
    // Guarded by the topic's mutex.
    std::deque<Item> overflow_;
    const std::size_t overflowLimit_;
};

}  // namespace tav::qel::dds
