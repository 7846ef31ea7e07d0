#pragma once
#include <chrono>
#include <memory>
#include <vector>

#include "tav/qel/Export.hpp"

namespace tav::qel::rr::qos {

// Quality-of-service setting of a request/reply entity.
class QEL_API QoS {
public:
    virtual ~QoS();
};

// How long a client command waits for its reply (and for its service to appear).
class QEL_API ReplyTime : public QoS {
public:
    explicit ReplyTime(std::chrono::milliseconds time);
    ~ReplyTime() override;
    std::chrono::milliseconds getTime() const { return time_; }

private:
    std::chrono::milliseconds time_;
};

using QoSList = std::vector<std::shared_ptr<QoS>>;

}  // namespace tav::qel::rr::qos
