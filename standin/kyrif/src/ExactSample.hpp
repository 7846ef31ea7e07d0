#pragma once
// The sample behind a middleware reference when it is exactly of type Sample (every
// sample the middleware and this library make), else null. One type comparison and
// the object's own offset: a cross-cast from the middleware's virtual base walks the
// class hierarchy, comparing type names, on every sample.
#include <typeinfo>

#include "tav/qel/ps/DataEntity.hpp"

namespace kyrif::detail {

template <class Sample>
const Sample* exactSample(const tav::qel::ps::DataEntityBase& sample) {
    if (typeid(sample) != typeid(Sample)) {
        return nullptr;
    }
    // The complete object is a Sample: its address converts to one.
    return static_cast<const Sample*>(dynamic_cast<const void*>(&sample));
}

}  // namespace kyrif::detail
