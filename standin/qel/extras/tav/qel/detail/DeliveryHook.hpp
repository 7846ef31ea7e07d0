#pragma once
#include <functional>

#include "tav/qel/Export.hpp"

namespace tav::qel::detail {

// Runs one batch of handler and notifier calls on a dispatcher thread of the
// middleware. An embedding interpreter may install a hook that takes its lock once
// around the whole batch (the handlers then take it again cheaply), instead of
// once per handler call; without a hook the batch simply runs. The batch catches
// the handlers' exceptions itself; the hook must run it exactly once.
using DeliveryHook = void (*)(const std::function<void()>& batch);

QEL_API void setDeliveryHook(DeliveryHook hook);
QEL_API void runDelivery(const std::function<void()>& batch);

}  // namespace tav::qel::detail
