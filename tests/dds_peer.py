"""A publish/subscribe peer in a process of its own, driven by the tests of the
transport between processes. Usage: dds_peer.py ROLE ENDPOINT [ARGS...]; it prints
one line per step, which the test reads."""
import json
import os
import sys
import time

import pyqelcpp
import ModKyrif

Kyrif = ModKyrif.Kyrif
factory = pyqelcpp.WexFactory.getInstance()
LONG = 30.0
# Properties of every entity, from the test (interfaces and peers of a namespace).
EXTRA = json.loads(os.environ.get("DDS_PEER_PROPS", "{}"))


def say(*words):
    print(*words, flush=True)


def publisher(endpoint, cls=Kyrif.Method, readers=1):
    props = dict(EXTRA, **({"dds.waitForReaders": str(readers)} if readers else {}))
    return cls.staticGetPublisher(factory, endpoint, pyqelcpp.PsQoSList(), props)


def method(pub, name, parameters):
    sample = pub.createDataEntity()
    sample.setName(name)
    sample.setParameters(parameters)
    return sample


def main(role, endpoint, *args):
    if role == "publish":  # COUNT: Method samples of three instances, in order
        pub = publisher(endpoint)
        for i in range(int(args[0])):
            pub.publish(method(pub, f"k{i % 3}", str(i)), LONG)
        say("published")
        pub.close()
    elif role == "publish-start":  # StartProperties with a given source timestamp
        pub = publisher(endpoint, Kyrif.StartProperties)
        sample = pub.createDataEntity()
        sample.setAbsTime(12.5)
        sample.setTrigger(Kyrif.AbsTime)
        sample.setCustomTrigger("edge")
        sample.setInfo("ümlaut info")
        pub.publishWithTimestamp(1700000000.123456789, sample, LONG)
        say("published")
        pub.close()
    elif role == "publish-once":  # NAME: one sample at once, then the process ends
        pub = publisher(endpoint, readers=0)
        pub.publish(method(pub, args[0], "once"), LONG)
    elif role == "publish-stamps":  # STAMP...: one sample with each source timestamp
        pub = publisher(endpoint)
        for stamp in args:
            pub.publishWithTimestamp(float(stamp), method(pub, "stamp", stamp), LONG)
        say("published")
        pub.close()
    elif role == "publish-until-timeout":  # until a publish times out
        pub = publisher(endpoint)
        count = 0
        started = time.monotonic()
        while time.monotonic() - started < LONG:
            try:
                pub.publish(method(pub, "k", str(count)), 0.3)
            except pyqelcpp.TimeoutException:
                break
            count += 1
        say("timeout", count)
        sys.stdin.readline()  # the test has read what it wanted
        pub.close()
    elif role == "hold":  # READERS NAMES...: one sample each, then stay until killed
        pub = publisher(endpoint, readers=int(args[0]))
        for name in args[1:]:
            pub.publish(method(pub, name, "held " + name), LONG)
        say("ready")
        sys.stdin.readline()
    elif role == "publish-topics":  # COUNT topics ENDPOINT/tI, one sample each
        pubs = [publisher(f"{endpoint}/t{i}") for i in range(int(args[0]))]
        for i, pub in enumerate(pubs):
            pub.publish(method(pub, "topic", str(i)), LONG)
        say("published")
        sys.stdin.read()  # the instances stay until the test has read them
        for pub in pubs:
            pub.close()
    elif role == "subscribe":  # COUNT: prints the (name, parameters) received
        sub = Kyrif.Method.staticGetSubscriber(factory, endpoint, pyqelcpp.PsQoSList(), EXTRA)
        say("ready")
        got = []
        deadline = time.monotonic() + LONG
        while len(got) < int(args[0]) and time.monotonic() < deadline:
            got += [(s.getName(), s.getParameters()) for s in sub.read(0)] or []
            time.sleep(0.01)
        say(json.dumps(got))
        sub.close()
    elif role == "subscribe-late":  # DEPTH SECONDS: reads nothing for SECONDS, then
        qos = pyqelcpp.PsQoSList()   # everything until nothing came for 2 s; prints the count
        qos.append(pyqelcpp.QueueDepth(int(args[0])))
        sub = Kyrif.Method.staticGetSubscriber(factory, endpoint, qos, EXTRA)
        say("ready")
        time.sleep(float(args[1]))
        count = 0
        while batch := sub.readDataEvents(Kyrif.Method.staticGetDataEventFilter(), 0, 2.0):
            count += sum(1 for e in batch if e.hasValidData())
        say(count)
        sub.close()
    elif role == "subscribe-held":  # reads nothing (queue of 4) until told COUNT, then
        qos = pyqelcpp.PsQoSList()  # COUNT samples and what follows within a second
        qos.append(pyqelcpp.QueueDepth(4))
        sub = Kyrif.Method.staticGetSubscriber(factory, endpoint, qos, EXTRA)
        say("ready")
        count = int(sys.stdin.readline() or 0)
        got = []
        started = time.monotonic()
        while time.monotonic() - started < LONG:
            batch = sub.readDataEvents(Kyrif.Method.staticGetDataEventFilter(), 0, 1.0)
            got += [e.data.getName() for e in batch if e.data]
            if len(got) >= count and not batch:
                break
        say(json.dumps(got))
        sub.close()
    else:
        raise SystemExit(f"unknown role {role}")


if __name__ == "__main__":
    main(*sys.argv[1:])
