#include "Handles.hpp"

#include "tav/qel/OwningProcess.hpp"

namespace tav::qel::embedded::reqrep {

namespace {

void checkServer() { ensureOwningProcess("this server"); }
void checkClient() { ensureOwningProcess("this client"); }

}  // namespace

ServerHandle::~ServerHandle() {
    if (abandonedInForkedProcess(core_)) {
        return;  // its workers and locks may be the parent's
    }
    try {
        core_->close();
    } catch (...) {
    }
}

void ServerHandle::registerService(const std::string& name, std::shared_ptr<tav::qel::rr::RrEntity> impl,
                                   const std::string& libraryName, const std::string& typeName) {
    checkServer();
    core_->registerService(name, std::move(impl), libraryName, typeName);
}

void ServerHandle::unregisterService(const std::string& name) {
    checkServer();
    core_->unregisterService(name);
}

std::string ServerHandle::getEndpoint() const {
    checkServer();
    return core_->endpoint();
}

void ServerHandle::close() {
    if (!inForkedProcess()) {
        core_->close();
    }
}

ClientHandle::~ClientHandle() {
    if (abandonedInForkedProcess(state_)) {
        return;
    }
    // Requests already sent still get their reply or their timeout: the caller may
    // hold their futures after letting go of the client.
    try {
        state_->release();
    } catch (...) {
    }
}

std::shared_ptr<tav::qel::Qel> ClientHandle::getQel() const {
    checkClient();
    return state_->qel();
}

void ClientHandle::close() {
    if (!inForkedProcess()) {
        state_->close();
    }
}

boost::future<void> ClientHandle::asyncConnect() {
    checkClient();
    return state_->asyncConnect();
}

tav::qel::rr::ListenerRegistration ClientHandle::registerConnectionListener(std::function<void(bool)> listener) {
    checkClient();
    return state_->registerConnectionListener(std::move(listener));
}

boost::future<std::string> ClientHandle::call(tav::qel::rr::detail::Request request) {
    checkClient();
    return state_->call(std::move(request));
}

std::string ClientHandle::callSync(tav::qel::rr::detail::Request request) {
    checkClient();
    return state_->callSync(std::move(request));
}

}  // namespace tav::qel::embedded::reqrep
