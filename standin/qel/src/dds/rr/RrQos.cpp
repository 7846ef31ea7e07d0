#include "RrQos.hpp"

namespace tav::qel::dds {

void rrWriterQos(Qos& qos) {
    // A write waits at most this long for lagging readers; a request that cannot be
    // sent meanwhile ends by its caller's reply time.
    dds_qset_reliability(qos.get(), DDS_RELIABILITY_RELIABLE, DDS_SECS(1));
    dds_qset_history(qos.get(), DDS_HISTORY_KEEP_ALL, 0);
    dds_qset_durability(qos.get(), DDS_DURABILITY_VOLATILE);
    dds_qset_destination_order(qos.get(), DDS_DESTINATIONORDER_BY_RECEPTION_TIMESTAMP);
}

void rrReaderQos(Qos& qos) {
    dds_qset_reliability(qos.get(), DDS_RELIABILITY_RELIABLE, DDS_SECS(1));
    dds_qset_history(qos.get(), DDS_HISTORY_KEEP_ALL, 0);
    dds_qset_durability(qos.get(), DDS_DURABILITY_VOLATILE);
    dds_qset_destination_order(qos.get(), DDS_DESTINATIONORDER_BY_RECEPTION_TIMESTAMP);
}

}  // namespace tav::qel::dds
