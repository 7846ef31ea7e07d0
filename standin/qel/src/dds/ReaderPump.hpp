#pragma once
// Moves what the engine's reader of one subscriber received into the subscriber's
// queue (or the most-recent-value subscriber's latest samples), on a thread of its
// own and on the engine's threads, neither of which ever enters an interpreter. It
// takes from the engine only as many samples as the queue has room for: what it
// leaves in the engine's reader (one sample at most for a subscriber) makes the
// writers of other processes wait.
#include <dds/dds.h>

#include <memory>
#include <thread>
#include <unordered_map>
#include <vector>

#include "../ps/MrvState.hpp"
#include "../ps/SubscriberState.hpp"
#include "Domain.hpp"
#include "EntityQos.hpp"
#include "tav/qel/WireType.hpp"

namespace tav::qel::dds {

class ReaderPump {
public:
    // Exactly one of subscriber and mrv is set.
    ReaderPump(std::shared_ptr<Domain> domain, dds_entity_t topic, const Qos& qos,
               std::shared_ptr<const WireType> wire, std::shared_ptr<embedded::Topic> localTopic,
               std::shared_ptr<embedded::SubscriberState> subscriber, std::shared_ptr<embedded::MrvState> mrv);
    ~ReaderPump();
    ReaderPump(const ReaderPump&) = delete;
    ReaderPump& operator=(const ReaderPump&) = delete;

    // Stops the thread and deletes the engine's reader. Harmless when repeated.
    void stop();
    // Shutdown: closes the most-recent-value subscriber it fills (the embedded
    // engine closes subscribers itself).
    void closeTarget();

private:
    // The most samples taken from the engine at once.
    static constexpr std::size_t kBatch = 256;

    struct Item {
        std::unique_ptr<ps::DataEntityBase> sample;
        double timestamp;
        bool valid;
        // The instance went away after this sample: its REMOVED event follows it.
        bool removedAfter;
    };

    static void onDataAvailable(dds_entity_t reader, void* self);
    void run();
    // Takes what the engine's reader holds, as far as there is room, into the
    // subscriber. Runs on the engine's thread when data arrives and on the pump's
    // thread when room is freed; one at a time, so that the order stays.
    void drain();
    void deliver();  // topic mutex held
    std::size_t room() const;  // topic mutex held
    bool accepting() const;    // topic mutex held

    const std::shared_ptr<Domain> domain_;
    const std::shared_ptr<const WireType> wire_;
    const std::shared_ptr<embedded::Topic> topic_;
    const std::shared_ptr<embedded::SubscriberState> subscriber_;
    const std::shared_ptr<embedded::MrvState> mrv_;
    dds_entity_t reader_ = 0;
    // Guarded by the topic's mutex: samples may wait in the engine's reader.
    bool pending_ = true;
    bool stop_ = false;
    std::thread thread_;
    std::mutex stopMutex_;
    // Held while taking and delivering; guards the buffers below.
    std::mutex takeMutex_;
    void* samples_[kBatch];
    dds_sample_info_t infos_[kBatch];
    std::vector<Item> items_;
    std::unordered_map<dds_instance_handle_t, std::size_t> lastOfInstance_;
};

}  // namespace tav::qel::dds
