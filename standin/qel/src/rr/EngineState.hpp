#pragma once
// What the engine's servers and clients share: the ports, the timer and notifier
// threads, and the lists that shutdown walks.
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

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
    // Keeps threads that could not be joined where they were stopped (a server closed
    // from one of its own workers); shutdown joins them.
    void retire(std::vector<std::thread> threads);
    void shutdown();
    bool isShutDown();

    ReplyTimer timer;
    const std::shared_ptr<Notifier> notifier;

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
    std::vector<std::thread> retired_;
};

}  // namespace tav::qel::embedded::reqrep
