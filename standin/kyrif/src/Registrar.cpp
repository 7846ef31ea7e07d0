// Makes the interface's types known to the middleware when the library is loaded.
#include <cstdio>
#include <exception>
#include <memory>

#include "Clients.hpp"
#include "CommandWire.hpp"
#include "DataTypes.hpp"
#include "ServiceDispatch.hpp"
#include "WireTypes.hpp"
#include "kyrif/TypeTraits.hpp"
#include "tav/qel/TypeSupport.hpp"

namespace kyrif::detail {

namespace {

void registerInterfaceTypes() {
    using tav::qel::ClientTypeSupport;
    using tav::qel::QelTypeTraits;
    using tav::qel::ServiceTypeSupport;
    using tav::qel::TypeRole;

    registerDataTypes();
    registerWireTypes();
    registerCommandWire();

    auto& registry = tav::qel::TypeRegistry::instance();
    registry.add(QelTypeTraits<KyrCmds>::libraryName, QelTypeTraits<KyrCmds>::name,
                 std::make_shared<const ServiceTypeSupport>(TypeRole::SyncService, &dispatchSync));
    registry.add(QelTypeTraits<AsyncKyrCmds, false>::libraryName, QelTypeTraits<AsyncKyrCmds, false>::name,
                 std::make_shared<const ServiceTypeSupport>(TypeRole::AsyncService, &dispatchAsync));
    registry.add(QelTypeTraits<KyrCmdsSync>::libraryName, QelTypeTraits<KyrCmdsSync>::name,
                 std::make_shared<const ClientTypeSupport>(&makeSyncClient));
    registry.add(QelTypeTraits<KyrCmdsAsync>::libraryName, QelTypeTraits<KyrCmdsAsync>::name,
                 std::make_shared<const ClientTypeSupport>(&makeAsyncClient));
}

struct Registrar {
    Registrar() {
        // Nothing may escape a static initialiser: a failure is reported, and the
        // middleware then refuses the unknown types with a clear error.
        try {
            registerInterfaceTypes();
        } catch (const std::exception& error) {
            std::fprintf(stderr, "qel-icd-kyrif: registering the interface types failed: %s\n", error.what());
        } catch (...) {
            std::fprintf(stderr, "qel-icd-kyrif: registering the interface types failed\n");
        }
    }
};

const Registrar registrar;

}  // namespace

}  // namespace kyrif::detail
