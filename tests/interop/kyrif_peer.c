/* A DDS program that knows nothing of the middleware: only the engine's C API and
 * the structures idlc generates from kyrif.idl. It proves that any DDS program can
 * use the topics.
 *   kyrif_peer pub DOMAIN TOPIC COUNT  waits for a reader, writes COUNT Method
 *                                      samples (name "c<i>", parameters "from C <i>")
 *   kyrif_peer sub DOMAIN TOPIC COUNT  prints "ready", then each Method received as
 *                                      "name|parameters" until COUNT arrived
 *   kyrif_peer bad DOMAIN TOPIC COUNT  as pub, but waits for two readers, and every
 *                                      other sample's name (or parameters) holds bytes
 *                                      that are not UTF-8
 *   kyrif_peer huge DOMAIN TOPIC COUNT as pub, but sample 1's parameters hold 65 MiB */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "dds/dds.h"
#include "kyrif.h"

static int fail(const char *what, dds_return_t rc) {
  fprintf(stderr, "kyrif_peer: %s: %s\n", what, dds_strretcode(rc));
  return 1;
}

int main(int argc, char **argv) {
  if (argc != 5) {
    fprintf(stderr, "usage: kyrif_peer pub|sub DOMAIN TOPIC COUNT\n");
    return 2;
  }
  const int count = atoi(argv[4]);
  dds_entity_t participant = dds_create_participant((dds_domainid_t)atoi(argv[2]), NULL, NULL);
  if (participant < 0) return fail("participant", participant);
  dds_entity_t topic = dds_create_topic(participant, &kyrif_Method_desc, argv[3], NULL, NULL);
  if (topic < 0) return fail("topic", topic);
  dds_qos_t *qos = dds_create_qos();
  dds_qset_reliability(qos, DDS_RELIABILITY_RELIABLE, DDS_SECS(10));
  dds_qset_history(qos, DDS_HISTORY_KEEP_ALL, 0);

  const int bad = strcmp(argv[1], "bad") == 0;
  const int huge = strcmp(argv[1], "huge") == 0;
  if (strcmp(argv[1], "pub") == 0 || bad || huge) {
    dds_entity_t writer = dds_create_writer(participant, topic, qos, NULL);
    if (writer < 0) return fail("writer", writer);
    dds_set_status_mask(writer, DDS_PUBLICATION_MATCHED_STATUS);
    dds_publication_matched_status_t matched = {0};
    const uint32_t readers = bad ? 2 : 1;
    for (int waited = 0; matched.current_count < readers && waited < 3000; waited++) {
      dds_get_publication_matched_status(writer, &matched);
      dds_sleepfor(DDS_MSECS(10));
    }
    if (matched.current_count < readers) return fail("no reader appeared", DDS_RETCODE_TIMEOUT);
    for (int i = 0; i < count; i++) {
      char name[32], parameters[32];
      snprintf(name, sizeof name, "c%d", i);
      snprintf(parameters, sizeof parameters, "from C %d", i);
      if (bad && i % 2 == 1) {
        /* A lone continuation byte and a byte that never occurs in UTF-8. */
        strcat(i % 4 == 1 ? name : parameters, "\xff\xfe");
      }
      kyrif_Method sample = {name, parameters};
      char *big = NULL;
      if (huge && i == 1) {
        const size_t size = 65u << 20;
        big = malloc(size + 1);
        memset(big, 'x', size);
        big[size] = '\0';
        sample.parameters = big;
      }
      dds_return_t rc = dds_write(writer, &sample);
      free(big);
      if (rc != DDS_RETCODE_OK) return fail("write", rc);
    }
    dds_wait_for_acks(writer, DDS_SECS(10));
  } else {
    dds_entity_t reader = dds_create_reader(participant, topic, qos, NULL);
    if (reader < 0) return fail("reader", reader);
    printf("ready\n");
    fflush(stdout);
    int received = 0;
    for (int waited = 0; received < count && waited < 3000; waited++) {
      void *samples[16] = {NULL};
      dds_sample_info_t infos[16];
      dds_return_t n = dds_take(reader, samples, infos, 16, 16);
      for (int i = 0; i < n; i++) {
        if (infos[i].valid_data) {
          const kyrif_Method *m = samples[i];
          printf("%s|%s\n", m->name, m->parameters);
          received++;
        }
      }
      if (n > 0) dds_return_loan(reader, samples, n);
      fflush(stdout);
      if (n <= 0) dds_sleepfor(DDS_MSECS(10));
    }
    if (received < count) return fail("too few samples", DDS_RETCODE_TIMEOUT);
  }
  dds_delete_qos(qos);
  dds_delete(participant);
  return 0;
}
