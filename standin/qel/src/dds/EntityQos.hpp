#pragma once
// The engine's QoS of the entities of publish/subscribe between processes.
#include <dds/dds.h>

#include <cstddef>

namespace tav::qel::dds {

// Owns a dds_qos_t.
class Qos {
public:
    Qos() : qos_(dds_create_qos()) {}
    ~Qos() { dds_delete_qos(qos_); }
    Qos(const Qos&) = delete;
    Qos& operator=(const Qos&) = delete;
    dds_qos_t* get() const { return qos_; }

private:
    dds_qos_t* qos_;
};

// Reliable and ordered; keeps everything until every matched reader acknowledged it
// (a publish whose samples readers cannot take in time fails rather than drops);
// keeps the latest sample of each instance for most-recent-value readers that join
// later; an instance goes away when its last writer goes, not when one of them does.
void writerQos(Qos& qos);

// A subscriber: reliable, holds one sample it could not yet take (then the writers
// wait), nothing from before it joined, and nothing from writers of this process,
// which reach it directly.
void readerQos(Qos& qos);

// A most-recent-value subscriber: reliable, the latest sample of each instance,
// including those written before it joined and those of this process.
void mrvReaderQos(Qos& qos);

}  // namespace tav::qel::dds
