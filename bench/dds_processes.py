"""The other process of the benchmarks between processes, and the baselines' runs.

  dds_processes.py ours ENDPOINT COUNT      a ModKyrif subscriber reading in batches
  dds_processes.py pypi DOMAIN TOPIC COUNT  the same with the pure-Python cyclonedds
                                            package (publisher: pypi-pub)
Each subscriber prints "ready", then, when COUNT samples arrived, the wall-clock time
of the last one."""
import sys
import time

# What the transport configures by default, for programs that bring their own
# configuration (ddsperf, the cyclonedds package).
FOREIGN_CONFIG = ("<CycloneDDS><Domain id=\"any\"><General><Interfaces><NetworkInterface name=\"lo\"/>"
                  "</Interfaces><AllowMulticast>false</AllowMulticast></General><Discovery>"
                  "<ParticipantIndex>auto</ParticipantIndex><MaxAutoParticipantIndex>99</MaxAutoParticipantIndex>"
                  "<Peers><Peer address=\"127.0.0.1\"/></Peers></Discovery></Domain></CycloneDDS>")
# The same with the write batching that the transport turns on in its domains.
BATCHED_CONFIG = FOREIGN_CONFIG.replace("</Discovery>", "</Discovery><Internal><WriteBatch>true</WriteBatch></Internal>")


def ours(endpoint, count):
    import pyqelcpp
    import ModKyrif
    Kyrif = ModKyrif.Kyrif
    qos = pyqelcpp.PsQoSList()
    qos.append(pyqelcpp.QueueDepth(4096))
    sub = Kyrif.Method.staticGetSubscriber(pyqelcpp.WexFactory.getInstance(), endpoint, qos, {})
    everything = Kyrif.Method.staticGetDataEventFilter()
    print("ready", flush=True)
    got = 0
    while got < count:
        got += len(sub.readDataEvents(everything, 0, 10.0))
    print(time.time(), flush=True)
    sub.close()


def pypi_types():
    from dataclasses import dataclass
    from cyclonedds.idl import IdlStruct
    from cyclonedds.idl.annotations import key

    @dataclass
    class Method(IdlStruct, typename="kyrif::Method"):
        name: str
        key("name")
        parameters: str

    return Method


def pypi_sub(domain, topic_name, count):
    from cyclonedds.domain import DomainParticipant
    from cyclonedds.topic import Topic
    from cyclonedds.sub import DataReader
    from cyclonedds.core import Qos, Policy
    Method = pypi_types()
    participant = DomainParticipant(int(domain))
    reader = DataReader(participant, Topic(participant, topic_name, Method),
                        qos=Qos(Policy.Reliability.Reliable(10), Policy.History.KeepAll))
    print("ready", flush=True)
    got = 0
    while got < count:
        batch = reader.take(N=1000)
        got += len(batch)
        if not batch:
            time.sleep(0.0005)
    print(time.time(), flush=True)


def pypi_pub(domain, topic_name, count):
    from cyclonedds.domain import DomainParticipant
    from cyclonedds.topic import Topic
    from cyclonedds.pub import DataWriter
    from cyclonedds.core import Qos, Policy
    from cyclonedds.util import duration
    Method = pypi_types()
    participant = DomainParticipant(int(domain))
    writer = DataWriter(participant, Topic(participant, topic_name, Method),
                        qos=Qos(Policy.Reliability.Reliable(duration(seconds=10)), Policy.History.KeepAll))
    deadline = time.monotonic() + 10
    while writer.get_matched_subscriptions() == [] and time.monotonic() < deadline:
        time.sleep(0.01)
    sample = Method(name="bench", parameters="x=1")
    print(time.time(), flush=True)
    for _ in range(int(count)):
        writer.write(sample)
    writer.wait_for_acks(duration(seconds=10)) if hasattr(writer, "wait_for_acks") else time.sleep(1)


if __name__ == "__main__":
    role, *args = sys.argv[1:]
    {"ours": lambda e, c: ours(e, int(c)), "pypi": lambda d, t, c: pypi_sub(d, t, int(c)),
     "pypi-pub": pypi_pub}[role](*args)
