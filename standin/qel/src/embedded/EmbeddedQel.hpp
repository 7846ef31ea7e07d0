#pragma once
// The embedded, in-process middleware that serves the scheme "inproc".
//
// Default properties (getDefaultProperties):
//   "qel.middleware"   = "embedded"  what this middleware is
//   "ps.queueDepth"    = "1024"      capacity of each subscriber's queue
//   "rr.replyTimeMs"   = "5000"      how long a client command waits for its reply
//   "rr.workerThreads" = "4"         requests of one server running at once
// The QoS settings ps::qos::QueueDepth and rr::qos::ReplyTime take precedence over
// the properties. A numeric property that is not a whole number in range is a
// QelException at creation of the entity.
#include <atomic>
#include <memory>
#include <string>

#include "../da/DataAccessStore.hpp"
#include "../ps/PsEngine.hpp"
#include "../rr/RrEngine.hpp"
#include "tav/qel/Qel.hpp"
#include "tav/qel/ps/detail/DataTypeSupportBase.hpp"

namespace tav::qel::embedded {

class EmbeddedQel final : public Qel {
public:
    static std::shared_ptr<EmbeddedQel> create();
    ~EmbeddedQel() override;

    void* createPublisher(const std::string& libraryName, const std::string& typeName, const std::string& endpoint,
                          const ps::qos::QoSList& qos, const Properties& properties) override;
    void* createSubscriber(const std::string& libraryName, const std::string& typeName, const std::string& endpoint,
                           const ps::qos::QoSList& qos, const Properties& properties) override;
    void* createMrvSubscriber(const std::string& libraryName, const std::string& typeName,
                              const std::string& endpoint, const ps::qos::QoSList& qos,
                              const Properties& properties) override;
    void* createClient(const std::string& libraryName, const std::string& typeName, const std::string& endpoint,
                       const rr::qos::QoSList& qos, const Properties& properties) override;
    ps::DataEntityBase* createDataEntity(const std::string& libraryName, const std::string& typeName) override;
    std::shared_ptr<rr::Server> createServer(const std::string& endpoint, const rr::qos::QoSList& qos,
                                             const Properties& properties) override;
    std::unique_ptr<rr::da::DataAccessSync> createDataAccess(const std::string& endpoint,
                                                             const rr::qos::QoSList& qos,
                                                             const Properties& properties) override;
    void shutdown() override;
    bool isShutDown() const override;

    // The properties every embedded middleware starts with.
    static Properties defaultProperties();

    // The registered support of a data structure type; a QelException when the pair
    // names none. Both transports look their types up here.
    static std::shared_ptr<const ps::detail::DataTypeSupportBase> dataType(const std::string& libraryName,
                                                                          const std::string& typeName);

private:
    struct Private {};

public:
    explicit EmbeddedQel(Private);

private:
    void checkRunning(const std::string& what) const;

    PsEngine ps_;
    RrEngine rr_;
    std::shared_ptr<DataAccessStore> dataAccess_;
    std::atomic<bool> shutDown_{false};
    std::mutex shutdownMutex_;
};

// The queue depth of a subscriber: the last QueueDepth QoS, else "ps.queueDepth".
std::size_t queueDepthOf(const ps::qos::QoSList& qos, const Properties& properties);

// A property that must be a whole number from 1 up; fallback when absent.
std::size_t positiveProperty(const Properties& properties, const std::string& key, std::size_t fallback);

}  // namespace tav::qel::embedded
