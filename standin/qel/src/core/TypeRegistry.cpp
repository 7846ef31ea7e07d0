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

using Key = std::pair<std::string, std::string>;

// Sets one entry; the entry it replaces is released after the mutex, never under it.
template <class T>
void store(std::mutex& mutex, std::map<Key, std::shared_ptr<const T>>& entries, Key key,
           std::shared_ptr<const T> value) {
    std::shared_ptr<const T> previous;
    std::lock_guard<std::mutex> lock(mutex);
    previous = std::exchange(entries[std::move(key)], std::move(value));
}

// The entry of key, or empty.
template <class T>
std::shared_ptr<const T> lookUp(std::mutex& mutex, const std::map<Key, std::shared_ptr<const T>>& entries,
                                const Key& key) {
    std::lock_guard<std::mutex> lock(mutex);
    auto it = entries.find(key);
    return it != entries.end() ? it->second : nullptr;
}

}  // namespace

TypeSupport::~TypeSupport() = default;
WireType::~WireType() = default;
RrWireType::~RrWireType() = default;

ServiceTypeSupport::ServiceTypeSupport(TypeRole role, Dispatch dispatch) : role_(role), dispatch_(dispatch) {}
ServiceTypeSupport::~ServiceTypeSupport() = default;

ClientTypeSupport::ClientTypeSupport(Make make) : make_(make) {}
ClientTypeSupport::~ClientTypeSupport() = default;

struct TypeRegistry::State {
    mutable std::mutex mutex;
    std::map<Key, std::shared_ptr<const TypeSupport>> types;
    std::map<Key, std::shared_ptr<const WireType>> wireTypes;
    std::map<Key, std::shared_ptr<const RrWireType>> serviceWireTypes;
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
    store(state_->mutex, state_->types, {libraryName, typeName}, std::move(support));
}

std::shared_ptr<const TypeSupport> TypeRegistry::find(const std::string& libraryName,
                                                      const std::string& typeName) const {
    if (auto support = lookUp(state_->mutex, state_->types, {libraryName, typeName})) {
        return support;
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
    store(state_->mutex, state_->wireTypes, {libraryName, typeName}, std::move(wire));
}

std::shared_ptr<const WireType> TypeRegistry::findWireType(const std::string& libraryName,
                                                           const std::string& typeName) const {
    if (auto wire = lookUp(state_->mutex, state_->wireTypes, {libraryName, typeName})) {
        return wire;
    }
    throw QelException("type '" + typeName + "' of library '" + libraryName +
                       "' has no wire form: its interface library cannot send it between processes");
}

void TypeRegistry::addServiceWireType(const std::string& libraryName, const std::string& typeName,
                                      std::shared_ptr<const RrWireType> wire) {
    if (!wire) {
        throw QelException("interface '" + typeName + "' of library '" + libraryName + "' registered without wire form");
    }
    store(state_->mutex, state_->serviceWireTypes, {libraryName, typeName}, std::move(wire));
}

std::shared_ptr<const RrWireType> TypeRegistry::findServiceWireType(const std::string& libraryName,
                                                                    const std::string& typeName) const {
    if (auto wire = lookUp(state_->mutex, state_->serviceWireTypes, {libraryName, typeName})) {
        return wire;
    }
    throw QelException("interface '" + typeName + "' of library '" + libraryName +
                       "' has no wire form: its interface library cannot carry its commands between processes");
}

}  // namespace tav::qel
