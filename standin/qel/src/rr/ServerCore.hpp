#pragma once
// A server's services and its requests. The requests run on the engine's worker
// threads, which every server shares, at most `workers` of one server at once; a
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

#include "../core/ElasticPool.hpp"
#include "Pending.hpp"
#include "RequestSink.hpp"
#include "ServiceBinding.hpp"
#include "tav/qel/rr/RrEntity.hpp"

namespace tav::qel::embedded::reqrep {

struct EngineState;

class ServerCore : public PoolJob, public RequestSink, public std::enable_shared_from_this<ServerCore> {
public:
    ServerCore(std::shared_ptr<EngineState> engine, std::string endpoint, std::size_t workers);
    ~ServerCore() override;
    ServerCore(const ServerCore&) = delete;
    ServerCore& operator=(const ServerCore&) = delete;

    // Makes sure a worker thread exists: a QelException saying what failed when
    // none can start.
    void start();
    const std::string& endpoint() const noexcept { return endpoint_; }

    void registerService(const std::string& name, std::shared_ptr<tav::qel::rr::RrEntity> impl,
                         const std::string& libraryName, const std::string& typeName);
    void unregisterService(const std::string& name);
    // Fails the pending requests of its services with ClosedException, unbinds and
    // releases the services, and waits for the running requests (except on a
    // thread that runs one of them, which cannot wait for itself). A close that
    // finds another one under way waits for it as well, so that every close returns
    // with no request of the server running (shutdown relies on it).
    void close();

    // Called by a port under its lock.
    void adopt(const std::shared_ptr<ServiceBinding>& binding) override;
    bool enqueue(const std::shared_ptr<Call>& call, const std::shared_ptr<ServiceBinding>& binding) override;

private:
    struct Job {
        std::shared_ptr<Call> call;
        std::shared_ptr<ServiceBinding> binding;
    };

    // Runs queued requests on a worker thread until none is left.
    void runJob() override;
    void run(Job& job);
    bool track(const std::shared_ptr<Call>& call);
    void untrack(Call& call);

    const std::shared_ptr<EngineState> engine_;
    const std::string endpoint_;
    const std::size_t workerLimit_;

    std::mutex mutex_;
    bool closed_ = false;
    bool stopped_ = false;  // the first close has seen the running requests end
    std::condition_variable stoppedCv_;
    std::deque<Job> queue_;
    std::size_t posted_ = 0;   // jobs of this server handed to the workers
    std::size_t running_ = 0;  // workers running a request of this server
    std::condition_variable idleCv_;
    std::map<std::string, std::shared_ptr<ServiceBinding>> services_;
    PendingList inFlight_;  // requests whose service future is still pending
};

}  // namespace tav::qel::embedded::reqrep
