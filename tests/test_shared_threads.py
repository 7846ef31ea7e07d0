"""The middleware's threads follow the handlers and requests running at once, not the
number of subscriptions and servers; a dropped asynchronous client keeps its requests.

Each program runs in its own process: a fault here is a hang, a crash or the
process running out of threads."""
import os
import subprocess
import sys
import textwrap

import pytest

SANITIZED = os.environ.get("MODKYRIF_SANITIZED") == "1"

PRELUDE = textwrap.dedent("""
    import datetime, os, threading, time
    import pyqelcpp, ModKyrif
    Kyrif = ModKyrif.Kyrif
    KyrCmds = Kyrif.KyrCmds
    factory = pyqelcpp.WexFactory.getInstance()
    base = f"inproc:///threads/{os.getpid()}"
    ps_qos = pyqelcpp.PsQoSList()
    rr_qos = pyqelcpp.RrQoSList()
    everything = Kyrif.Method.staticGetDataEventFilter()

    def threads():
        return len(os.listdir("/proc/self/task"))

    def wait_until(condition, seconds=10.0):
        deadline = time.monotonic() + seconds
        while not condition():
            assert time.monotonic() < deadline, "timed out"
            time.sleep(0.01)

    def publish(topic, name):
        pub = Kyrif.Method.staticGetPublisher(factory, topic, ps_qos, {})
        sample = pub.createDataEntity()
        sample.setName(name)
        pub.publish(sample, 1.0)
        return pub
""")


def run(program, timeout=60):
    result = subprocess.run([sys.executable, "-c", PRELUDE + textwrap.dedent(program)],
                            capture_output=True, text=True, timeout=timeout)
    assert (result.returncode, result.stderr) == (0, ""), result.stdout + result.stderr
    return result.stdout


def test_threads_follow_the_work_running_at_once():
    out = run("""
        # 1000 asynchronous subscriptions on 100 topics, each topic published once.
        received = []
        keep = []
        for t in range(100):
            topic = f"{base}/many/{t}"
            for s in range(10):
                sub = Kyrif.Method.staticGetSubscriber(factory, topic, ps_qos, {})
                keep.append((sub, Kyrif.Method.staticSubscribeAsync(
                    sub, everything, lambda sub, event: received.append(1))))
        pubs = [publish(f"{base}/many/{t}", "x") for t in range(100)]
        wait_until(lambda: len(received) == 1000)
        after_subscriptions = threads()

        # 3000 servers; a few of them serve a call.
        class Echo:
            def Ping(self):
                return "pong"
        servers = [factory.createServer(f"{base}/server/{i}", rr_qos, {}) for i in range(3000)]
        for i in range(0, 3000, 500):
            KyrCmds.KyrCmdsSyncService.registerService(servers[i], "svc", Echo())
            client = KyrCmds.KyrCmdsSync.staticGetClient(factory, f"{base}/server/{i}/svc", rr_qos, {})
            assert client.Ping() == "pong"
        after_servers = threads()
        print(after_subscriptions < 40, after_servers < 40)

        # Twenty handlers blocked at once take twenty threads; once they return, the
        # idle threads end.
        gate = threading.Event()
        entered = []
        blocked = []
        for i in range(20):
            sub = Kyrif.Method.staticGetSubscriber(factory, f"{base}/blocked/{i}", ps_qos, {})
            def hold(sub, event):
                entered.append(1)
                gate.wait()
            blocked.append((sub, Kyrif.Method.staticSubscribeAsync(sub, everything, hold)))
        pubs += [publish(f"{base}/blocked/{i}", "x") for i in range(20)]
        wait_until(lambda: len(entered) == 20)
        busy = threads()
        gate.set()
        wait_until(lambda: threads() < busy - 15)
        print(busy >= 20)
    """)
    assert out == "True True\nTrue\n"


def test_blocked_handler_nested_calls_and_order():
    out = run("""
        # A handler that blocks holds up no other subscriber; the events of one
        # subscriber arrive in order.
        gate = threading.Event()
        entered = threading.Event()
        def hold(sub, event):
            entered.set()
            gate.wait()
        slow_sub = Kyrif.Method.staticGetSubscriber(factory, base + "/slow", ps_qos, {})
        slow = Kyrif.Method.staticSubscribeAsync(slow_sub, everything, hold)
        names = []
        done = threading.Event()
        def note(sub, event):
            names.append(event.getData().getName())
            if len(names) == 200:
                done.set()
        fast_sub = Kyrif.Method.staticGetSubscriber(factory, base + "/fast", ps_qos, {})
        fast = Kyrif.Method.staticSubscribeAsync(fast_sub, everything, note)
        slow_pub = publish(base + "/slow", "block")
        assert entered.wait(5)
        pub = Kyrif.Method.staticGetPublisher(factory, base + "/fast", ps_qos, {})
        sample = pub.createDataEntity()
        for i in range(200):
            sample.setName(str(i))
            pub.publish(sample, 1.0)
        print(done.wait(5), names == [str(i) for i in range(200)])
        gate.set()

        # A service calls another service of its own server, which calls a service of
        # another server of the same process.
        outer = factory.createServer(base + "/outer", rr_qos, {})
        inner = factory.createServer(base + "/inner", rr_qos, {})
        class Leaf:
            def Ping(self):
                return "leaf"
        class Middle:
            def Ping(self):
                client = KyrCmds.KyrCmdsSync.staticGetClient(factory, base + "/inner/leaf", rr_qos, {})
                return "middle>" + client.Ping()
        class Top:
            def Ping(self):
                client = KyrCmds.KyrCmdsSync.staticGetClient(factory, base + "/outer/middle", rr_qos, {})
                return "top>" + client.Ping()
        KyrCmds.KyrCmdsSyncService.registerService(inner, "leaf", Leaf())
        KyrCmds.KyrCmdsSyncService.registerService(outer, "middle", Middle())
        KyrCmds.KyrCmdsSyncService.registerService(outer, "top", Top())
        top = KyrCmds.KyrCmdsSync.staticGetClient(factory, base + "/outer/top", rr_qos, {})
        print(top.Ping())
    """)
    assert out == "True True\ntop>middle>leaf\n"


@pytest.mark.skipif(SANITIZED, reason="the address sanitizer needs an unlimited address space")
def test_a_thread_that_cannot_start_is_a_clear_error_and_loses_nothing():
    out = run("""
        import resource
        sub = Kyrif.Method.staticGetSubscriber(factory, base + "/limited", ps_qos, {})
        pub = publish(base + "/limited", "queued before")
        with open("/proc/self/status") as status:
            size = next(int(line.split()[1]) for line in status if line.startswith("VmSize:")) * 1024
        limits = resource.getrlimit(resource.RLIMIT_AS)
        # Room for small allocations, none for the stack of a new thread.
        resource.setrlimit(resource.RLIMIT_AS, (size + 4 * 1024 * 1024, limits[1]))
        texts = []
        try:
            Kyrif.Method.staticSubscribeAsync(sub, everything, lambda sub, event: None)
        except pyqelcpp.QelException as error:
            texts.append(str(error))
        try:
            factory.createServer(base + "/limited-server", rr_qos, {})
        except pyqelcpp.QelException as error:
            texts.append(str(error))
        resource.setrlimit(resource.RLIMIT_AS, limits)
        for text in texts:
            print(text.split(":")[0])
        got = threading.Event()
        names = []
        def note(sub, event):
            names.append(event.getData().getName())
            got.set()
        subscription = Kyrif.Method.staticSubscribeAsync(sub, everything, note)
        print(got.wait(5), names)
        server = factory.createServer(base + "/limited-server", rr_qos, {})
        print(server.getEndpoint() == base + "/limited-server")
    """)
    assert out == ("cannot start a dispatcher thread\ncannot start a worker thread\n"
                   "True ['queued before']\nTrue\n")


def test_a_dropped_asynchronous_client_keeps_its_requests():
    out = run("""
        import concurrent.futures
        server = factory.createServer(base + "/server", rr_qos, {})
        never = concurrent.futures.Future()
        class Slow:
            def Ping(self):
                time.sleep(0.2)
                return "pong"
            def Abort(self):
                return never
        KyrCmds.KyrCmdsSyncService.registerService(server, "sync", Slow())
        KyrCmds.KyrCmdsAsyncService.registerService(server, "never", Slow())
        future = KyrCmds.KyrCmdsAsync.staticGetClient(factory, base + "/server/sync", rr_qos, {}).Ping()
        print(future.get())
        qos = pyqelcpp.RrQoSList()
        qos.append(pyqelcpp.ReplyTime(datetime.timedelta(milliseconds=300)))
        future = KyrCmds.KyrCmdsAsync.staticGetClient(factory, base + "/server/never", qos, {}).Abort()
        try:
            future.get()
        except pyqelcpp.TimeoutException:
            print("timed out")
        # Closing still fails the pending requests at once.
        client = KyrCmds.KyrCmdsAsync.staticGetClient(factory, base + "/server/never", rr_qos, {})
        future = client.Abort()
        client.close()
        try:
            future.get()
        except pyqelcpp.ClosedException as error:
            print("closed")
        # At exit the shutdown fails a request of a dropped client that is still waiting.
        pending = KyrCmds.KyrCmdsAsync.staticGetClient(factory, base + "/server/never", rr_qos, {}).Abort()
    """)
    assert out == "pong\ntimed out\nclosed\n"
