// Which process the middleware runs in, and what a forked process keeps of it.
#include "tav/qel/OwningProcess.hpp"

#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <new>
#include <string>

#include "tav/qel/QelException.hpp"

namespace tav::qel {

namespace {

std::atomic<bool> started{false};
std::atomic<bool> forked{false};
std::atomic<pid_t> owner{0};

// States abandoned in a forked process, on a list that is never freed: reachable
// (no leak checker reports them) and never destroyed. Lock-free, so that no lock
// inherited from the parent is ever waited for.
struct Abandoned {
    std::shared_ptr<const void> state;
    Abandoned* next;
};
std::atomic<Abandoned*> abandoned{nullptr};

// Runs in the child of every fork, before fork() returns there; only atomics.
void afterForkInChild() {
    if (started.load()) {
        forked.store(true);
    }
}

// Registered when the library is loaded, so that every later fork is seen.
[[maybe_unused]] const bool registered = [] {
    pthread_atfork(nullptr, nullptr, &afterForkInChild);
    return true;
}();

}  // namespace

void noteMiddlewareStarted() noexcept {
    if (!started.load(std::memory_order_relaxed) && !forked.load()) {
        owner.store(getpid());
        started.store(true);
    }
}

bool inForkedProcess() noexcept {
    return forked.load(std::memory_order_relaxed);
}

void ensureOwningProcess(const char* what) {
    if (!forked.load(std::memory_order_relaxed)) {
        return;
    }
    throw QelException(std::string(what) + " belongs to process " + std::to_string(owner.load()) +
                       ", from which this process was forked: the middleware cannot be used in a process "
                       "forked after it started (start processes with the 'spawn' or 'forkserver' method "
                       "of multiprocessing)");
}

void abandonState(std::shared_ptr<const void> state) noexcept {
    if (!state) {
        return;
    }
    auto* node = new (std::nothrow) Abandoned{std::move(state), abandoned.load()};
    if (node == nullptr) {
        // Out of memory: the reference is kept in storage that is never destroyed,
        // so that the state is leaked rather than destroyed.
        union Kept {
            Kept() {}
            ~Kept() {}
            std::shared_ptr<const void> reference;
        } kept;
        new (&kept.reference) std::shared_ptr<const void>(std::move(state));
        return;
    }
    while (!abandoned.compare_exchange_weak(node->next, node)) {
    }
}

}  // namespace tav::qel
