// Most-recent-value subscribers.
#include "MrvState.hpp"

#include <algorithm>

#include "../core/Deadline.hpp"
#include "tav/qel/QelException.hpp"

namespace tav::qel::embedded {

void MrvState::checkOpen() const {
    if (topic_->shutDown) {
        throw ClosedException("most-recent-value subscriber of topic '" + topic_->name +
                              "': the middleware has shut down");
    }
    if (closed_) {
        throw ClosedException("most-recent-value subscriber of topic '" + topic_->name + "' is closed");
    }
}

void MrvState::store(std::unique_ptr<ps::DataEntityBase> copy) {
    const bool keyed = copy->hasKeyEntity();
    const std::size_t hash = keyed ? copy->keyHash() : 0;
    auto range = index_.equal_range(hash);
    for (auto it = range.first; it != range.second; ++it) {
        if (!keyed || keys_[it->second]->keyEqualsEntity(*copy)) {
            latest_[it->second] = std::shared_ptr<ps::DataEntityBase>(std::move(copy));
            return;
        }
    }
    index_.emplace(hash, latest_.size());
    keys_.push_back(copy->cloneKeyEntity());
    latest_.emplace_back(std::move(copy));
    if (waiting_ > 0) {
        cv_.notify_all();
    }
}

void MrvState::drop(const ps::DataEntityBase& key) {
    const bool keyed = key.hasKeyEntity();
    auto range = index_.equal_range(keyed ? key.keyHash() : 0);
    for (auto it = range.first; it != range.second; ++it) {
        if (!keyed || keys_[it->second]->keyEqualsEntity(key)) {
            const std::size_t position = it->second;
            std::shared_ptr<ps::DataEntityBase> dropped = std::move(latest_[position]);
            keys_.erase(keys_.begin() + static_cast<std::ptrdiff_t>(position));
            latest_.erase(latest_.begin() + static_cast<std::ptrdiff_t>(position));
            // Positions after the dropped one moved down by one.
            index_.erase(it);
            for (auto& entry : index_) {
                if (entry.second > position) {
                    --entry.second;
                }
            }
            return;
        }
    }
}

std::vector<std::shared_ptr<ps::DataEntityBase>> MrvState::readMostRecent(std::chrono::milliseconds timeout) {
    const Deadline deadline(timeout);
    std::unique_lock<std::mutex> lock(topic_->mutex);
    checkOpen();
    if (latest_.empty()) {
        deadline.wait(cv_, lock, waiting_, [&] { return closed_ || topic_->shutDown || !latest_.empty(); });
        checkOpen();
    }
    return latest_;
}

void MrvState::close(const std::shared_ptr<MrvState>& self) {
    std::vector<std::shared_ptr<ps::DataEntityBase>> dropped;
    std::lock_guard<std::mutex> lock(topic_->mutex);
    if (closed_) {
        return;
    }
    closed_ = true;
    auto& mrvs = topic_->mrvs;
    mrvs.erase(std::remove(mrvs.begin(), mrvs.end(), self), mrvs.end());
    dropped.swap(latest_);
    keys_.clear();
    index_.clear();
    cv_.notify_all();
}

}  // namespace tav::qel::embedded
