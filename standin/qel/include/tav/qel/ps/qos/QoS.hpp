#pragma once
#include <cstddef>
#include <memory>
#include <vector>

#include "tav/qel/Export.hpp"

namespace tav::qel::ps::qos {

// Quality-of-service setting of a publish/subscribe entity.
class QEL_API QoS {
public:
    virtual ~QoS();
};

// Capacity of a subscriber's queue: a full queue makes publishers wait.
class QEL_API QueueDepth : public QoS {
public:
    explicit QueueDepth(std::size_t depth);
    ~QueueDepth() override;
    std::size_t getDepth() const { return depth_; }

private:
    std::size_t depth_;
};

using QoSList = std::vector<std::shared_ptr<QoS>>;

}  // namespace tav::qel::ps::qos
