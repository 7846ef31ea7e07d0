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
    bool shutDown = false;

    // Called with mutex held whenever queue room was freed.
    void roomFreed() {
        if (publishersWaiting > 0) {
            roomCv.notify_all();
        }
    }
    // True when closed or when the middleware is shut down; mutex held.
    bool stopped() const { return shutDown; }
};

}  // namespace tav::qel::embedded
