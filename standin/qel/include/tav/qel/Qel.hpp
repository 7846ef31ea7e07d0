#pragma once
#include <memory>
#include <string>

#include "tav/qel/Export.hpp"
#include "tav/qel/Properties.hpp"
#include "tav/qel/ps/DataEntity.hpp"
#include "tav/qel/ps/qos/QoS.hpp"
#include "tav/qel/rr/Server.hpp"
#include "tav/qel/rr/da/DataAccess.hpp"
#include "tav/qel/rr/qos/QoS.hpp"

namespace tav::qel {

// One middleware: creates the entities for the endpoints of its scheme. Concrete
// types are found by (library name, type name) in the TypeRegistry.
class QEL_API Qel : public std::enable_shared_from_this<Qel> {
public:
    virtual ~Qel();

    // A copy of this middleware's default entity properties.
    Properties getDefaultProperties() const { return defaultProperties_; }

    // Each returns a new entity owned by the caller, as a pointer to the role's
    // interface for the type (ps::Publisher<T>*, ps::Subscriber<T>*,
    // ps::MrvSubscriber<T>*, or the client interface T*) converted to void*, or
    // null. A type that is unknown or registered for another role is a QelException.
    virtual void* createPublisher(const std::string& libraryName, const std::string& typeName,
                                  const std::string& endpoint, const ps::qos::QoSList& qos,
                                  const Properties& properties) = 0;
    virtual void* createSubscriber(const std::string& libraryName, const std::string& typeName,
                                   const std::string& endpoint, const ps::qos::QoSList& qos,
                                   const Properties& properties) = 0;
    virtual void* createMrvSubscriber(const std::string& libraryName, const std::string& typeName,
                                      const std::string& endpoint, const ps::qos::QoSList& qos,
                                      const Properties& properties) = 0;
    virtual void* createClient(const std::string& libraryName, const std::string& typeName,
                               const std::string& endpoint, const rr::qos::QoSList& qos,
                               const Properties& properties) = 0;
    // A new empty sample, owned by the caller.
    virtual ps::DataEntityBase* createDataEntity(const std::string& libraryName,
                                                 const std::string& typeName) = 0;

    virtual std::shared_ptr<rr::Server> createServer(const std::string& endpoint,
                                                     const rr::qos::QoSList& qos,
                                                     const Properties& properties) = 0;
    virtual std::unique_ptr<rr::da::DataAccessSync> createDataAccess(const std::string& endpoint,
                                                                     const rr::qos::QoSList& qos,
                                                                     const Properties& properties) = 0;
    // Stops every thread of this middleware, wakes every waiting call (which then
    // fails with ClosedException) and closes every entity; later calls fail at once.
    virtual void shutdown() = 0;
    virtual bool isShutDown() const = 0;

protected:
    explicit Qel(Properties defaultProperties) : defaultProperties_(std::move(defaultProperties)) {}

private:
    Properties defaultProperties_;
};

}  // namespace tav::qel
