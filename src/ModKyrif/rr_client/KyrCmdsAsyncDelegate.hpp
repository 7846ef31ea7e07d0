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

// Python's KyrCmds client whose commands return futures: owns one middleware client
// and forwards to it. Each command hands its middleware future to a new wrapper as
// soon as the client returns it; nothing here waits for a reply.
class KyrCmdsAsyncDelegate : public virtual tav::qel::bindings::rr::ClientRrEntityBaseDelegate {
public:
    using TextFuture = tav::qel::bindings::FutureDelegate<std::string, std::string>;

    explicit KyrCmdsAsyncDelegate(std::unique_ptr<KyrCmdsAsync>&& client)
        : owned_(requireClient(std::move(client))), client_(*owned_) {}
    KyrCmdsAsyncDelegate(const KyrCmdsAsyncDelegate&) = delete;
    KyrCmdsAsyncDelegate& operator=(const KyrCmdsAsyncDelegate&) = delete;
    ~KyrCmdsAsyncDelegate() override = default;

    void close() override { client_.close(); }
    tav::qel::bindings::FutureDelegate<void, void> asyncConnect() override {
        return tav::qel::bindings::withoutGil(
            [this] { return tav::qel::bindings::FutureDelegate<void, void>(client_.asyncConnect()); });
    }
    tav::qel::rr::ListenerRegistration registerConnectionListener(const std::function<void(bool)>& listener) override {
        return client_.registerConnectionListener(listener);
    }
    std::shared_ptr<tav::qel::Qel> getQel() const override { return client_.getQel(); }

    std::string serviceDescription() const { return AsyncKyrCmds::serviceDescription(); }

    std::unique_ptr<TextFuture> Abort() { return wrap(client_.Abort()); }
    std::unique_ptr<TextFuture> Execute(const std::shared_ptr<Method>& method) { return wrap(client_.Execute(method)); }
    std::unique_ptr<TextFuture> GetConfig(const std::string& text) { return wrap(client_.GetConfig(text)); }
    std::unique_ptr<TextFuture> GetDiagnostics() { return wrap(client_.GetDiagnostics()); }
    std::unique_ptr<TextFuture> GetSetup(const std::string& text) { return wrap(client_.GetSetup(text)); }
    std::unique_ptr<TextFuture> Ping() { return wrap(client_.Ping()); }
    std::unique_ptr<TextFuture> ReadPars(const std::string& text) { return wrap(client_.ReadPars(text)); }
    std::unique_ptr<TextFuture> Recover() { return wrap(client_.Recover()); }
    std::unique_ptr<TextFuture> Scan() { return wrap(client_.Scan()); }
    std::unique_ptr<TextFuture> SetConfig(const std::string& text) { return wrap(client_.SetConfig(text)); }
    std::unique_ptr<TextFuture> Setup(const std::string& text) { return wrap(client_.Setup(text)); }
    std::unique_ptr<TextFuture> Start(const std::shared_ptr<StartProperties>& properties) {
        return wrap(client_.Start(properties));
    }
    std::unique_ptr<TextFuture> WritePars(const std::string& text) { return wrap(client_.WritePars(text)); }

private:
    static std::unique_ptr<TextFuture> wrap(boost::future<std::string>&& future) {
        return std::make_unique<TextFuture>(std::move(future));
    }
    static std::unique_ptr<KyrCmdsAsync> requireClient(std::unique_ptr<KyrCmdsAsync>&& client) {
        if (!client) {
            throw std::invalid_argument("KyrCmdsAsyncDelegate needs a client");
        }
        return std::move(client);
    }

    std::unique_ptr<KyrCmdsAsync> owned_;
    KyrCmdsAsync& client_;
};

}  // namespace kyrif
