#pragma once
// The middleware of the schemes "dds.ps" and "dds.rr": publish/subscribe and
// request/reply between processes and hosts over the engine (Eclipse Cyclone DDS).
// Endpoints are dds.ps://DOMAIN/PATH (Endpoint.hpp) and, for request/reply,
// dds.rr://DOMAIN/PATH for a server and dds.rr://DOMAIN/PATH/NAME for a client of
// its service NAME (rr/RrEndpoint.hpp, rr/RrTransport.hpp).
//
// Default properties (getDefaultProperties), besides those of DomainSettings.hpp:
//   "qel.middleware"         = "dds"   what this middleware is
//   "ps.queueDepth"          = "1024"  capacity of each subscriber's queue; as many
//                                      samples (at least 256) may also wait in its
//                                      overflow (ReaderPump.hpp)
//   "dds.ackWaitMs"          = "3000"  how long closing a publisher (and the end of
//                                      the process) waits for its matched readers to
//                                      acknowledge what it published
//   "dds.waitForReaders"     absent    a publisher made with it waits, at creation,
//                                      until that many readers in other processes
//                                      match it
//   "dds.waitForReadersMs"   = "10000" how long that wait may last (TimeoutException)
// The QoS setting ps::qos::QueueDepth takes precedence over "ps.queueDepth".
#include <memory>
#include <string>

#include "../ps/PsEngine.hpp"
#include "Shared.hpp"
#include "rr/RrTransport.hpp"
#include "tav/qel/Qel.hpp"

namespace tav::qel::dds {

class DdsQel final : public Qel {
public:
    static std::shared_ptr<DdsQel> create();
    ~DdsQel() override;

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
    // Publishers wait (up to "dds.ackWaitMs" each) for their readers to acknowledge,
    // then every entity closes.
    void shutdown() override;
    bool isShutDown() const override;

    static Properties defaultProperties();

private:
    struct Private {};

public:
    explicit DdsQel(Private);

private:
    std::shared_ptr<Shared> shared_;
    embedded::PsEngine ps_;
    RrTransport rr_;
    std::mutex shutdownMutex_;
};

}  // namespace tav::qel::dds
