// Turns and bounds of the requests waiting for a service.
#include "RequestQueue.hpp"

#include <algorithm>

namespace tav::qel::dds {

std::optional<std::string> RequestQueue::push(Entry entry) {
    std::lock_guard<std::mutex> lock(mutex_);
    Caller& caller = callers_[entry.header.client];
    if (caller.waiting.size() >= kWaitingPerCaller || caller.bytes + entry.bytes > kBytesPerCaller) {
        return "its caller has " + std::to_string(caller.waiting.size()) + " requests of " +
               std::to_string(caller.bytes) + " bytes waiting already (at most " + std::to_string(kWaitingPerCaller) +
               " requests or " + std::to_string(kBytesPerCaller) + " bytes)";
    }
    if (waiting_ >= kWaitingPerService || bytes_ + entry.bytes > kBytesPerService) {
        return "the service has " + std::to_string(waiting_) + " requests of " + std::to_string(bytes_) +
               " bytes waiting already (at most " + std::to_string(kWaitingPerService) + " requests or " +
               std::to_string(kBytesPerService) + " bytes)";
    }
    if (caller.waiting.empty()) {
        turns_.push_back(entry.header.client);
    }
    caller.bytes += entry.bytes;
    bytes_ += entry.bytes;
    ++waiting_;
    caller.waiting.push_back(std::move(entry));
    return std::nullopt;
}

std::optional<RequestQueue::Entry> RequestQueue::next() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (std::size_t tried = 0; tried < turns_.size(); ++tried) {
        const RrClientId id = turns_.front();
        turns_.pop_front();
        Caller& caller = callers_[id];
        if (caller.running >= kRunningPerCaller) {
            turns_.push_back(id);  // its turn comes again once one of its requests ends
            continue;
        }
        Entry entry = std::move(caller.waiting.front());
        caller.waiting.pop_front();
        caller.bytes -= entry.bytes;
        bytes_ -= entry.bytes;
        --waiting_;
        ++caller.running;
        if (!caller.waiting.empty()) {
            turns_.push_back(id);
        }
        return entry;
    }
    return std::nullopt;
}

void RequestQueue::finished(const RrClientId& id) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = callers_.find(id);
    if (it == callers_.end()) {
        return;
    }
    Caller& caller = it->second;
    if (caller.running > 0) {
        --caller.running;
    }
    if (caller.running == 0 && caller.waiting.empty()) {
        callers_.erase(it);  // forgotten, so that callers that went leave nothing behind
    }
}

bool RequestQueue::remove(const RrClientId& id, std::uint64_t sequence) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = callers_.find(id);
    if (it == callers_.end()) {
        return false;
    }
    Caller& caller = it->second;
    auto entry = std::find_if(caller.waiting.begin(), caller.waiting.end(),
                              [&](const Entry& e) { return e.header.sequence == sequence; });
    if (entry == caller.waiting.end()) {
        return false;
    }
    caller.bytes -= entry->bytes;
    bytes_ -= entry->bytes;
    --waiting_;
    caller.waiting.erase(entry);
    if (caller.waiting.empty()) {
        turns_.erase(std::remove(turns_.begin(), turns_.end(), id), turns_.end());
        if (caller.running == 0) {
            callers_.erase(it);
        }
    }
    return true;
}

std::vector<RequestQueue::Entry> RequestQueue::drain() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Entry> all;
    for (auto& [id, caller] : callers_) {
        for (Entry& entry : caller.waiting) {
            all.push_back(std::move(entry));
        }
        caller.waiting.clear();
        caller.bytes = 0;
    }
    turns_.clear();
    waiting_ = 0;
    bytes_ = 0;
    return all;
}

}  // namespace tav::qel::dds
