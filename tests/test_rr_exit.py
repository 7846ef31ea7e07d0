"""Programs that exit while servers, clients, registered Python services, pending
futures and waiting threads are still alive end cleanly."""
import subprocess
import sys
import textwrap

import pytest

PROGRAM = textwrap.dedent("""
    import concurrent.futures, datetime, os, threading, time
    import pyqelcpp, ModKyrif
    KyrCmds = ModKyrif.Kyrif.KyrCmds
    factory = pyqelcpp.WexFactory.getInstance()
    endpoint = f"{SCHEME}:///exit/p{os.getpid()}"
    qos = pyqelcpp.RrQoSList()
    qos.append(pyqelcpp.ReplyTime(datetime.timedelta(seconds=30)))
    server = factory.createServer(endpoint, qos, {})
    never = concurrent.futures.Future()

    class Sync:
        def Ping(self):
            return "pong"
        def Scan(self):
            time.sleep(0.3)
            return "slow"

    class Async:
        def Ping(self):
            return never

    KyrCmds.KyrCmdsSyncService.registerService(server, "sync", Sync())
    KyrCmds.KyrCmdsAsyncService.registerService(server, "async", Async())
    sync = KyrCmds.KyrCmdsSync.staticGetClient(factory, endpoint + "/sync", qos, {})
    asynchronous = KyrCmds.KyrCmdsAsync.staticGetClient(factory, endpoint + "/async", qos, {})
    assert sync.Ping() == "pong"
    registration = sync.registerConnectionListener(lambda up: None)
    pending = asynchronous.Ping()
    connecting = KyrCmds.KyrCmdsAsync.staticGetClient(factory, endpoint + "/nobody", qos, {}).asyncConnect()
    def quietly(wait):
        try:
            wait()
        except pyqelcpp.QelException:  # the shutdown at exit fails the waiting calls
            pass

    if WAITING_THREADS:
        for wait in (pending.wait, lambda: asynchronous.Ping().get(), sync.Scan, connecting.wait):
            threading.Thread(target=quietly, args=(wait,), daemon=True).start()
        time.sleep(0.1)
    print("done", flush=True)
""")


@pytest.mark.parametrize("scheme", ["inproc", "dds.rr"])
@pytest.mark.parametrize("waiting_threads", [False, True])
def test_program_exits_cleanly(waiting_threads, scheme):
    program = f"WAITING_THREADS = {waiting_threads}\nSCHEME = {scheme!r}\n" + PROGRAM
    run = subprocess.run([sys.executable, "-c", program], capture_output=True, text=True, timeout=10)
    assert (run.returncode, run.stdout, run.stderr) == (0, "done\n", "")
