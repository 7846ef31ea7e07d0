"""Worker threads of a server keep one Python thread state for all the requests they
serve, and give it back when they end: what a service keeps per thread lives as long
as the worker, and no more."""
import gc
import subprocess
import sys
import textwrap
import threading
import time
import weakref

import pyqelcpp


class Kept:
    pass


class PerThreadService:
    def __init__(self):
        self.local = threading.local()
        self.kept = []
        self.idents = set()

    def Ping(self):
        if not hasattr(self.local, "value"):
            self.local.value = Kept()
            self.kept.append(weakref.ref(self.local.value))
        self.idents.add(threading.get_ident())
        return "pong"


def test_thread_state_lives_with_the_worker_and_is_released_when_it_ends(Kyrif, factory, endpoint, rr_qos):
    service = PerThreadService()
    server = factory.createServer(endpoint, rr_qos, {})
    Kyrif.KyrCmds.KyrCmdsSyncService.registerService(server, "svc", service)
    client = Kyrif.KyrCmds.KyrCmdsSync.staticGetClient(factory, endpoint + "/svc", rr_qos, {})
    for _ in range(200):
        assert client.Ping() == "pong"
    # One state per worker thread, not one per request.
    assert 1 <= len(service.kept) <= len(service.idents) <= 4
    assert all(ref() is not None for ref in service.kept)
    client.close()
    server.close()
    deadline = time.monotonic() + 5
    while any(ref() is not None for ref in service.kept) and time.monotonic() < deadline:
        gc.collect()
        time.sleep(0.01)
    assert all(ref() is None for ref in service.kept), "a worker's thread state outlived the worker"


def test_exit_while_workers_keep_thread_states_is_clean():
    program = textwrap.dedent("""
        import threading, pyqelcpp, ModKyrif
        K = ModKyrif.Kyrif
        factory = pyqelcpp.WexFactory.getInstance()
        local = threading.local()
        class Service:
            def Ping(self):
                local.value = [1]
                return "pong"
        server = factory.createServer("inproc:///kept/exit", pyqelcpp.RrQoSList(), {})
        K.KyrCmds.KyrCmdsSyncService.registerService(server, "svc", Service())
        client = K.KyrCmds.KyrCmdsSync.staticGetClient(factory, "inproc:///kept/exit/svc", pyqelcpp.RrQoSList(), {})
        for _ in range(50):
            client.Ping()
        print("served", flush=True)
    """)
    run = subprocess.run([sys.executable, "-c", program], capture_output=True, text=True, timeout=30)
    assert (run.returncode, run.stdout, run.stderr) == (0, "served\n", "")
