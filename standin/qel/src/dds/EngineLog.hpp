#pragma once
// The engine's own messages (a send that failed, an interface that does not exist, a
// malformed packet) go to the middleware's log (Python's `logging` under pyqelcpp,
// logger "qel.dds.engine") instead of straight to stderr, from the moment the library
// is loaded. The engine writes them on any of its threads, which never enter an
// interpreter: the messages are queued and handed on by a thread of their own. A
// message repeated within kQuietFor (digits aside) is counted, not repeated, and the
// count is told with its next appearance.
#include <chrono>
#include <string>

#include "tav/qel/LogHook.hpp"

namespace tav::qel::dds {

// The loggers of the transports between processes: their own messages, and the
// engine's.
inline constexpr const char* kTransportLogger = "qel.dds";
inline constexpr const char* kEngineLogger = "qel.dds.engine";

class EngineLog {
public:
    static constexpr std::chrono::seconds kQuietFor{10};
    // Hands a message of the transport's own on through the same thread: for
    // messages that arise on the engine's threads, which must not log directly.
    static void post(LogLevel level, const char* logger, std::string text);
    // The last error or warning the engine wrote on the calling thread since the
    // last call, as " (what it said)" to append to an error message, or empty: the
    // reason behind a failed call of the engine, which its return code alone does
    // not tell.
    static std::string takeReason();
    // Hands on what is queued and ends the thread; later messages (of an engine whose
    // threads were left behind) are dropped. Part of the middleware's exit work; does
    // nothing in a process made by fork.
    static void stop();
};

}  // namespace tav::qel::dds
