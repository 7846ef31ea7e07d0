"""Samples published from Python arriving through every receiving road, on the
embedded middleware, with the interpreter lock released where reads wait."""
import datetime
import gc
import threading
import time
import weakref

import pytest

import pyqelcpp
from ModKyrif import Kyrif

STATE = pyqelcpp.InstanceState
EVENT = pyqelcpp.InstanceEvent
LONG = 10.0


class MethodKind:
    cls = Kyrif.Method
    keyed = True  # samples of different names are different instances

    @staticmethod
    def fill(sample, i):
        sample.setName(f"name{i}")
        sample.setParameters(f"params{i}")

    @staticmethod
    def values(sample):
        return (sample.getName(), sample.getParameters())

    @staticmethod
    def expected(i):
        return (f"name{i}", f"params{i}")


class StartPropertiesKind:
    cls = Kyrif.StartProperties
    keyed = False  # one instance per topic

    @staticmethod
    def fill(sample, i):
        sample.setAbsTime(100.0 + i)
        sample.setCustomTrigger(f"ct{i}")
        sample.setInfo(f"info{i}")
        sample.setTrigger(Kyrif.Custom)

    @staticmethod
    def values(sample):
        return (sample.getAbsTime(), sample.getCustomTrigger(), sample.getInfo(), sample.getTrigger())

    @staticmethod
    def expected(i):
        return (100.0 + i, f"ct{i}", f"info{i}", Kyrif.Custom)


@pytest.fixture(params=[MethodKind, StartPropertiesKind], ids=["Method", "StartProperties"])
def kind(request):
    return request.param


class Road:
    """A publisher and a subscriber on one topic."""

    def __init__(self, kind, factory, endpoint, qos, depth=None):
        props = {} if depth is None else {"ps.queueDepth": str(depth)}
        self.kind = kind
        self.sub = kind.cls.staticGetSubscriber(factory, endpoint, qos, props)
        self.pub = kind.cls.staticGetPublisher(factory, endpoint, qos, {})

    def publish(self, i, timestamp=None, timeout=1.0):
        sample = self.pub.createDataEntity()
        self.kind.fill(sample, i)
        if timestamp is None:
            self.pub.publish(sample, timeout)
        else:
            self.pub.publishWithTimestamp(timestamp, sample, timeout)
        return sample

    def close(self):
        self.pub.close()
        self.sub.close()


@pytest.fixture
def road(kind, factory, endpoint, ps_qos):
    r = Road(kind, factory, endpoint, ps_qos)
    yield r
    r.close()


def wait_until(predicate, timeout=LONG):
    deadline = time.monotonic() + timeout
    while not predicate():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.005)
    return True


# --- reads -----------------------------------------------------------------------------

def test_read_returns_the_published_samples_in_order(road, kind):
    for i in range(3):
        road.publish(i)
    samples = road.sub.read(0)
    assert [kind.values(s) for s in samples] == [kind.expected(i) for i in range(3)]
    assert all(type(s) is kind.cls for s in samples)
    assert road.sub.read(0) == []


def test_read_data_events_carry_data_state_event_and_timestamp(road, kind):
    road.publish(1, timestamp=1234.5)
    road.publish(1, timestamp=1235.25)  # the same instance again
    events = road.sub.readDataEvents(kind.cls.staticGetDataEventFilter(), 10, LONG)
    assert [type(e).__name__ for e in events] == [kind.cls.__name__ + "DataEvent"] * 2
    first, second = events
    assert first.hasValidData() and first.state == STATE.ALIVE == first.getInstanceState()
    assert [e.event for e in events] == [EVENT.CREATED, EVENT.UPDATED]
    assert (first.sourceTimestamp, second.getSourceTimestamp()) == (1234.5, 1235.25)
    data = first.getData()
    assert first.data is data
    del events, first
    gc.collect()
    assert kind.values(data) == kind.expected(1)  # the sample outlives its event
    with pytest.raises(AttributeError):
        second.data = data


def test_read_data_events_timeout_conversion(road, kind):
    f = kind.cls.staticGetDataEventFilter()
    for timeout, low, high in [(0.25, 0.2, 2.0), (datetime.timedelta(milliseconds=300), 0.25, 2.0),
                               (datetime.timedelta(microseconds=999), 0.0, 0.15)]:
        start = time.monotonic()
        assert road.sub.readDataEvents(f, 1, timeout) == []
        assert low <= time.monotonic() - start < high


def test_read_instance_and_read_instance_value_fill_the_callers_object(Kyrif, factory, endpoint, ps_qos):
    road = Road(MethodKind, factory, endpoint, ps_qos)
    road.publish(7)
    key = road.sub.createDataEntity()
    key.setName("name7")
    got = road.sub.readInstance(key)
    assert MethodKind.values(got) == MethodKind.expected(7)
    out = road.sub.createDataEntity()
    assert road.sub.readInstanceValue(key, out) is True
    assert MethodKind.values(out) == MethodKind.expected(7)
    key.setName("absent")
    assert road.sub.readInstance(key) is None
    assert road.sub.readInstanceValue(key, road.sub.createDataEntity()) is False
    road.close()


def test_mrv_subscriber_reads_the_latest_value(kind, factory, endpoint, ps_qos):
    mrv = kind.cls.staticGetMrvSubscriber(factory, endpoint, ps_qos, {})
    road = Road(kind, factory, endpoint, ps_qos)
    road.publish(1)
    road.publish(2)
    latest = sorted(kind.values(s) for s in mrv.readMostRecent(LONG))
    assert latest == ([kind.expected(1)] if kind.keyed else []) + [kind.expected(2)]
    mrv.close()
    road.close()


def test_an_instance_goes_when_the_last_publisher_that_wrote_it_closes(kind, factory, endpoint, ps_qos):
    road = Road(kind, factory, endpoint, ps_qos)
    mrv = kind.cls.staticGetMrvSubscriber(factory, endpoint, ps_qos, {})
    other = kind.cls.staticGetPublisher(factory, endpoint, ps_qos, {})
    road.publish(1)
    sample = other.createDataEntity()
    kind.fill(sample, 1)  # the same instance, from a second publisher
    other.publish(sample, 1.0)
    instance = road.pub.createInstancePublisher(road.publish(2))
    road.pub.close()  # the instance publisher made from it still writes
    instance.close()
    only_events = kind.cls.staticGetDataEventFilter()
    events = road.sub.readDataEvents(only_events, 0, 1.0)
    assert [e.event for e in events] == ([EVENT.CREATED, EVENT.UPDATED, EVENT.CREATED, EVENT.REMOVED]
                                         if kind.keyed else [EVENT.CREATED, EVENT.UPDATED, EVENT.UPDATED])
    if kind.keyed:  # name2 went; name1 stays while the second publisher lives
        assert (events[-1].state, events[-1].data, events[-1].hasValidData()) == (STATE.NOT_ALIVE, None, False)
        assert wait_until(lambda: len(mrv.readMostRecent(0.0)) == 1)
    other.close()
    gone = road.sub.readDataEvents(only_events, 0, 1.0)
    assert [(e.event, e.state, e.data) for e in gone] == [(EVENT.REMOVED, STATE.NOT_ALIVE, None)]
    assert road.sub.read(0) == [] and road.sub.readInstance(sample) is None
    alive_only = kind.cls.staticGetDataEventFilter()
    alive_only.setInstanceState(STATE.ALIVE)
    road.pub = kind.cls.staticGetPublisher(factory, endpoint, ps_qos, {})
    road.publish(1)
    assert [e.event for e in road.sub.readDataEvents(alive_only, 0, 1.0)] == [EVENT.CREATED]
    assert wait_until(lambda: len(mrv.readMostRecent(0.0)) == 1)
    mrv.close()
    road.close()


# --- loans -----------------------------------------------------------------------------

def test_loan_sample_outlives_close_and_the_loan_object(road, kind):
    road.publish(3)
    loan = road.sub.loanedRead()
    assert type(loan).__name__ == kind.cls.__name__ + "LoanedDataEntity"
    sample = loan.getData()
    assert kind.values(sample) == kind.expected(3)
    again = loan.getData()
    assert again is sample
    del again
    gc.collect()
    assert kind.values(sample) == kind.expected(3)  # dropping a sample frees nothing
    loan.close()
    assert loan.getData() is None
    del loan
    gc.collect()
    # A newer sample of the instance replaces the subscriber's latest one, so that
    # the loan is the only holder left; memory freed here would be reused below.
    road.publish(3)
    road.sub.read(0)
    churn = [road.sub.createDataEntity() for _ in range(200)]
    for other in churn:
        kind.fill(other, 99)
    # The sample keeps the loan's memory alive: reading it is safe.
    assert kind.values(sample) == kind.expected(3)
    assert road.sub.loanedRead() is None


def test_loaned_read_instance(Kyrif, factory, endpoint, ps_qos):
    road = Road(MethodKind, factory, endpoint, ps_qos)
    road.publish(4)
    key = road.sub.createDataEntity()
    key.setName("name4")
    loan = road.sub.loanedReadInstance(key)
    assert MethodKind.values(loan.getData()) == MethodKind.expected(4)
    loan.close()
    key.setName("none")
    assert road.sub.loanedReadInstance(key) is None
    road.close()


# --- callbacks ---------------------------------------------------------------------------

def test_polled_handler_runs_on_the_polling_thread_with_the_subscriber_itself(road, kind):
    seen = []

    def handler(sub, event):
        seen.append((sub, threading.get_ident(), kind.values(event.getData()), event.sourceTimestamp))
        return "ignored"

    subscription = kind.cls.staticSubscribe(road.sub, kind.cls.staticGetDataEventFilter(), handler)
    assert type(subscription) is pyqelcpp.Subscription
    road.publish(5, timestamp=55.5)
    assert road.sub.poll(0, LONG) == 1
    assert seen == [(road.sub, threading.get_ident(), kind.expected(5), 55.5)]
    subscription.close()


def test_polled_handler_exception_is_raised_from_poll(road, kind):
    class Boom(Exception):
        pass

    def handler(sub, event):
        raise Boom("from handler")

    subscription = kind.cls.staticSubscribe(road.sub, kind.cls.staticGetDataEventFilter(), handler)
    road.publish(1)
    with pytest.raises(Boom, match="from handler"):
        road.sub.poll(0, LONG)
    subscription.close()


def test_polled_none_callable_fails_at_delivery(road, kind):
    subscription = kind.cls.staticSubscribe(road.sub, kind.cls.staticGetDataEventFilter(), None)
    road.publish(1)
    with pytest.raises(Exception):
        road.sub.poll(0, LONG)
    subscription.close()


def test_async_handler_runs_on_a_middleware_thread_and_is_kept_alive(road, kind):
    seen = []
    done = threading.Event()

    class Handler:
        def __call__(self, sub, event):
            seen.append((sub, threading.get_ident(), kind.values(event.getData()), event.data,
                         event.getSourceTimestamp(), event.getInstanceEvent()))
            done.set()

    handler = Handler()
    alive = weakref.ref(handler)
    subscription = kind.cls.staticSubscribeAsync(road.sub, kind.cls.staticGetDataEventFilter(), handler)
    del handler
    gc.collect()
    assert alive() is not None  # the subscription's handler holds the callable
    road.publish(6, timestamp=66.0)
    assert done.wait(LONG)
    sub, thread, values, data, timestamp, event = seen[0]
    assert sub is road.sub and thread != threading.get_ident()
    assert values == kind.expected(6) and timestamp == 66.0 and event == EVENT.CREATED
    gc.collect()
    assert kind.values(data) == kind.expected(6)  # a sample kept from the event stays valid
    subscription.close()
    del subscription, seen
    assert wait_until(lambda: gc.collect() is not None and alive() is None)


def test_async_notifier_receives_only_the_subscriber(road, kind):
    calls = []
    done = threading.Event()

    def notifier(*args):
        calls.append(args)
        done.set()

    subscription = kind.cls.staticSubscribeAsyncNotifier(road.sub, kind.cls.staticGetDataEventFilter(), notifier)
    road.publish(8)
    assert done.wait(LONG)
    assert calls[0] == (road.sub,)
    subscription.close()
    assert [kind.values(s) for s in road.sub.read(0)] == [kind.expected(8)]


def test_events_kept_beyond_the_callback_stay_valid(road, kind):
    kept = []
    done = threading.Event()

    def keep(sub, event):
        kept.append(event)
        if len(kept) == 3:
            done.set()

    subscription = kind.cls.staticSubscribeAsync(road.sub, kind.cls.staticGetDataEventFilter(), keep)
    for i in range(3):
        road.publish(i, timestamp=10.0 + i)
    assert done.wait(LONG)
    subscription.close()
    road.close()
    # Whatever the middleware did with its own event objects, the kept ones answer
    # with the values they had during the call.
    churn = [road.kind.cls.staticMakeVector() for _ in range(1000)]  # reuse freed memory
    del churn
    for i, event in enumerate(kept):
        assert type(event).__name__ == kind.cls.__name__ + "DataEvent"
        assert event.hasValidData() and event.state == STATE.ALIVE
        assert event.event == (EVENT.CREATED if i == 0 or kind.keyed else EVENT.UPDATED)
        assert event.sourceTimestamp == 10.0 + i
        assert kind.values(event.data) == kind.expected(i)


def test_event_kept_by_a_polled_handler_and_by_a_traceback(road, kind):
    kept = []

    def keep_then_raise(sub, event):
        kept.append(event)
        raise ValueError("keep me")

    subscription = kind.cls.staticSubscribe(road.sub, kind.cls.staticGetDataEventFilter(), keep_then_raise)
    road.publish(9, timestamp=99.0)
    with pytest.raises(ValueError) as caught:
        road.sub.poll(0, LONG)
    subscription.close()
    road.close()
    frame_event = caught.traceback[-1].frame.f_locals["event"]
    assert frame_event is kept[0]
    assert kind.values(frame_event.getData()) == kind.expected(9)
    assert frame_event.getSourceTimestamp() == 99.0


# --- the interpreter lock --------------------------------------------------------------

def _count_while(blocking_call):
    """Runs blocking_call in a thread and counts how often this thread gets to run."""
    result = {}

    def run():
        try:
            result["value"] = blocking_call()
        except BaseException as error:  # noqa: BLE001  (handed to the test)
            result["error"] = error

    thread = threading.Thread(target=run)
    thread.start()
    ticks = 0
    deadline = time.monotonic() + 0.3
    while time.monotonic() < deadline:
        ticks += 1
        time.sleep(0.001)
    return thread, ticks, result


def test_read_data_events_lets_other_threads_run(road, kind):
    f = kind.cls.staticGetDataEventFilter()
    thread, ticks, result = _count_while(lambda: road.sub.readDataEvents(f, 1, LONG))
    assert ticks > 50 and thread.is_alive()
    road.publish(1)
    thread.join(LONG)
    assert not thread.is_alive() and "error" not in result
    assert kind.values(result["value"][0].data) == kind.expected(1)


def test_readers_waiting_with_different_filters_each_get_their_samples_at_once(factory, endpoint, ps_qos):
    # Two threads wait on one subscriber, each for its own instance. Samples of both
    # arrive back to back, round after round: each reader must get its sample of a
    # round before the next round is published, whichever sample woke whom.
    road = Road(MethodKind, factory, endpoint, ps_qos)
    got = {0: [], 1: []}
    failures = []

    def reader(which, key):
        f = Kyrif.Method.staticGetDataEventFilter()
        f.setInstance(key)
        try:
            while len(got[which]) < 30:
                for event in road.sub.readDataEvents(f, 0, LONG):
                    got[which].append(event.data.getParameters())
        except Exception as error:  # pragma: no cover - reported below
            failures.append(error)

    keys = [road.pub.createDataEntity() for _ in (0, 1)]
    for which, key in enumerate(keys):
        key.setName(f"name{which}")
    threads = [threading.Thread(target=reader, args=(which, keys[which])) for which in (0, 1)]
    for thread in threads:
        thread.start()
    time.sleep(0.05)  # both wait
    for i in range(30):
        for which in (i % 2, 1 - i % 2):
            sample = road.pub.createDataEntity()
            sample.setName(f"name{which}")
            sample.setParameters(str(i))
            road.pub.publish(sample, LONG)
        assert wait_until(lambda: len(got[0]) > i and len(got[1]) > i, 2.0), (i, got)
    for thread in threads:
        thread.join(LONG)
    road.close()
    assert not failures
    assert got[0] == got[1] == [str(i) for i in range(30)]


def test_publish_on_a_full_queue_waits_and_lets_other_threads_run(kind, factory, endpoint):
    qos = pyqelcpp.PsQoSList()
    qos.append(pyqelcpp.QueueDepth(1))
    road = Road(kind, factory, endpoint, qos)
    road.publish(0)
    thread, ticks, result = _count_while(lambda: road.publish(1, timeout=LONG))
    assert ticks > 50 and thread.is_alive()
    assert [kind.values(s) for s in road.sub.read(1)] == [kind.expected(0)]
    thread.join(LONG)
    assert not thread.is_alive() and "error" not in result
    with pytest.raises(pyqelcpp.TimeoutException):
        road.publish(2, timeout=0.05)
    road.close()


def test_dropping_the_subscriber_while_its_handler_runs(kind, factory, endpoint, ps_qos):
    road = Road(kind, factory, endpoint, ps_qos)
    running, release, finished = threading.Event(), threading.Event(), threading.Event()
    seen = []

    def handler(sub, event):
        seen.append(type(sub).__name__)
        running.set()
        release.wait(LONG)
        finished.set()

    subscription = kind.cls.staticSubscribeAsync(road.sub, kind.cls.staticGetDataEventFilter(), handler)
    road.publish(1)
    assert running.wait(LONG)
    road.sub = None  # the handler's argument is now the subscriber's last reference
    release.set()
    assert finished.wait(LONG)
    road.publish(2)
    assert wait_until(lambda: len(seen) >= 1)
    time.sleep(0.1)
    assert seen == [kind.cls.__name__ + "Subscriber"]
    del subscription
    road.pub.close()
