#pragma once
#include <memory>
#include <string>

#include "tav/qel/Export.hpp"
#include "tav/qel/rr/RrEntity.hpp"

namespace tav::qel::rr {

// Serves named services at its endpoint; each request runs on one of the server's
// worker threads. A client reaches service NAME at the endpoint "<server endpoint>/NAME".
class QEL_API Server {
public:
    virtual ~Server();
    // Registers impl, whose type the middleware finds by (libraryName, typeName).
    // A name already registered, or a type that is not a service, is a QelException.
    virtual void registerService(const std::string& name, std::shared_ptr<RrEntity> impl,
                                 const std::string& libraryName, const std::string& typeName) = 0;
    virtual void unregisterService(const std::string& name) = 0;
    virtual std::string getEndpoint() const = 0;
    // Stops serving: pending requests fail, services are released.
    virtual void close() = 0;
};

}  // namespace tav::qel::rr
