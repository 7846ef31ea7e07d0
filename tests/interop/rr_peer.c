/* A request/reply peer that knows nothing of the middleware: only the engine's C API
 * and the structures idlc generates from KyrCmds.idl (with QelRr.idl).
 *   rr_peer sink DOMAIN SERVICE   answers connection probes only; prints "ready",
 *                                 then "<sequence> <command>" for each other request
 *                                 (an empty command is a cancellation)
 *   rr_peer liar DOMAIN SERVICE   as sink, but answers every request with a reply
 *                                 naming command "NotTheCommandAsked", result "FORGED"
 *   rr_peer burst DOMAIN SERVICE  writes Setup("busy"), Setup("cancelled") and its
 *                                 cancellation, then Setup("kept"); prints each reply
 *                                 as "<sequence> <kind> <result>" until the last
 *   rr_peer forge DOMAIN SERVICE  writes Setup("forged") in the name of another
 *                                 caller, then Setup("own") in its own; prints replies
 *                                 as burst does */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "dds/dds.h"
#include "KyrCmds.h"

static int fail(const char *what, dds_return_t rc) {
  fprintf(stderr, "rr_peer: %s: %s\n", what, dds_strretcode(rc));
  return 1;
}

int main(int argc, char **argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: rr_peer sink|liar|burst|forge DOMAIN SERVICE\n");
    return 2;
  }
  char request_topic[256], reply_topic[256];
  snprintf(request_topic, sizeof request_topic, "%s/Request", argv[3]);
  snprintf(reply_topic, sizeof reply_topic, "%s/Reply", argv[3]);
  dds_entity_t participant = dds_create_participant((dds_domainid_t)atoi(argv[2]), NULL, NULL);
  if (participant < 0) return fail("participant", participant);
  dds_entity_t requests = dds_create_topic(participant, &kyrif_KyrCmdsRequest_desc, request_topic, NULL, NULL);
  dds_entity_t replies = dds_create_topic(participant, &kyrif_KyrCmdsReply_desc, reply_topic, NULL, NULL);
  if (requests < 0 || replies < 0) return fail("topic", requests < 0 ? requests : replies);
  dds_qos_t *qos = dds_create_qos();
  dds_qset_reliability(qos, DDS_RELIABILITY_RELIABLE, DDS_SECS(1));
  dds_qset_history(qos, DDS_HISTORY_KEEP_ALL, 0);
  const int liar = strcmp(argv[1], "liar") == 0;
  const int sink = liar || strcmp(argv[1], "sink") == 0;
  const int forge = strcmp(argv[1], "forge") == 0;
  dds_entity_t reader = dds_create_reader(participant, sink ? requests : replies, qos, NULL);
  dds_entity_t writer = dds_create_writer(participant, sink ? replies : requests, qos, NULL);
  if (reader < 0 || writer < 0) return fail("endpoint", reader < 0 ? reader : writer);
  dds_publication_matched_status_t matched = {0};
  for (int waited = 0; !sink && matched.current_count == 0 && waited < 3000; waited++) {
    dds_get_publication_matched_status(writer, &matched);
    dds_sleepfor(DDS_MSECS(10));
  }
  if (sink) {
    printf("ready\n");
    fflush(stdout);
  } else {
    dds_sleepfor(DDS_MSECS(200)); /* the service's reply writer finds our reader too */
    /* The caller's identity is the GUID of its reply reader, as the middleware's. */
    dds_guid_t self;
    dds_get_guid(reader, &self);
    kyrif_KyrCmdsRequest out;
    memset(&out, 0, sizeof out);
    out.header.replyTimeMs = 10000;
    static const struct { unsigned long long sequence; const char *command, *text; int other; } burst[] = {
        {1, "Setup", "busy", 0}, {2, "Setup", "cancelled", 0}, {2, "", "", 0}, {3, "Setup", "kept", 0}};
    static const struct { unsigned long long sequence; const char *command, *text; int other; } forged[] = {
        {1, "Setup", "forged", 1}, {3, "Setup", "own", 0}};
    const size_t count = forge ? 2 : 4;
    for (size_t i = 0; i < count; i++) {
      const unsigned long long sequence = forge ? forged[i].sequence : burst[i].sequence;
      memcpy(out.header.client, self.v, sizeof out.header.client);
      if (forge && forged[i].other) memset(out.header.client, 7, sizeof out.header.client);
      out.header.sequenceNumber = sequence;
      out.header.command = (char *)(forge ? forged[i].command : burst[i].command);
      out.text = (char *)(forge ? forged[i].text : burst[i].text);
      dds_write(writer, &out);
    }
    dds_write_flush(writer);
  }
  for (int waited = 0; waited < 3000; waited++) {
    void *samples[16] = {NULL};
    dds_sample_info_t infos[16];
    dds_return_t n = dds_take(reader, samples, infos, 16, 16);
    for (int i = 0; i < n; i++) {
      if (!infos[i].valid_data) continue;
      if (sink) {
        const kyrif_KyrCmdsRequest *in = samples[i];
        const int probe = in->header.command[0] == '\0' && in->header.sequenceNumber == 0;
        if (probe || (liar && in->header.command[0] != '\0')) {
          kyrif_KyrCmdsReply reply;
          memset(&reply, 0, sizeof reply);
          memcpy(reply.header.client, in->header.client, sizeof reply.header.client);
          reply.header.sequenceNumber = in->header.sequenceNumber;
          reply.header.command = probe ? "" : "NotTheCommandAsked";
          reply.header.status.type = "";
          reply.header.status.text = "";
          reply.result = probe ? "" : "FORGED";
          dds_write(writer, &reply);
          dds_write_flush(writer);
        }
        if (!probe) {
          printf("%llu %s\n", (unsigned long long)in->header.sequenceNumber, in->header.command);
        }
      } else {
        const kyrif_KyrCmdsReply *in = samples[i];
        printf("%llu %d %s\n", (unsigned long long)in->header.sequenceNumber, (int)in->header.status.kind,
               in->result);
        if (in->header.sequenceNumber == 3) return 0;
      }
    }
    if (n > 0) dds_return_loan(reader, samples, n);
    fflush(stdout);
    if (n <= 0) dds_sleepfor(DDS_MSECS(10));
  }
  return sink ? 0 : fail("no reply to the kept request", DDS_RETCODE_TIMEOUT);
}
