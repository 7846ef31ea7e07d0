#include "EntityQos.hpp"

namespace tav::qel::dds {

void writerQos(Qos& qos) {
    // The writer never blocks inside the engine: a full history makes the write fail
    // at once, and the publisher retries until its own timeout.
    dds_qset_reliability(qos.get(), DDS_RELIABILITY_RELIABLE, 0);
    dds_qset_history(qos.get(), DDS_HISTORY_KEEP_ALL, 0);
    dds_qset_durability(qos.get(), DDS_DURABILITY_TRANSIENT_LOCAL);
    dds_qset_durability_service(qos.get(), 0, DDS_HISTORY_KEEP_LAST, 1, DDS_LENGTH_UNLIMITED, DDS_LENGTH_UNLIMITED,
                                DDS_LENGTH_UNLIMITED);
    dds_qset_writer_data_lifecycle(qos.get(), false);
    dds_qset_destination_order(qos.get(), DDS_DESTINATIONORDER_BY_RECEPTION_TIMESTAMP);
}

void readerQos(Qos& qos) {
    dds_qset_reliability(qos.get(), DDS_RELIABILITY_RELIABLE, DDS_SECS(1));
    dds_qset_history(qos.get(), DDS_HISTORY_KEEP_ALL, 0);
    // What arrives is moved into the subscriber's queue at once while it has room;
    // the engine's reader holds a single sample more, so that samples it hands back
    // later cannot come out of their order of arrival, and refuses the rest until
    // the subscriber reads, which holds the writers back.
    dds_qset_resource_limits(qos.get(), 1, DDS_LENGTH_UNLIMITED, 1);
    dds_qset_durability(qos.get(), DDS_DURABILITY_VOLATILE);
    dds_qset_ignorelocal(qos.get(), DDS_IGNORELOCAL_PARTICIPANT);
    dds_qset_destination_order(qos.get(), DDS_DESTINATIONORDER_BY_RECEPTION_TIMESTAMP);
}

void mrvReaderQos(Qos& qos) {
    dds_qset_reliability(qos.get(), DDS_RELIABILITY_RELIABLE, DDS_SECS(1));
    dds_qset_history(qos.get(), DDS_HISTORY_KEEP_LAST, 1);
    dds_qset_durability(qos.get(), DDS_DURABILITY_TRANSIENT_LOCAL);
    dds_qset_destination_order(qos.get(), DDS_DESTINATIONORDER_BY_RECEPTION_TIMESTAMP);
}

}  // namespace tav::qel::dds
