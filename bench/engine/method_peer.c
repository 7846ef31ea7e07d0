/* The engine alone, for the row that shows what it can carry of the shipped IDL's
 * Method samples between two processes here: the work of the Python publish loop and
 * reader, done in plain C on the engine's C API, with no middleware and no Python.
 *   method_peer pub DOMAIN TOPIC COUNT  waits for a reader, prints the wall-clock
 *                                       time, writes COUNT samples as fast as the
 *                                       reader takes them, waits for acknowledgements
 *   method_peer sub DOMAIN TOPIC COUNT  prints "ready", takes what arrives on the
 *                                       engine's receiving thread, then prints the
 *                                       wall-clock time of the last of COUNT samples
 * The writer has the transport's writer QoS and sends a packet every 64 samples (run
 * it with write batching on, as the transport configures its domains). */
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/time.h>

#include "dds/dds.h"
#include "kyrif.h"

#define BATCH 256

static atomic_int received;
static _Atomic double lastArrival;

static double wallClock(void) {
  struct timeval tv;
  gettimeofday(&tv, NULL);
  return (double)tv.tv_sec + (double)tv.tv_usec * 1e-6;
}

static int fail(const char *what, dds_return_t rc) {
  fprintf(stderr, "method_peer: %s: %s\n", what, dds_strretcode(rc));
  return 1;
}

static void onDataAvailable(dds_entity_t reader, void *arg) {
  (void)arg;
  void *samples[BATCH] = {NULL};
  dds_sample_info_t infos[BATCH];
  dds_return_t n;
  while ((n = dds_take(reader, samples, infos, BATCH, BATCH)) > 0) {
    atomic_fetch_add(&received, n);
    atomic_store(&lastArrival, wallClock());
    dds_return_loan(reader, samples, n);
  }
}

static int publish(dds_entity_t participant, dds_entity_t topic, int count) {
  dds_qos_t *qos = dds_create_qos();
  dds_qset_reliability(qos, DDS_RELIABILITY_RELIABLE, 0);
  dds_qset_history(qos, DDS_HISTORY_KEEP_ALL, 0);
  dds_qset_durability(qos, DDS_DURABILITY_TRANSIENT_LOCAL);
  dds_qset_durability_service(qos, 0, DDS_HISTORY_KEEP_LAST, 1, DDS_LENGTH_UNLIMITED, DDS_LENGTH_UNLIMITED,
                              DDS_LENGTH_UNLIMITED);
  dds_qset_writer_data_lifecycle(qos, false);
  dds_qset_destination_order(qos, DDS_DESTINATIONORDER_BY_RECEPTION_TIMESTAMP);
  dds_entity_t writer = dds_create_writer(participant, topic, qos, NULL);
  dds_delete_qos(qos);
  if (writer < 0) return fail("writer", writer);
  dds_publication_matched_status_t matched = {0};
  for (int waited = 0; matched.current_count == 0 && waited < 2000; waited++) {
    dds_get_publication_matched_status(writer, &matched);
    dds_sleepfor(DDS_MSECS(5));
  }
  if (matched.current_count == 0) return fail("no reader appeared", DDS_RETCODE_TIMEOUT);
  kyrif_Method sample = {"bench", "x=1"};
  printf("%.6f\n", wallClock());
  fflush(stdout);
  for (int i = 0; i < count; i++) {
    dds_return_t rc;
    /* A full history fails at once: send what waits and try again shortly. */
    while ((rc = dds_write(writer, &sample)) == DDS_RETCODE_TIMEOUT) {
      dds_write_flush(writer);
      dds_sleepfor(DDS_USECS(20));
    }
    if (rc != DDS_RETCODE_OK) return fail("write", rc);
    if (i % 64 == 63) dds_write_flush(writer);
  }
  dds_write_flush(writer);
  dds_wait_for_acks(writer, DDS_SECS(10));
  return 0;
}

static int subscribe(dds_entity_t participant, dds_entity_t topic, int count) {
  dds_qos_t *qos = dds_create_qos();
  dds_qset_reliability(qos, DDS_RELIABILITY_RELIABLE, DDS_SECS(1));
  dds_qset_history(qos, DDS_HISTORY_KEEP_ALL, 0);
  dds_listener_t *listener = dds_create_listener(NULL);
  dds_lset_data_available(listener, onDataAvailable);
  dds_entity_t reader = dds_create_reader(participant, topic, qos, listener);
  dds_delete_listener(listener);
  dds_delete_qos(qos);
  if (reader < 0) return fail("reader", reader);
  printf("ready\n");
  fflush(stdout);
  /* Gives up after about 20 s. */
  for (int turns = 0; atomic_load(&received) < count; turns++) {
    if (turns > 100000) return fail("too few samples", DDS_RETCODE_TIMEOUT);
    dds_sleepfor(DDS_USECS(200));
  }
  printf("%.6f\n", atomic_load(&lastArrival));
  fflush(stdout);
  return 0;
}

int main(int argc, char **argv) {
  if (argc != 5 || (strcmp(argv[1], "pub") != 0 && strcmp(argv[1], "sub") != 0)) {
    fprintf(stderr, "usage: method_peer pub|sub DOMAIN TOPIC COUNT\n");
    return 2;
  }
  dds_entity_t participant = dds_create_participant((dds_domainid_t)atoi(argv[2]), NULL, NULL);
  if (participant < 0) return fail("participant", participant);
  dds_entity_t topic = dds_create_topic(participant, &kyrif_Method_desc, argv[3], NULL, NULL);
  if (topic < 0) return fail("topic", topic);
  const int count = atoi(argv[4]);
  const int status = strcmp(argv[1], "pub") == 0 ? publish(participant, topic, count)
                                                 : subscribe(participant, topic, count);
  dds_delete(participant);
  return status;
}
