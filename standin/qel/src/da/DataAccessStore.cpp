// Data access: the value of an endpoint is a private copy with a timestamp and
// the number of writes so far.
#include "DataAccessStore.hpp"

#include <atomic>
#include <cstring>

#include "../core/Deadline.hpp"
#include "tav/qel/OwningProcess.hpp"
#include "tav/qel/QelException.hpp"
#include "tav/qel/TypeSupport.hpp"
#include "tav/qel/ps/detail/DataTypeSupportBase.hpp"

namespace tav::qel::embedded {

namespace {

class DataAccessClient final : public rr::da::DataAccessSync {
public:
    DataAccessClient(std::shared_ptr<DataAccessStore> store, std::string endpoint)
        : store_(std::move(store)), endpoint_(std::move(endpoint)) {}

    ps::DataEntityBase* createDataEntity(const std::string& libraryName, const std::string& typeName) override {
        checkOpen();
        auto support = TypeRegistry::instance().find(libraryName, typeName, TypeRole::Data);
        return static_cast<const ps::detail::DataTypeSupportBase&>(*support).newEntity();
    }
    void readValue(ps::DataEntityBase& entity, rr::da::SampleInfo& info) override {
        checkOpen();
        store_->read(endpoint_, entity, info);
    }
    void writeValue(const ps::DataEntityBase& entity) override {
        checkOpen();
        store_->write(endpoint_, entity);
    }
    void close() override { closed_.store(true); }

private:
    void checkOpen() const {
        ensureOwningProcess("this data access");
        store_->checkRunning(endpoint_);
        if (closed_.load()) {
            throw ClosedException("data access to '" + endpoint_ + "' is closed");
        }
    }

    std::shared_ptr<DataAccessStore> store_;
    std::string endpoint_;
    std::atomic<bool> closed_{false};
};

}  // namespace

std::unique_ptr<rr::da::DataAccessSync> DataAccessStore::makeClient(const std::string& endpoint) {
    checkRunning(endpoint);
    return std::make_unique<DataAccessClient>(shared_from_this(), endpoint);
}

void DataAccessStore::shutdown() {
    std::unordered_map<std::string, Slot> dropped;
    std::lock_guard<std::mutex> lock(mutex_);
    shutDown_ = true;
    dropped.swap(slots_);
}

void DataAccessStore::checkRunning(const std::string& endpoint) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (shutDown_) {
        throw ClosedException("data access to '" + endpoint + "': the middleware has shut down");
    }
}

void DataAccessStore::read(const std::string& endpoint, ps::DataEntityBase& entity, rr::da::SampleInfo& info) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = slots_.find(endpoint);
    if (it == slots_.end() || !it->second.value) {
        info = rr::da::SampleInfo{};
        return;
    }
    const Slot& slot = it->second;
    if (std::strcmp(slot.value->entityTypeName(), entity.entityTypeName()) != 0) {
        throw QelException("the value of '" + endpoint + "' is a '" + slot.value->entityTypeName() +
                           "', it cannot be read into a '" + entity.entityTypeName() + "'");
    }
    entity.assignEntity(*slot.value);
    info.valid = true;
    info.sourceTimestamp = slot.timestamp;
    info.sequence = slot.sequence;
}

void DataAccessStore::write(const std::string& endpoint, const ps::DataEntityBase& entity) {
    std::shared_ptr<ps::DataEntityBase> copy(entity.cloneEntity());
    std::lock_guard<std::mutex> lock(mutex_);
    Slot& slot = slots_[endpoint];
    if (slot.value && std::strcmp(slot.value->entityTypeName(), copy->entityTypeName()) != 0) {
        throw QelException("the value of '" + endpoint + "' is a '" + slot.value->entityTypeName() +
                           "', it cannot be replaced by a '" + copy->entityTypeName() + "'");
    }
    slot.value.swap(copy);
    slot.timestamp = nowSeconds();
    ++slot.sequence;
}

}  // namespace tav::qel::embedded
