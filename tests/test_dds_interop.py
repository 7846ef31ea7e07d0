"""Foreign peers of the dds.ps transport: a plain C program on the engine's C API
and the shipped IDL, the native C++ example, and a peer on another host (a network
namespace joined by a veth pair)."""
import contextlib
import datetime
import itertools
import json
import os
import re
import shutil
import subprocess
import sys
import time

import pytest

import pyqelcpp
from ModKyrif import Kyrif

from hosts import tool_env, two_hosts  # noqa: F401  (a fixture)

LONG = 30.0
HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
IDL = os.path.join(ROOT, "standin", "kyrif", "idl", "kyrif.idl")
PEER = os.path.join(HERE, "dds_peer.py")
_counter = itertools.count()

# What the transport configures by default, for a foreign program on this host.
FOREIGN_CONFIG = ("<CycloneDDS><Domain id=\"any\"><General><Interfaces><NetworkInterface name=\"lo\"/>"
                  "</Interfaces><AllowMulticast>false</AllowMulticast></General><Discovery>"
                  "<ParticipantIndex>auto</ParticipantIndex><MaxAutoParticipantIndex>99</MaxAutoParticipantIndex>"
                  "<Peers><Peer address=\"127.0.0.1\"/></Peers></Discovery></Domain></CycloneDDS>")


@pytest.fixture
def topic_name():
    return f"interop/p{os.getpid()}/n{next(_counter)}"


@pytest.fixture(scope="module")
def c_peer(tmp_path_factory):
    if not (shutil.which("idlc") and shutil.which("gcc")):
        pytest.skip("idlc or gcc is missing")
    out = tmp_path_factory.mktemp("c_peer")
    subprocess.run(["idlc", "-o", str(out), IDL], check=True, env=tool_env())
    program = out / "kyrif_peer"
    subprocess.run(["gcc", "-O1", "-o", str(program), os.path.join(HERE, "interop", "kyrif_peer.c"),
                    str(out / "kyrif.c"), "-I", str(out), "-lddsc"], check=True, env=tool_env())
    return str(program)


@pytest.fixture(scope="module")
def rr_c_peer(tmp_path_factory):
    """tests/interop/rr_peer.c with the request/reply envelope idlc makes of the IDL."""
    if not (shutil.which("idlc") and shutil.which("gcc")):
        pytest.skip("idlc or gcc is missing")
    out = tmp_path_factory.mktemp("rr_c_peer")
    idl = os.path.join(ROOT, "standin", "qel", "idl"), os.path.join(ROOT, "standin", "kyrif", "idl")
    for name, folder in (("QelRr", idl[0]), ("kyrif", idl[1]), ("KyrCmds", idl[1])):
        subprocess.run(["idlc", "-I", idl[0], "-I", idl[1], "-o", str(out), os.path.join(folder, name + ".idl")],
                       check=True, env=tool_env())
    program = out / "rr_peer"
    subprocess.run(["gcc", "-O1", "-o", str(program), os.path.join(HERE, "interop", "rr_peer.c"),
                    *(str(out / f"{name}.c") for name in ("QelRr", "kyrif", "KyrCmds")), "-I", str(out), "-lddsc"],
                   check=True, env=tool_env())
    return str(program)


def foreign_env():
    return dict(tool_env(), CYCLONEDDS_URI=FOREIGN_CONFIG)


def read_all(sub, count):
    got = []
    deadline = time.monotonic() + LONG
    while len(got) < count and time.monotonic() < deadline:
        got += [(s.getName(), s.getParameters()) for s in sub.read(0)]
        time.sleep(0.01)
    return got


def test_a_plain_c_program_publishes_to_python(factory, ps_qos, c_peer, topic_name):
    sub = Kyrif.Method.staticGetSubscriber(factory, f"dds.ps://0/{topic_name}", ps_qos, {})
    proc = subprocess.run([c_peer, "pub", "0", topic_name, "20"], env=foreign_env(), timeout=LONG)
    assert proc.returncode == 0
    assert read_all(sub, 20) == [(f"c{i}", f"from C {i}") for i in range(20)]
    sub.close()


def test_texts_that_are_not_utf8_are_refused_and_logged_and_good_samples_flow(factory, ps_qos, c_peer, topic_name,
                                                                             caplog):
    sub = Kyrif.Method.staticGetSubscriber(factory, f"dds.ps://0/{topic_name}", ps_qos, {})
    handled = []
    handler_sub = Kyrif.Method.staticGetSubscriber(factory, f"dds.ps://0/{topic_name}", ps_qos, {})
    subscription = Kyrif.Method.staticSubscribeAsync(
        handler_sub, Kyrif.Method.staticGetDataEventFilter(),
        lambda subscriber, event: handled.append(event.getData().getName()) if event.hasValidData() else None)
    with caplog.at_level("WARNING", logger="qel.dds"):
        proc = subprocess.run([c_peer, "bad", "0", topic_name, "8"], env=foreign_env(), timeout=LONG)
        assert proc.returncode == 0
        good = [(f"c{i}", f"from C {i}") for i in range(0, 8, 2)]
        assert read_all(sub, 4) == good
        deadline = time.monotonic() + LONG
        while len(handled) < 4 and time.monotonic() < deadline:
            time.sleep(0.01)
        assert handled == [name for name, _ in good]
        while len(caplog.records) < 2 and time.monotonic() < deadline:
            time.sleep(0.01)
    # Once per writer (each subscriber has its own reader), with the writer's identity.
    refusals = [r.getMessage() for r in caplog.records if "refused a sample" in r.getMessage()]
    assert len(refusals) == 2
    assert all(re.search(r"writer [0-9a-f]{32} of participant [0-9a-f]{32}: Method\.name received from another "
                         r"process is not valid UTF-8", text) for text in refusals)
    subscription.close()
    handler_sub.close()
    sub.close()


def logged_service(factory, topic_name):
    """A server at dds.rr://0/TOPIC with one worker whose service "svc" notes each
    Setup it runs (Setup("busy") holds the worker for half a second)."""
    ran = []

    class Logged:
        def Setup(self, mode):
            ran.append(mode)
            if mode == "busy":
                time.sleep(0.5)
            return mode

    server = factory.createServer(f"dds.rr://0/{topic_name}", pyqelcpp.RrQoSList(), {"rr.workerThreads": "1"})
    Kyrif.KyrCmds.KyrCmdsSyncService.registerService(server, "svc", Logged())
    return server, ran


@contextlib.contextmanager
def foreign_service(factory, program, role, topic_name):
    """The request/reply C peer serving in ROLE at TOPIC/svc, and a client of it that
    waits half a second for each reply."""
    peer = subprocess.Popen([program, role, "0", f"{topic_name}/svc"], env=foreign_env(), stdout=subprocess.PIPE,
                            text=True)
    try:
        assert peer.stdout.readline() == "ready\n"
        qos = pyqelcpp.RrQoSList()
        qos.append(pyqelcpp.ReplyTime(datetime.timedelta(seconds=0.5)))
        client = Kyrif.KyrCmds.KyrCmdsSync.staticGetClient(factory, f"dds.rr://0/{topic_name}/svc", qos, {})
        yield peer, client
        client.close()
    finally:
        peer.kill()
        peer.wait(LONG)


def run_rr_peer(program, role, topic_name):
    return subprocess.run([program, role, "0", f"{topic_name}/svc"], env=foreign_env(), capture_output=True,
                          text=True, timeout=LONG)


def test_a_sample_over_the_largest_size_is_refused_at_publish_and_on_receipt(factory, ps_qos, c_peer, topic_name,
                                                                            caplog):
    sub = Kyrif.Method.staticGetSubscriber(factory, f"dds.ps://0/{topic_name}", ps_qos, {})
    with caplog.at_level("WARNING", logger="qel.dds.engine"):
        proc = subprocess.run([c_peer, "huge", "0", topic_name, "3"], env=foreign_env(), timeout=LONG)
        assert proc.returncode == 0
        assert read_all(sub, 2) == [("c0", "from C 0"), ("c2", "from C 2")]
    assert any("oversize" in r.getMessage() for r in caplog.records)
    pub = Kyrif.Method.staticGetPublisher(factory, f"dds.ps://0/{topic_name}", ps_qos, {})
    sample = pub.createDataEntity()
    sample.setParameters("x" * (65 << 20))
    with pytest.raises(pyqelcpp.QelException, match="oversize"):
        pub.publish(sample, 1.0)
    pub.close()
    sub.close()


class TestACallerThatGivesUp:
    def test_cancels_its_request_at_the_service(self, factory, rr_c_peer, topic_name):
        with foreign_service(factory, rr_c_peer, "sink", topic_name) as (sink, client):
            with pytest.raises(pyqelcpp.TimeoutException):
                client.Setup("x")
            # The request, then its cancellation: the same number, no command.
            assert [sink.stdout.readline(), sink.stdout.readline()] == ["1 Setup\n", "1 \n"]

    def test_a_request_cancelled_while_it_waits_for_a_worker_never_runs(self, factory, rr_c_peer, topic_name):
        server, ran = logged_service(factory, topic_name)
        done = run_rr_peer(rr_c_peer, "burst", topic_name)
        assert done.returncode == 0, done.stderr
        # No reply to the cancelled request: its caller waits no more.
        assert done.stdout == "1 0 busy\n3 0 kept\n" and ran == ["busy", "kept"]
        server.close()


class TestOnlyTheRightPartiesTalk:
    def test_a_reply_naming_another_command_is_no_answer(self, factory, rr_c_peer, topic_name, caplog):
        with foreign_service(factory, rr_c_peer, "liar", topic_name) as (_, client):
            with caplog.at_level("WARNING", logger="qel.dds"):
                with pytest.raises(pyqelcpp.TimeoutException):
                    client.Setup("x")
                deadline = time.monotonic() + LONG
                while not caplog.records and time.monotonic() < deadline:
                    time.sleep(0.01)
            assert "named command 'NotTheCommandAsked'" in caplog.records[0].getMessage()

    def test_a_request_written_in_another_caller_s_name_never_runs(self, factory, rr_c_peer, topic_name):
        server, ran = logged_service(factory, topic_name)
        done = run_rr_peer(rr_c_peer, "forge", topic_name)
        assert done.returncode == 0, done.stderr
        assert done.stdout == "3 0 own\n" and ran == ["own"]
        server.close()


def test_python_publishes_to_a_plain_c_program(factory, ps_qos, c_peer, topic_name):
    proc = subprocess.Popen([c_peer, "sub", "0", topic_name, "20"], env=foreign_env(), stdout=subprocess.PIPE,
                            text=True)
    try:
        assert proc.stdout.readline().strip() == "ready"
        pub = Kyrif.Method.staticGetPublisher(factory, f"dds.ps://0/{topic_name}", ps_qos,
                                              {"dds.waitForReaders": "1"})
        for i in range(20):
            sample = pub.createDataEntity()
            sample.setName(f"py{i}")
            sample.setParameters(f"é{i}")
            pub.publish(sample, LONG)
        pub.close()
        out, _ = proc.communicate(timeout=LONG)
        assert proc.returncode == 0
        assert out.splitlines() == [f"py{i}|é{i}" for i in range(20)]
    finally:
        proc.kill()
        proc.wait()


def test_the_native_example_publishes_to_python(factory, ps_qos, topic_name):
    folder = os.environ.get("MODKYRIF_BENCH_MODULES", "")
    program = os.path.join(folder, "publish_methods")
    if not os.path.exists(program):
        pytest.skip("the native example is not built (scripts/test.sh builds it)")
    endpoint = f"dds.ps://0/{topic_name}"
    sub = Kyrif.Method.staticGetSubscriber(factory, endpoint, ps_qos, {})
    proc = subprocess.run([program, endpoint, "5"], capture_output=True, text=True, timeout=LONG)
    assert proc.returncode == 0, proc.stderr
    assert read_all(sub, 5) == [(f"native{i}", "count=5") for i in range(5)]
    sub.close()


# --- two hosts ---------------------------------------------------------------------------

def test_publisher_and_subscriber_on_two_hosts(two_hosts, topic_name):
    (host_a, link_a, address_a), (host_b, link_b, address_b) = two_hosts
    endpoint = f"dds.ps://5/{topic_name}"

    def peer(host, link, peer_address, *args):
        env = dict(os.environ, DDS_PEER_PROPS=json.dumps({"dds.interfaces": link, "dds.peers": peer_address}))
        return subprocess.Popen(["ip", "netns", "exec", host, sys.executable, PEER, *args], env=env,
                                stdout=subprocess.PIPE, text=True)

    subscriber = peer(host_b, link_b, address_a, "subscribe", endpoint, "10")
    try:
        assert subscriber.stdout.readline().strip() == "ready"
        publisher = peer(host_a, link_a, address_b, "publish", endpoint, "10")
        out, _ = publisher.communicate(timeout=LONG)
        assert publisher.returncode == 0 and out.strip() == "published"
        got = json.loads(subscriber.stdout.readline())
        assert got == [[f"k{i % 3}", str(i)] for i in range(10)]
        subscriber.wait(LONG)
    finally:
        for proc in (subscriber,):
            proc.kill()
            proc.wait()
