#pragma once
// The commands of the KyrCmds interface and the kind of their one argument, in the
// interface's order.
#include <array>

namespace kyrif::detail {

enum class ArgumentKind { None, Text, Method, StartProperties };

struct CommandInfo {
    const char* name;
    ArgumentKind argument;
};

inline constexpr std::array<CommandInfo, 13> kCommands{{
    {"Abort", ArgumentKind::None},
    {"Execute", ArgumentKind::Method},
    {"GetConfig", ArgumentKind::Text},
    {"GetDiagnostics", ArgumentKind::None},
    {"GetSetup", ArgumentKind::Text},
    {"Ping", ArgumentKind::None},
    {"ReadPars", ArgumentKind::Text},
    {"Recover", ArgumentKind::None},
    {"Scan", ArgumentKind::None},
    {"SetConfig", ArgumentKind::Text},
    {"Setup", ArgumentKind::Text},
    {"Start", ArgumentKind::StartProperties},
    {"WritePars", ArgumentKind::Text},
}};

}  // namespace kyrif::detail
