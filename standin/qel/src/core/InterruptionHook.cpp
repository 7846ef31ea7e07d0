// The hook through which an embedding interpreter attends to its waiting threads.
#include "tav/qel/InterruptionHook.hpp"

#include <atomic>

namespace tav::qel {

namespace {
std::atomic<const InterruptionHook*> currentHook{nullptr};
}

void setInterruptionHook(const InterruptionHook* hook) {
    currentHook.store(hook);
}

const InterruptionHook* interruptionHook() {
    return currentHook.load();
}

}  // namespace tav::qel
