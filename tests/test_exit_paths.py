"""A program ends in every way a program ends (normally, by an uncaught exception,
by sys.exit after a service called sys.exit on a middleware thread) while all the
traffic is in flight: subscriptions delivering, services mid-request, futures and
Python futures pending, connection listeners registered. Every run must exit with the
expected status within its time limit and print nothing from the native side.
Each way is run many times, because the faults it guards against are races."""
import concurrent.futures
import os
import re
import subprocess
import sys
import textwrap

import pytest

RUNS = int(os.environ.get("MODKYRIF_EXIT_RUNS", "20"))
TIME_LIMIT = 10.0

# Sets everything in flight, then prints "busy" and runs ENDING.
PROGRAM = textwrap.dedent("""
    import concurrent.futures, datetime, os, sys, threading, time
    import pyqelcpp, ModKyrif
    K = ModKyrif.Kyrif
    KyrCmds = K.KyrCmds
    factory = pyqelcpp.WexFactory.getInstance()
    base = f"inproc:///exit/{os.getpid()}"

    # Publish/subscribe: a callback subscription, a notifier and a blocked reader.
    ps_qos = pyqelcpp.PsQoSList()
    topic = base + "/topic"
    everything = K.Method.staticGetDataEventFilter()
    delivered = threading.Semaphore(0)
    def handler(sub, event):
        event.getData().getName()
        delivered.release()
    subscribers = [K.Method.staticGetSubscriber(factory, topic, ps_qos, {}) for _ in range(3)]
    subscriptions = [K.Method.staticSubscribeAsync(subscribers[0], everything, handler),
                     K.Method.staticSubscribeAsyncNotifier(subscribers[1], everything, lambda sub: None)]
    publisher = K.Method.staticGetPublisher(factory, topic, ps_qos, {})

    def publish_forever():
        sample = publisher.createDataEntity()
        try:
            for i in range(10 ** 9):
                sample.setName(str(i % 50))
                publisher.publish(sample, 30.0)
        except pyqelcpp.QelException:
            pass

    def read_forever():
        try:
            subscribers[2].readDataEvents(everything.setInstanceState(pyqelcpp.InstanceState.NOT_ALIVE), 1, 1000.0)
        except pyqelcpp.QelException:
            pass

    # Request/reply: Python services, one of them mid-request, one that never
    # completes its Python future, one that calls sys.exit on the worker thread.
    rr_qos = pyqelcpp.RrQoSList()
    rr_qos.append(pyqelcpp.ReplyTime(datetime.timedelta(seconds=60)))
    server = factory.createServer(base, rr_qos, {})
    never = concurrent.futures.Future()
    entered = threading.Event()

    class Sync:
        def Ping(self):
            return "pong"
        def Scan(self):
            # The shutdown at exit waits for a running request, as Python waits for
            # the running work of its own thread pools: keep it short.
            entered.set()
            time.sleep(0.3)
            return "late"
        def Abort(self):
            sys.exit(3)

    class Async:
        def Ping(self):
            return never

    KyrCmds.KyrCmdsSyncService.registerService(server, "sync", Sync())
    KyrCmds.KyrCmdsAsyncService.registerService(server, "async", Async())
    sync = KyrCmds.KyrCmdsSync.staticGetClient(factory, base + "/sync", rr_qos, {})
    asynchronous = KyrCmds.KyrCmdsAsync.staticGetClient(factory, base + "/async", rr_qos, {})
    assert sync.Ping() == "pong"
    listeners = [sync.registerConnectionListener(lambda up: None),
                 asynchronous.registerConnectionListener(lambda up: None)]
    pending = [asynchronous.Ping(), asynchronous.Ping(),
               KyrCmds.KyrCmdsAsync.staticGetClient(factory, base + "/nobody", rr_qos, {}).asyncConnect()]

    def quietly(wait):
        try:
            wait()
        except pyqelcpp.QelException:  # the shutdown at exit fails the waiting calls
            pass

    for target in (publish_forever, read_forever):
        threading.Thread(target=target, daemon=True).start()
    for wait in (pending[0].wait, pending[1].get, sync.Scan):
        threading.Thread(target=quietly, args=(wait,), daemon=True).start()
    for _ in range(20):
        assert delivered.acquire(timeout=5)
    assert entered.wait(5)
    print("busy", flush=True)
""")

ENDINGS = {
    "normal": ("pass", 0),
    "uncaught_exception": ("raise RuntimeError('boom')", 1),
    # The SystemExit of the service reaches the client as an error; the process
    # lives on until the main thread chooses to exit.
    "service_sys_exit": (textwrap.dedent("""
        async_sync = KyrCmds.KyrCmdsAsync.staticGetClient(factory, base + "/sync", rr_qos, {})
        for call in (sync.Abort, lambda: async_sync.Abort().get()):
            try:
                call()
            except pyqelcpp.QelException as error:
                assert "SystemExit" in str(error), str(error)
            else:
                raise AssertionError("no error")
        assert sync.Ping() == "pong"
        sys.exit(7)
    """), 7),
}

# What Python prints for an uncaught RuntimeError('boom'): the traceback and nothing else.
TRACEBACK_LINE = re.compile(r"Traceback \(most recent call last\):|  File .*|    .*|RuntimeError: boom")


def run_once(ending):
    code, _ = ENDINGS[ending]
    try:
        run = subprocess.run([sys.executable, "-c", PROGRAM + code + "\n"],
                             capture_output=True, text=True, timeout=TIME_LIMIT)
    except subprocess.TimeoutExpired as expired:
        return None, expired.stdout, expired.stderr
    return run.returncode, run.stdout, run.stderr


@pytest.mark.parametrize("ending", list(ENDINGS))
def test_program_exits_cleanly_every_time(ending):
    _, status = ENDINGS[ending]
    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        runs = list(pool.map(run_once, [ending] * RUNS))
    failures = []
    for number, (code, out, err) in enumerate(runs):
        if ending == "uncaught_exception":
            lines = (err or "").splitlines()
            clean = bool(lines) and lines[-1] == "RuntimeError: boom" and all(
                TRACEBACK_LINE.fullmatch(line) for line in lines)
        else:
            clean = err == ""
        if (code, out) != (status, "busy\n") or not clean:
            failures.append((number, code, out, err))
    assert not failures, f"{len(failures)} of {RUNS} runs failed; first: {failures[0]}"
