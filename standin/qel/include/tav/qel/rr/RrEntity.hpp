#pragma once
#include "tav/qel/Export.hpp"

namespace tav::qel::rr {

// Base of every request/reply entity: clients and service implementations.
class QEL_API RrEntity {
public:
    virtual ~RrEntity();
};

}  // namespace tav::qel::rr
