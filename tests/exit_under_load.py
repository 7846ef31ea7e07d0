"""Programs that end while daemon threads are busy with the module, started by
test_stress_exit.py. Each must end with status 0 whatever the threads were doing.

  servers  daemon threads let go of servers whose workers are inside a Python
           service, just as the interpreter exits (closing the server from its
           destructor waits for the worker)
  subscribers  daemon threads close subscribers whose asynchronous handlers are
           running Python code, just as the interpreter exits (the close waits for
           the handler)
  load     the whole load of stress_load.py runs on daemon threads when the main
           thread ends
"""
import os
import sys
import threading
import time

import pyqelcpp
import ModKyrif

KyrCmds = ModKyrif.Kyrif.KyrCmds
FACTORY = pyqelcpp.WexFactory.getInstance()
BASE = f"inproc:///exit/{os.getpid()}"


def quietly(body):
    """Daemon threads meet closed entities at exit: that is expected, and printing
    a traceback while the interpreter goes away is not what is tested here."""

    def run(*args):
        try:
            body(*args)
        except Exception:  # noqa: BLE001
            pass

    return run


class Busy:
    def Ping(self):
        time.sleep(0.2)
        return "late"


def let_go_of_busy_server(i):
    qos = pyqelcpp.RrQoSList()
    server = FACTORY.createServer(f"{BASE}/{i}", qos, {})
    KyrCmds.KyrCmdsSyncService.registerService(server, "s", Busy())
    client = KyrCmds.KyrCmdsAsync.staticGetClient(FACTORY, f"{BASE}/{i}/s", qos, {})
    pending = client.Ping()  # noqa: F841  (kept pending on purpose)
    time.sleep(0.05)  # the worker is inside Ping now
    del server
    time.sleep(5)


def servers(delay):
    for i in range(16):
        threading.Thread(target=quietly(let_go_of_busy_server), args=(i,), daemon=True).start()
    time.sleep(delay)


def busy_handler(*args):
    time.sleep(0.2)


def close_busy_subscriber(i):
    cls = ModKyrif.Kyrif.Method
    qos = pyqelcpp.PsQoSList()
    sub = cls.staticGetSubscriber(FACTORY, f"{BASE}/ps{i}", qos, {})
    pub = cls.staticGetPublisher(FACTORY, f"{BASE}/ps{i}", qos, {})
    subscription = cls.staticSubscribeAsync(sub, cls.staticGetDataEventFilter(), busy_handler)  # noqa: F841
    pub.publish(pub.createDataEntity(), 1.0)
    time.sleep(0.05)  # the handler runs now
    sub.close()
    time.sleep(5)


def subscribers(delay):
    for i in range(16):
        threading.Thread(target=quietly(close_busy_subscriber), args=(i,), daemon=True).start()
    time.sleep(delay)


def load(delay):
    sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
    os.environ["STRESS_SAMPLES"] = os.environ["STRESS_CALLS"] = "1000000"
    import stress_load as s

    s.guarded = quietly
    topics = [s.Topic(s.MethodKind, f"{s.BASE}/Method"), s.Topic(s.StartPropertiesKind, f"{s.BASE}/StartProperties")]
    server = FACTORY.createServer(f"{s.BASE}/rr", pyqelcpp.RrQoSList(), {})
    KyrCmds.KyrCmdsSyncService.registerService(server, "sync", s.Echo())
    KyrCmds.KyrCmdsAsyncService.registerService(server, "async", s.AsyncEcho())
    clients = [("async" if form == "KyrCmdsAsync" else "sync",
                getattr(KyrCmds, form).staticGetClient(FACTORY, f"{s.BASE}/rr/{service}", pyqelcpp.RrQoSList(), {}))
               for service in ("sync", "async") for form in ("KyrCmdsSync", "KyrCmdsAsync")]
    qel = FACTORY.getQel(s.BASE)
    stop = threading.Event()
    threads = [threading.Thread(target=quietly(s.churn_thread), args=(i, stop, [0] * 2)) for i in range(2)]
    threads += [threading.Thread(target=quietly(s.publisher_thread), args=(t, p)) for t in topics for p in range(2)]
    threads += [threading.Thread(target=quietly(s.caller_thread), args=(clients, qel, c, [0] * 2)) for c in range(2)]
    threads += [t for topic in topics for t in topic.threads]
    for thread in threads:
        thread.daemon = True
        thread.start()
    time.sleep(delay)


if __name__ == "__main__":
    {"servers": servers, "subscribers": subscribers, "load": load}[sys.argv[1]](float(sys.argv[2]))
