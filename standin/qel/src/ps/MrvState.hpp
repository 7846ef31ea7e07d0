#pragma once
// The engine's side of a most-recent-value subscriber: the latest sample of every
// instance, in order of first appearance, guarded by the topic's mutex.
#include <condition_variable>
#include <memory>
#include <unordered_map>
#include <vector>

#include "Topic.hpp"

namespace tav::qel::embedded {

class MrvState {
public:
    explicit MrvState(std::shared_ptr<Topic> topic) : topic_(std::move(topic)) {}

    // Topic mutex held.
    void store(std::unique_ptr<ps::DataEntityBase> copy);
    // Forgets the instance that key names (it went away). Topic mutex held.
    void drop(const ps::DataEntityBase& key);
    bool accepting() const { return !closed_ && !topic_->shutDown; }
    void wakeAll() { cv_.notify_all(); }

    std::vector<std::shared_ptr<ps::DataEntityBase>> readMostRecent(std::chrono::milliseconds timeout);
    void close(const std::shared_ptr<MrvState>& self);

private:
    void checkOpen() const;

    const std::shared_ptr<Topic> topic_;
    std::vector<std::unique_ptr<ps::DataEntityBase>> keys_;
    std::vector<std::shared_ptr<ps::DataEntityBase>> latest_;
    std::unordered_multimap<std::size_t, std::size_t> index_;
    std::condition_variable cv_;
    std::size_t waiting_ = 0;
    bool closed_ = false;
};

}  // namespace tav::qel::embedded
