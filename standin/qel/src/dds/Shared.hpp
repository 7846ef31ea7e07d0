#pragma once
// State that every entity of one transport between processes shares: whether the
// middleware has shut down, the middleware itself, and the entities that shutdown
// must finish.
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "WriteFlusher.hpp"
#include "tav/qel/Qel.hpp"

namespace tav::qel::dds {

class Writer;
class ReaderPump;

struct Shared {
    std::atomic<bool> shutDown{false};
    std::weak_ptr<Qel> qel;
    // Sends the batches of every writer.
    const std::shared_ptr<WriteFlusher> flusher = std::make_shared<WriteFlusher>();

    std::mutex mutex;
    std::vector<std::weak_ptr<Writer>> writers;
    std::vector<std::weak_ptr<ReaderPump>> pumps;

    template <class Entity>
    static void track(std::vector<std::weak_ptr<Entity>>& list, const std::shared_ptr<Entity>& entity) {
        // Forget the entities that went, so that the lists do not grow without bound.
        for (auto it = list.begin(); it != list.end();) {
            it = it->expired() ? list.erase(it) : it + 1;
        }
        list.push_back(entity);
    }
};

// Throws ClosedException when the middleware has shut down: every entity operation
// passes here first.
void checkRunning(const Shared& shared, const std::string& what);

}  // namespace tav::qel::dds
