"""Publish/subscribe between processes over the dds.ps transport: what the shared
suites (run on both transports) cannot show from inside one process."""
import itertools
import json
import os
import signal
import subprocess
import sys
import textwrap
import time

import pytest

import pyqelcpp
from ModKyrif import Kyrif

from hosts import peers_of

EVENT = pyqelcpp.InstanceEvent
STATE = pyqelcpp.InstanceState
LONG = 30.0
PEER = os.path.join(os.path.dirname(__file__), "dds_peer.py")
_counter = itertools.count()


@pytest.fixture
def topic(request):
    """A dds.ps endpoint that no other test (or test process) uses."""
    return f"dds.ps:///dds/p{os.getpid()}/n{next(_counter)}"


peers = peers_of(PEER)


def everything():
    return Kyrif.Method.staticGetDataEventFilter()


def read_events(sub, count, timeout=LONG):
    events = []
    deadline = time.monotonic() + timeout
    while len(events) < count and time.monotonic() < deadline:
        events += sub.readDataEvents(everything(), 0, 1.0)
    return events


def test_samples_from_another_process_arrive_in_order_with_instances(factory, topic, ps_qos, peers):
    sub = Kyrif.Method.staticGetSubscriber(factory, topic, ps_qos, {})
    peer = peers("publish", topic, "300")
    assert peer.line() == "published"
    events = read_events(sub, 300)
    assert [e.data.getParameters() for e in events] == [str(i) for i in range(300)]
    assert [e.data.getName() for e in events[:4]] == ["k0", "k1", "k2", "k0"]
    assert [e.event for e in events[:4]] == [EVENT.CREATED] * 3 + [EVENT.UPDATED]
    peer.finish()
    # The publisher closed: each of its three instances goes, without data.
    gone = sub.readDataEvents(everything(), 0, LONG)
    gone += sub.readDataEvents(everything(), 0, 1.0)
    assert sorted(e.data for e in gone if e.data) == []
    assert [(e.event, e.state, e.hasValidData()) for e in gone] == [(EVENT.REMOVED, STATE.NOT_ALIVE, False)] * 3
    sub.close()


def test_start_properties_and_timestamp_cross_intact(factory, topic, ps_qos, peers):
    sub = Kyrif.StartProperties.staticGetSubscriber(factory, topic, ps_qos, {})
    peers("publish-start", topic).line()
    event = sub.readDataEvents(Kyrif.StartProperties.staticGetDataEventFilter(), 1, LONG)[0]
    data = event.data
    assert (data.getAbsTime(), data.getTrigger(), data.getCustomTrigger(), data.getInfo()) == \
        (12.5, Kyrif.AbsTime, "edge", "ümlaut info")
    assert abs(event.sourceTimestamp - 1700000000.123456789) < 1e-6
    sub.close()


def test_a_slow_reader_in_this_process_holds_back_the_publisher_and_loses_nothing(factory, topic, peers):
    qos = pyqelcpp.PsQoSList()
    qos.append(pyqelcpp.QueueDepth(4))
    sub = Kyrif.Method.staticGetSubscriber(factory, topic, qos, {})
    peer = peers("publish-until-timeout", topic)
    words = peer.line().split()
    assert words[0] == "timeout"
    published = int(words[1])
    # Bounded: the queue, the engine's reader and what the engine keeps in flight.
    assert 8 <= published < 100000
    got = []
    deadline = time.monotonic() + LONG
    while len(got) < published and time.monotonic() < deadline:
        got += [s.getParameters() for s in sub.read(3)]
        time.sleep(0.001)
    peer.tell()
    assert got == [str(i) for i in range(published)]
    time.sleep(0.5)
    assert [s for s in sub.read(0)] == []  # the timed-out sample was not sent
    peer.finish()
    sub.close()


def test_a_reader_that_catches_up_gets_what_waited_promptly(factory, topic, peers):
    # The publisher is held back by a full queue of 4; once the reader reads as fast
    # as it can, what waited arrives at the reader's pace, not a queue per round of
    # the engine's repeats (which took minutes here).
    qos = pyqelcpp.PsQoSList()
    qos.append(pyqelcpp.QueueDepth(4))
    sub = Kyrif.Method.staticGetSubscriber(factory, topic, qos, {})
    count = 3000
    peer = peers("publish", topic, str(count))
    time.sleep(1.0)
    started = time.monotonic()
    got = []
    while len(got) < count and time.monotonic() - started < LONG:
        got += [e.data.getParameters() for e in sub.readDataEvents(everything(), 0, 1.0) if e.data]
    took = time.monotonic() - started
    assert got == [str(i) for i in range(count)]
    assert took < 10.0
    assert peer.line() == "published"
    peer.finish()
    sub.close()


def test_removed_after_the_publishing_process_is_killed(factory, topic, ps_qos, peers):
    sub = Kyrif.Method.staticGetSubscriber(factory, topic, ps_qos, {})
    mrv = Kyrif.Method.staticGetMrvSubscriber(factory, topic, ps_qos, {})
    peer = peers("hold", topic, "2", "a", "b")
    assert peer.line() == "ready"
    created = read_events(sub, 2)
    assert sorted(e.data.getName() for e in created) == ["a", "b"]
    deadline = time.monotonic() + LONG
    while len(mrv.readMostRecent(1.0)) < 2 and time.monotonic() < deadline:
        pass
    os.kill(peer.proc.pid, signal.SIGKILL)
    killed = time.monotonic()
    removed = Kyrif.Method.staticGetDataEventFilter()
    removed.setInstanceEvents({EVENT.REMOVED})
    gone = read_events_filtered(sub, removed, 2)
    noticed = time.monotonic() - killed
    assert [(e.event, e.state, e.data) for e in gone] == [(EVENT.REMOVED, STATE.NOT_ALIVE, None)] * 2
    assert noticed < 3.0 + 2.0  # the lease, and some slack for a loaded machine
    deadline = time.monotonic() + 2.0
    while mrv.readMostRecent(0.0) and time.monotonic() < deadline:
        time.sleep(0.01)
    assert mrv.readMostRecent(0.0) == []
    mrv.close()
    sub.close()


def read_events_filtered(sub, selection, count):
    events = []
    deadline = time.monotonic() + LONG
    while len(events) < count and time.monotonic() < deadline:
        events += sub.readDataEvents(selection, 0, 0.5)
    return events


def test_late_most_recent_value_subscriber_gets_the_latest_of_each_live_instance(factory, topic, ps_qos, peers):
    peer = peers("hold", topic, "0", "x", "y", "z")
    assert peer.line() == "ready"
    mrv = Kyrif.Method.staticGetMrvSubscriber(factory, topic, ps_qos, {})
    latest = []
    deadline = time.monotonic() + LONG
    while len(latest) < 3 and time.monotonic() < deadline:
        latest = mrv.readMostRecent(1.0)
    assert sorted((s.getName(), s.getParameters()) for s in latest) == \
        [("x", "held x"), ("y", "held y"), ("z", "held z")]
    mrv.close()


def threads():
    return len(os.listdir("/proc/self/task"))


def test_many_topics_at_once(factory, topic, ps_qos, peers):
    count = 40
    # The domain's own threads are there before the subscribers are counted.
    Kyrif.Method.staticGetSubscriber(factory, f"{topic}/first", ps_qos, {}).close()
    before = threads()
    subs = [Kyrif.Method.staticGetSubscriber(factory, f"{topic}/t{i}", ps_qos, {}) for i in range(count)]
    peer = peers("publish-topics", topic, str(count))
    assert peer.line() == "published"
    for i, sub in enumerate(subs):
        samples = sub.readDataEvents(everything(), 0, LONG)
        assert [s.data.getParameters() for s in samples] == [str(i)]
    # Subscribers share the middleware's threads: none has one of its own.
    assert threads() - before < 10
    peer.finish()
    for sub in subs:
        sub.close()


def test_samples_from_this_process_reach_another(factory, topic, ps_qos, peers):
    peer = peers("subscribe", topic, "5")
    assert peer.line() == "ready"
    pub = Kyrif.Method.staticGetPublisher(factory, topic, ps_qos, {"dds.waitForReaders": "1"})
    for i in range(5):
        sample = pub.createDataEntity()
        sample.setName(f"n{i}")
        sample.setParameters(f"p{i}")
        pub.publish(sample, LONG)
    assert json.loads(peer.line()) == [[f"n{i}", f"p{i}"] for i in range(5)]
    pub.close()
    peer.finish()


def test_no_engine_thread_outlives_the_exit_work_of_the_middleware(topic):
    """Entities of both roads left open at exit: the middleware's exit work closes them
    and leaves the domain, so that only the main thread is left for the rest of exit."""
    server = topic.replace("dds.ps:", "dds.rr:") + "/srv"
    program = textwrap.dedent(f"""
        import atexit, os
        # Registered before the middleware's own exit work, so it runs after it.
        atexit.register(lambda: print(len(os.listdir("/proc/self/task")), flush=True))
        import pyqelcpp, ModKyrif
        K = ModKyrif.Kyrif
        factory = pyqelcpp.WexFactory.getInstance()
        pub = K.Method.staticGetPublisher(factory, {topic!r}, pyqelcpp.PsQoSList(), {{}})
        sub = K.Method.staticGetSubscriber(factory, {topic!r}, pyqelcpp.PsQoSList(), {{}})
        pub.publish(pub.createDataEntity(), 5.0)
        srv = factory.createServer({server!r}, pyqelcpp.RrQoSList(), {{}})

        class Service:
            def Ping(self):
                return "pong"

        K.KyrCmds.KyrCmdsSyncService.registerService(srv, "svc", Service())
        client = K.KyrCmds.KyrCmdsSync.staticGetClient(factory, {server!r} + "/svc", pyqelcpp.RrQoSList(), {{}})
        print(client.Ping(), len(sub.read(0)), len(os.listdir("/proc/self/task")) > 1, flush=True)
    """)
    run = subprocess.run([sys.executable, "-c", program], capture_output=True, text=True, timeout=LONG)
    assert (run.returncode, run.stdout, run.stderr) == (0, "pong 1 True\n1\n", "")


# --- what the wire cannot carry, and what the transport refuses ----------------------

def test_values_the_wire_cannot_carry_are_refused_and_nothing_is_delivered(factory, topic, ps_qos):
    sub = Kyrif.Method.staticGetSubscriber(factory, topic, ps_qos, {})
    pub = Kyrif.Method.staticGetPublisher(factory, topic, ps_qos, {})
    sample = pub.createDataEntity()
    sample.setName("a\0b")
    with pytest.raises(pyqelcpp.QelException, match="NUL"):
        pub.publish(sample, 1.0)
    sample.setName("ok")
    # Outside 0 to 2^32 s, and finer than the wire's nanoseconds.
    for stamp in [float("nan"), float("inf"), -1.0, -0.0, 2.0 ** 32 - 1, 1e300, 1e-10, 12.0000000001]:
        with pytest.raises(pyqelcpp.QelException, match="timestamp"):
            pub.publishWithTimestamp(stamp, sample, 1.0)
    pub.publishWithTimestamp(0.0, sample, 1.0)  # the bounds themselves are carried
    pub.publishWithTimestamp(4294967294.9999995, sample, 1.0)
    assert [e.sourceTimestamp for e in sub.readDataEvents(everything(), 0, 1.0)] == [0.0, 4294967294.9999995]

    sp_topic = topic + "/start"
    sp_sub = Kyrif.StartProperties.staticGetSubscriber(factory, sp_topic, ps_qos, {})
    sp_pub = Kyrif.StartProperties.staticGetPublisher(factory, sp_topic, ps_qos, {})
    start = sp_pub.createDataEntity()
    start.setInfo("x\0")
    with pytest.raises(pyqelcpp.QelException, match="NUL"):
        sp_pub.publish(start, 1.0)
    assert sp_sub.read(0) == [] and sub.read(0) == []
    for entity in (sp_pub, sp_sub, pub, sub):
        entity.close()


def test_endpoints_and_settings_the_transport_refuses(factory, topic, ps_qos):
    bad = {
        "dds.ps://233/t": "domain",
        "dds.ps://x/t": "domain",
        "dds.ps://7/": "empty",
        "dds.ps://7/a-b": "'-'",
        "dds.ps://7/a.b": "'.'",
        "dds.ps://7/a%20b": "'%'",
        "dds.ps://7/9lives": "digit",
        "dds.ps://7/t?q=1": "query",
        "dds.ps://7:99/t": "port",
    }
    for endpoint, why in bad.items():
        with pytest.raises(pyqelcpp.QelException, match=why):
            Kyrif.Method.staticGetSubscriber(factory, endpoint, ps_qos, {})
    pub = Kyrif.Method.staticGetPublisher(factory, topic, ps_qos, {})
    with pytest.raises(pyqelcpp.QelException, match="carries type"):
        Kyrif.StartProperties.staticGetSubscriber(factory, topic, ps_qos, {})
    # Same domain and topic, spelled differently: the same topic.
    same = topic.replace("dds.ps:///", "dds.ps://0/")
    sub = Kyrif.Method.staticGetSubscriber(factory, same, ps_qos, {})
    sample = pub.createDataEntity()
    sample.setName("n")
    pub.publish(sample, 1.0)
    assert [s.getName() for s in sub.read(0)] == ["n"]
    with pytest.raises(pyqelcpp.QelException, match="already in use"):
        Kyrif.Method.staticGetSubscriber(factory, topic + "/other", ps_qos, {"dds.interfaces": "eth9"})
    with pytest.raises(pyqelcpp.QelException, match="dds.peers"):
        Kyrif.Method.staticGetSubscriber(factory, "dds.ps://3/t", ps_qos, {"dds.peers": "<x/>"})
    with pytest.raises(pyqelcpp.TimeoutException, match="readers"):
        Kyrif.Method.staticGetPublisher(factory, topic + "/lonely", ps_qos,
                                        {"dds.waitForReaders": "1", "dds.waitForReadersMs": "200"})
    pub.close()
    sub.close()
