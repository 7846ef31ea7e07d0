#pragma once
// A server's services and worker threads. Workers run requests one at a time; a
// request whose service answers with a pending future is finished by a continuation
// on the thread that completes that future, so it holds no worker while it waits.
#include <cstddef>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <condition_variable>
#include <string>
#include <thread>
#include <vector>

#include "Pending.hpp"
#include "ServiceBinding.hpp"
#include "tav/qel/rr/RrEntity.hpp"

namespace tav::qel::embedded::reqrep {

struct EngineState;

class ServerCore : public std::enable_shared_from_this<ServerCore> {
public:
    ServerCore(std::shared_ptr<EngineState> engine, std::string endpoint, std::size_t workers);
    ~ServerCore();
    ServerCore(const ServerCore&) = delete;
    ServerCore& operator=(const ServerCore&) = delete;

    // Starts the worker threads (not from the constructor: they share the server).
    void start();
    const std::string& endpoint() const noexcept { return endpoint_; }

    void registerService(const std::string& name, std::shared_ptr<tav::qel::rr::RrEntity> impl,
                         const std::string& libraryName, const std::string& typeName);
    void unregisterService(const std::string& name);
    // Fails the pending requests of its services with ClosedException, unbinds and
    // releases the services, and waits for the running requests (except on one of
    // its own workers, which cannot wait for itself). A close that finds another
    // one under way waits for it as well, so that every close returns with the
    // workers stopped (shutdown relies on it).
    void close();

    // Called by a port under its lock.
    void adopt(const std::shared_ptr<ServiceBinding>& binding);
    bool enqueue(const std::shared_ptr<Call>& call, const std::shared_ptr<ServiceBinding>& binding);

private:
    struct Job {
        std::shared_ptr<Call> call;
        std::shared_ptr<ServiceBinding> binding;
    };

    void work();
    void run(Job& job);
    bool track(const std::shared_ptr<Call>& call);
    void untrack(Call& call);

    const std::shared_ptr<EngineState> engine_;
    const std::string endpoint_;
    const std::size_t workerCount_;

    std::mutex mutex_;
    std::condition_variable wake_;
    bool closed_ = false;
    bool stopped_ = false;  // the first close has stopped the workers
    std::condition_variable stoppedCv_;
    std::deque<Job> queue_;
    std::map<std::string, std::shared_ptr<ServiceBinding>> services_;
    PendingList inFlight_;  // requests whose service future is still pending
    std::vector<std::thread> workers_;
};

}  // namespace tav::qel::embedded::reqrep
