// The hook an embedding interpreter installs around the middleware's waits.
#include "tav/qel/BlockingHook.hpp"

#include <atomic>

namespace tav::qel {

namespace {
std::atomic<BlockingHook> currentHook{nullptr};
}

void setBlockingHook(BlockingHook hook) {
    currentHook.store(hook);
}

void runBlocking(const std::function<void()>& wait) {
    if (BlockingHook hook = currentHook.load()) {
        hook(wait);
    } else {
        wait();
    }
}

}  // namespace tav::qel
