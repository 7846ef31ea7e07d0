#pragma once
#include "tav/qel/Export.hpp"

namespace tav::qel::ps {

// Handle of a callback subscription; close() or destruction ends deliveries (a
// delivery already running completes first).
class QEL_API Subscription {
public:
    virtual ~Subscription();
    virtual void close() = 0;
};

}  // namespace tav::qel::ps
