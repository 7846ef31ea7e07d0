// The registry of concrete types that interface libraries fill when loaded.
#include <map>
#include <mutex>
#include <utility>

#include "tav/qel/QelException.hpp"
#include "tav/qel/TypeSupport.hpp"

namespace tav::qel {

namespace {

const char* roleName(TypeRole role) {
    switch (role) {
        case TypeRole::Data: return "data structure";
        case TypeRole::SyncService: return "synchronous service";
        case TypeRole::AsyncService: return "asynchronous service";
        case TypeRole::Client: return "client";
    }
    return "unknown role";
}

}  // namespace

TypeSupport::~TypeSupport() = default;
WireType::~WireType() = default;

ServiceTypeSupport::ServiceTypeSupport(TypeRole role, Dispatch dispatch) : role_(role), dispatch_(dispatch) {}
ServiceTypeSupport::~ServiceTypeSupport() = default;

ClientTypeSupport::ClientTypeSupport(Make make) : make_(make) {}
ClientTypeSupport::~ClientTypeSupport() = default;

struct TypeRegistry::State {
    mutable std::mutex mutex;
    std::map<std::pair<std::string, std::string>, std::shared_ptr<const TypeSupport>> types;
    std::map<std::pair<std::string, std::string>, std::shared_ptr<const WireType>> wireTypes;
};

TypeRegistry::TypeRegistry() : state_(std::make_shared<State>()) {}

TypeRegistry& TypeRegistry::instance() {
    // Never destroyed: interface libraries may still look types up while the
    // process ends.
    static TypeRegistry* registry = new TypeRegistry();
    return *registry;
}

void TypeRegistry::add(const std::string& libraryName, const std::string& typeName,
                       std::shared_ptr<const TypeSupport> support) {
    if (!support) {
        throw QelException("type '" + typeName + "' of library '" + libraryName + "' registered without support");
    }
    std::shared_ptr<const TypeSupport> previous;
    std::lock_guard<std::mutex> lock(state_->mutex);
    auto& slot = state_->types[{libraryName, typeName}];
    previous = std::exchange(slot, std::move(support));
}

std::shared_ptr<const TypeSupport> TypeRegistry::find(const std::string& libraryName,
                                                      const std::string& typeName) const {
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        auto it = state_->types.find({libraryName, typeName});
        if (it != state_->types.end()) {
            return it->second;
        }
    }
    throw QelException("unknown type '" + typeName + "' of library '" + libraryName +
                       "': no interface library registered it");
}

std::shared_ptr<const TypeSupport> TypeRegistry::find(const std::string& libraryName, const std::string& typeName,
                                                      TypeRole role) const {
    auto support = find(libraryName, typeName);
    if (support->role() != role) {
        throw QelException("type '" + typeName + "' of library '" + libraryName + "' is a " +
                           roleName(support->role()) + ", not a " + roleName(role));
    }
    return support;
}

void TypeRegistry::addWireType(const std::string& libraryName, const std::string& typeName,
                               std::shared_ptr<const WireType> wire) {
    if (!wire) {
        throw QelException("type '" + typeName + "' of library '" + libraryName + "' registered without wire form");
    }
    std::shared_ptr<const WireType> previous;
    std::lock_guard<std::mutex> lock(state_->mutex);
    auto& slot = state_->wireTypes[{libraryName, typeName}];
    previous = std::exchange(slot, std::move(wire));
}

std::shared_ptr<const WireType> TypeRegistry::findWireType(const std::string& libraryName,
                                                           const std::string& typeName) const {
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        auto it = state_->wireTypes.find({libraryName, typeName});
        if (it != state_->wireTypes.end()) {
            return it->second;
        }
    }
    throw QelException("type '" + typeName + "' of library '" + libraryName +
                       "' has no wire form: its interface library cannot send it between processes");
}

}  // namespace tav::qel
