// Publishers and subscribers between processes over the embedded middleware's cores.
#include "EntityCores.hpp"

#include <cmath>

#include "../core/Deadline.hpp"
#include "EngineLog.hpp"
#include "SourceTime.hpp"
#include "tav/qel/LogHook.hpp"
#include "tav/qel/OwningProcess.hpp"
#include "tav/qel/QelException.hpp"

namespace tav::qel::dds {

void checkRunning(const Shared& shared, const std::string& what) {
    ensureOwningProcess("the middleware");
    if (shared.shutDown.load()) {
        throw ClosedException(what + ": the middleware has shut down");
    }
}

std::string unacknowledgedText(const Writer& writer, std::size_t count) {
    return "publisher of topic '" + writer.topicName() + "' in domain " + std::to_string(writer.domainId()) +
           ": up to " + std::to_string(count) + (count == 1 ? " sample was" : " samples were") +
           " not acknowledged by a matched reader within dds.ackWaitMs";
}

namespace {

std::chrono::steady_clock::time_point deadlineOf(std::chrono::milliseconds timeout) {
    // A timeout too long to be added to the clock is a wait without end.
    constexpr auto kLongest = std::chrono::hours(24 * 365 * 30);
    const auto bounded = std::min<std::chrono::milliseconds>(std::max(timeout, std::chrono::milliseconds(0)),
                                                             kLongest);
    return std::chrono::steady_clock::now() + bounded;
}

std::chrono::milliseconds remaining(std::chrono::steady_clock::time_point deadline) {
    const auto left = deadline - std::chrono::steady_clock::now();
    return std::max(std::chrono::duration_cast<std::chrono::milliseconds>(left), std::chrono::milliseconds(0));
}

class PublisherCoreImpl final : public ps::detail::PublisherCore {
public:
    PublisherCoreImpl(std::shared_ptr<Shared> shared, std::unique_ptr<ps::detail::PublisherCore> local,
                      std::shared_ptr<Writer> writer, std::unique_ptr<ps::DataEntityBase> key)
        : shared_(std::move(shared)), local_(std::move(local)), writer_(std::move(writer)), key_(std::move(key)) {
        writer_->retain();
    }
    ~PublisherCoreImpl() override {
        if (inForkedProcess()) {
            abandonState(writer_);  // the engine's state is the parent's
            return;
        }
        try {
            close();
        } catch (const TimeoutException& unacknowledged) {
            logMessage(LogLevel::Warning, kTransportLogger, unacknowledged.what());
        }
    }

    std::shared_ptr<Qel> getQel() const override {
        checkRunning(*shared_, "publisher");
        return local_->getQel();
    }

    // Other processes first, so that a sample the wire cannot carry, or a timeout,
    // leaves the subscribers of this process untouched.
    void publish(const ps::DataEntityBase& sample, const double* timestamp,
                 std::chrono::milliseconds timeout) override {
        checkRunning(*shared_, "publisher");
        // Nothing reaches the engine once this publisher is closed, even while an
        // instance publisher made from it keeps the engine's writer open.
        if (closed_.load()) {
            throw ClosedException("publisher of topic '" + writer_->topicName() + "' is closed");
        }
        if (key_ && !(sample.keyHash() == key_->keyHash() && sample.keyEqualsEntity(*key_))) {
            throw QelException("publisher is bound to one instance: the sample is of another instance");
        }
        const double stamp = timestamp != nullptr ? *timestamp : embedded::nowSeconds();
        const auto deadline = deadlineOf(timeout);
        writer_->write(sample, wireNanoseconds(stamp), deadline);
        local_->publish(sample, &stamp, remaining(deadline));
    }

    // When this was the writer's last publisher, waits for the matched readers to
    // acknowledge what it wrote; samples they did not acknowledge in time are a
    // TimeoutException (the publisher is closed all the same).
    void close() override {
        if (inForkedProcess()) {
            return;
        }
        if (!closed_.exchange(true)) {
            local_->close();
            const std::size_t left = writer_->release();
            if (left > 0) {
                throw TimeoutException(unacknowledgedText(*writer_, left));
            }
        }
    }

    std::unique_ptr<ps::DataEntityBase> newEntity() override {
        checkRunning(*shared_, "publisher");
        return local_->newEntity();
    }

    std::unique_ptr<ps::detail::PublisherCore> bindInstance(const ps::DataEntityBase& sample) override {
        checkRunning(*shared_, "publisher");
        return std::make_unique<PublisherCoreImpl>(shared_, local_->bindInstance(sample), writer_,
                                                   sample.cloneKeyEntity());
    }

private:
    const std::shared_ptr<Shared> shared_;
    const std::unique_ptr<ps::detail::PublisherCore> local_;
    const std::shared_ptr<Writer> writer_;
    const std::unique_ptr<ps::DataEntityBase> key_;
    std::atomic<bool> closed_{false};
};

class SubscriberCoreImpl final : public ps::detail::SubscriberCore {
public:
    SubscriberCoreImpl(std::shared_ptr<Shared> shared, std::unique_ptr<ps::detail::SubscriberCore> local,
                       std::shared_ptr<ReaderPump> pump)
        : shared_(std::move(shared)), local_(std::move(local)), pump_(std::move(pump)) {}
    ~SubscriberCoreImpl() override {
        if (inForkedProcess()) {
            abandonState(pump_);  // the engine's state is the parent's
            return;
        }
        close();
    }

    std::shared_ptr<Qel> getQel() const override { return local_->getQel(); }
    void close() override {
        if (inForkedProcess()) {
            return;
        }
        pump_->stop();
        local_->close();
    }
    std::unique_ptr<ps::DataEntityBase> newEntity() override { return local_->newEntity(); }
    std::vector<ps::detail::Received> take(std::size_t maxCount) override { return local_->take(maxCount); }
    std::shared_ptr<ps::DataEntityBase> latest(const ps::DataEntityBase& key) override { return local_->latest(key); }
    std::vector<ps::detail::Received> takeMatching(const ps::detail::EventSelection& selection,
                                                   std::size_t maxCount,
                                                   std::chrono::milliseconds timeout) override {
        return local_->takeMatching(selection, maxCount, timeout);
    }
    std::unique_ptr<ps::Subscription> subscribePolled(ps::detail::EventSelection selection,
                                                      std::shared_ptr<ps::detail::EventSink> sink) override {
        return local_->subscribePolled(std::move(selection), std::move(sink));
    }
    std::size_t poll(std::size_t maxCount, std::chrono::milliseconds timeout) override {
        return local_->poll(maxCount, timeout);
    }
    std::unique_ptr<ps::Subscription> subscribeAsync(ps::detail::EventSelection selection,
                                                     std::shared_ptr<ps::detail::EventSink> sink) override {
        return local_->subscribeAsync(std::move(selection), std::move(sink));
    }
    std::unique_ptr<ps::Subscription> subscribeNotifier(ps::detail::EventSelection selection,
                                                        std::shared_ptr<ps::detail::NotifySink> sink) override {
        return local_->subscribeNotifier(std::move(selection), std::move(sink));
    }

private:
    const std::shared_ptr<Shared> shared_;
    const std::unique_ptr<ps::detail::SubscriberCore> local_;
    const std::shared_ptr<ReaderPump> pump_;
};

class MrvSubscriberCoreImpl final : public ps::detail::MrvSubscriberCore {
public:
    MrvSubscriberCoreImpl(std::shared_ptr<Shared> shared, std::unique_ptr<ps::detail::MrvSubscriberCore> local,
                          std::shared_ptr<ReaderPump> pump)
        : shared_(std::move(shared)), local_(std::move(local)), pump_(std::move(pump)) {}
    ~MrvSubscriberCoreImpl() override {
        if (inForkedProcess()) {
            abandonState(pump_);  // the engine's state is the parent's
            return;
        }
        close();
    }

    void close() override {
        if (inForkedProcess()) {
            return;
        }
        pump_->stop();
        local_->close();
    }
    std::vector<std::shared_ptr<ps::DataEntityBase>> readMostRecent(std::chrono::milliseconds timeout) override {
        return local_->readMostRecent(timeout);
    }

private:
    const std::shared_ptr<Shared> shared_;
    const std::unique_ptr<ps::detail::MrvSubscriberCore> local_;
    const std::shared_ptr<ReaderPump> pump_;
};

}  // namespace

std::unique_ptr<ps::detail::PublisherCore> makePublisherCore(std::shared_ptr<Shared> shared,
                                                             std::unique_ptr<ps::detail::PublisherCore> local,
                                                             std::shared_ptr<Writer> writer) {
    return std::make_unique<PublisherCoreImpl>(std::move(shared), std::move(local), std::move(writer), nullptr);
}

std::unique_ptr<ps::detail::SubscriberCore> makeSubscriberCore(std::shared_ptr<Shared> shared,
                                                               std::unique_ptr<ps::detail::SubscriberCore> local,
                                                               std::shared_ptr<ReaderPump> pump) {
    return std::make_unique<SubscriberCoreImpl>(std::move(shared), std::move(local), std::move(pump));
}

std::unique_ptr<ps::detail::MrvSubscriberCore> makeMrvSubscriberCore(
    std::shared_ptr<Shared> shared, std::unique_ptr<ps::detail::MrvSubscriberCore> local,
    std::shared_ptr<ReaderPump> pump) {
    return std::make_unique<MrvSubscriberCoreImpl>(std::move(shared), std::move(local), std::move(pump));
}

}  // namespace tav::qel::dds
