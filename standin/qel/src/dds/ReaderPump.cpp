// Taking received samples from the engine into a subscriber.
#include "ReaderPump.hpp"

#include <algorithm>
#include <vector>

#include "EngineLog.hpp"
#include "SourceTime.hpp"
#include "tav/qel/QelException.hpp"

namespace tav::qel::dds {

namespace {

// A GUID as 32 hexadecimal digits.
std::string guidText(const dds_guid_t& guid) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char byte : guid.v) {
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text;
}

}  // namespace

// The refill of one pump on a dispatcher thread. It refers to the pump only weakly,
// so that a queued refill keeps neither the pump nor its engine's reader alive.
class ReaderPump::RefillJob final : public embedded::PoolJob {
public:
    explicit RefillJob(std::weak_ptr<ReaderPump> pump) : pump_(std::move(pump)) {}
    void runJob() override {
        if (std::shared_ptr<ReaderPump> pump = pump_.lock()) {
            {
                std::lock_guard<std::mutex> lock(pump->topic_->mutex);
                pump->scheduled_ = false;
            }
            pump->drain();
        }
    }

private:
    std::weak_ptr<ReaderPump> pump_;
};

ReaderPump::ReaderPump(Private, std::shared_ptr<Domain> domain, std::shared_ptr<const WireType> wire,
                       std::shared_ptr<embedded::Topic> localTopic, std::shared_ptr<embedded::SubscriberState> subscriber,
                       std::shared_ptr<embedded::MrvState> mrv)
    : domain_(std::move(domain)),
      wire_(std::move(wire)),
      topic_(std::move(localTopic)),
      subscriber_(std::move(subscriber)),
      mrv_(std::move(mrv)),
      overflowLimit_(subscriber_ ? std::max(subscriber_->depth(), kMinOverflow) : 0) {
    items_.reserve(kBatch);
}

std::shared_ptr<ReaderPump> ReaderPump::make(std::shared_ptr<Domain> domain, dds_entity_t topic, const Qos& qos,
                                             std::shared_ptr<const WireType> wire,
                                             std::shared_ptr<embedded::Topic> localTopic,
                                             std::shared_ptr<embedded::SubscriberState> subscriber,
                                             std::shared_ptr<embedded::MrvState> mrv) {
    auto pump = std::make_shared<ReaderPump>(Private{}, std::move(domain), std::move(wire), std::move(localTopic),
                                             std::move(subscriber), std::move(mrv));
    // Made once the pump is shared, so that the first delivery may already need a
    // refill job.
    dds_listener_t* listener = dds_create_listener(pump.get());
    dds_lset_data_available(listener, &ReaderPump::onDataAvailable);
    const dds_entity_t reader = dds_create_reader(pump->domain_->participant(), topic, qos.get(), listener);
    dds_delete_listener(listener);
    if (reader < 0) {
        pump->deleted_ = true;
        throw QelException("cannot subscribe to topic '" + pump->topic_->name + "': " + engineError(reader));
    }
    {
        std::lock_guard<std::mutex> taking(pump->takeMutex_);
        pump->reader_ = reader;
    }
    // What arrived while the reader was being made (the latest samples of this
    // process's writers, say) was handed to the listener before the pump knew its
    // reader: taken here.
    pump->drain();
    return pump;
}

ReaderPump::~ReaderPump() {
    stop();
}

void ReaderPump::onDataAvailable(dds_entity_t reader, void* self) {
    // Taking at once, on the engine's thread, keeps the order of arrival across
    // instances: the engine's reader would hand back what it holds instance by
    // instance.
    static_cast<ReaderPump*>(self)->drain(reader);
}

std::size_t ReaderPump::room() const {
    return subscriber_ ? subscriber_->room() : kBatch;
}

std::size_t ReaderPump::capacity() const {
    return subscriber_ ? subscriber_->room() + (overflowLimit_ - overflow_.size()) : kBatch;
}

bool ReaderPump::accepting() const {
    return subscriber_ ? subscriber_->accepting() : mrv_->accepting();
}

void ReaderPump::setPending(bool pending) {
    if (pending == pending_) {
        return;
    }
    pending_ = pending;
    auto& watchers = topic_->roomWatchers;
    if (pending) {
        watchers.push_back(this);
    } else {
        watchers.erase(std::remove(watchers.begin(), watchers.end(), this), watchers.end());
    }
}

void ReaderPump::refuse(dds_entity_t reader, dds_instance_handle_t writer, const char* why) {
    ++refused_;
    if (refusedWriters_.size() >= kMostRefusingWriters || !refusedWriters_.insert(writer).second) {
        return;
    }
    std::string who = "a writer";
    if (dds_builtintopic_endpoint_t* endpoint = dds_get_matched_publication_data(reader, writer)) {
        who = "writer " + guidText(endpoint->key) + " of participant " + guidText(endpoint->participant_key);
        dds_builtintopic_free_endpoint(endpoint);
    }
    EngineLog::post(LogLevel::Warning, kTransportLogger,
                    "subscriber of topic '" + topic_->name + "' refused a sample of " + who + ": " + why +
                        "; further samples it refuses from that writer are counted, not logged");
}

void ReaderPump::roomFreed() {
    if (!pending_ || scheduled_ || stop_ || room() == 0) {
        return;
    }
    if (!job_) {
        job_ = std::make_shared<RefillJob>(weak_from_this());
    }
    scheduled_ = true;
    // Dropped only once the middleware shuts down, which stops the pump anyway.
    topic_->engine->dispatchers.post(job_);
}

void ReaderPump::drain(dds_entity_t reader) {
    std::lock_guard<std::mutex> taking(takeMutex_);
    if (reader == 0) {
        reader = reader_;
    }
    embedded::Topic& topic = *topic_;
    // Readers that wait for what this drain queues are woken once the topic's mutex
    // is free: when it is let go for a take, and at the end (made before the lock,
    // so it runs after the lock's end).
    struct WakeAtEnd {
        ReaderPump& pump;
        ~WakeAtEnd() { pump.wakeWaitingReaders(); }
    } wakeAtEnd{*this};
    std::unique_lock<std::mutex> lock(topic.mutex);
    for (;;) {
        if (stop_ || reader == 0 || !accepting()) {
            return;
        }
        flushOverflow();
        const std::size_t wanted = std::min(capacity(), subscriber_ ? kQueueTake : kBatch);
        // Left in the overflow or the engine's reader, which then holds back the
        // writers; a refill takes them once the subscriber reads.
        setPending(wanted == 0 || !overflow_.empty());
        if (wanted == 0) {
            return;
        }
        lock.unlock();
        wakeWaitingReaders();

        samples_[0] = nullptr;
        const dds_return_t taken = dds_take(reader, samples_, infos_, wanted, static_cast<uint32_t>(wanted));
        items_.clear();
        for (dds_return_t i = 0; i < taken; ++i) {
            const dds_sample_info_t& info = infos_[i];
            std::unique_ptr<ps::DataEntityBase> sample;
            try {
                sample = wire_->fromWire(samples_[i]);
            } catch (const std::exception& unreadable) {
                refuse(reader, info.publication_handle, unreadable.what());
                continue;
            }
            if (!info.valid_data) {
                sample = sample->cloneKeyEntity();
            }
            items_.push_back(Item{std::move(sample), wireSeconds(info.source_timestamp),
                                  info.instance_handle, static_cast<bool>(info.valid_data),
                                  info.instance_state != DDS_IST_ALIVE});
        }
        // Only the last sample of an instance in the batch tells that it went. Goings
        // are rare, so the search is too.
        for (std::size_t i = 0; i < items_.size(); ++i) {
            if (items_[i].removedAfter) {
                for (std::size_t j = i + 1; j < items_.size(); ++j) {
                    if (items_[j].instance == items_[i].instance) {
                        items_[i].removedAfter = false;
                        break;
                    }
                }
            }
        }
        if (taken > 0) {
            dds_return_loan(reader, samples_, taken);
        }

        lock.lock();
        if (accepting()) {
            deliver();
        }
        if (taken < 0 || static_cast<std::size_t>(taken) < wanted) {
            setPending(!overflow_.empty());
            return;  // the engine's reader is empty
        }
    }
}

void ReaderPump::wakeWaitingReaders() {
    if (wakeReaders_) {
        wakeReaders_ = false;
        subscriber_->wakeReaders();
    }
}

void ReaderPump::deliver() {
    for (auto& item : items_) {
        if (subscriber_ && (!overflow_.empty() || (item.valid && subscriber_->room() == 0))) {
            overflow_.push_back(std::move(item));
        } else {
            deliverItem(item);
        }
    }
    items_.clear();
}

void ReaderPump::flushOverflow() {
    // An instance's going needs no room.
    while (!overflow_.empty() && (!overflow_.front().valid || subscriber_->room() > 0)) {
        deliverItem(overflow_.front());
        overflow_.pop_front();
    }
}

void ReaderPump::deliverItem(Item& item) {
    if (subscriber_) {
        if (item.valid) {
            auto key = item.removedAfter ? item.sample->cloneKeyEntity() : nullptr;
            subscriber_->enqueue(std::move(item.sample), item.timestamp, &wakeReaders_);
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

void ReaderPump::closeTarget() {
    if (mrv_) {
        mrv_->close(mrv_);
    }
}

void ReaderPump::stop() {
    std::lock_guard<std::mutex> stopLock(stopMutex_);
    if (deleted_) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(topic_->mutex);
        stop_ = true;
        setPending(false);
        overflow_.clear();
    }
    // A take under way ends; later ones see stop_ and leave the engine's reader alone.
    { std::lock_guard<std::mutex> taking(takeMutex_); }
    // Waits for a listener call under way, which needs the topic's mutex.
    dds_delete(reader_);
    deleted_ = true;
}

}  // namespace tav::qel::dds
