"""One race between a Python thread that keeps changing an object and a call that
uses the object with the interpreter lock released; started as its own process by
test_shared_inputs.py (argument: the race), so that a crash shows as a signal.

filter   one thread flips a filter's events and instance while another reads data
         events through it
publish  one thread alternates a sample's text between a short and a long one while
         another publishes it; every text received must be one that was set
value    one thread reads an instance's value into an out sample while another reads
         the out sample and a third publishes; every text seen must be one that was
         published
command  one thread alternates a structure's text while another sends it with
         Execute; every text the service sees must be one that was set

Each race runs for RACE_SECONDS (default 1.5). One JSON line of figures goes to
standard output; exit status 0 means nothing wrong was seen.
"""
import faulthandler
import json
import os
import sys
import threading
import time

import pyqelcpp
import ModKyrif

Kyrif = ModKyrif.Kyrif
FACTORY = pyqelcpp.WexFactory.getInstance()
ENDPOINT = f"inproc:///races/{os.getpid()}"
SECONDS = float(os.environ.get("RACE_SECONDS", "1.5"))
SHORT, LONG = "short", "B" * 5000
TEXTS = {SHORT, LONG}


def run(changer, user, *others):
    """Runs changer(), user() and any others in loops on threads of their own for
    SECONDS; returns the number of user() calls."""
    stop = threading.Event()
    counts = [0]

    def loop(function, counted=False):
        while not stop.is_set():
            function()
            if counted:
                counts[0] += 1

    threads = [threading.Thread(target=loop, args=(changer,)), threading.Thread(target=loop, args=(user, True))]
    threads += [threading.Thread(target=loop, args=(other,)) for other in others]
    for thread in threads:
        thread.start()
    time.sleep(SECONDS)
    stop.set()
    for thread in threads:
        thread.join()
    return counts[0]


def topic(name):
    qos = pyqelcpp.PsQoSList()
    pub = Kyrif.Method.staticGetPublisher(FACTORY, f"{ENDPOINT}/{name}", qos, {})
    sub = Kyrif.Method.staticGetSubscriber(FACTORY, f"{ENDPOINT}/{name}", qos, {})
    return pub, sub


def race_filter():
    pub, sub = topic("filter")
    keys = []
    for name in ("a", "b"):
        key = pub.createDataEntity()
        key.setName(name)
        keys.append(key)
    flt = Kyrif.Method.staticGetDataEventFilter()
    turn = [0]

    def flip():
        turn[0] += 1
        flt.events = {pyqelcpp.InstanceEvent.CREATED} if turn[0] % 2 else set()
        # A fresh sample each time: the previous one is released at once.
        instance = keys[turn[0] % 2].clone()
        flt.instance = instance if turn[0] % 3 else None

    def read():
        for key in keys:
            pub.publish(key, 1.0)
        sub.readDataEvents(flt, 0, 0.0)
        sub.read(0)

    reads = run(flip, read)
    return {"reads": reads}, []


def race_publish():
    pub, sub = topic("publish")
    sample = pub.createDataEntity()
    sample.setName("k")
    wrong = []
    turn = [0]

    def alternate():
        turn[0] += 1
        sample.setParameters(LONG if turn[0] % 2 else SHORT)

    def publish():
        pub.publish(sample, 1.0)
        for received in sub.read(0):
            if received.getParameters() not in TEXTS:
                wrong.append(received.getParameters()[:40])

    sample.setParameters(SHORT)
    published = run(alternate, publish)
    return {"published": published}, wrong


def race_value():
    pub, sub = topic("value")
    sample = pub.createDataEntity()
    sample.setName("k")
    out = pub.createDataEntity()
    wrong = []
    turn = [0]
    sample.setParameters(SHORT)
    pub.publish(sample, 1.0)

    def publish():
        turn[0] += 1
        sample.setParameters(LONG if turn[0] % 2 else SHORT)
        pub.publish(sample, 1.0)
        sub.read(0)

    def look():
        if out.getParameters() not in TEXTS | {""}:
            wrong.append(out.getParameters()[:40])

    reads = run(publish, lambda: sub.readInstanceValue(sample, out), look)
    return {"reads": reads}, wrong


def race_command():
    seen = []

    class Service:
        def Execute(self, method):
            seen.append(method.getParameters())
            method.setParameters("changed by the service")
            return "done"

    server = FACTORY.createServer(ENDPOINT, pyqelcpp.RrQoSList(), {})
    Kyrif.KyrCmds.KyrCmdsSyncService.registerService(server, "svc", Service())
    client = Kyrif.KyrCmds.KyrCmdsSync.staticGetClient(FACTORY, f"{ENDPOINT}/svc", pyqelcpp.RrQoSList(), {})
    method = Kyrif.Method.staticCreateDataEntity(FACTORY.getQel(ENDPOINT))
    method.setParameters(SHORT)
    turn = [0]

    def alternate():
        turn[0] += 1
        method.setParameters(LONG if turn[0] % 2 else SHORT)

    calls = run(alternate, lambda: client.Execute(method))
    wrong = [text[:40] for text in seen if text not in TEXTS]
    # The service works on its own copy: the caller's object keeps what was set.
    if method.getParameters() not in TEXTS:
        wrong.append("caller's structure: " + method.getParameters()[:40])
    server.close()
    return {"calls": calls}, wrong


def main():
    faulthandler.dump_traceback_later(SECONDS * 20 + 30, exit=True)
    figures, wrong = globals()["race_" + sys.argv[1]]()
    figures["wrong"] = wrong[:10]
    figures["wrong_count"] = len(wrong)
    print(json.dumps(figures), flush=True)
    faulthandler.cancel_dump_traceback_later()
    return 1 if wrong else 0


if __name__ == "__main__":
    sys.exit(main())
