#pragma once
// What the engine's servers and clients share: the ports, the timer and notifier
// threads, the worker threads that run every server's requests, and the lists that
// shutdown walks.
#include <memory>
#include <mutex>
#include <string>
#include <chrono>
#include <unordered_map>
#include <vector>

#include "../core/ElasticPool.hpp"
#include "Notifier.hpp"
#include "ReplyTimer.hpp"

namespace tav::qel::embedded::reqrep {

class ClientState;
class ServerCore;
class ServicePort;

struct EngineState {
    EngineState();
    ~EngineState();
    EngineState(const EngineState&) = delete;
    EngineState& operator=(const EngineState&) = delete;

    // The port of a client endpoint text, made on first use.
    std::shared_ptr<ServicePort> port(const std::string& endpoint);
    // Records an entity for shutdown; ClosedException after shutdown.
    void adopt(const std::shared_ptr<ServerCore>& server);
    void adopt(const std::shared_ptr<ClientState>& client);
    // Closes every client (their pending operations fail) and every server, then
    // ends the engine's threads. Harmless when repeated.
    void shutdown();
    bool isShutDown();

    ReplyTimer timer;
    const std::shared_ptr<Notifier> notifier;
    ElasticPool workers{"worker", std::chrono::seconds(2), std::chrono::microseconds(200)};

private:
    template <class T>
    static void sweep(std::vector<std::weak_ptr<T>>& list, std::size_t& watermark);

    std::mutex mutex_;
    bool shutDown_ = false;
    std::unordered_map<std::string, std::weak_ptr<ServicePort>> ports_;
    std::size_t portsWatermark_ = 64;
    std::vector<std::weak_ptr<ServerCore>> servers_;
    std::size_t serversWatermark_ = 64;
    std::vector<std::weak_ptr<ClientState>> clients_;
    std::size_t clientsWatermark_ = 64;
};

}  // namespace tav::qel::embedded::reqrep
