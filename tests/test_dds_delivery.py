"""What a dds.ps publisher promises between processes: a sample it accepted reaches
the readers that were there, or an exception (or, at exit, a logged warning) says it
may not have; a reader that does not keep up holds it back early; what arrives is
exactly what was sent; a closed publisher sends nothing."""
import itertools
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import time
import uuid

import pytest

import pyqelcpp
from ModKyrif import Kyrif

from hosts import Peer, peers_of, tool_env

LONG = 30.0
HERE = os.path.dirname(os.path.abspath(__file__))
PEER = os.path.join(HERE, "dds_peer.py")
KYRIF = [sys.executable, "-m", "kyrif_tools"]
_counter = itertools.count()

peers = peers_of(PEER)


@pytest.fixture
def topic():
    return f"dds.ps:///delivery/p{os.getpid()}/n{next(_counter)}"


def method(pub, name, parameters=""):
    sample = pub.createDataEntity()
    sample.setName(name)
    sample.setParameters(parameters)
    return sample


def received(sub, count, timeout=LONG):
    got = []
    deadline = time.monotonic() + timeout
    while len(got) < count and time.monotonic() < deadline:
        got += [e for e in sub.readDataEvents(Kyrif.Method.staticGetDataEventFilter(), 0, 0.5) if e.hasValidData()]
    return got


def test_processes_that_publish_once_and_end_reach_a_running_reader(factory, ps_qos, topic, peers):
    sub = Kyrif.Method.staticGetSubscriber(factory, topic, ps_qos, {})
    for i in range(20):
        peer = peers("publish-once", topic, f"once{i}")
        assert peer.proc.wait(LONG) == 0
    assert sorted(e.data.getName() for e in received(sub, 20)) == sorted(f"once{i}" for i in range(20))
    sub.close()


class TestCloseWaitsForTheReaders:
    def publish_until_held_back(self, pub, most):
        published = 0
        try:
            for i in range(most):
                pub.publish(method(pub, "k", str(i)), 1.0)
                published += 1
        except pyqelcpp.TimeoutException:
            pass
        return published

    def test_a_reader_that_catches_up_within_the_wait_gets_everything(self, factory, ps_qos, topic, peers):
        reader = peers("subscribe-late", topic, "1024", "1.0")
        assert reader.line() == "ready"
        pub = Kyrif.Method.staticGetPublisher(factory, topic, ps_qos,
                                              {"dds.waitForReaders": "1", "dds.ackWaitMs": "20000"})
        published = self.publish_until_held_back(pub, 2000)
        pub.close()  # no exception: every sample was acknowledged
        assert int(reader.line()) == published == 2000

    def test_a_reader_asleep_beyond_the_wait_makes_close_raise_with_a_count(self, factory, ps_qos, topic, peers):
        reader = peers("subscribe-late", topic, "1024", "6.0")
        assert reader.line() == "ready"
        pub = Kyrif.Method.staticGetPublisher(factory, topic, ps_qos,
                                              {"dds.waitForReaders": "1", "dds.ackWaitMs": "1000"})
        published = self.publish_until_held_back(pub, 5000)
        started = time.monotonic()
        with pytest.raises(pyqelcpp.TimeoutException, match="topic 'delivery/.*' in domain 0: up to") as raised:
            pub.close()
        assert 0.9 < time.monotonic() - started < 10
        with pytest.raises(pyqelcpp.ClosedException):
            pub.publish(method(pub, "k"), 1.0)  # closed all the same
        reported = int(re.search(r"up to (\d+) sample", str(raised.value)).group(1))
        got = int(reader.line())
        # Never fewer than were lost, never more than were published.
        assert published - got <= reported <= published


def test_a_reader_that_does_not_read_holds_the_publisher_back_after_its_queue(factory, ps_qos, topic, peers):
    reader = peers("subscribe-held", topic)  # a queue of 4, then nothing read
    assert reader.line() == "ready"
    pub = Kyrif.Method.staticGetPublisher(factory, topic, ps_qos, {"dds.waitForReaders": "1"})
    outstanding = 0
    with pytest.raises(pyqelcpp.TimeoutException):
        for i in range(100000):
            pub.publish(method(pub, "k", str(i)), 0.3)
            outstanding += 1
    # The reader's queue of 4, its overflow of 256 and one sample in its engine's
    # reader, then at most the engine's 500 kB of small samples in the writer.
    assert 4 + 256 < outstanding < 4 + 256 + 1 + 500_000 // 40
    reader.proc.stdin.write(f"{outstanding}\n")
    reader.proc.stdin.flush()
    assert len(json.loads(reader.line())) == outstanding
    pub.close()


def test_timestamps_after_2038_and_to_the_nanosecond_arrive_exactly(factory, ps_qos, topic, peers):
    stamps = [2.0 ** 31, 4102444800.0, 9.2e9 / 2.2, 1700000000.123456789, 4294967294.9999995, 0.5, 1234.000000001]
    sub = Kyrif.Method.staticGetSubscriber(factory, topic, ps_qos, {})
    peer = peers("publish-stamps", topic, *map(repr, stamps))
    assert peer.line() == "published"
    assert [e.sourceTimestamp for e in received(sub, len(stamps))] == stamps
    sub.close()


def test_a_closed_publisher_sends_nothing_while_its_instance_publisher_lives(factory, ps_qos, topic, peers):
    reader = peers("subscribe", topic, "1")
    assert reader.line() == "ready"
    pub = Kyrif.Method.staticGetPublisher(factory, topic, ps_qos, {"dds.waitForReaders": "1"})
    instance = pub.createInstancePublisher(method(pub, "kept"))
    refused, kept = method(pub, "after-close"), method(pub, "kept", "by the instance publisher")
    pub.close()
    with pytest.raises(pyqelcpp.ClosedException):
        pub.publish(refused, 1.0)
    instance.publish(kept, 1.0)
    assert reader.line() == '[["kept", "by the instance publisher"]]'
    instance.close()


def test_what_readers_never_acknowledged_is_logged_at_exit(topic, peers):
    reader = peers("subscribe-held", topic)  # acknowledges its queue and overflow only
    assert reader.line() == "ready"
    program = f"""
import logging, pyqelcpp
from ModKyrif import Kyrif
logging.basicConfig(format="%(name)s %(levelname)s %(message)s")
pub = Kyrif.Method.staticGetPublisher(pyqelcpp.WexFactory.getInstance(), {topic!r}, pyqelcpp.PsQoSList(),
                                      {{"dds.waitForReaders": "1", "dds.ackWaitMs": "500"}})
for i in range(400):
    sample = pub.createDataEntity()
    sample.setName(str(i))
    pub.publish(sample, 10.0)
"""
    done = subprocess.run([sys.executable, "-c", program], capture_output=True, text=True, timeout=60)
    assert done.returncode == 0
    assert re.fullmatch(r"qel.dds WARNING publisher of topic 'delivery/\S+' in domain 0: up to \d+ samples were "
                        r"not acknowledged by a matched reader within dds.ackWaitMs before the process ended\n",
                        done.stderr)


class TestTheCommandLine:
    def kyrif(self, *args):
        return subprocess.run([*KYRIF, *args], capture_output=True, text=True, timeout=60)

    def test_no_reader_in_time_is_status_4_naming_domain_and_topic(self, topic):
        endpoint = topic.replace(":///", "://0/")
        done = self.kyrif("publish", endpoint, "--type", "Method", "name=x", "--wait-readers", "0.3")
        assert done.returncode == 4
        assert re.fullmatch(r"kyrif publish: no reader of topic 'delivery/\S+' in domain 0 appeared within 0.3 s\n",
                            done.stderr)
        assert self.kyrif("publish", endpoint, "--type", "Method", "name=x", "--no-wait").returncode == 0

    def test_samples_a_stopped_reader_never_acknowledged_are_status_4(self, topic):
        endpoint = topic.replace(":///", "://0/")
        echo = subprocess.Popen([*KYRIF, "echo", endpoint, "--type", "Method", "-p", "dds.leaseMs=20000"],
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        try:
            publish = subprocess.Popen([*KYRIF, "publish", endpoint, "--type", "Method", "name=n{i}",
                                        "--count", "20", "--rate", "10", "-p", "dds.ackWaitMs=500"],
                                       stderr=subprocess.PIPE, text=True)
            assert echo.stdout.readline().startswith("CREATED")  # matched, and acknowledging
            echo.send_signal(signal.SIGSTOP)
            _, err = publish.communicate(timeout=60)
            assert publish.returncode == 4
            assert re.fullmatch(r"kyrif publish: samples not delivered: publisher of topic 'delivery/\S+' in "
                                r"domain 0: up to \d+ samples? w\w+ not acknowledged .*\n", err)
        finally:
            echo.send_signal(signal.SIGCONT)
            echo.kill()
            echo.wait(LONG)


@pytest.fixture
def lossy_host():
    """A network namespace whose kernel drops a fifth of the domain's UDP packets at
    random; programs run in it with the prefix it yields."""
    if os.geteuid() != 0 or not (shutil.which("ip") and shutil.which("nft")):
        pytest.skip("dropping packets in a network namespace needs root, ip and nft")
    host = f"mkL{uuid.uuid4().hex[:6]}"

    def run(*args):
        subprocess.run(args, check=True, capture_output=True, text=True, env=tool_env())

    try:
        run("ip", "netns", "add", host)
        run("ip", "-n", host, "link", "set", "lo", "up")
        subprocess.run(["ip", "netns", "exec", host, "nft", "-f", "-"], check=True, capture_output=True, text=True,
                       env=tool_env(), input="table inet loss {\n chain input {\n  type filter hook input priority 0;\n"
                                             "  udp dport 7400-65535 numgen random mod 100 < 20 drop\n }\n}\n")
    except subprocess.CalledProcessError as error:
        subprocess.run(["ip", "netns", "del", host], capture_output=True, env=tool_env())
        pytest.skip(f"cannot make a lossy namespace here: {error.stderr.strip()}")
    yield ("ip", "netns", "exec", host)
    subprocess.run(["ip", "netns", "del", host], capture_output=True, env=tool_env())


def test_a_fifth_of_the_packets_lost_loses_no_sample(lossy_host):
    endpoint = f"dds.ps://0/delivery/lossy{uuid.uuid4().hex[:6]}"
    count = 20000
    reader = Peer(PEER, "subscribe", endpoint, str(count), prefix=lossy_host)
    writer = None
    try:
        assert reader.line() == "ready"
        writer = Peer(PEER, "publish", endpoint, str(count), prefix=lossy_host)
        assert writer.line() == "published"
        writer.finish()  # its close succeeded: every sample was acknowledged
        got = [parameters for _, parameters in json.loads(reader.line())]
        assert got == [str(i) for i in range(count)]
    finally:
        reader.kill()
        if writer is not None:
            writer.kill()
