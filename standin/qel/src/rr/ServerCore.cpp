#include "ServerCore.hpp"

#include <system_error>

#include "ClientState.hpp"
#include "EngineState.hpp"
#include "ReplyError.hpp"
#include "ServicePort.hpp"
#include "tav/qel/BlockingHook.hpp"
#include "tav/qel/QelException.hpp"
#include "tav/qel/TypeSupport.hpp"

namespace tav::qel::embedded::reqrep {

namespace {

// The server whose request the current thread runs, if any.
thread_local const ServerCore* currentServer = nullptr;

std::exception_ptr closedError(const std::string& what) {
    return std::make_exception_ptr(tav::qel::ClosedException(what));
}

// Completes the call from the service's finished future.
void finish(Call& call, boost::future<std::string>& reply) {
    std::exception_ptr error;
    try {
        std::string text = reply.get();
        call.succeed(std::move(text));
        return;
    } catch (...) {
        error = replyErrorFromCurrent();
    }
    call.fail(std::move(error));
}

}  // namespace

ServerCore::ServerCore(std::shared_ptr<EngineState> engine, std::string endpoint, std::size_t workers)
    : engine_(std::move(engine)), endpoint_(std::move(endpoint)), workerLimit_(workers) {}

ServerCore::~ServerCore() = default;

void ServerCore::start() { engine_->workers.ensureThread(); }

void ServerCore::registerService(const std::string& name, std::shared_ptr<tav::qel::rr::RrEntity> impl,
                                 const std::string& libraryName, const std::string& typeName) {
    if (!impl) {
        throw tav::qel::QelException("cannot register service '" + name + "' at " + endpoint_ +
                                     ": the implementation is empty");
    }
    auto type = tav::qel::TypeRegistry::instance().find(libraryName, typeName);
    auto support = std::dynamic_pointer_cast<const tav::qel::ServiceTypeSupport>(type);
    if (!support || (support->role() != tav::qel::TypeRole::SyncService &&
                     support->role() != tav::qel::TypeRole::AsyncService)) {
        throw tav::qel::QelException("cannot register service '" + name + "': type " + libraryName + "/" +
                                     typeName + " is not a service interface");
    }
    auto binding = std::make_shared<ServiceBinding>();
    binding->name = name;
    binding->impl = std::move(impl);
    binding->support = std::move(support);
    binding->server = weak_from_this();
    binding->port = engine_->port(endpoint_ + "/" + name);
    binding->port->bind(binding, *this);
}

void ServerCore::adopt(const std::shared_ptr<ServiceBinding>& binding) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_) {
        throw tav::qel::ClosedException("server " + endpoint_ + " is closed");
    }
    if (!services_.emplace(binding->name, binding).second) {
        throw tav::qel::QelException("service '" + binding->name + "' is already registered at " + endpoint_);
    }
}

void ServerCore::unregisterService(const std::string& name) {
    std::shared_ptr<ServiceBinding> binding;
    std::deque<Job> dropped;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = services_.find(name);
        if (it == services_.end()) {
            throw tav::qel::QelException("no service '" + name + "' is registered at " + endpoint_);
        }
        binding = std::move(it->second);
        services_.erase(it);
        std::deque<Job> kept;
        for (auto& job : queue_) {
            (job.binding == binding ? dropped : kept).push_back(std::move(job));
        }
        queue_.swap(kept);
    }
    binding->port->unbind(binding);
    for (auto& job : dropped) {
        job.call->fail(closedError("service " + binding->port->endpoint() + " was unregistered"));
    }
    // The jobs and the binding, and with them the implementation, are released here,
    // outside every lock.
}

void ServerCore::close() {
    std::map<std::string, std::shared_ptr<ServiceBinding>> services;
    std::deque<Job> queued;
    PendingList inFlight;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (closed_) {
            if (!stopped_ && currentServer != this) {
                lock.unlock();
                tav::qel::runBlocking([this] {
                    std::unique_lock<std::mutex> wait(mutex_);
                    stoppedCv_.wait(wait, [this] { return stopped_; });
                });
            }
            return;
        }
        closed_ = true;
        services.swap(services_);
        queued.swap(queue_);
        inFlight.swap(inFlight_);
        for (auto& pending : inFlight) {
            pending->inServer_ = false;
        }
    }
    for (auto& [name, binding] : services) {
        binding->port->unbind(binding);
    }
    const std::string why = "server " + endpoint_ + " was closed";
    for (auto& job : queued) {
        job.call->fail(closedError(why));
    }
    for (auto& pending : inFlight) {
        pending->fail(closedError(why));
    }
    queued.clear();
    inFlight.clear();
    services.clear();
    // A request of this server running on this very thread cannot be waited for;
    // the others can, unless this thread runs one of them.
    if (currentServer != this) {
        tav::qel::runBlocking([this] {
            std::unique_lock<std::mutex> lock(mutex_);
            idleCv_.wait(lock, [this] { return running_ == 0; });
        });
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopped_ = true;
    }
    stoppedCv_.notify_all();
}

bool ServerCore::enqueue(const std::shared_ptr<Call>& call, const std::shared_ptr<ServiceBinding>& binding) {
    bool post = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_) {
            return false;
        }
        queue_.push_back(Job{call, binding});
        if (posted_ < workerLimit_) {
            ++posted_;
            post = true;
        }
    }
    if (post) {
        // Once the middleware shuts down the job is dropped; the server is closed
        // then, which fails the request.
        engine_->workers.post(shared_from_this());
    }
    return true;
}

void ServerCore::runJob() {
    const ServerCore* outer = currentServer;
    currentServer = this;
    std::unique_lock<std::mutex> lock(mutex_);
    ++running_;
    while (!closed_ && !queue_.empty()) {
        Job job = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        run(job);
        // The job, and with it the call and the service, is released outside the lock.
        job = Job{};
        lock.lock();
    }
    --posted_;
    --running_;
    if (running_ == 0) {
        idleCv_.notify_all();
    }
    lock.unlock();
    currentServer = outer;
}

void ServerCore::run(Job& job) {
    const std::shared_ptr<Call>& call = job.call;
    if (call->claimed()) {
        return;  // timed out or closed while queued
    }
    boost::future<std::string> reply;
    std::exception_ptr failure;
    try {
        reply = job.binding->support->invoke(*job.binding->impl, call->request());
    } catch (...) {
        failure = replyErrorFromCurrent();
    }
    // The worker lets go of the service before the client hears back: a service
    // unregistered meanwhile is released by now, here and outside every lock.
    job.binding.reset();
    if (failure) {
        call->fail(std::move(failure));
        return;
    }
    if (!reply.valid()) {
        call->fail(std::make_exception_ptr(
            tav::qel::QelException("service " + call->client().endpoint() + " returned no future")));
        return;
    }
    if (reply.is_ready()) {
        finish(*call, reply);
        return;
    }
    if (!track(call)) {
        call->fail(closedError("server " + endpoint_ + " was closed"));
        return;
    }
    // The continuation runs on the thread that completes the service's future (or
    // here, if it completed meanwhile); a broken promise completes it with an error.
    auto self = shared_from_this();
    reply.then(boost::launch::sync, [self, call](boost::future<std::string> done) {
        self->untrack(*call);
        finish(*call, done);
    });
}

bool ServerCore::track(const std::shared_ptr<Call>& call) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_) {
        return false;
    }
    call->serverLink_ = inFlight_.insert(inFlight_.end(), call);
    call->inServer_ = true;
    return true;
}

void ServerCore::untrack(Call& call) {
    std::shared_ptr<Pending> doomed;
    std::lock_guard<std::mutex> lock(mutex_);
    if (call.inServer_) {
        doomed = std::move(*call.serverLink_);
        inFlight_.erase(call.serverLink_);
        call.inServer_ = false;
    }
}

}  // namespace tav::qel::embedded::reqrep
