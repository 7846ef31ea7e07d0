"""A process forked while the middleware runs, with traffic in flight on other
threads: the child refuses the inherited entities and the creation of new ones with
QelException, closing an inherited entity does nothing, and the child ends normally
at once (neither its exit nor its garbage waits for threads or locks of the parent).
The parent carries on unaffected. Each scenario forks several times, because a lock
that a thread of the parent holds at the moment of the fork is a matter of timing."""
import os
import subprocess
import sys
import textwrap

import pytest

TIME_LIMIT = 60.0

PROGRAM = textwrap.dedent("""
    import concurrent.futures, datetime, os, sys, threading, time
    import pyqelcpp, ModKyrif
    K = ModKyrif.Kyrif
    KyrCmds = K.KyrCmds
    QelException = pyqelcpp.QelException
    scenario = sys.argv[1]
    factory = pyqelcpp.WexFactory.getInstance()
    base = f"inproc:///fork/{os.getpid()}"
    ps_qos, rr_qos = pyqelcpp.PsQoSList(), pyqelcpp.RrQoSList()
    everything = K.Method.staticGetDataEventFilter()

    class Service:
        def Ping(self):
            return "pong"

    inherited = []      # (description, call using an inherited object)
    closable = []       # inherited entities
    traffic = []        # what a thread of the parent keeps doing during the forks
    check_parent = []   # what must still work in the parent afterwards

    if scenario in ("server_client_ping", "server_alone"):
        server = factory.createServer(base, rr_qos, {})
        KyrCmds.KyrCmdsSyncService.registerService(server, "svc", Service())
        inherited.append(("server", lambda: KyrCmds.KyrCmdsSyncService.registerService(server, "other", Service())))
        closable.append(server)
    if scenario == "server_client_ping":
        client = KyrCmds.KyrCmdsSync.staticGetClient(factory, base + "/svc", rr_qos, {})
        aclient = KyrCmds.KyrCmdsAsync.staticGetClient(factory, base + "/svc", rr_qos, {})
        assert client.Ping() == "pong"
        answered = aclient.Ping()
        assert answered.get() == "pong"
        inherited += [("client", client.Ping), ("async client", aclient.Ping),
                      ("pending result", lambda: answered.wait_for(1.0))]
        closable += [client, aclient]
        traffic.append(client.Ping)
        check_parent.append(lambda: client.Ping() == "pong" and aclient.Ping().get() == "pong")
    if scenario == "dds_subscription":
        base = f"dds.ps:///fork/p{os.getpid()}"
    if scenario in ("async_subscription", "dds_subscription"):
        received = []
        sub = K.Method.staticGetSubscriber(factory, base, ps_qos, {})
        subscription = K.Method.staticSubscribeAsync(sub, everything, lambda s, e: received.append(1))
        pub = K.Method.staticGetPublisher(factory, base, ps_qos, {})
        sample = pub.createDataEntity()
        inherited += [("subscriber", lambda: sub.readDataEvents(everything, 1, 0.1)),
                      ("publisher", lambda: pub.publish(sample, 0.1))]
        closable += [subscription, pub, sub]
        traffic.append(lambda: pub.publish(sample, 1.0))
        def delivered_again():
            before = len(received)
            pub.publish(sample, 1.0)
            deadline = time.monotonic() + 5
            while len(received) == before and time.monotonic() < deadline:
                time.sleep(0.01)
            return len(received) > before
        check_parent.append(delivered_again)

    stop = threading.Event()
    def keep_busy():
        while not stop.is_set():
            for call in traffic:
                call()
    busy = threading.Thread(target=keep_busy)
    busy.start()

    def child():
        failures = []
        def refused(what, call):
            try:
                call()
            except QelException as error:
                if "belongs to process" not in str(error):
                    failures.append(f"{what}: unclear refusal: {error}")
            except BaseException as error:
                failures.append(f"{what}: {type(error).__name__}: {error}")
            else:
                failures.append(f"{what}: not refused")
        for what, call in inherited:
            refused(what, call)
        refused("new server", lambda: factory.createServer(base + "/child", rr_qos, {}))
        refused("new subscriber", lambda: K.Method.staticGetSubscriber(factory, base + "/child", ps_qos, {}))
        refused("new DDS publisher", lambda: K.Method.staticGetPublisher(factory, "dds.ps:///fork/child", ps_qos, {}))
        refused("new client", lambda: KyrCmds.KyrCmdsSync.staticGetClient(factory, base + "/svc", rr_qos, {}))
        for entity in closable:
            entity.close()
        if failures:
            print("\\n".join(failures), flush=True)
            os._exit(1)
        if os.environ.get("MODKYRIF_SANITIZED") == "1":
            # The leak checker cannot judge a forked child: what only the parent's
            # threads referenced looks leaked. Run what the exit runs (the exit hooks,
            # the release of every inherited object), then leave without the check.
            import atexit, gc
            atexit._run_exitfuncs()
            for name in [name for name, value in globals().items()
                         if type(value).__module__.split(".")[0] in ("pyqelcpp", "ModKyrif")]:
                del globals()[name]
            for kept in (inherited, closable, traffic, check_parent):
                kept.clear()
            gc.collect()
            os._exit(0)
        # A normal exit: the exit hooks run and every inherited object is released.

    sys.stdout.flush()
    for _ in range(5):
        time.sleep(0.02)
        pid = os.fork()
        if pid == 0:
            child()
            sys.exit(0)
        deadline = time.monotonic() + 10
        while True:
            done, status = os.waitpid(pid, os.WNOHANG)
            if done:
                break
            if time.monotonic() > deadline:
                os.kill(pid, 9)
                os.waitpid(pid, 0)
                print("child hung", flush=True)
                os._exit(2)
            time.sleep(0.01)
        if os.waitstatus_to_exitcode(status) != 0:
            print(f"child ended with {os.waitstatus_to_exitcode(status)}", flush=True)
            os._exit(3)
    stop.set()
    busy.join()
    assert all(check() for check in check_parent), "the parent no longer works"
    print("parent ok", flush=True)
""")


@pytest.mark.parametrize("scenario", ["server_client_ping", "server_alone", "async_subscription",
                                      "dds_subscription"])
def test_forked_child_refuses_the_middleware_and_exits_cleanly(scenario):
    result = subprocess.run([sys.executable, "-c", PROGRAM, scenario], capture_output=True, text=True,
                            timeout=TIME_LIMIT)
    assert result.returncode == 0, result.stdout + result.stderr
    assert result.stdout.strip().endswith("parent ok"), result.stdout + result.stderr


MULTIPROCESSING = textwrap.dedent("""
    import multiprocessing, os, sys
    import pyqelcpp, ModKyrif
    KyrCmds = ModKyrif.Kyrif.KyrCmds
    factory = pyqelcpp.WexFactory.getInstance()
    base = f"inproc:///fork-mp/{os.getpid()}"
    rr_qos = pyqelcpp.RrQoSList()

    class Service:
        def Ping(self):
            return "pong"

    def use_inherited(queue):
        outcomes = []
        for call in (client.Ping, lambda: factory.createServer(base + "/child", rr_qos, {})):
            try:
                call()
                outcomes.append("not refused")
            except pyqelcpp.QelException as error:
                outcomes.append("refused" if "belongs to process" in str(error) else str(error))
        queue.put(outcomes)

    if __name__ == "__main__":
        server = factory.createServer(base, rr_qos, {})
        KyrCmds.KyrCmdsSyncService.registerService(server, "svc", Service())
        client = KyrCmds.KyrCmdsSync.staticGetClient(factory, base + "/svc", rr_qos, {})
        assert client.Ping() == "pong"
        context = multiprocessing.get_context("fork")
        queue = context.Queue()
        worker = context.Process(target=use_inherited, args=(queue,))
        worker.start()
        outcomes = queue.get(timeout=20)
        worker.join(20)
        assert worker.exitcode == 0, worker.exitcode
        assert outcomes == ["refused", "refused"], outcomes
        assert client.Ping() == "pong"
        print("parent ok", flush=True)
""")


def test_multiprocessing_fork_child_refuses_the_middleware(tmp_path):
    script = tmp_path / "program.py"
    script.write_text(MULTIPROCESSING)
    result = subprocess.run([sys.executable, str(script)], capture_output=True, text=True, timeout=TIME_LIMIT)
    assert result.returncode == 0, result.stdout + result.stderr
    assert result.stdout.strip() == "parent ok", result.stdout + result.stderr
