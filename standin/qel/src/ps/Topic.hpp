#pragma once
// A topic of the embedded middleware: the entities on one endpoint and the one
// lock that guards all their queues, so that a publish takes a single lock.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "../core/ElasticPool.hpp"
#include "tav/qel/Qel.hpp"
#include "tav/qel/ps/detail/DataTypeSupportBase.hpp"

namespace tav::qel::embedded {

class SubscriberState;
class MrvState;

// State every publish/subscribe entity of one middleware shares.
struct PsShared {
    std::atomic<bool> shutDown{false};
    std::weak_ptr<Qel> qel;

    // The threads that run the asynchronous handlers and notifiers of every
    // subscriber; shutdown stops them once every subscriber is closed.
    ElasticPool dispatchers{"dispatcher", std::chrono::seconds(2)};
};

// The instances that one publisher, together with the instance publishers made from
// it, has written; guarded by the topic's mutex. When the last of them closes, the
// instances that no other publisher of the topic wrote go away.
struct WrittenInstances {
    std::unordered_multimap<std::size_t, std::unique_ptr<ps::DataEntityBase>> keys;
    std::size_t open = 0;

    bool has(const ps::DataEntityBase& key, std::size_t hash) const {
        auto range = keys.equal_range(hash);
        for (auto it = range.first; it != range.second; ++it) {
            if (!key.hasKeyEntity() || it->second->keyEqualsEntity(key)) {
                return true;
            }
        }
        return false;
    }
    void note(const ps::DataEntityBase& sample) {
        const std::size_t hash = sample.hasKeyEntity() ? sample.keyHash() : 0;
        if (!has(sample, hash)) {
            keys.emplace(hash, sample.cloneKeyEntity());
        }
    }
};

// Told whenever queue room of the topic was freed: a transport that leaves samples
// waiting elsewhere while a subscriber's queue is full takes them then.
class RoomWatcher {
public:
    // Called with the topic's mutex held; must not block.
    virtual void roomFreed() = 0;

protected:
    ~RoomWatcher() = default;
};

struct Topic {
    Topic(std::string topicName, std::string library, std::string type,
          std::shared_ptr<const ps::detail::DataTypeSupportBase> typeSupport, std::shared_ptr<PsShared> shared)
        : name(std::move(topicName)),
          libraryName(std::move(library)),
          typeName(std::move(type)),
          support(std::move(typeSupport)),
          engine(std::move(shared)) {}

    const std::string name;
    const std::string libraryName;
    const std::string typeName;
    const std::shared_ptr<const ps::detail::DataTypeSupportBase> support;
    const std::shared_ptr<PsShared> engine;

    // Guards everything below and the queues of every subscriber of the topic.
    std::mutex mutex;
    // Publishers wait here for room in the subscribers' queues.
    std::condition_variable roomCv;
    std::size_t publishersWaiting = 0;
    std::vector<std::shared_ptr<SubscriberState>> subscribers;
    std::vector<std::shared_ptr<MrvState>> mrvs;
    // Publishers with at least one open entity.
    std::vector<WrittenInstances*> writers;
    // Watchers with samples waiting for room.
    std::vector<RoomWatcher*> roomWatchers;
    bool shutDown = false;

    // Called with mutex held whenever queue room was freed.
    void roomFreed() {
        if (publishersWaiting > 0) {
            roomCv.notify_all();
        }
        for (RoomWatcher* watcher : roomWatchers) {
            watcher->roomFreed();
        }
    }
    // True when closed or when the middleware is shut down; mutex held.
    bool stopped() const { return shutDown; }
};

}  // namespace tav::qel::embedded
