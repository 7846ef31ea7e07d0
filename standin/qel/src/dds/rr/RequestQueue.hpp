#pragma once
// The requests a service's carrier holds back from its server, per caller. At most
// kRunningPerCaller requests of one caller are with the server at a time; callers
// take turns to hand on their next one, so that one caller's flood leaves the others
// served; and what waits is bounded per caller and per service, in requests and in
// the bytes of their texts. A caller is a client link of another process (all the
// clients of one endpoint in that process).
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "tav/qel/RrWireType.hpp"
#include "tav/qel/rr/detail/Request.hpp"

namespace tav::qel::dds {

class RequestQueue {
public:
    static constexpr std::size_t kRunningPerCaller = 16;
    static constexpr std::size_t kWaitingPerCaller = 1024;
    static constexpr std::size_t kWaitingPerService = 8192;
    static constexpr std::size_t kBytesPerCaller = 16u << 20;
    static constexpr std::size_t kBytesPerService = 64u << 20;

    struct Entry {
        RrHeader header;
        tav::qel::rr::detail::Request request;
        std::chrono::steady_clock::time_point arrived;
        std::size_t bytes = 0;
    };

    // Queues a request; the reason it was refused (the caller's or the service's
    // bound reached), or nothing.
    std::optional<std::string> push(Entry entry);
    // The next request to hand to the server, taking callers in turn; it then counts
    // as running until finished() is called for its caller.
    std::optional<Entry> next();
    // One running request of caller ended.
    void finished(const RrClientId& caller);
    // Takes a waiting request out; false when it is not waiting (running, or gone).
    bool remove(const RrClientId& caller, std::uint64_t sequence);
    // Takes every waiting request out (the service closes).
    std::vector<Entry> drain();

private:
    struct Caller {
        std::deque<Entry> waiting;
        std::size_t running = 0;
        std::size_t bytes = 0;
    };

    std::mutex mutex_;
    std::map<RrClientId, Caller> callers_;
    // Callers in the order of their turns; a caller is in it while it has requests
    // waiting.
    std::deque<RrClientId> turns_;
    std::size_t waiting_ = 0;
    std::size_t bytes_ = 0;
};

}  // namespace tav::qel::dds
