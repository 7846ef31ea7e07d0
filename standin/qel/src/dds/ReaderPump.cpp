// The thread that takes received samples from the engine into a subscriber.
#include "ReaderPump.hpp"

#include <unordered_map>
#include <vector>

#include "tav/qel/BlockingHook.hpp"
#include "tav/qel/QelException.hpp"

namespace tav::qel::dds {

ReaderPump::ReaderPump(std::shared_ptr<Domain> domain, dds_entity_t topic, const Qos& qos,
                       std::shared_ptr<const WireType> wire, std::shared_ptr<embedded::Topic> localTopic,
                       std::shared_ptr<embedded::SubscriberState> subscriber, std::shared_ptr<embedded::MrvState> mrv)
    : domain_(std::move(domain)),
      wire_(std::move(wire)),
      topic_(std::move(localTopic)),
      subscriber_(std::move(subscriber)),
      mrv_(std::move(mrv)) {
    dds_listener_t* listener = dds_create_listener(this);
    dds_lset_data_available(listener, &ReaderPump::onDataAvailable);
    reader_ = dds_create_reader(domain_->participant(), topic, qos.get(), listener);
    dds_delete_listener(listener);
    if (reader_ < 0) {
        throw QelException("cannot subscribe to topic '" + topic_->name + "': " + engineError(reader_));
    }
    items_.reserve(kBatch);
    thread_ = std::thread([this] { run(); });
}

ReaderPump::~ReaderPump() {
    stop();
}

void ReaderPump::onDataAvailable(dds_entity_t, void* self) {
    // Taking at once, on the engine's thread, keeps the order of arrival across
    // instances: the engine's reader would hand back what it holds instance by
    // instance.
    static_cast<ReaderPump*>(self)->drain();
}

std::size_t ReaderPump::room() const {
    return subscriber_ ? subscriber_->room() : kBatch;
}

bool ReaderPump::accepting() const {
    return subscriber_ ? subscriber_->accepting() : mrv_->accepting();
}

void ReaderPump::run() {
    embedded::Topic& topic = *topic_;
    std::unique_lock<std::mutex> lock(topic.mutex);
    for (;;) {
        // Waits like a publisher of the topic, so that freed room wakes it.
        ++topic.publishersWaiting;
        topic.roomCv.wait(lock, [&] { return stop_ || (pending_ && room() > 0); });
        --topic.publishersWaiting;
        if (stop_) {
            return;
        }
        lock.unlock();
        drain();
        lock.lock();
    }
}

void ReaderPump::drain() {
    std::lock_guard<std::mutex> taking(takeMutex_);
    embedded::Topic& topic = *topic_;
    std::unique_lock<std::mutex> lock(topic.mutex);
    for (;;) {
        if (stop_ || !accepting()) {
            return;
        }
        const std::size_t wanted = std::min(room(), kBatch);
        if (wanted == 0) {
            // Left in the engine's reader, which then holds back the writers; the
            // pump's thread takes them once the subscriber reads.
            pending_ = true;
            return;
        }
        pending_ = false;
        lock.unlock();

        samples_[0] = nullptr;
        const dds_return_t taken = dds_take(reader_, samples_, infos_, wanted, static_cast<uint32_t>(wanted));
        items_.clear();
        lastOfInstance_.clear();
        for (dds_return_t i = 0; i < taken; ++i) {
            const dds_sample_info_t& info = infos_[i];
            std::unique_ptr<ps::DataEntityBase> sample = wire_->fromWire(samples_[i]);
            if (!info.valid_data) {
                sample = sample->cloneKeyEntity();
            }
            const bool gone = info.instance_state != DDS_IST_ALIVE;
            auto [last, fresh] = lastOfInstance_.try_emplace(info.instance_handle, items_.size());
            if (!fresh) {
                // Only the last sample of an instance in the batch tells that it went.
                items_[last->second].removedAfter = false;
                last->second = items_.size();
            }
            items_.push_back(Item{std::move(sample), static_cast<double>(info.source_timestamp) / 1e9,
                                  static_cast<bool>(info.valid_data), gone});
        }
        if (taken > 0) {
            dds_return_loan(reader_, samples_, taken);
        }

        lock.lock();
        if (accepting()) {
            deliver();
        }
        if (taken < 0 || static_cast<std::size_t>(taken) < wanted) {
            return;  // the engine's reader is empty
        }
    }
}

void ReaderPump::deliver() {
    for (auto& item : items_) {
        if (subscriber_) {
            if (item.valid) {
                auto key = item.removedAfter ? item.sample->cloneKeyEntity() : nullptr;
                subscriber_->enqueue(std::move(item.sample), item.timestamp);
                if (key) {
                    subscriber_->removeInstance(*key, item.timestamp);
                }
            } else {
                subscriber_->removeInstance(*item.sample, item.timestamp);
            }
        } else if (item.valid && !item.removedAfter) {
            mrv_->store(std::move(item.sample));
        } else {
            mrv_->drop(*item.sample);
        }
    }
    items_.clear();
}

void ReaderPump::closeTarget() {
    if (mrv_) {
        mrv_->close(mrv_);
    }
}

void ReaderPump::stop() {
    std::lock_guard<std::mutex> stopLock(stopMutex_);
    {
        std::lock_guard<std::mutex> lock(topic_->mutex);
        if (stop_ && !thread_.joinable()) {
            return;
        }
        stop_ = true;
        topic_->roomCv.notify_all();
    }
    if (thread_.joinable()) {
        runBlocking([&] { thread_.join(); });
    }
    // Waits for a listener call under way, which needs the topic's mutex.
    if (reader_ > 0) {
        dds_delete(reader_);
        reader_ = 0;
    }
}

}  // namespace tav::qel::dds
