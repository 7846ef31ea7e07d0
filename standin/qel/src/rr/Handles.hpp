#pragma once
// The engine's entities as the middleware's interfaces hand them out. Destroying a
// server handle closes the server; destroying a client handle releases the client,
// whose requests already sent still complete by their reply or their timeout.
#include <memory>
#include <string>

#include "ClientState.hpp"
#include "ServerCore.hpp"
#include "tav/qel/rr/Server.hpp"
#include "tav/qel/rr/detail/ClientCore.hpp"

namespace tav::qel::embedded::reqrep {

class ServerHandle final : public tav::qel::rr::Server {
public:
    explicit ServerHandle(std::shared_ptr<ServerCore> core) : core_(std::move(core)) {}
    ~ServerHandle() override;
    void registerService(const std::string& name, std::shared_ptr<tav::qel::rr::RrEntity> impl,
                         const std::string& libraryName, const std::string& typeName) override;
    void unregisterService(const std::string& name) override;
    std::string getEndpoint() const override;
    void close() override;

private:
    std::shared_ptr<ServerCore> core_;
};

class ClientHandle final : public tav::qel::rr::detail::ClientCore {
public:
    explicit ClientHandle(std::shared_ptr<ClientState> state) : state_(std::move(state)) {}
    ~ClientHandle() override;
    std::shared_ptr<tav::qel::Qel> getQel() const override;
    void close() override;
    boost::future<void> asyncConnect() override;
    tav::qel::rr::ListenerRegistration registerConnectionListener(std::function<void(bool)> listener) override;
    boost::future<std::string> call(tav::qel::rr::detail::Request request) override;
    std::string callSync(tav::qel::rr::detail::Request request) override;

private:
    std::shared_ptr<ClientState> state_;
};

}  // namespace tav::qel::embedded::reqrep
