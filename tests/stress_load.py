"""Load run of the whole module, started as its own process by test_stress.py.

Several threads publish Method and StartProperties samples to topics that every kind
of reader watches at once; several threads call all thirteen commands, sync and
async, against sync and async Python services; other threads create and close
publishers, subscribers, subscriptions, clients and services all the while. The
run checks every delivery and every reply, prints one JSON line of figures and
exits 0; a wrong result exits 1, a hang is ended by the faulthandler watchdog
(which dumps every thread's stack and exits non-zero), a crash is a signal.
"""
import concurrent.futures
import faulthandler
import itertools
import json
import os
import sys
import threading
import time
import traceback

import pyqelcpp
import ModKyrif

Kyrif = ModKyrif.Kyrif
KyrCmds = Kyrif.KyrCmds
FACTORY = pyqelcpp.WexFactory.getInstance()
LONG = 20.0  # no single wait of the run may take longer than this
PUBLISHERS = int(os.environ.get("STRESS_PUBLISHERS", "3"))
SAMPLES = int(os.environ.get("STRESS_SAMPLES", "200"))
CALLERS = int(os.environ.get("STRESS_CALLERS", "3"))
CALLS = int(os.environ.get("STRESS_CALLS", "60"))
CHURNERS = int(os.environ.get("STRESS_CHURNERS", "2"))
BOUND = float(os.environ.get("STRESS_BOUND", "90"))
DEPTH = os.environ.get("STRESS_DEPTH", "16")  # small queues keep publishers waiting for readers
NO_ARGUMENT = ["Abort", "GetDiagnostics", "Ping", "Recover", "Scan"]
TEXT_ARGUMENT = ["GetConfig", "GetSetup", "ReadPars", "SetConfig", "Setup", "WritePars"]
BASE = f"inproc:///stress/{os.getpid()}"

failures = []
failures_lock = threading.Lock()


def fail(text):
    with failures_lock:
        failures.append(text)


def guarded(body):
    """Thread target that records an unexpected exception as a failure."""

    def run(*args):
        try:
            body(*args)
        except BaseException:  # noqa: BLE001  (every escape is a failure of the run)
            fail(traceback.format_exc())

    return run


# --- publish/subscribe --------------------------------------------------------------

class MethodKind:
    cls = Kyrif.Method

    @staticmethod
    def fill(sample, publisher, seq):
        # The key is the publisher, so that each publisher is one instance.
        sample.setName(f"p{publisher}")
        sample.setParameters(f"{publisher}:{seq}:\x00\u00fc\U0001f600")

    @staticmethod
    def decode(sample):
        publisher, seq, tail = sample.getParameters().split(":")
        if tail != "\x00\u00fc\U0001f600" or sample.getName() != f"p{publisher}":
            raise AssertionError(f"corrupted Method {sample.getName()!r} {sample.getParameters()!r}")
        return int(publisher), int(seq)


class StartPropertiesKind:
    cls = Kyrif.StartProperties

    @staticmethod
    def fill(sample, publisher, seq):
        sample.setAbsTime(publisher * 1e6 + seq)
        sample.setInfo(f"{publisher}:{seq}")
        sample.setCustomTrigger("\x00" * (seq % 5))
        sample.setTrigger(Kyrif.Custom if seq % 2 else Kyrif.Signal)

    @staticmethod
    def decode(sample):
        publisher, seq = (int(x) for x in sample.getInfo().split(":"))
        if (sample.getAbsTime() != publisher * 1e6 + seq or sample.getCustomTrigger() != "\x00" * (seq % 5)
                or sample.getTrigger() != (Kyrif.Custom if seq % 2 else Kyrif.Signal)):
            raise AssertionError(f"corrupted StartProperties {sample.getInfo()!r}")
        return publisher, seq


class Topic:
    """One topic with one subscriber per reliable reading road, and an MRV subscriber."""

    ROADS = ["read", "events", "polled", "async", "notifier", "loan"]

    def __init__(self, kind, endpoint):
        self.kind = kind
        self.endpoint = endpoint
        cls = kind.cls
        qos = pyqelcpp.PsQoSList()
        props = {"ps.queueDepth": DEPTH}
        self.subs = {road: cls.staticGetSubscriber(FACTORY, endpoint, qos, props) for road in self.ROADS}
        self.mrv = cls.staticGetMrvSubscriber(FACTORY, pyqelcpp.Uri(endpoint), qos, {})
        self.received = {road: [] for road in self.ROADS}
        self.mrv_reads = 0
        # Reads of the notifier's subscriber happen on the dispatcher thread and, at
        # the end, on the draining one: each read and the recording of what it got
        # go together, or two reads could record their samples out of order.
        self.notifier_reads = threading.Lock()
        self.stop = threading.Event()
        everything = cls.staticGetDataEventFilter()
        self.subscriptions = [
            cls.staticSubscribe(self.subs["polled"], everything, self.on_polled),
            cls.staticSubscribeAsync(self.subs["async"], everything, self.on_async),
            cls.staticSubscribeAsyncNotifier(self.subs["notifier"], everything, self.on_notified),
        ]
        self.filter = everything
        self.threads = [threading.Thread(target=guarded(loop), name=f"{cls.__name__}-{loop.__name__}")
                        for loop in (self.reader, self.event_reader, self.poller, self.loaner, self.mrv_reader)]

    def take(self, road, sample):
        self.received[road].append(self.kind.decode(sample))

    def take_event(self, road, event):
        # A publisher that closes makes the instances only it wrote go: their
        # REMOVED events carry no data.
        if event.hasValidData():
            self.take(road, event.getData())
        else:
            assert event.event == pyqelcpp.InstanceEvent.REMOVED and event.data is None

    def on_polled(self, sub, event):
        assert sub is self.subs["polled"]
        self.take_event("polled", event)

    def on_async(self, sub, event):
        assert sub is self.subs["async"]
        self.take_event("async", event)

    def on_notified(self, sub):
        # The notifier only says that data waits; reading it here, on the
        # dispatcher thread, is the usual way to use it.
        with self.notifier_reads:
            for sample in sub.read(0):
                self.take("notifier", sample)

    def reader(self):
        while not self.stop.is_set():
            samples = self.subs["read"].read(0)
            for sample in samples:
                self.take("read", sample)
            if not samples:
                time.sleep(0.002)

    def event_reader(self):
        while not self.stop.is_set():
            for event in self.subs["events"].readDataEvents(self.filter, 0, 0.02):
                self.take_event("events", event)

    def poller(self):
        while not self.stop.is_set():
            self.subs["polled"].poll(0, 0.02)

    def loaner(self):
        while not self.stop.is_set():
            loan = self.subs["loan"].loanedRead()
            if loan is None:
                time.sleep(0.002)
                continue
            self.take("loan", loan.getData())
            loan.close()

    def mrv_reader(self):
        while not self.stop.is_set():
            for sample in self.mrv.readMostRecent(0.02):
                self.kind.decode(sample)  # any value it holds must be whole
            self.mrv_reads += 1

    def drain(self):
        """After the publishers ended: collect what is still queued, then stop."""
        deadline = time.monotonic() + LONG
        expected = PUBLISHERS * SAMPLES
        while time.monotonic() < deadline and any(len(r) < expected for r in self.received.values()):
            # The notifier is told only about new data; a read picks up the rest.
            if len(self.received["notifier"]) < expected:
                with self.notifier_reads:
                    for sample in self.subs["notifier"].read(0):
                        self.take("notifier", sample)
            time.sleep(0.01)
        self.stop.set()
        for thread in self.threads:
            thread.join(LONG)
            if thread.is_alive():
                fail(f"reader thread {thread.name} did not end")

    def check(self, last_seq):
        expected = PUBLISHERS * SAMPLES
        for road, got in self.received.items():
            if len(got) != expected:
                fail(f"{self.kind.cls.__name__} {road}: {len(got)} samples, expected {expected}")
            for publisher in range(PUBLISHERS):
                seqs = [seq for p, seq in got if p == publisher]
                if seqs != list(range(SAMPLES)):
                    fail(f"{self.kind.cls.__name__} {road}: publisher {publisher} out of order or duplicated")
        latest = [self.kind.decode(s) for s in self.mrv.readMostRecent(1.0)]
        if self.kind is MethodKind:
            wanted = sorted((p, SAMPLES - 1) for p in range(PUBLISHERS))
            if sorted(latest) != wanted:
                fail(f"Method MRV holds {sorted(latest)}, expected {wanted}")
        elif len(latest) != 1 or latest[0] not in last_seq:
            fail(f"StartProperties MRV holds {latest}, expected one of {last_seq}")

    def close(self):
        for subscription in self.subscriptions:
            subscription.close()
        for sub in self.subs.values():
            sub.close()
        self.mrv.close()


def publisher_thread(topic, publisher, finished):
    pub = topic.kind.cls.staticGetPublisher(FACTORY, topic.endpoint, pyqelcpp.PsQoSList(), {})
    for seq in range(SAMPLES):
        sample = pub.createDataEntity()
        topic.kind.fill(sample, publisher, seq)
        if seq % 2:
            pub.publishWithTimestamp(float(seq), sample, LONG)
        else:
            pub.publish(sample, LONG)
    # Kept open until the check: the instances go with their last publisher.
    finished.append(pub)


# --- request/reply ----------------------------------------------------------------

class Echo:
    """Answers each command with its name and what it received."""

    def __getattr__(self, command):
        def answer(*args):
            if command == "Execute":
                args = (args[0].getName(), args[0].getParameters())
            elif command == "Start":
                args = (args[0].getInfo(),)
            return self.reply(f"{command}{args!r}")

        return answer

    def reply(self, text):
        return text


class AsyncEcho(Echo):
    """Completes some futures at once and some later, on a pool thread."""

    pool = concurrent.futures.ThreadPoolExecutor(2)
    turn = itertools.count()

    def reply(self, text):
        if next(self.turn) % 2:
            return self.pool.submit(lambda: text)
        future = concurrent.futures.Future()
        future.set_result(text)
        return future


def caller_thread(clients, qel, caller, counts):
    commands = NO_ARGUMENT + TEXT_ARGUMENT + ["Execute", "Start"]
    for n in range(CALLS):
        name, client = clients[(caller + n) % len(clients)]
        command = commands[n % len(commands)]
        token = f"{caller}/{n}\x00\u20ac"
        if command in NO_ARGUMENT:
            args, expected = (), f"{command}()"
        elif command in TEXT_ARGUMENT:
            args, expected = (token,), f"{command}({token!r},)"
        elif command == "Execute":
            method = Kyrif.Method.staticCreateDataEntity(qel)
            method.setName(token)
            method.setParameters(str(n))
            args, expected = (method,), f"Execute{(token, str(n))!r}"
        else:
            start = Kyrif.StartProperties.staticCreateDataEntity(qel)
            start.setInfo(token)
            args, expected = (start,), f"Start{(token,)!r}"
        reply = getattr(client, command)(*args)
        if name.startswith("async"):
            if n % 3 == 0:
                reply.wait_for(0.0)  # whatever it says, the result follows
            reply = reply.get()
        if reply != expected:
            fail(f"{name} {command}: {reply!r} != {expected!r}")
        counts[caller] += 1


# --- churn ------------------------------------------------------------------------

def read_until_closed(reader, event_filter):
    """A read that waits for data; closing the subscriber ends it with ClosedException."""
    try:
        reader.readDataEvents(event_filter, 0, LONG)
    except pyqelcpp.ClosedException:
        pass


def churn_thread(index, stop, counts):
    qos, rr_qos = pyqelcpp.PsQoSList(), pyqelcpp.RrQoSList()
    everything = [Kyrif.Method.staticGetDataEventFilter(), Kyrif.StartProperties.staticGetDataEventFilter()]
    n = 0
    while not stop.is_set():
        endpoint = f"{BASE}/churn{index}/{n}"
        for cls, f in zip((Kyrif.Method, Kyrif.StartProperties), everything):
            pub = cls.staticGetPublisher(FACTORY, endpoint, qos, {})
            sub = cls.staticGetSubscriber(FACTORY, endpoint, qos, {})
            mrv = cls.staticGetMrvSubscriber(FACTORY, endpoint, qos, {})
            subscription = cls.staticSubscribeAsync(sub, f, lambda s, e: e.getData())
            notifier = cls.staticSubscribeAsyncNotifier(sub, f, lambda s: None)
            pub.publish(pub.createDataEntity(), LONG)
            reader = cls.staticGetSubscriber(FACTORY, endpoint, qos, {})  # no handler takes its samples
            blocked = threading.Thread(target=guarded(read_until_closed), args=(reader, f))
            blocked.start()
            if n % 2:  # close explicitly half of the time, let go the other half
                time.sleep(0.001)
                reader.close()  # wakes the blocked read
                blocked.join(LONG)
                if blocked.is_alive():
                    fail("closing a subscriber left a read blocked")
                subscription.close()
                notifier.close()
                sub.close()
                mrv.close()
                pub.close()
            else:
                pub.publish(pub.createDataEntity(), LONG)  # ends the blocked read
                blocked.join(LONG)
                if blocked.is_alive():
                    fail("a published sample left a read blocked")
            del pub, sub, reader, mrv, subscription, notifier
        server = FACTORY.createServer(endpoint, rr_qos, {})
        KyrCmds.KyrCmdsSyncService.registerService(server, "s", Echo())
        KyrCmds.KyrCmdsAsyncService.registerService(server, "a", AsyncEcho())
        sync = KyrCmds.KyrCmdsSync.staticGetClient(FACTORY, endpoint + "/s", rr_qos, {})
        late = KyrCmds.KyrCmdsAsync.staticGetClient(FACTORY, endpoint + "/a", rr_qos, {})
        listener = sync.registerConnectionListener(lambda up: None)
        if sync.Ping() != "Ping()":
            fail("churned sync client got a wrong reply")
        pending = late.Scan()
        if n % 2:
            server.close()  # the pending call may now fail, but must end
        try:
            pending.get()
        except pyqelcpp.QelException:
            pass
        del listener
        sync.close()
        late.close()
        server.close()
        counts[index] += 1
        n += 1


def main():
    faulthandler.dump_traceback_later(BOUND, exit=True)
    started = time.monotonic()
    topics = [Topic(MethodKind, f"{BASE}/Method"), Topic(StartPropertiesKind, f"{BASE}/StartProperties")]
    server = FACTORY.createServer(f"{BASE}/rr", pyqelcpp.RrQoSList(), {})
    KyrCmds.KyrCmdsSyncService.registerService(server, "sync", Echo())
    KyrCmds.KyrCmdsAsyncService.registerService(server, "async", AsyncEcho())
    clients = []
    for service in ("sync", "async"):
        for form in ("KyrCmdsSync", "KyrCmdsAsync"):
            client = getattr(KyrCmds, form).staticGetClient(
                FACTORY, f"{BASE}/rr/{service}", pyqelcpp.RrQoSList(), {})
            clients.append(("async" if form == "KyrCmdsAsync" else "sync", client))
    qel = FACTORY.getQel(BASE)

    stop_churn = threading.Event()
    churn_counts = [0] * CHURNERS
    call_counts = [0] * CALLERS
    churners = [threading.Thread(target=guarded(churn_thread), args=(i, stop_churn, churn_counts), name=f"churn{i}")
                for i in range(CHURNERS)]
    finished_publishers = []
    workers = [threading.Thread(target=guarded(publisher_thread), args=(topic, p, finished_publishers),
                                name=f"pub{p}")
               for topic in topics for p in range(PUBLISHERS)]
    workers += [threading.Thread(target=guarded(caller_thread), args=(clients, qel, c, call_counts), name=f"caller{c}")
                for c in range(CALLERS)]
    for thread in itertools.chain(churners, *(t.threads for t in topics), workers):
        thread.start()
    for thread in workers:
        thread.join(BOUND)
    for topic in topics:
        topic.drain()
    stop_churn.set()
    for thread in churners:
        thread.join(LONG)
    hung = [t.name for t in itertools.chain(workers, churners) if t.is_alive()]
    if hung:
        fail(f"threads did not end: {hung}")
    for topic in topics:
        topic.check({(p, SAMPLES - 1) for p in range(PUBLISHERS)})
    for pub in finished_publishers:
        pub.close()
    for topic in topics:
        topic.close()
    server.close()
    del clients

    figures = {
        "samples_published": 2 * PUBLISHERS * SAMPLES,
        "samples_received": sum(len(r) for t in topics for r in t.received.values()),
        "mrv_reads": sum(t.mrv_reads for t in topics),
        "command_calls": sum(call_counts),
        "churn_rounds": sum(churn_counts),
        "seconds": round(time.monotonic() - started, 2),
        "failures": failures[:20],
    }
    print(json.dumps(figures), flush=True)
    faulthandler.cancel_dump_traceback_later()
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
