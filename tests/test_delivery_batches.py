"""Asynchronous handlers run in batches under one acquisition of the interpreter lock.
The batching must stay invisible: every event arrives once and in order, a handler
can end its own subscription in the middle of a batch, another thread may close it
meanwhile, and other Python threads keep running while batches are delivered."""
import datetime
import threading
import time

import pytest

import pyqelcpp

TIMEOUT = datetime.timedelta(seconds=10)


def _topic(Kyrif, factory, endpoint, depth=None):
    qos = pyqelcpp.PsQoSList()
    if depth is not None:
        qos.append(pyqelcpp.QueueDepth(depth))
    subscriber = Kyrif.Method.staticGetSubscriber(factory, endpoint, qos, {})
    publisher = Kyrif.Method.staticGetPublisher(factory, endpoint, pyqelcpp.PsQoSList(), {})
    return subscriber, publisher


def _publish(publisher, count, offset=0):
    sample = publisher.createDataEntity()
    sample.setName("batch")
    for i in range(count):
        sample.setParameters(str(offset + i))
        publisher.publish(sample, TIMEOUT)


def test_every_event_arrives_once_and_in_order_on_every_subscription(Kyrif, factory, endpoint):
    count = 5000
    subscribers, seen, done = [], [], []
    for _ in range(2):
        subscriber, publisher = _topic(Kyrif, factory, endpoint)
        got, finished = [], threading.Event()

        def handler(sub, event, got=got, finished=finished):
            got.append(int(event.getData().getParameters()))
            if len(got) == count:
                finished.set()

        subscribers.append((subscriber, Kyrif.Method.staticSubscribeAsync(
            subscriber, Kyrif.Method.staticGetDataEventFilter(), handler)))
        seen.append(got)
        done.append(finished)
    _publish(publisher, count)
    for finished in done:
        assert finished.wait(30)
    time.sleep(0.05)
    for got in seen:
        assert got == list(range(count))


@pytest.mark.parametrize("closer", ["handler", "other_thread"])
def test_subscription_closed_in_the_middle_of_a_batch(Kyrif, factory, endpoint, closer):
    subscriber, publisher = _topic(Kyrif, factory, endpoint)
    got = []
    closed = threading.Event()
    box = {}

    def handler(sub, event):
        got.append(int(event.getData().getParameters()))
        if len(got) == 10:
            if closer == "handler":
                box["subscription"].close()
                closed.set()
            else:
                # Let another thread close while this batch is still being delivered.
                threading.Thread(target=lambda: (box["subscription"].close(), closed.set())).start()
                time.sleep(0.05)

    box["subscription"] = Kyrif.Method.staticSubscribeAsync(
        subscriber, Kyrif.Method.staticGetDataEventFilter(), handler)
    _publish(publisher, 500)  # queued faster than delivered: batches of many events
    assert closed.wait(10)
    settled = len(got)
    _publish(publisher, 50, offset=500)
    time.sleep(0.1)
    assert len(got) == settled, "deliveries went on after the subscription was closed"
    assert got == list(range(settled))
    assert settled == 10 if closer == "handler" else settled >= 10


def test_other_threads_run_while_batches_are_delivered(Kyrif, factory, endpoint):
    # A handler that is a builtin runs no Python bytecode, so nothing inside the batch
    # offers to switch threads: the batch must still be bounded by the queue.
    subscriber, publisher = _topic(Kyrif, factory, endpoint, depth=64)
    sink = {}
    subscription = Kyrif.Method.staticSubscribeAsync(
        subscriber, Kyrif.Method.staticGetDataEventFilter(), sink.__setitem__)
    stop = threading.Event()
    ticks = []

    def ticker():
        while not stop.is_set():
            ticks.append(time.perf_counter())
            time.sleep(0.001)

    thread = threading.Thread(target=ticker)
    thread.start()
    _publish(publisher, 20000)
    stop.set()
    thread.join()
    subscription.close()
    gaps = [b - a for a, b in zip(ticks, ticks[1:])]
    assert len(ticks) > 10
    assert max(gaps) < 1.0, f"a thread starved for {max(gaps):.2f} s"
