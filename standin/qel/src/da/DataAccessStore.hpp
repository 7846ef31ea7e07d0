#pragma once
// Data access inside the embedded middleware: one value per endpoint.
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "tav/qel/rr/da/DataAccess.hpp"

namespace tav::qel::embedded {

class DataAccessStore : public std::enable_shared_from_this<DataAccessStore> {
public:
    std::unique_ptr<rr::da::DataAccessSync> makeClient(const std::string& endpoint);
    // Every client fails with ClosedException from now on.
    void shutdown();

    void read(const std::string& endpoint, ps::DataEntityBase& entity, rr::da::SampleInfo& info);
    void write(const std::string& endpoint, const ps::DataEntityBase& entity);
    void checkRunning(const std::string& endpoint) const;

private:
    struct Slot {
        std::shared_ptr<ps::DataEntityBase> value;
        double timestamp = 0.0;
        std::uint64_t sequence = 0;
    };

    mutable std::mutex mutex_;
    std::unordered_map<std::string, Slot> slots_;
    bool shutDown_ = false;
};

}  // namespace tav::qel::embedded
