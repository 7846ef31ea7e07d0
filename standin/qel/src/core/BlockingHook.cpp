// The hooks an embedding interpreter installs around the middleware's waits and
// around the batches of handler calls of its dispatcher threads.
#include "tav/qel/BlockingHook.hpp"
#include "tav/qel/detail/DeliveryHook.hpp"

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

namespace detail {

namespace {
std::atomic<DeliveryHook> currentDeliveryHook{nullptr};
}

void setDeliveryHook(DeliveryHook hook) {
    currentDeliveryHook.store(hook);
}

void runDelivery(const std::function<void()>& batch) {
    if (DeliveryHook hook = currentDeliveryHook.load()) {
        hook(batch);
    } else {
        batch();
    }
}

}  // namespace detail

}  // namespace tav::qel
