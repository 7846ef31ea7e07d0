#pragma once
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

#include "kyrif/KyrCmdsClient.hpp"
#include "tav/qel/bindings/ClientRrEntityBaseDelegate.hpp"
#include "tav/qel/bindings/FutureDelegate.hpp"
#include "tav/qel/bindings/WithoutGil.hpp"

namespace kyrif {

// Python's blocking KyrCmds client: owns one middleware client and forwards to it.
// The commands are called with the interpreter lock released by their bindings;
// asyncConnect releases it itself; the other operations run with it held.
class KyrCmdsSyncDelegate : public virtual tav::qel::bindings::rr::ClientRrEntityBaseDelegate {
public:
    explicit KyrCmdsSyncDelegate(std::unique_ptr<KyrCmdsSync>&& client)
        : owned_(requireClient(std::move(client))), client_(*owned_) {}
    KyrCmdsSyncDelegate(const KyrCmdsSyncDelegate&) = delete;
    KyrCmdsSyncDelegate& operator=(const KyrCmdsSyncDelegate&) = delete;
    ~KyrCmdsSyncDelegate() override = default;

    void close() override { client_.close(); }
    tav::qel::bindings::FutureDelegate<void, void> asyncConnect() override {
        return tav::qel::bindings::withoutGil(
            [this] { return tav::qel::bindings::FutureDelegate<void, void>(client_.asyncConnect()); });
    }
    tav::qel::rr::ListenerRegistration registerConnectionListener(const std::function<void(bool)>& listener) override {
        return client_.registerConnectionListener(listener);
    }
    std::shared_ptr<tav::qel::Qel> getQel() const override { return client_.getQel(); }

    std::string serviceDescription() const { return KyrCmds::serviceDescription(); }

    std::string Abort() { return client_.Abort(); }
    std::string Execute(const std::shared_ptr<Method>& method) { return client_.Execute(method); }
    std::string GetConfig(const std::string& text) { return client_.GetConfig(text); }
    std::string GetDiagnostics() { return client_.GetDiagnostics(); }
    std::string GetSetup(const std::string& text) { return client_.GetSetup(text); }
    std::string Ping() { return client_.Ping(); }
    std::string ReadPars(const std::string& text) { return client_.ReadPars(text); }
    std::string Recover() { return client_.Recover(); }
    std::string Scan() { return client_.Scan(); }
    std::string SetConfig(const std::string& text) { return client_.SetConfig(text); }
    std::string Setup(const std::string& text) { return client_.Setup(text); }
    std::string Start(const std::shared_ptr<StartProperties>& properties) { return client_.Start(properties); }
    std::string WritePars(const std::string& text) { return client_.WritePars(text); }

private:
    static std::unique_ptr<KyrCmdsSync> requireClient(std::unique_ptr<KyrCmdsSync>&& client) {
        if (!client) {
            throw std::invalid_argument("KyrCmdsSyncDelegate needs a client");
        }
        return std::move(client);
    }

    std::unique_ptr<KyrCmdsSync> owned_;
    KyrCmdsSync& client_;
};

}  // namespace kyrif
