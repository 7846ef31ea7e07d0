#pragma once
#include <memory>
#include <string>
#include <utility>

#include "kyrif/KyrCmdsClient.hpp"
#include "rr_client/ClientDelegate.hpp"
#include "tav/qel/bindings/FutureDelegate.hpp"

namespace kyrif {

// Python's blocking KyrCmds client: owns one middleware client and forwards to it.
// The commands are called with the interpreter lock released by their bindings;
// asyncConnect releases it itself; the other operations run with it held.
class KyrCmdsSyncDelegate : public ClientDelegate<KyrCmdsSync> {
public:
    explicit KyrCmdsSyncDelegate(std::unique_ptr<KyrCmdsSync>&& client) : ClientDelegate(std::move(client)) {}

    std::string serviceDescription() const { return KyrCmds::serviceDescription(); }

    std::string Abort() { return client().Abort(); }
    std::string Execute(const std::shared_ptr<Method>& method) { return client().Execute(method); }
    std::string GetConfig(const std::string& text) { return client().GetConfig(text); }
    std::string GetDiagnostics() { return client().GetDiagnostics(); }
    std::string GetSetup(const std::string& text) { return client().GetSetup(text); }
    std::string Ping() { return client().Ping(); }
    std::string ReadPars(const std::string& text) { return client().ReadPars(text); }
    std::string Recover() { return client().Recover(); }
    std::string Scan() { return client().Scan(); }
    std::string SetConfig(const std::string& text) { return client().SetConfig(text); }
    std::string Setup(const std::string& text) { return client().Setup(text); }
    std::string Start(const std::shared_ptr<StartProperties>& properties) { return client().Start(properties); }
    std::string WritePars(const std::string& text) { return client().WritePars(text); }
};

}  // namespace kyrif
