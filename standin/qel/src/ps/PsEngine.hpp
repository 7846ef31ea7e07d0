#pragma once
// Publish/subscribe inside the embedded middleware: the topics of one middleware
// and the cores of its publishers and subscribers.
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "MrvState.hpp"
#include "SubscriberState.hpp"
#include "Topic.hpp"
#include "tav/qel/ps/detail/EntityCores.hpp"

namespace tav::qel::embedded {

class PsEngine {
public:
    PsEngine();
    ~PsEngine();
    PsEngine(const PsEngine&) = delete;
    PsEngine& operator=(const PsEngine&) = delete;

    // The owning middleware, handed back by getQel() of the entities.
    void setQel(std::weak_ptr<Qel> qel);

    using SupportPtr = std::shared_ptr<const ps::detail::DataTypeSupportBase>;
    std::unique_ptr<ps::detail::PublisherCore> makePublisher(const std::string& endpoint,
                                                             const std::string& libraryName,
                                                             const std::string& typeName, SupportPtr support);
    std::unique_ptr<ps::detail::SubscriberCore> makeSubscriber(const std::string& endpoint,
                                                               const std::string& libraryName,
                                                               const std::string& typeName, SupportPtr support,
                                                               std::size_t queueDepth);
    std::unique_ptr<ps::detail::MrvSubscriberCore> makeMrvSubscriber(const std::string& endpoint,
                                                                     const std::string& libraryName,
                                                                     const std::string& typeName,
                                                                     SupportPtr support);

    // The engine state of a new subscriber, for a transport that also fills its
    // queue itself (enqueue and removeInstance, under the topic's mutex).
    std::shared_ptr<SubscriberState> addSubscriber(const std::string& endpoint, const std::string& libraryName,
                                                   const std::string& typeName, SupportPtr support,
                                                   std::size_t queueDepth);
    // The topic of endpoint, made on first use; a QelException when the endpoint
    // already carries another type.
    std::shared_ptr<Topic> openTopic(const std::string& endpoint, const std::string& libraryName,
                                     const std::string& typeName, SupportPtr support);

    // Wakes every waiting call (ClosedException), closes every subscriber (each
    // waits for its running handlers), releases every handler and ends the
    // dispatcher threads. Later calls fail at once.
    void shutdown();

private:
    std::shared_ptr<Topic> topicFor(const std::string& endpoint, const std::string& libraryName,
                                    const std::string& typeName, SupportPtr support);

    std::shared_ptr<PsShared> shared_;
    std::mutex mutex_;
    std::unordered_map<std::string, std::weak_ptr<Topic>> topics_;
};

}  // namespace tav::qel::embedded
