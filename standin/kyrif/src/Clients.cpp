#include "Clients.hpp"

#include <string>
#include <utility>

#include "kyrif/KyrCmdsClient.hpp"
#include "tav/qel/QelException.hpp"

namespace kyrif::detail {

namespace {

using tav::qel::rr::detail::ClientCore;
using tav::qel::rr::detail::Request;

// The entity operations every client forwards to its core.
template <class Interface>
class ClientBase : public Interface {
public:
    explicit ClientBase(std::unique_ptr<ClientCore> core) : core_(std::move(core)) {
        if (!core_) {
            throw tav::qel::QelException("a kyrif client needs a client core");
        }
    }

    std::shared_ptr<tav::qel::Qel> getQel() const override { return core_->getQel(); }
    void close() override { core_->close(); }
    boost::future<void> asyncConnect() override { return core_->asyncConnect(); }
    tav::qel::rr::ListenerRegistration registerConnectionListener(std::function<void(bool)> listener) override {
        return core_->registerConnectionListener(std::move(listener));
    }

protected:
    static Request request(const char* command) { return Request{command, {}, {}}; }
    static Request request(const char* command, const std::string& text) { return Request{command, text, {}}; }
    template <class T>
    static Request request(const char* command, const std::shared_ptr<T>& entity) {
        if (!entity) {
            throw tav::qel::QelException(std::string("kyrif::KyrCmds::") + command + " needs a structure argument");
        }
        return Request{command, {}, entity};
    }

    std::unique_ptr<ClientCore> core_;
};

class SyncClient final : public ClientBase<KyrCmdsSync> {
public:
    using ClientBase::ClientBase;

    std::string Abort() override { return core_->callSync(request("Abort")); }
    std::string Execute(const std::shared_ptr<Method>& method) override {
        return core_->callSync(request("Execute", method));
    }
    std::string GetConfig(const std::string& text) override { return core_->callSync(request("GetConfig", text)); }
    std::string GetDiagnostics() override { return core_->callSync(request("GetDiagnostics")); }
    std::string GetSetup(const std::string& text) override { return core_->callSync(request("GetSetup", text)); }
    std::string Ping() override { return core_->callSync(request("Ping")); }
    std::string ReadPars(const std::string& text) override { return core_->callSync(request("ReadPars", text)); }
    std::string Recover() override { return core_->callSync(request("Recover")); }
    std::string Scan() override { return core_->callSync(request("Scan")); }
    std::string SetConfig(const std::string& text) override { return core_->callSync(request("SetConfig", text)); }
    std::string Setup(const std::string& text) override { return core_->callSync(request("Setup", text)); }
    std::string Start(const std::shared_ptr<StartProperties>& properties) override {
        return core_->callSync(request("Start", properties));
    }
    std::string WritePars(const std::string& text) override { return core_->callSync(request("WritePars", text)); }
};

class AsyncClient final : public ClientBase<KyrCmdsAsync> {
public:
    using ClientBase::ClientBase;
    using Reply = boost::future<std::string>;

    Reply Abort() override { return core_->call(request("Abort")); }
    Reply Execute(const std::shared_ptr<Method>& method) override { return core_->call(request("Execute", method)); }
    Reply GetConfig(const std::string& text) override { return core_->call(request("GetConfig", text)); }
    Reply GetDiagnostics() override { return core_->call(request("GetDiagnostics")); }
    Reply GetSetup(const std::string& text) override { return core_->call(request("GetSetup", text)); }
    Reply Ping() override { return core_->call(request("Ping")); }
    Reply ReadPars(const std::string& text) override { return core_->call(request("ReadPars", text)); }
    Reply Recover() override { return core_->call(request("Recover")); }
    Reply Scan() override { return core_->call(request("Scan")); }
    Reply SetConfig(const std::string& text) override { return core_->call(request("SetConfig", text)); }
    Reply Setup(const std::string& text) override { return core_->call(request("Setup", text)); }
    Reply Start(const std::shared_ptr<StartProperties>& properties) override {
        return core_->call(request("Start", properties));
    }
    Reply WritePars(const std::string& text) override { return core_->call(request("WritePars", text)); }
};

}  // namespace

void* makeSyncClient(std::unique_ptr<ClientCore> core) {
    return static_cast<KyrCmdsSync*>(new SyncClient(std::move(core)));
}

void* makeAsyncClient(std::unique_ptr<ClientCore> core) {
    return static_cast<KyrCmdsAsync*>(new AsyncClient(std::move(core)));
}

}  // namespace kyrif::detail
