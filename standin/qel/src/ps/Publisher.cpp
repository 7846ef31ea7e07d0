// Publishers: one clone per subscriber, all or nothing, under the topic's one lock.
#include <algorithm>
#include <atomic>

#include "../core/Deadline.hpp"
#include "CoreFactories.hpp"
#include "tav/qel/OwningProcess.hpp"
#include "tav/qel/QelException.hpp"

namespace tav::qel::embedded {

namespace {

class PublisherCoreImpl final : public ps::detail::PublisherCore {
public:
    PublisherCoreImpl(std::shared_ptr<Topic> topic, std::unique_ptr<ps::DataEntityBase> key,
                      std::shared_ptr<WrittenInstances> written)
        : topic_(std::move(topic)),
          key_(std::move(key)),
          keyHash_(key_ ? key_->keyHash() : 0),
          written_(written ? std::move(written) : std::make_shared<WrittenInstances>()) {
        std::lock_guard<std::mutex> lock(topic_->mutex);
        if (written_->open++ == 0) {
            topic_->writers.push_back(written_.get());
        }
    }
    ~PublisherCoreImpl() override {
        if (inForkedProcess()) {
            abandonState(topic_);  // the topic's locks may be the parent threads'
            abandonState(written_);
            return;
        }
        close();
    }

    std::shared_ptr<Qel> getQel() const override {
        checkOpen();
        return topic_->engine->qel.lock();
    }

    void publish(const ps::DataEntityBase& sample, const double* timestamp,
                 std::chrono::milliseconds timeout) override {
        checkOpen();
        if (key_ && !(sample.keyHash() == keyHash_ && sample.keyEqualsEntity(*key_))) {
            throw QelException("publisher of topic '" + topic_->name +
                               "' is bound to one instance: the sample is of another instance");
        }
        Topic& topic = *topic_;
        std::unique_lock<std::mutex> lock(topic.mutex);
        checkOpen();
        if (anyFull()) {
            const Deadline deadline(timeout);
            const bool room = deadline.wait(topic.roomCv, lock, topic.publishersWaiting,
                                            [&] { return topic.shutDown || closed_.load() || !anyFull(); });
            checkOpen();
            if (!room) {
                throw TimeoutException("publish on topic '" + topic.name + "' timed out after " +
                                       millisecondsText(timeout) + ": a subscriber's queue stayed full");
            }
        }
        const double stamp = timestamp != nullptr ? *timestamp : nowSeconds();
        for (const auto& subscriber : topic.subscribers) {
            subscriber->enqueue(sample.cloneEntity(), stamp);
        }
        for (const auto& mrv : topic.mrvs) {
            mrv->store(sample.cloneEntity());
        }
        written_->note(sample);
    }

    void close() override {
        if (inForkedProcess()) {
            return;  // the publisher stays with the parent
        }
        if (!closed_.exchange(true)) {
            // A publish of this publisher waiting on another thread gives up.
            std::lock_guard<std::mutex> lock(topic_->mutex);
            topic_->roomFreed();
            if (--written_->open == 0) {
                removeInstances();
            }
        }
    }

    std::unique_ptr<ps::DataEntityBase> newEntity() override {
        checkOpen();
        if (key_) {
            return key_->cloneKeyEntity();
        }
        return std::unique_ptr<ps::DataEntityBase>(topic_->support->newEntity());
    }

    std::unique_ptr<ps::detail::PublisherCore> bindInstance(const ps::DataEntityBase& sample) override {
        checkOpen();
        return std::make_unique<PublisherCoreImpl>(topic_, sample.cloneKeyEntity(), written_);
    }

private:
    // The last entity of this publisher closed: its instances that no other publisher
    // wrote go away for every subscriber. Topic mutex held.
    void removeInstances() {
        Topic& topic = *topic_;
        auto& writers = topic.writers;
        writers.erase(std::remove(writers.begin(), writers.end(), written_.get()), writers.end());
        if (topic.shutDown) {
            return;
        }
        const double stamp = nowSeconds();
        for (const auto& [hash, key] : written_->keys) {
            const bool stillWritten = std::any_of(writers.begin(), writers.end(), [&](const WrittenInstances* other) {
                return other->has(*key, hash);
            });
            if (stillWritten) {
                continue;
            }
            for (const auto& subscriber : topic.subscribers) {
                subscriber->removeInstance(*key, stamp);
            }
            for (const auto& mrv : topic.mrvs) {
                mrv->drop(*key);
            }
        }
        written_->keys.clear();
    }

    void checkOpen() const {
        ensureOwningProcess("this publisher");
        if (topic_->engine->shutDown.load()) {
            throw ClosedException("publisher of topic '" + topic_->name + "': the middleware has shut down");
        }
        if (closed_.load()) {
            throw ClosedException("publisher of topic '" + topic_->name + "' is closed");
        }
    }

    bool anyFull() const {
        for (const auto& subscriber : topic_->subscribers) {
            if (subscriber->full()) {
                return true;
            }
        }
        return false;
    }

    const std::shared_ptr<Topic> topic_;
    const std::unique_ptr<ps::DataEntityBase> key_;
    const std::size_t keyHash_;
    const std::shared_ptr<WrittenInstances> written_;
    std::atomic<bool> closed_{false};
};

}  // namespace

std::unique_ptr<ps::detail::PublisherCore> makePublisherCore(std::shared_ptr<Topic> topic) {
    return std::make_unique<PublisherCoreImpl>(std::move(topic), nullptr, nullptr);
}

}  // namespace tav::qel::embedded
