#include "ServicePort.hpp"

#include "Notifier.hpp"
#include "tav/qel/QelException.hpp"

namespace tav::qel::embedded::reqrep {

ServicePort::ServicePort(std::string endpoint, std::shared_ptr<Notifier> notifier)
    : endpoint_(std::move(endpoint)), notifier_(std::move(notifier)) {}

ServicePort::~ServicePort() = default;

bool ServicePort::reachable() {
    std::lock_guard<std::mutex> lock(mutex_);
    return binding_ != nullptr;
}

void ServicePort::submit(const std::shared_ptr<Call>& call) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!binding_) {
            // A call completed meanwhile (client closed) is not kept: its detach has
            // already looked for it here.
            call->everParked_.store(true);  // before the check: see Pending
            if (!call->claimed()) {
                call->portList_ = &waitingCalls_;
                call->portLink_ = waitingCalls_.insert(waitingCalls_.end(), call);
            }
            return;
        }
        if (auto server = binding_->server.lock(); server && server->enqueue(call, binding_)) {
            return;
        }
    }
    call->fail(std::make_exception_ptr(
        tav::qel::ClosedException("the server of " + endpoint_ + " is closed")));
}

bool ServicePort::awaitService(const std::shared_ptr<ConnectWait>& wait) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (binding_) {
        return false;
    }
    wait->everParked_.store(true);
    if (!wait->claimed()) {
        wait->portList_ = &waitingConnects_;
        wait->portLink_ = waitingConnects_.insert(waitingConnects_.end(), wait);
    }
    return true;
}

void ServicePort::unlink(Pending& pending) {
    std::shared_ptr<Pending> doomed;  // released after the lock
    std::lock_guard<std::mutex> lock(mutex_);
    if (pending.portList_) {
        doomed = std::move(*pending.portLink_);
        pending.portList_->erase(pending.portLink_);
        pending.portList_ = nullptr;
    }
}

void ServicePort::addListener(const std::shared_ptr<ListenerRecord>& listener) {
    std::lock_guard<std::mutex> lock(mutex_);
    listeners_.push_back(listener);
    if (binding_) {
        notifier_->post(listener, true);
    }
}

void ServicePort::removeListener(const std::shared_ptr<ListenerRecord>& listener) {
    std::shared_ptr<ListenerRecord> doomed;  // destroyed after the lock is let go
    std::lock_guard<std::mutex> lock(mutex_);
    doomed = takeListener(listeners_, listener);
}

void ServicePort::notifyAll(bool reachable) {
    for (const auto& listener : listeners_) {
        notifier_->post(listener, reachable);
    }
}

void ServicePort::bind(const std::shared_ptr<ServiceBinding>& binding, RequestSink& server) {
    PendingList calls;
    PendingList connects;
    std::vector<std::shared_ptr<Call>> refused;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (binding_) {
            throw tav::qel::QelException("a service is already registered at " + endpoint_);
        }
        server.adopt(binding);
        binding_ = binding;
        calls.swap(waitingCalls_);
        connects.swap(waitingConnects_);
        for (auto& pending : calls) {
            pending->portList_ = nullptr;
            auto call = std::static_pointer_cast<Call>(pending);
            if (!call->claimed() && !server.enqueue(call, binding)) {
                refused.push_back(std::move(call));
            }
        }
        for (auto& pending : connects) {
            pending->portList_ = nullptr;
        }
        notifyAll(true);
    }
    for (auto& pending : connects) {
        static_cast<ConnectWait&>(*pending).succeed();
    }
    for (auto& call : refused) {
        call->fail(std::make_exception_ptr(
            tav::qel::ClosedException("the server of " + endpoint_ + " is closed")));
    }
}

void ServicePort::unbind(const std::shared_ptr<ServiceBinding>& binding) {
    std::shared_ptr<ServiceBinding> doomed;
    std::lock_guard<std::mutex> lock(mutex_);
    if (binding_ && binding_ == binding) {
        doomed = std::move(binding_);
        notifyAll(false);
    }
}

}  // namespace tav::qel::embedded::reqrep
