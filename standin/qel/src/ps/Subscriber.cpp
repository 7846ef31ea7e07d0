// Subscriber and most-recent-value subscriber cores: the entity operations over
// their engine states.
#include <atomic>

#include "CoreFactories.hpp"
#include "tav/qel/OwningProcess.hpp"
#include "tav/qel/QelException.hpp"

namespace tav::qel::embedded {

namespace {

using ps::detail::EventSelection;
using ps::detail::Received;

class SubscriberCoreImpl final : public ps::detail::SubscriberCore {
public:
    explicit SubscriberCoreImpl(std::shared_ptr<SubscriberState> state) : state_(std::move(state)) {}
    ~SubscriberCoreImpl() override {
        if (!abandonedInForkedProcess(state_)) {
            state_->close();
        }
    }

    std::shared_ptr<Qel> getQel() const override {
        check();
        state_->ensureOpen();
        return state_->topic().engine->qel.lock();
    }
    void close() override {
        if (!inForkedProcess()) {
            state_->close();
        }
    }
    std::unique_ptr<ps::DataEntityBase> newEntity() override {
        check();
        state_->ensureOpen();
        return std::unique_ptr<ps::DataEntityBase>(state_->topic().support->newEntity());
    }
    std::vector<Received> take(std::size_t maxCount) override {
        check();
        return state_->take(maxCount);
    }
    std::shared_ptr<ps::DataEntityBase> latest(const ps::DataEntityBase& key) override {
        check();
        return state_->latest(key);
    }
    std::vector<Received> takeMatching(const EventSelection& selection, std::size_t maxCount,
                                       std::chrono::milliseconds timeout) override {
        check();
        return state_->takeMatching(selection, maxCount, timeout);
    }
    std::unique_ptr<ps::Subscription> subscribePolled(EventSelection selection,
                                                      std::shared_ptr<ps::detail::EventSink> sink) override {
        check();
        return state_->addHandler(std::make_shared<HandlerEntry>(HandlerEntry::Kind::Polled, std::move(selection),
                                                                 std::move(sink), nullptr));
    }
    std::size_t poll(std::size_t maxCount, std::chrono::milliseconds timeout) override {
        check();
        return state_->poll(maxCount, timeout);
    }
    std::unique_ptr<ps::Subscription> subscribeAsync(EventSelection selection,
                                                     std::shared_ptr<ps::detail::EventSink> sink) override {
        check();
        return state_->addHandler(std::make_shared<HandlerEntry>(HandlerEntry::Kind::Async, std::move(selection),
                                                                 std::move(sink), nullptr));
    }
    std::unique_ptr<ps::Subscription> subscribeNotifier(EventSelection selection,
                                                        std::shared_ptr<ps::detail::NotifySink> sink) override {
        check();
        return state_->addHandler(std::make_shared<HandlerEntry>(HandlerEntry::Kind::Notifier,
                                                                 std::move(selection), nullptr, std::move(sink)));
    }

private:
    static void check() { ensureOwningProcess("this subscriber"); }

    std::shared_ptr<SubscriberState> state_;
};

class MrvSubscriberCoreImpl final : public ps::detail::MrvSubscriberCore {
public:
    explicit MrvSubscriberCoreImpl(std::shared_ptr<MrvState> state) : state_(std::move(state)) {}
    ~MrvSubscriberCoreImpl() override {
        if (!abandonedInForkedProcess(state_)) {
            state_->close(state_);
        }
    }

    void close() override {
        if (!inForkedProcess()) {
            state_->close(state_);
        }
    }
    std::vector<std::shared_ptr<ps::DataEntityBase>> readMostRecent(std::chrono::milliseconds timeout) override {
        ensureOwningProcess("this most-recent-value subscriber");
        return state_->readMostRecent(timeout);
    }

private:
    std::shared_ptr<MrvState> state_;
};

}  // namespace

std::unique_ptr<ps::detail::SubscriberCore> makeSubscriberCore(std::shared_ptr<SubscriberState> state) {
    return std::make_unique<SubscriberCoreImpl>(std::move(state));
}

std::unique_ptr<ps::detail::MrvSubscriberCore> makeMrvSubscriberCore(std::shared_ptr<MrvState> state) {
    return std::make_unique<MrvSubscriberCoreImpl>(std::move(state));
}

}  // namespace tav::qel::embedded
