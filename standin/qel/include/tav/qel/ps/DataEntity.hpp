#pragma once
#include <cstddef>
#include <memory>
#include <string>

#include "tav/qel/Export.hpp"

namespace tav::qel::ps {

// Type-erased view of a sample: what the middleware needs to copy, key and
// compare samples without knowing their concrete type.
class QEL_API DataEntityBase {
public:
    virtual ~DataEntityBase();
    // A full copy of this sample.
    virtual std::unique_ptr<DataEntityBase> cloneEntity() const = 0;
    // A copy of this sample that carries only its key fields.
    virtual std::unique_ptr<DataEntityBase> cloneKeyEntity() const = 0;
    // True when other is of the same type and has the same key fields.
    virtual bool keyEqualsEntity(const DataEntityBase& other) const = 0;
    // True when the type has key fields at all.
    virtual bool hasKeyEntity() const = 0;
    // Hash of the key fields: equal keys give equal hashes.
    virtual std::size_t keyHash() const = 0;
    // Copies every field of other into this sample; throws QelException when
    // other is of another type.
    virtual void assignEntity(const DataEntityBase& other) = 0;
    // Name of the concrete structure type, as registered with the middleware.
    virtual const char* entityTypeName() const = 0;
};

// Base of every structure type T of an interface definition.
template <class T>
class DataEntity : public virtual DataEntityBase {
public:
    ~DataEntity() override = default;
};

}  // namespace tav::qel::ps
