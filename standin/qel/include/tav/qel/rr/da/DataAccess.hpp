#pragma once
#include <cstdint>
#include <string>

#include "tav/qel/Export.hpp"
#include "tav/qel/ps/DataEntity.hpp"

namespace tav::qel::rr::da {

// What a data-access read reports about the value it read.
struct SampleInfo {
    bool valid = false;            // false when no value has been written yet
    double sourceTimestamp = 0.0;  // seconds since the epoch of the write
    std::uint64_t sequence = 0;    // number of writes to the endpoint so far
};

// Reads and writes the one value the middleware keeps for an endpoint.
class QEL_API DataAccess {
public:
    virtual ~DataAccess();
    // A new empty sample of the type found by (libraryName, typeName); owned by the caller.
    virtual ps::DataEntityBase* createDataEntity(const std::string& libraryName,
                                                 const std::string& typeName) = 0;
    // Copies the current value into entity and fills info; with no value yet,
    // entity is left unchanged and info.valid is false.
    virtual void readValue(ps::DataEntityBase& entity, SampleInfo& info) = 0;
    virtual void writeValue(const ps::DataEntityBase& entity) = 0;
    virtual void close() = 0;
};

class QEL_API DataAccessSync : public virtual DataAccess {
public:
    ~DataAccessSync() override;
};

}  // namespace tav::qel::rr::da
