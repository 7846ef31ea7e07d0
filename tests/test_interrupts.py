"""Ctrl-C while the main thread blocks in a call of the module.

Each road runs in a program of its own, which sends itself a real SIGINT while its
main thread is blocked in the call, twice:
- with a handler that first changes the world (makes the awaited data, room or
  reply appear) and then raises KeyboardInterrupt: the call must raise it promptly,
  although its deadline is far away, and must have lost nothing (the sample it did
  not return is still unread, the publish it gave up did not happen, the reply that
  came late is not taken by the next command, the future still gives its result);
- with a handler that does not raise: the handler must run promptly and the call
  must go on waiting until its own deadline.
"""
import os
import subprocess
import sys
import textwrap

import pytest

# How long after the signal the handler may run: the module checks every 50 ms, but
# the sanitizer runs are much slower.
LATENCY_LIMIT = 1.0

PROGRAM = textwrap.dedent("""
    import datetime, json, os, signal, subprocess, sys, threading, time
    import pyqelcpp, ModKyrif
    K = ModKyrif.Kyrif
    KyrCmds = K.KyrCmds
    factory = pyqelcpp.WexFactory.getInstance()
    base = f"{TRANSPORT}:///interrupt/p{os.getpid()}"
    PEER = {PEER!r}
    runs = iter(range(1000))

    def rr_qos(seconds):
        qos = pyqelcpp.RrQoSList()
        qos.append(pyqelcpp.ReplyTime(datetime.timedelta(seconds=seconds)))
        return qos

    class Echo:
        def GetConfig(self, text):
            return text

    def sample(publisher, name):
        m = publisher.createDataEntity()
        m.setName(name)
        return m

    def signal_soon(sent):
        def send():
            time.sleep(0.3)
            sent.append(time.monotonic())
            os.kill(os.getpid(), signal.SIGINT)
        threading.Thread(target=send, daemon=True).start()

    def run(T, on_signal, raising):
        \"\"\"Runs the road's blocking call with deadline T while a SIGINT arrives.\"\"\"
        sent, handled = [], []
        def handler(signum, frame):
            handled.append(time.monotonic())
            if raising:
                on_signal()
                raise KeyboardInterrupt
        signal.signal(signal.SIGINT, handler)
        signal_soon(sent)
        start = time.monotonic()
        try:
            call()
            outcome = "returned"
        except KeyboardInterrupt:
            outcome = "interrupted"
        except pyqelcpp.TimeoutException:
            outcome = "timed out"
        ended = time.monotonic()
        signal.signal(signal.SIGINT, signal.default_int_handler)
        assert handled, "the handler never ran"
        return outcome, handled[0] - sent[0], ended - start

    # The road: setup(T) prepares the call with deadline T and returns what the
    # raising handler does; call() blocks; check() shows that nothing was lost.
    {road}

    LONG = 30.0
    on_signal = setup(LONG)
    outcome, latency, _ = run(LONG, on_signal, raising=True)
    assert outcome == "interrupted", outcome
    check()
    print(f"raising {latency:.3f}")

    SHORT = 1.5
    setup(SHORT)
    outcome, latency, took = run(SHORT, None, raising=False)
    assert outcome in ("returned", "timed out"), outcome
    assert took >= SHORT - 0.01, f"the wait ended after {took:.3f} s, before its deadline"
    print(f"quiet {latency:.3f}")

    # Closed here: how programs end with live entities is the exit tests' business.
    for peer in globals().get("peers", []):
        peer.kill()
    for name in ("client", "sub", "mrv", "pub"):
        if name in globals():
            globals()[name].close()
    for server in globals().get("servers", []):
        server.close()
""")

# Publish/subscribe roads. The handler publishes the sample the call waits for.
READ = """
def setup(T):
    global sub, pub, flt, timeout
    topic = f"{base}/topic/{next(runs)}"
    qos = pyqelcpp.PsQoSList()
    pub = K.Method.staticGetPublisher(factory, topic, qos, {})
    sub = K.Method.staticGetSubscriber(factory, topic, qos, {})
    flt = K.Method.staticGetDataEventFilter()
    timeout = T
    return lambda: pub.publish(sample(pub, "late"), 1.0)
"""

ROADS = {
    "readDataEvents": READ + """
def call():
    sub.readDataEvents(flt, 10, timeout)

def check():
    events = sub.readDataEvents(flt, 10, 0.0)
    assert [e.data.getName() for e in events] == ["late"], events
""",
    "poll": READ + """
polled = []

def call():
    global subscription
    subscription = K.Method.staticSubscribe(sub, flt, lambda s, e: polled.append(e.data.getName()))
    sub.poll(10, timeout)

def check():
    assert polled == []
    assert sub.poll(10, 0.0) == 1 and polled == ["late"]
""",
    "readMostRecent": """
def setup(T):
    global mrv, pub, timeout
    topic = f"{base}/topic/{next(runs)}"
    qos = pyqelcpp.PsQoSList()
    pub = K.Method.staticGetPublisher(factory, topic, qos, {})
    mrv = K.Method.staticGetMrvSubscriber(factory, topic, qos, {})
    timeout = T
    return lambda: pub.publish(sample(pub, "late"), 1.0)

def call():
    mrv.readMostRecent(timeout)

def check():
    assert [m.getName() for m in mrv.readMostRecent(0.0)] == ["late"]
""",
    # The queue of a subscriber is full; the handler frees room by reading one
    # sample, and the publish it interrupts must not have happened.
    "publish": """
def setup(T):
    global sub, pub, flt, timeout
    topic = f"{base}/topic/{next(runs)}"
    qos = pyqelcpp.PsQoSList()
    qos.append(pyqelcpp.QueueDepth(2))
    pub = K.Method.staticGetPublisher(factory, topic, qos, {})
    sub = K.Method.staticGetSubscriber(factory, topic, qos, {})
    flt = K.Method.staticGetDataEventFilter()
    pub.publish(sample(pub, "a"), 0.0)
    pub.publish(sample(pub, "b"), 0.0)
    timeout = T
    return lambda: sub.readDataEvents(flt, 1, 0.0)

def call():
    pub.publish(sample(pub, "interrupted"), timeout)

def check():
    assert [e.data.getName() for e in sub.readDataEvents(flt, 10, 0.0)] == ["b"]
""",
}

# A publish held back by a subscriber in another process that does not read: the
# retries of the transport between processes. The peer reads only once the program
# has ended its publishing; it must have received exactly what was published before
# the interrupted call.
REMOTE_PUBLISH = """
peers = []

def setup(T):
    global pub, timeout, sent, late, peer
    topic = f"{base}/topic/{next(runs)}"
    peer = subprocess.Popen([sys.executable, PEER, "subscribe-held", topic], stdin=subprocess.PIPE,
                            stdout=subprocess.PIPE, text=True)
    peers.append(peer)
    assert peer.stdout.readline().strip() == "ready"
    pub = K.Method.staticGetPublisher(factory, topic, pyqelcpp.PsQoSList(),
                                      {"dds.waitForReaders": "1", "dds.ackWaitMs": "5000"})
    sent = late = 0
    while True:  # until the reader's queue, its overflow and the writer's history are full
        try:
            pub.publish(sample(pub, str(sent)), 0.2)
        except pyqelcpp.TimeoutException:
            break
        sent += 1
    timeout = T
    return lambda: None  # no room can appear at once in the other process

def call():
    # The engine lets the writer's history grow now and then: a publish that gets
    # through is counted, and the next one waits again.
    global late
    end = time.monotonic() + timeout
    while True:
        pub.publish(sample(pub, "late"), max(end - time.monotonic(), 0.0))
        late += 1

def check():
    peer.stdin.write(f"{sent + late}\\n")
    peer.stdin.flush()
    assert json.loads(peer.stdout.readline()) == [str(i) for i in range(sent)] + ["late"] * late
"""

# Request/reply roads. No service exists until the raising handler registers one, so
# the awaited reply (or connection) comes while the handler runs.
RR_SETUP = """
def setup(T):
    global client, server_endpoint, timeout, future
    server_endpoint = f"{base}/server/{next(runs)}"
    client = getattr(KyrCmds, FORM).staticGetClient(factory, server_endpoint + "/svc", rr_qos(T), {})
    timeout = T
    future = None
    def serve():
        server = factory.createServer(server_endpoint, rr_qos(T), {})
        KyrCmds.KyrCmdsSyncService.registerService(server, "svc", Echo())
        servers.append(server)
        if future is not None:
            future.wait_for(5.0)  # the reply is in before the handler raises
    return serve

servers = []
"""

FUTURE_CHECK = """
def check():
    assert future.wait_for(0.0) == pyqelcpp.FutureStatus.ready
    assert future.get() == EXPECTED
"""


def future_road(form, make, wait, expected):
    return (f"FORM = {form!r}\nEXPECTED = {expected!r}\n" + RR_SETUP + f"""
def call():
    global future
    future = {make}
    future.{wait}
""" + FUTURE_CHECK)


ROADS.update({
    "sync command": "FORM = 'KyrCmdsSync'\n" + RR_SETUP + """
def call():
    client.GetConfig("first")

def check():
    assert client.GetConfig("second") == "second"
""",
    "asyncConnect wait": future_road("KyrCmdsSync", "client.asyncConnect()", "wait()", None),
    "future wait": future_road("KyrCmdsAsync", 'client.GetConfig("x")', "wait()", "x"),
    "future wait_for": future_road("KyrCmdsAsync", 'client.GetConfig("x")', "wait_for(timeout)", "x"),
    "future get": future_road("KyrCmdsAsync", 'client.GetConfig("x")', "get()", "x"),
})


PEER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "dds_peer.py")
CASES = [(road, "inproc") for road in ROADS] + \
    [(road, "dds.ps") for road in ("readDataEvents", "poll", "readMostRecent")] + \
    [("publish to another process", "dds.ps")]


@pytest.mark.parametrize("road,transport", CASES)
def test_sigint_reaches_blocking_call(road, transport):
    text = REMOTE_PUBLISH if road == "publish to another process" else ROADS[road]
    code = PROGRAM.replace("{road}", text).replace("{TRANSPORT}", transport).replace("{PEER!r}", repr(PEER))
    run = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, timeout=60)
    assert run.returncode == 0, run.stdout + run.stderr
    latencies = dict(line.split() for line in run.stdout.splitlines())
    assert set(latencies) == {"raising", "quiet"}, run.stdout
    for kind, latency in latencies.items():
        assert float(latency) < LATENCY_LIMIT, f"{kind} handler ran {latency} s after the signal"
