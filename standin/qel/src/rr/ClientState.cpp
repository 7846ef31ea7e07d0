#include "ClientState.hpp"

#include "EngineState.hpp"
#include "ServicePort.hpp"
#include "tav/qel/OwningProcess.hpp"
#include "tav/qel/QelException.hpp"
#include "tav/qel/ps/DataEntity.hpp"

namespace tav::qel::embedded::reqrep {

namespace {

// A request carries its own copy of the structure argument, as it would on a wire:
// the client may change or reuse its sample while the service reads the request.
void detachArgument(tav::qel::rr::detail::Request& request) {
    if (request.entity) {
        request.entity = std::shared_ptr<tav::qel::ps::DataEntityBase>(request.entity->cloneEntity());
    }
}

}  // namespace

ClientState::ClientState(std::shared_ptr<EngineState> engine, std::weak_ptr<tav::qel::Qel> qel,
                         std::shared_ptr<ServicePort> port, std::chrono::milliseconds replyTime)
    : engine_(std::move(engine)), qel_(std::move(qel)), port_(std::move(port)), replyTime_(replyTime) {}

ClientState::~ClientState() = default;

const std::string& ClientState::endpoint() const noexcept { return port_->endpoint(); }

void ClientState::throwIfClosed() {
    if (closed_) {
        throw tav::qel::ClosedException("client of " + endpoint() + " is closed");
    }
}

void ClientState::track(const std::shared_ptr<Pending>& pending) {
    std::lock_guard<std::mutex> lock(mutex_);
    throwIfClosed();
    pending->clientLink_ = pending_.insert(pending_.end(), pending);
    pending->inClient_ = true;
}

void ClientState::untrack(Pending& pending) {
    std::shared_ptr<Pending> doomed;
    std::lock_guard<std::mutex> lock(mutex_);
    if (pending.inClient_) {
        doomed = std::move(*pending.clientLink_);
        pending_.erase(pending.clientLink_);
        pending.inClient_ = false;
    }
}

boost::future<std::string> ClientState::call(tav::qel::rr::detail::Request request) {
    detachArgument(request);
    auto call = std::make_shared<Call>(shared_from_this(), std::move(request), Call::Mode::Promised);
    auto reply = call->future();
    call->timed_ = true;
    call->setDeadline(deadlineAfter(replyTime_));
    track(call);
    engine_->timer.arm(call, call->deadline());
    port_->submit(call);
    return reply;
}

boost::future<std::string> ClientState::forward(tav::qel::rr::detail::Request request,
                                                std::chrono::milliseconds replyTime, std::weak_ptr<Call>& forwarded) {
    auto call = std::make_shared<Call>(shared_from_this(), std::move(request), Call::Mode::Promised);
    forwarded = call;
    auto reply = call->future();
    const bool timed = replyTime.count() > 0;
    call->timed_ = timed;
    track(call);
    if (timed) {
        engine_->timer.arm(call, deadlineAfter(replyTime));
    }
    port_->submit(call);
    return reply;
}

std::string ClientState::callSync(tav::qel::rr::detail::Request request) {
    const auto deadline = deadlineAfter(replyTime_);
    detachArgument(request);
    auto call = std::make_shared<Call>(shared_from_this(), std::move(request), Call::Mode::Waited);
    call->setDeadline(deadline);
    track(call);
    port_->submit(call);
    return call->wait(deadline);
}

boost::future<void> ClientState::asyncConnect() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        throwIfClosed();
    }
    if (port_->reachable()) {
        return boost::make_ready_future();
    }
    auto wait = std::make_shared<ConnectWait>(shared_from_this());
    auto connected = wait->future();
    wait->timed_ = true;
    track(wait);
    engine_->timer.arm(wait, deadlineAfter(replyTime_));
    if (!port_->awaitService(wait)) {
        wait->succeed();  // bound meanwhile
    }
    return connected;
}

tav::qel::rr::ListenerRegistration ClientState::registerConnectionListener(std::function<void(bool)> listener) {
    auto record = std::make_shared<ListenerRecord>(std::move(listener));
    {
        std::lock_guard<std::mutex> lock(mutex_);
        throwIfClosed();
        listeners_.push_back(record);
    }
    port_->addListener(record);
    std::weak_ptr<ClientState> weak = weak_from_this();
    return tav::qel::rr::ListenerRegistration([weak, record] {
        if (tav::qel::inForkedProcess()) {
            tav::qel::abandonState(record);  // the parent's threads may be calling it
            return;
        }
        if (record->release()) {
            if (auto client = weak.lock()) {
                client->forget(record);
            }
        }
    });
}

void ClientState::forget(const std::shared_ptr<ListenerRecord>& listener) {
    port_->removeListener(listener);
    std::shared_ptr<ListenerRecord> doomed;  // destroyed after the lock is let go
    std::lock_guard<std::mutex> lock(mutex_);
    doomed = takeListener(listeners_, listener);
}

void ClientState::release() {
    std::vector<std::shared_ptr<ListenerRecord>> listeners;
    std::vector<std::shared_ptr<Pending>> connects;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_) {
            return;
        }
        listeners.swap(listeners_);
        for (const auto& item : pending_) {
            if (dynamic_cast<const ConnectWait*>(item.get()) != nullptr) {
                connects.push_back(item);
            }
        }
    }
    for (auto& connect : connects) {
        connect->fail(std::make_exception_ptr(tav::qel::ClosedException("client of " + endpoint() + " was closed")));
    }
    for (auto& listener : listeners) {
        listener->release();
        port_->removeListener(listener);
    }
}

void ClientState::close() {
    PendingList pending;
    std::vector<std::shared_ptr<ListenerRecord>> listeners;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_) {
            return;
        }
        closed_ = true;
        pending.swap(pending_);
        for (auto& item : pending) {
            item->inClient_ = false;
        }
        listeners.swap(listeners_);
    }
    const std::string why = "client of " + endpoint() + " was closed";
    for (auto& item : pending) {
        item->fail(std::make_exception_ptr(tav::qel::ClosedException(why)));
    }
    for (auto& listener : listeners) {
        listener->release();
        port_->removeListener(listener);
    }
}

}  // namespace tav::qel::embedded::reqrep
