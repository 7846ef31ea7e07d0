#pragma once
#include <memory>
#include <string>

#include <boost/thread/future.hpp>

#include "tav/qel/Export.hpp"
#include "tav/qel/RrWireType.hpp"
#include "tav/qel/WireType.hpp"
#include "tav/qel/rr/RrEntity.hpp"
#include "tav/qel/rr/detail/ClientCore.hpp"
#include "tav/qel/rr/detail/Request.hpp"

namespace tav::qel {

namespace ps {
class DataEntityBase;
}

// What a registered type is for; a creation call for another role is refused.
enum class TypeRole { Data, SyncService, AsyncService, Client };

// A concrete type that an interface library makes known to the middleware.
class QEL_API TypeSupport {
public:
    virtual ~TypeSupport();
    virtual TypeRole role() const = 0;
};

// Service interfaces: runs one request on a service implementation. A synchronous
// service runs it on the calling worker thread and returns a ready future.
class QEL_API ServiceTypeSupport : public TypeSupport {
public:
    using Dispatch = boost::future<std::string> (*)(rr::RrEntity& service, const rr::detail::Request& request);
    ServiceTypeSupport(TypeRole role, Dispatch dispatch);
    ~ServiceTypeSupport() override;
    TypeRole role() const override { return role_; }
    boost::future<std::string> invoke(rr::RrEntity& service, const rr::detail::Request& request) const {
        return dispatch_(service, request);
    }

private:
    TypeRole role_;
    Dispatch dispatch_;
};

// Client interfaces: builds the typed client (returned as a pointer to the client
// interface type T, converted to void*) on a client core.
class QEL_API ClientTypeSupport : public TypeSupport {
public:
    using Make = void* (*)(std::unique_ptr<rr::detail::ClientCore> core);
    explicit ClientTypeSupport(Make make);
    ~ClientTypeSupport() override;
    TypeRole role() const override { return TypeRole::Client; }
    void* make(std::unique_ptr<rr::detail::ClientCore> core) const { return make_(std::move(core)); }

private:
    Make make_;
};

// Types by (library name, type name). Interface libraries fill it when they are
// loaded; an unknown pair is a QelException.
class QEL_API TypeRegistry {
public:
    static TypeRegistry& instance();
    // Registering a pair twice replaces the earlier entry.
    void add(const std::string& libraryName, const std::string& typeName,
             std::shared_ptr<const TypeSupport> support);
    std::shared_ptr<const TypeSupport> find(const std::string& libraryName,
                                            const std::string& typeName) const;
    // find, and a QelException when the type's role is not the one asked for.
    std::shared_ptr<const TypeSupport> find(const std::string& libraryName,
                                            const std::string& typeName, TypeRole role) const;
    // The wire form of a structure type, for the transports between processes.
    // Registering a pair twice replaces the earlier entry.
    void addWireType(const std::string& libraryName, const std::string& typeName,
                     std::shared_ptr<const WireType> wire);
    // The wire form, or a QelException when the interface library gave none.
    std::shared_ptr<const WireType> findWireType(const std::string& libraryName,
                                                 const std::string& typeName) const;

    // The wire form of a request/reply interface, registered under the type names of
    // its services and clients alike. Registering a pair twice replaces the earlier entry.
    void addServiceWireType(const std::string& libraryName, const std::string& typeName,
                            std::shared_ptr<const RrWireType> wire);
    // The wire form, or a QelException when the interface library gave none.
    std::shared_ptr<const RrWireType> findServiceWireType(const std::string& libraryName,
                                                          const std::string& typeName) const;

private:
    TypeRegistry();
    struct State;
    std::shared_ptr<State> state_;
};

}  // namespace tav::qel
