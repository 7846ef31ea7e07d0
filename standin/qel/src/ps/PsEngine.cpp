// The topics of one embedded middleware.
#include "PsEngine.hpp"

#include "CoreFactories.hpp"
#include "tav/qel/BlockingHook.hpp"
#include "tav/qel/QelException.hpp"

namespace tav::qel::embedded {

PsEngine::PsEngine() : shared_(std::make_shared<PsShared>()) {}
PsEngine::~PsEngine() = default;

void PsEngine::setQel(std::weak_ptr<Qel> qel) {
    shared_->qel = std::move(qel);
}

std::shared_ptr<Topic> PsEngine::topicFor(const std::string& endpoint, const std::string& libraryName,
                                          const std::string& typeName, SupportPtr support) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (shared_->shutDown.load()) {
        throw ClosedException("cannot open topic '" + endpoint + "': the middleware has shut down");
    }
    auto& slot = topics_[endpoint];
    auto topic = slot.lock();
    if (!topic) {
        // A topic lives as long as one of its entities; forget the names of the
        // topics that went, so that the registry does not grow without bound.
        for (auto it = topics_.begin(); it != topics_.end();) {
            if (it->second.expired() && &it->second != &slot) {
                it = topics_.erase(it);
            } else {
                ++it;
            }
        }
        topic = std::make_shared<Topic>(endpoint, libraryName, typeName, std::move(support), shared_);
        slot = topic;
    } else if (topic->libraryName != libraryName || topic->typeName != typeName) {
        throw QelException("topic '" + endpoint + "' carries type '" + topic->typeName + "' of library '" +
                           topic->libraryName + "', not '" + typeName + "' of library '" + libraryName + "'");
    }
    return topic;
}

std::unique_ptr<ps::detail::PublisherCore> PsEngine::makePublisher(const std::string& endpoint,
                                                                   const std::string& libraryName,
                                                                   const std::string& typeName, SupportPtr support) {
    return makePublisherCore(topicFor(endpoint, libraryName, typeName, std::move(support)));
}

std::unique_ptr<ps::detail::SubscriberCore> PsEngine::makeSubscriber(const std::string& endpoint,
                                                                     const std::string& libraryName,
                                                                     const std::string& typeName,
                                                                     SupportPtr support, std::size_t queueDepth) {
    return makeSubscriberCore(addSubscriber(endpoint, libraryName, typeName, std::move(support), queueDepth));
}

std::shared_ptr<SubscriberState> PsEngine::addSubscriber(const std::string& endpoint, const std::string& libraryName,
                                                         const std::string& typeName, SupportPtr support,
                                                         std::size_t queueDepth) {
    auto topic = topicFor(endpoint, libraryName, typeName, std::move(support));
    auto state = std::make_shared<SubscriberState>(topic, queueDepth);
    {
        std::lock_guard<std::mutex> lock(topic->mutex);
        if (topic->shutDown) {
            throw ClosedException("cannot subscribe to topic '" + endpoint + "': the middleware has shut down");
        }
        topic->subscribers.push_back(state);
    }
    return state;
}

std::unique_ptr<ps::detail::MrvSubscriberCore> PsEngine::makeMrvSubscriber(const std::string& endpoint,
                                                                           const std::string& libraryName,
                                                                           const std::string& typeName,
                                                                           SupportPtr support) {
    auto topic = topicFor(endpoint, libraryName, typeName, std::move(support));
    auto state = std::make_shared<MrvState>(topic);
    {
        std::lock_guard<std::mutex> lock(topic->mutex);
        if (topic->shutDown) {
            throw ClosedException("cannot subscribe to topic '" + endpoint + "': the middleware has shut down");
        }
        topic->mrvs.push_back(state);
    }
    return makeMrvSubscriberCore(std::move(state));
}

std::shared_ptr<Topic> PsEngine::openTopic(const std::string& endpoint, const std::string& libraryName,
                                           const std::string& typeName, SupportPtr support) {
    return topicFor(endpoint, libraryName, typeName, std::move(support));
}

void PsEngine::shutdown() {
    std::vector<std::shared_ptr<Topic>> topics;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        shared_->shutDown.store(true);
        for (const auto& [name, weak] : topics_) {
            if (auto topic = weak.lock()) {
                topics.push_back(std::move(topic));
            }
        }
    }
    std::vector<std::shared_ptr<SubscriberState>> subscribers;
    std::vector<std::shared_ptr<MrvState>> mrvs;
    for (const auto& topic : topics) {
        std::lock_guard<std::mutex> lock(topic->mutex);
        topic->shutDown = true;
        topic->roomCv.notify_all();
        for (const auto& subscriber : topic->subscribers) {
            subscriber->wakeAll();
            subscribers.push_back(subscriber);
        }
        for (const auto& mrv : topic->mrvs) {
            mrv->wakeAll();
            mrvs.push_back(mrv);
        }
    }
    for (const auto& subscriber : subscribers) {
        subscriber->close();
    }
    for (const auto& mrv : mrvs) {
        mrv->close(mrv);
    }
    // Every handler has returned by now (each close waited for its own); the
    // dispatcher threads end.
    shared_->dispatchers.stop();
}

}  // namespace tav::qel::embedded
