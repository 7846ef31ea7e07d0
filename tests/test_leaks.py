"""Long loops over every road of the module: the process's resident memory and the
number of live Python objects and memory blocks stay flat.

Each loop first warms up (caches, free lists, queues and thread pools reach their
steady size), then runs OPS operations and compares before and after:
- live objects tracked by the collector: at most OBJECT_BOUND more;
- blocks held by Python's object allocator (every Python object, the binding
  library's instances included): at most BLOCK_BOUND more;
- resident memory: at most RSS_BOUND more. Any native allocation that leaks once
  per operation costs at least 32 bytes, 3 MiB over 100 000 operations.
Under the sanitizers the resident memory is not compared (the address sanitizer
holds freed memory in quarantine on purpose; its leak checker looks for native
leaks instead) and the loops are shorter (MODKYRIF_LEAK_OPS).
"""
import concurrent.futures
import datetime
import gc
import os
import sys
import threading
import weakref

import pytest

import pyqelcpp
import ModKyrif

Kyrif = ModKyrif.Kyrif
KyrCmds = Kyrif.KyrCmds
OPS = int(os.environ.get("MODKYRIF_LEAK_OPS", "100000"))
SANITIZED = os.environ.get("MODKYRIF_SANITIZED") == "1"
OBJECT_BOUND = 100
BLOCK_BOUND = 1000
RSS_BOUND = 3 * 1024 * 1024
PAGE = os.sysconf("SC_PAGE_SIZE")
LONG = 30.0


def resident_bytes():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * PAGE


def footprint():
    gc.collect()
    return len(gc.get_objects()), sys.getallocatedblocks(), resident_bytes()


def assert_flat(operation, ops=OPS):
    """Runs operation(i) for a warm-up, then ops times, and checks the footprint."""
    for i in range(max(ops // 10, 2000)):
        operation(i)
    objects, blocks, rss = footprint()
    for i in range(ops):
        operation(i)
    grown = [after - before for after, before in zip(footprint(), (objects, blocks, rss))]
    print(f"{ops} operations: {grown[0]} objects, {grown[1]} blocks, {grown[2]} resident bytes more")
    assert grown[0] <= OBJECT_BOUND, f"{grown[0]} more live objects after {ops} operations"
    assert grown[1] <= BLOCK_BOUND, f"{grown[1]} more memory blocks after {ops} operations"
    if not SANITIZED:
        assert grown[2] <= RSS_BOUND, f"{grown[2]} more resident bytes after {ops} operations"


# --- publish/subscribe -----------------------------------------------------------------

@pytest.fixture
def topic(factory, endpoint, ps_qos):
    sub = Kyrif.Method.staticGetSubscriber(factory, endpoint, ps_qos, {})
    pub = Kyrif.Method.staticGetPublisher(factory, endpoint, ps_qos, {})
    yield pub, sub
    pub.close()
    sub.close()


def test_publish_and_read(topic):
    pub, sub = topic
    sample = pub.createDataEntity()
    everything = Kyrif.Method.staticGetDataEventFilter()

    def operation(i):
        sample.setName(f"n{i % 64}")
        sample.setParameters("p" * (i % 100))
        if i % 2:
            pub.publish(sample, 1.0)
            (got,) = sub.read(0)
            assert got.getName() == sample.getName()
        else:
            pub.publishWithTimestamp(float(i), sample, 1.0)
            (event,) = sub.readDataEvents(everything, 1, 1.0)
            assert event.getData().getParameters() == sample.getParameters()

    assert_flat(operation)


def test_filters_and_loans(topic):
    pub, sub = topic
    sample = pub.createDataEntity()
    key = sub.createDataEntity()

    def operation(i):
        sample.setName(f"n{i % 8}")
        pub.publish(sample, 1.0)
        f = (Kyrif.Method.staticGetDataEventFilter()
             .setInstanceState(pyqelcpp.InstanceState.ALIVE)
             .setInstanceEvents({pyqelcpp.InstanceEvent.CREATED, pyqelcpp.InstanceEvent.UPDATED}))
        assert f.getInstanceState() == pyqelcpp.InstanceState.ALIVE
        if i % 2:
            loan = sub.loanedRead()  # takes the sample just published
        else:
            key.setName(sample.getName())
            loan = sub.loanedReadInstance(key)  # the instance's latest sample
            (event,) = sub.readDataEvents(f, 1, 0.0)  # takes the sample from the queue
            assert event.getData().getName() == sample.getName()
        assert loan.getData().getName() == sample.getName()
        if i % 3:
            loan.close()

    assert_flat(operation)


def test_callbacks(factory, endpoint, ps_qos, topic):
    pub, sub = topic
    notified_sub = Kyrif.Method.staticGetSubscriber(factory, endpoint, ps_qos, {})
    polled_sub = Kyrif.Method.staticGetSubscriber(factory, endpoint, ps_qos, {})
    everything = Kyrif.Method.staticGetDataEventFilter()
    counts = {"async": 0, "notifier": 0, "polled": 0}
    kept = []  # events the handler keeps beyond the call, dropped later
    arrived = threading.Condition()

    def handler(subscriber, event):
        with arrived:
            counts["async"] += 1
            arrived.notify_all()
        if counts["async"] % 1000 == 0:
            kept.clear()
        kept.append(event)

    def notifier(subscriber):
        counts["notifier"] += 1
        subscriber.read(0)

    def polled(subscriber, event):
        counts["polled"] += 1
        if counts["polled"] % 7 == 0:
            raise ValueError("from a polled handler")

    subscriptions = [Kyrif.Method.staticSubscribeAsync(sub, everything, handler),
                     Kyrif.Method.staticSubscribeAsyncNotifier(notified_sub, everything, notifier),
                     Kyrif.Method.staticSubscribe(polled_sub, everything, polled)]
    sample = pub.createDataEntity()
    published = [0]

    def operation(i):
        sample.setName(f"n{i % 16}")
        pub.publish(sample, LONG)
        published[0] += 1
        try:
            polled_sub.poll(0, 0.0)
        except ValueError:
            pass
        if i % 1000 == 999:  # keep the handler's queue short
            with arrived:
                assert arrived.wait_for(lambda: counts["async"] == published[0], LONG)

    assert_flat(operation)
    with arrived:
        assert arrived.wait_for(lambda: counts["async"] == published[0], LONG)
    assert counts["polled"] == published[0] and 0 < counts["notifier"] <= published[0]
    for subscription in subscriptions:
        subscription.close()
    notified_sub.close()
    polled_sub.close()


# --- request/reply ---------------------------------------------------------------------

class Service:
    def Ping(self):
        return "pong"

    def GetConfig(self, text):
        return text

    def Abort(self):
        raise Kyrif.ExceptionErr("abort", 9)

    def Recover(self):
        raise KeyError("recover")


class AsyncService:
    def Ping(self):
        future = concurrent.futures.Future()
        future.set_result("pong")
        return future

    def Abort(self):
        future = concurrent.futures.Future()
        future.set_exception(ValueError("late"))
        return future

    def Recover(self):
        raise Kyrif.ExceptionErr("early", 4)


@pytest.fixture
def clients(factory, endpoint):
    qos = pyqelcpp.RrQoSList()
    qos.append(pyqelcpp.ReplyTime(datetime.timedelta(seconds=LONG)))
    server = factory.createServer(endpoint, qos, {})
    KyrCmds.KyrCmdsSyncService.registerService(server, "sync", Service())
    KyrCmds.KyrCmdsAsyncService.registerService(server, "async", AsyncService())
    made = {(form, service): getattr(KyrCmds, form).staticGetClient(factory, f"{endpoint}/{service}", qos, {})
            for form in ("KyrCmdsSync", "KyrCmdsAsync") for service in ("sync", "async")}
    yield made
    server.close()


def test_sync_commands(clients):
    sync, on_async = clients["KyrCmdsSync", "sync"], clients["KyrCmdsSync", "async"]

    def operation(i):
        if i % 2:
            assert sync.GetConfig(str(i)) == str(i)
        else:
            assert on_async.Ping() == "pong"

    assert_flat(operation)


def test_async_commands(clients):
    """Commands are sent in batches and their futures collected afterwards."""
    asynchronous, on_async = clients["KyrCmdsAsync", "sync"], clients["KyrCmdsAsync", "async"]
    batch = 50

    def operation(i):
        if i % batch:
            return
        futures = [asynchronous.GetConfig("x") if j % 2 else on_async.Ping() for j in range(batch)]
        for j, future in enumerate(futures):
            if j % 3 == 0:
                assert future.wait_for(LONG) == pyqelcpp.FutureStatus.ready
            assert future.get() == ("x" if j % 2 else "pong")

    assert_flat(operation)


def test_exceptions_carried_back(clients):
    roads = [
        (lambda: clients["KyrCmdsSync", "sync"].Abort(), Kyrif.ExceptionErr),
        (lambda: clients["KyrCmdsSync", "sync"].Recover(), pyqelcpp.QelException),
        (lambda: clients["KyrCmdsAsync", "sync"].Abort().get(), Kyrif.ExceptionErr),
        (lambda: clients["KyrCmdsAsync", "async"].Abort().get(), pyqelcpp.QelException),
        (lambda: clients["KyrCmdsSync", "async"].Recover(), Kyrif.ExceptionErr),
    ]

    def operation(i):
        call, expected = roads[i % len(roads)]
        with pytest.raises(expected):
            call()

    assert_flat(operation)


def test_python_future_that_failed_is_released(factory, endpoint, rr_qos):
    """The error of a failed Python future reaches the client without keeping the
    future, its traceback or the service's frames alive."""
    futures = []

    class Failing:
        def Ping(self):
            future = concurrent.futures.Future()
            futures.append(weakref.ref(future))
            if len(futures) % 2:
                future.set_exception(ValueError("at once"))
            else:
                threading.Timer(0.01, future.set_exception, (ValueError("later"),)).start()
            return future

    server = factory.createServer(endpoint, rr_qos, {})
    KyrCmds.KyrCmdsAsyncService.registerService(server, "svc", Failing())
    client = KyrCmds.KyrCmdsAsync.staticGetClient(factory, endpoint + "/svc", rr_qos, {})
    for expected in ("at once", "later"):
        with pytest.raises(pyqelcpp.QelException, match=f"^ValueError: {expected}"):
            client.Ping().get()
    gc.collect()
    assert [ref() for ref in futures] == [None, None]
    server.close()


def test_clients_connections_and_listeners(factory, endpoint, clients):
    """Clients made and dropped, connects, listeners registered and dropped."""
    client = clients["KyrCmdsAsync", "sync"]
    qos = pyqelcpp.RrQoSList()
    heard = []

    def operation(i):
        registration = client.registerConnectionListener(heard.append)
        assert client.asyncConnect().get() is None
        if i % 10 == 0:
            fresh = KyrCmds.KyrCmdsSync.staticGetClient(factory, f"{endpoint}/sync", qos, {})
            assert fresh.Ping() == "pong"
            if i % 20 == 0:
                fresh.close()
        del registration
        heard.clear()

    assert_flat(operation)
