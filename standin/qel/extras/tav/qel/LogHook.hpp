#pragma once
#include <string>

#include "tav/qel/Export.hpp"

namespace tav::qel {

// Levels of the middleware's messages, numbered as Python's logging numbers them.
enum class LogLevel : int { Debug = 10, Info = 20, Warning = 30, Error = 40 };

// Where the middleware's messages go. An embedding language installs a hook that
// hands them to its own logging (pyqelcpp: Python's `logging`, under the given
// logger name); without one they are written to standard error. Messages are sent
// only from threads that may enter the embedding interpreter (callers' threads and
// the exit work), never from the engine's own threads.
using LogHook = void (*)(LogLevel level, const char* logger, const std::string& message);

QEL_API void setLogHook(LogHook hook);
QEL_API void logMessage(LogLevel level, const char* logger, const std::string& message);

}  // namespace tav::qel
