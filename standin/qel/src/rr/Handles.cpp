#include "Handles.hpp"

namespace tav::qel::embedded::reqrep {

ServerHandle::~ServerHandle() {
    try {
        core_->close();
    } catch (...) {
    }
}

void ServerHandle::registerService(const std::string& name, std::shared_ptr<tav::qel::rr::RrEntity> impl,
                                   const std::string& libraryName, const std::string& typeName) {
    core_->registerService(name, std::move(impl), libraryName, typeName);
}

void ServerHandle::unregisterService(const std::string& name) { core_->unregisterService(name); }

std::string ServerHandle::getEndpoint() const { return core_->endpoint(); }

void ServerHandle::close() { core_->close(); }

ClientHandle::~ClientHandle() {
    // Requests already sent still get their reply or their timeout: the caller may
    // hold their futures after letting go of the client.
    try {
        state_->release();
    } catch (...) {
    }
}

std::shared_ptr<tav::qel::Qel> ClientHandle::getQel() const { return state_->qel(); }

void ClientHandle::close() { state_->close(); }

boost::future<void> ClientHandle::asyncConnect() { return state_->asyncConnect(); }

tav::qel::rr::ListenerRegistration ClientHandle::registerConnectionListener(std::function<void(bool)> listener) {
    return state_->registerConnectionListener(std::move(listener));
}

boost::future<std::string> ClientHandle::call(tav::qel::rr::detail::Request request) {
    return state_->call(std::move(request));
}

std::string ClientHandle::callSync(tav::qel::rr::detail::Request request) {
    return state_->callSync(std::move(request));
}

}  // namespace tav::qel::embedded::reqrep
