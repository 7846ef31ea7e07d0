// The middleware's messages, through the hook of an embedding language or to stderr.
#include "tav/qel/LogHook.hpp"

#include <atomic>
#include <cstdio>

namespace tav::qel {

namespace {
std::atomic<LogHook> currentLogHook{nullptr};
}

void setLogHook(LogHook hook) {
    currentLogHook.store(hook);
}

void logMessage(LogLevel level, const char* logger, const std::string& message) {
    if (LogHook hook = currentLogHook.load()) {
        hook(level, logger, message);
        return;
    }
    if (level >= LogLevel::Warning) {
        std::fprintf(stderr, "%s: %s\n", logger, message.c_str());
    }
}

}  // namespace tav::qel
