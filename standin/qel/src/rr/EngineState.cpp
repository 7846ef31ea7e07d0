#include "EngineState.hpp"

#include "ClientState.hpp"
#include "ServerCore.hpp"
#include "ServicePort.hpp"
#include "tav/qel/QelException.hpp"

namespace tav::qel::embedded::reqrep {

EngineState::EngineState() : notifier(std::make_shared<Notifier>()) {}

EngineState::~EngineState() {
    timer.stop();
    notifier->stop();
    workers.stop();
}

template <class T>
void EngineState::sweep(std::vector<std::weak_ptr<T>>& list, std::size_t& watermark) {
    if (list.size() < watermark) {
        return;
    }
    std::vector<std::weak_ptr<T>> alive;
    for (auto& weak : list) {
        if (!weak.expired()) {
            alive.push_back(std::move(weak));
        }
    }
    list.swap(alive);
    watermark = std::max<std::size_t>(64, list.size() * 2);
}

std::shared_ptr<ServicePort> EngineState::port(const std::string& endpoint) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto& slot = ports_[endpoint];
    if (auto existing = slot.lock()) {
        return existing;
    }
    auto made = std::make_shared<ServicePort>(endpoint, notifier);
    slot = made;
    if (ports_.size() >= portsWatermark_) {
        for (auto it = ports_.begin(); it != ports_.end();) {
            it = it->second.expired() ? ports_.erase(it) : std::next(it);
        }
        portsWatermark_ = std::max<std::size_t>(64, ports_.size() * 2);
    }
    return made;
}

void EngineState::adopt(const std::shared_ptr<ServerCore>& server) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (shutDown_) {
        throw tav::qel::ClosedException("the middleware has shut down");
    }
    sweep(servers_, serversWatermark_);
    servers_.push_back(server);
}

void EngineState::adopt(const std::shared_ptr<ClientState>& client) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (shutDown_) {
        throw tav::qel::ClosedException("the middleware has shut down");
    }
    sweep(clients_, clientsWatermark_);
    clients_.push_back(client);
}

bool EngineState::isShutDown() {
    std::lock_guard<std::mutex> lock(mutex_);
    return shutDown_;
}

void EngineState::shutdown() {
    std::vector<std::weak_ptr<ServerCore>> servers;
    std::vector<std::weak_ptr<ClientState>> clients;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (shutDown_) {
            return;
        }
        shutDown_ = true;
        servers.swap(servers_);
        clients.swap(clients_);
    }
    // Clients first: every waiting call and connect fails with ClosedException and
    // no listener hears the servers go.
    for (auto& weak : clients) {
        if (auto client = weak.lock()) {
            client->close();
        }
    }
    for (auto& weak : servers) {
        if (auto server = weak.lock()) {
            server->close();
        }
    }
    timer.stop();
    notifier->stop();
    // Every server is closed: no request runs any more (except on this thread when a
    // service shuts the middleware down), and the worker threads end.
    workers.stop();
}

}  // namespace tav::qel::embedded::reqrep
