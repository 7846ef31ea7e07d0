#pragma once
// How a structure type travels between processes. An interface library describes
// the wire form of each of its structure types to the middleware, which then moves
// samples without knowing the type; neither side shows the engine's headers here.
#include <cstddef>
#include <memory>

#include "tav/qel/Export.hpp"

namespace tav::qel {

namespace ps {
class DataEntityBase;
}

class QEL_API WireType {
public:
    virtual ~WireType();
    // The engine's description of the wire structure (a dds_topic_descriptor_t).
    virtual const void* descriptor() const = 0;
    // Size in bytes of one wire structure; toWire fills that many bytes.
    virtual std::size_t wireSize() const = 0;
    // Fills wire so that it describes sample. The wire structure may point into the
    // sample's own storage, so it is valid only while sample stays unchanged. A value
    // the wire cannot carry is a QelException; nothing is altered.
    virtual void toWire(const ps::DataEntityBase& sample, void* wire) const = 0;
    // A new sample with the fields of a wire structure that the engine filled.
    virtual std::unique_ptr<ps::DataEntityBase> fromWire(const void* wire) const = 0;
};

}  // namespace tav::qel
