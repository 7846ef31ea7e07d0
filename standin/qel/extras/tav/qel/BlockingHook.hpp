#pragma once
#include <functional>

#include "tav/qel/Export.hpp"

namespace tav::qel {

// Runs a wait of the middleware that may happen on a thread of an embedding
// interpreter (closing or destroying an entity while one of its handlers may still be
// running on a middleware thread). An embedding language installs a hook that lets
// its other threads run during such waits (pyqelcpp releases the Python interpreter
// lock); without a hook the wait simply runs.
using BlockingHook = void (*)(const std::function<void()>& wait);

QEL_API void setBlockingHook(BlockingHook hook);
QEL_API void runBlocking(const std::function<void()>& wait);

}  // namespace tav::qel
