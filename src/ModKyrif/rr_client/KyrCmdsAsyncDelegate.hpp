#pragma once
#include <memory>
#include <string>
#include <utility>

#include "kyrif/KyrCmdsClient.hpp"
#include "rr_client/ClientDelegate.hpp"
#include "tav/qel/bindings/FutureDelegate.hpp"

namespace kyrif {

// Python's KyrCmds client whose commands return futures: owns one middleware client
// and forwards to it. Each command hands its middleware future to a new wrapper as
// soon as the client returns it; nothing here waits for a reply.
class KyrCmdsAsyncDelegate : public ClientDelegate<KyrCmdsAsync> {
public:
    using TextFuture = tav::qel::bindings::FutureDelegate<std::string, std::string>;

    explicit KyrCmdsAsyncDelegate(std::unique_ptr<KyrCmdsAsync>&& client) : ClientDelegate(std::move(client)) {}

    std::string serviceDescription() const { return AsyncKyrCmds::serviceDescription(); }

    std::unique_ptr<TextFuture> Abort() { return wrap(client().Abort()); }
    std::unique_ptr<TextFuture> Execute(const std::shared_ptr<Method>& method) { return wrap(client().Execute(method)); }
    std::unique_ptr<TextFuture> GetConfig(const std::string& text) { return wrap(client().GetConfig(text)); }
    std::unique_ptr<TextFuture> GetDiagnostics() { return wrap(client().GetDiagnostics()); }
    std::unique_ptr<TextFuture> GetSetup(const std::string& text) { return wrap(client().GetSetup(text)); }
    std::unique_ptr<TextFuture> Ping() { return wrap(client().Ping()); }
    std::unique_ptr<TextFuture> ReadPars(const std::string& text) { return wrap(client().ReadPars(text)); }
    std::unique_ptr<TextFuture> Recover() { return wrap(client().Recover()); }
    std::unique_ptr<TextFuture> Scan() { return wrap(client().Scan()); }
    std::unique_ptr<TextFuture> SetConfig(const std::string& text) { return wrap(client().SetConfig(text)); }
    std::unique_ptr<TextFuture> Setup(const std::string& text) { return wrap(client().Setup(text)); }
    std::unique_ptr<TextFuture> Start(const std::shared_ptr<StartProperties>& properties) {
        return wrap(client().Start(properties));
    }
    std::unique_ptr<TextFuture> WritePars(const std::string& text) { return wrap(client().WritePars(text)); }

private:
    static std::unique_ptr<TextFuture> wrap(boost::future<std::string>&& future) {
        return std::make_unique<TextFuture>(std::move(future));
    }
};

}  // namespace kyrif
