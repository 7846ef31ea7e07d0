"""The benchmarks: each measures the module and its baseline in the same process,
interleaved, and returns the figures of one or more table rows."""
import datetime
import functools
import itertools
import os
import statistics
import threading
import time

import pyqelcpp
import ModKyrif

import baselines

Kyrif = ModKyrif.Kyrif
KyrCmds = Kyrif.KyrCmds
_ids = itertools.count()
TIMEOUT = datetime.timedelta(seconds=5)


def endpoint(name):
    return f"inproc:///bench/{os.getpid()}/{name}/{next(_ids)}"


def factory():
    return pyqelcpp.WexFactory.getInstance()


def median_pair(repeats, ours, baseline):
    """Runs ours() and baseline() alternately repeats times; medians of both."""
    return medians(repeats, ours, baseline)


def medians(repeats, *runs):
    """Runs each of runs in turn, repeats rounds; the median of each."""
    figures = [[] for _ in runs]
    for _ in range(repeats):
        for run, values in zip(runs, figures):
            values.append(run())
    return tuple(statistics.median(values) for values in figures)


def row(key, what, unit, ours, baseline, baseline_name, ratio, target, met):
    """One row of the table; met is None for a row that only explains another."""
    return {"key": key, "what": what, "unit": unit, "ours": ours, "baseline": baseline,
            "baseline_name": baseline_name, "ratio": ratio, "target": target,
            "met": None if met is None else bool(met)}


def _per_call_ns(function, calls):
    """Nanoseconds per call of function(), ten calls per loop turn."""
    turns = max(1, calls // 10)
    f = function
    start = time.perf_counter_ns()
    for _ in range(turns):
        f(); f(); f(); f(); f(); f(); f(); f(); f(); f()  # noqa: E702
    return (time.perf_counter_ns() - start) / (turns * 10)


def _two_argument_loop_ns(function, a, b, calls):
    """Nanoseconds per call of function(a, b) in a plain loop, as the publishing loop."""
    start = time.perf_counter_ns()
    for _ in range(calls):
        function(a, b)
    return (time.perf_counter_ns() - start) / calls


def p1_accessors(sizes, repeats):
    import modkyrif_bench_floor as floor
    qel = factory().getQel("inproc:///bench")
    sample = Kyrif.Method.staticCreateDataEntity(qel)
    bare = floor.Named()
    sample.setName("calibrate")
    bare.setName("calibrate")
    rows = []
    for name, ours_call, floor_call in (
            ("getName", sample.getName, bare.getName),
            ("setName", lambda s=sample.setName: s("calibrate"), lambda s=bare.setName: s("calibrate"))):
        # Many short rounds, alternating, so that both sides see the same machine load.
        rounds = repeats * 20
        ours, base = median_pair(rounds, lambda: _per_call_ns(ours_call, sizes["calls"] // 20),
                                 lambda: _per_call_ns(floor_call, sizes["calls"] // 20))
        ratio = ours / base
        rows.append(row(f"P1.{name}", f"Method.{name}() call", "ns/call", ours, base,
                        "bare pybind11 function", ratio, "<= 1.15", ratio <= 1.15))
    return rows


def _python_publish_seconds(count, batch):
    f = factory()
    topic = endpoint("publish")
    qos = pyqelcpp.PsQoSList()
    qos.append(pyqelcpp.QueueDepth(batch))
    subscriber = Kyrif.Method.staticGetSubscriber(f, topic, qos, {})
    publisher = Kyrif.Method.staticGetPublisher(f, topic, pyqelcpp.PsQoSList(), {})
    sample = publisher.createDataEntity()
    sample.setName("bench")
    sample.setParameters("x=1")
    publish = publisher.publish
    timeout = datetime.timedelta(seconds=1)
    timed = 0
    done = 0
    while done < count:
        n = min(batch, count - done)
        start = time.perf_counter_ns()
        for _ in range(n):
            publish(sample, timeout)
        timed += time.perf_counter_ns() - start
        subscriber.read(0)
        done += n
    publisher.close()
    subscriber.close()
    return timed / 1e9


def p2_publish(sizes, repeats):
    import modkyrif_bench_native as native
    count, batch = sizes["publishes"], 1000
    ours, base = median_pair(repeats, lambda: count / _python_publish_seconds(count, batch),
                             lambda: count / native.publish_loop(endpoint("native-publish"), count, batch))
    ratio = ours / base
    # What bounds the ratio: the cost of any Python call of publish's shape. The bare
    # call with the lock released, added to the native publish, is the best a binding
    # can reach.
    import modkyrif_bench_floor as floor
    bare = floor.Named()
    timeout = datetime.timedelta(seconds=1)
    floor_ns = statistics.median(_two_argument_loop_ns(bare.publishReleased, bare, timeout, count)
                                 for _ in range(repeats))
    best = 1.0 / (1.0 / base + floor_ns / 1e9)
    return [row("P2", "publish from Python (one subscriber)", "samples/s", ours, base,
                "native publishing loop", ratio, ">= 0.6", ratio >= 0.6),
            row("P2.bound", "publish call vs bare call of its shape with the lock released; "
                "ratio: best P2 reachable", "ns/call", 1e9 / ours, floor_ns, "bare pybind11 call",
                best / base, "info", None)]


def _async_delivery_rate(count):
    f = factory()
    topic = endpoint("async")
    subscriber = Kyrif.Method.staticGetSubscriber(f, topic, pyqelcpp.PsQoSList(), {})
    publisher = Kyrif.Method.staticGetPublisher(f, topic, pyqelcpp.PsQoSList(), {})
    sample = publisher.createDataEntity()
    sample.setName("bench")
    seen = [0]
    done = threading.Event()

    def handler(sub, event):
        seen[0] += 1
        if seen[0] == count:
            done.set()

    subscription = Kyrif.Method.staticSubscribeAsync(subscriber, Kyrif.Method.staticGetDataEventFilter(), handler)
    publish = publisher.publish
    start = time.perf_counter()
    for _ in range(count):
        publish(sample, TIMEOUT)
    if not done.wait(60):
        raise RuntimeError(f"only {seen[0]} of {count} events delivered")
    elapsed = time.perf_counter() - start
    subscription.close()
    publisher.close()
    subscriber.close()
    return count / elapsed


def _queue_handoff_rate(count):
    seen = [0]

    def handler(sub, event):
        seen[0] += 1

    start = time.perf_counter()
    baselines.queue_handoff(count, handler)
    elapsed = time.perf_counter() - start
    assert seen[0] == count
    return count / elapsed


def p3_async_delivery(sizes, repeats):
    count = sizes["events"]
    ours, base = median_pair(repeats, lambda: _async_delivery_rate(count), lambda: _queue_handoff_rate(count))
    ratio = ours / base
    return [
        row("P3.queue", "async handler delivery vs queue.Queue hand-off", "events/s", ours, base,
            "pure Python queue.Queue", ratio, ">= 1.0", ratio >= 1.0),
        row("P3.rate", "async handler delivery, absolute", "events/s", ours, 200000.0,
            "200 000 events/s", ours / 200000.0, ">= 1.0", ours >= 200000.0),
    ]


class PingService:
    def Ping(self):
        return "pong"


def python_ping_pair():
    """A Python service behind a server and a Python client of it; (client, server)."""
    f = factory()
    where = endpoint("server")
    server = f.createServer(where, pyqelcpp.RrQoSList(), {})
    KyrCmds.KyrCmdsSyncService.registerService(server, "bench", PingService())
    client = KyrCmds.KyrCmdsSync.staticGetClient(f, where + "/bench", pyqelcpp.RrQoSList(), {})
    return client, server


def _python_ping_rate(count):
    client, server = python_ping_pair()
    ping = client.Ping
    for _ in range(50):
        ping()
    start = time.perf_counter()
    for _ in range(count):
        ping()
    elapsed = time.perf_counter() - start
    client.close()
    server.close()
    return count / elapsed


def _threaded_ping_rate(count):
    service = baselines.ThreadedService(PingService())
    call = service.client()
    for _ in range(50):
        call("Ping")
    start = time.perf_counter()
    for _ in range(count):
        call("Ping")
    elapsed = time.perf_counter() - start
    service.close()
    return count / elapsed


def p4_ping(sizes, repeats):
    import modkyrif_bench_native as native
    count = sizes["pings"]
    ours, native_rate = median_pair(repeats, lambda: _python_ping_rate(count),
                                    lambda: count / native.ping_loop(endpoint("native-server"), count))
    ours2, threaded = median_pair(repeats, lambda: _python_ping_rate(count), lambda: _threaded_ping_rate(count))
    ours = statistics.median([ours, ours2])
    return [
        row("P4.native", "sync Ping, Python client to Python service", "calls/s", ours, native_rate,
            "native client to native service", ours / native_rate, ">= 0.4", ours / native_rate >= 0.4),
        row("P4.threads", "sync Ping vs threaded queue request/reply", "calls/s", ours2, threaded,
            "pure Python threads + queue.Queue", ours2 / threaded, ">= 1.0", ours2 >= threaded),
    ]


def _rss_bytes():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def p5_memory(sizes, repeats):
    f = factory()
    topic = endpoint("memory")
    subscriber = Kyrif.Method.staticGetSubscriber(f, topic, pyqelcpp.PsQoSList(), {})
    publisher = Kyrif.Method.staticGetPublisher(f, topic, pyqelcpp.PsQoSList(), {})
    sample = publisher.createDataEntity()
    sample.setName("bench")
    client, server = python_ping_pair()
    timeout = datetime.timedelta(seconds=1)

    def work(publishes, commands):
        for i in range(publishes):
            sample.setParameters("x")
            publisher.publish(sample, timeout)
            for received in subscriber.read(0):
                received.getName()
        for _ in range(commands):
            client.Ping()

    work(sizes["mem_publishes"] // 20, sizes["mem_commands"] // 20)  # warm-up: pools and caches settle
    before = _rss_bytes()
    work(sizes["mem_publishes"], sizes["mem_commands"])
    growth = (_rss_bytes() - before) / 1e6
    client.close()
    server.close()
    publisher.close()
    subscriber.close()
    what = f"RSS growth over {sizes['mem_publishes']} publish/read + {sizes['mem_commands']} commands"
    return [row("P5", what, "MB", growth, 1.0, "1 MB", growth / 1.0, "< 1 MB", growth < 1.0)]


def _progress(seconds):
    """Turns of a pure-Python loop this thread completes in the given time."""
    turns = 0
    deadline = time.perf_counter() + seconds
    while time.perf_counter() < deadline:
        for _ in range(100):
            turns += 1
    return turns


class SlowService:
    def __init__(self, seconds):
        self.seconds = seconds

    def Ping(self):
        time.sleep(self.seconds)
        return "pong"


def _progress_while_blocked(kind, seconds):
    """Progress of this thread while another thread blocks in a read or a command
    for longer than the measurement."""
    f = factory()
    ready = threading.Event()
    if kind == "read":
        subscriber = Kyrif.Method.staticGetSubscriber(f, endpoint("idle"), pyqelcpp.PsQoSList(), {})
        flt = Kyrif.Method.staticGetDataEventFilter()

        def block():
            ready.set()
            subscriber.readDataEvents(flt, 0, seconds * 2)
        close = subscriber.close
    else:
        where = endpoint("slow")
        server = f.createServer(where, pyqelcpp.RrQoSList(), {})
        KyrCmds.KyrCmdsSyncService.registerService(server, "slow", SlowService(seconds * 2))
        client = KyrCmds.KyrCmdsSync.staticGetClient(f, where + "/slow", pyqelcpp.RrQoSList(), {})

        def block():
            ready.set()
            client.Ping()

        def close():
            client.close()
            server.close()
    blocker = threading.Thread(target=block, daemon=True)
    blocker.start()
    ready.wait()
    time.sleep(0.01)  # let the blocker reach its wait
    turns = _progress(seconds)
    blocker.join()
    close()
    return turns


def p6_progress(sizes, repeats):
    seconds = sizes["progress_seconds"]
    rows = []
    for kind, what in (("read", "progress while another thread blocks in readDataEvents"),
                       ("command", "progress while another thread blocks in Ping")):
        ours, solo = median_pair(repeats, lambda: _progress_while_blocked(kind, seconds),
                                 lambda: _progress(seconds))
        ratio = ours / solo
        rows.append(row(f"P6.{kind}", what, "loop turns", ours, solo, "same loop alone", ratio, ">= 0.9",
                        ratio >= 0.9))
    return rows


ALL = (p1_accessors, p2_publish, p3_async_delivery, p4_ping, p5_memory, p6_progress)


# --- between processes (dds.ps) ----------------------------------------------------------

def _reader_process(*args, env=None, program=None):
    """A reading process that said "ready": bench/dds_processes.py with args, or
    program with args."""
    import subprocess
    import sys
    if program is None:
        here = os.path.dirname(os.path.abspath(__file__))
        command = [sys.executable, os.path.join(here, "dds_processes.py")]
    else:
        command = [program]
    proc = subprocess.Popen([*command, *map(str, args)], stdout=subprocess.PIPE, text=True, env=env)
    if proc.stdout.readline().strip() != "ready":
        proc.kill()
        raise RuntimeError("the reading process did not start")
    return proc


def _dds_publish_rate(count):
    """Python publisher here, Python subscriber reading in batches in another process."""
    topic = f"dds.ps://0/bench/p{os.getpid()}/n{next(_ids)}"
    reader = _reader_process("ours", topic, count)
    publisher = Kyrif.Method.staticGetPublisher(factory(), topic, pyqelcpp.PsQoSList(),
                                                {"dds.waitForReaders": "1"})
    sample = publisher.createDataEntity()
    sample.setName("bench")
    sample.setParameters("x=1")
    publish = publisher.publish
    # The first publish waits for discovery to settle, once: not part of the rate.
    publish(sample, TIMEOUT)
    start = time.time()
    for _ in range(count - 1):
        publish(sample, TIMEOUT)
    last = float(reader.stdout.readline())
    reader.wait()
    publisher.close()
    return (count - 1) / (last - start)


def _plain_env(**extra):
    """The environment for programs that are not ours: without preloaded runtimes."""
    env = {name: value for name, value in os.environ.items() if name != "LD_PRELOAD"}
    env.update(extra)
    return env


def _ddsperf_rate(seconds):
    """ddsperf publishing as fast as it can, samples of the same serialized size."""
    import re
    import subprocess
    env = _plain_env(CYCLONEDDS_URI=_foreign_config())
    domain = "9"
    sub = subprocess.Popen(["ddsperf", "-i", domain, "-D", str(seconds + 2), "sub"], env=env,
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    pub = subprocess.Popen(["ddsperf", "-i", domain, "-D", str(seconds + 1), "pub", "size", "16"], env=env,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    out, _ = sub.communicate()
    pub.wait()
    rates = [float(m) for m in re.findall(r"rate ([0-9.]+) kS/s", out)]
    # The first second includes discovery.
    return statistics.median(rates[1:] or rates) * 1000 if rates else float("nan")


def _foreign_config(batched=False):
    import importlib.util
    here = os.path.dirname(os.path.abspath(__file__))
    found = importlib.util.spec_from_file_location("dds_processes", os.path.join(here, "dds_processes.py"))
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module.BATCHED_CONFIG if batched else module.FOREIGN_CONFIG


@functools.cache
def _engine_program():
    """bench/engine/method_peer.c with the structures idlc makes of the shipped IDL,
    built once per run in a temporary folder; None where idlc or gcc is missing."""
    import atexit
    import shutil
    import subprocess
    import tempfile
    if not (shutil.which("idlc") and shutil.which("gcc")):
        return None
    here = os.path.dirname(os.path.abspath(__file__))
    folder = tempfile.mkdtemp(prefix="modkyrif-bench-")
    atexit.register(shutil.rmtree, folder, True)
    idl = os.path.join(here, "..", "standin", "kyrif", "idl", "kyrif.idl")
    subprocess.run(["idlc", "-o", folder, idl], check=True, env=_plain_env())
    program = os.path.join(folder, "method_peer")
    subprocess.run(["gcc", "-O2", "-o", program, os.path.join(here, "engine", "method_peer.c"),
                    os.path.join(folder, "kyrif.c"), "-I", folder, "-lddsc"], check=True, env=_plain_env())
    return program


def _engine_rate(count):
    """The same samples between two plain C programs on the engine's C API."""
    import subprocess
    program = _engine_program()
    env = _plain_env(CYCLONEDDS_URI=_foreign_config(batched=True))
    topic = f"bench_engine_p{os.getpid()}_n{next(_ids)}"
    reader = _reader_process("sub", "0", topic, count, env=env, program=program)
    writer = subprocess.run([program, "pub", "0", topic, str(count)], capture_output=True, text=True, env=env,
                            check=True)
    start = float(writer.stdout.split()[0])
    last = float(reader.stdout.readline())
    reader.wait()
    return count / (last - start)


def _pypi_rate(count):
    """The same work with the pure-Python cyclonedds package, on a domain of its own."""
    import subprocess
    import sys
    env = _plain_env(CYCLONEDDS_URI=_foreign_config())
    topic = f"bench_p{os.getpid()}_n{next(_ids)}"
    reader = _reader_process("pypi", "17", topic, count, env=env)
    here = os.path.dirname(os.path.abspath(__file__))
    pub = subprocess.run([sys.executable, os.path.join(here, "dds_processes.py"), "pypi-pub", "17", topic,
                          str(count)], env=env, capture_output=True, text=True)
    start = float(pub.stdout.split()[0])
    last = float(reader.stdout.readline())
    reader.wait()
    return count / (last - start)


def p7_between_processes(sizes, repeats):
    count = sizes["dds_samples"]
    rows = []
    runs = [lambda: _dds_publish_rate(count), lambda: _ddsperf_rate(sizes["ddsperf_seconds"])]
    if _engine_program():
        runs.append(lambda: _engine_rate(count))
    ours, perf, *engine = medians(repeats, *runs)
    rows.append(row("P7.ddsperf", "dds.ps: Python publish loop to a Python reader in another process",
                    "samples/s", ours, perf, "ddsperf, 16-byte samples", ours / perf, ">= 0.5", ours / perf >= 0.5))
    if engine:
        # What the engine itself carries of these samples here: the ceiling of the row above.
        rows.append(row("P7.engine", "the same samples between two plain C programs on the engine (no middleware, "
                        "no Python)", "samples/s", engine[0], perf, "ddsperf, 16-byte samples", engine[0] / perf,
                        "report", None))
    import importlib.util
    # Only looked for: its own engine library must never load into this process.
    if importlib.util.find_spec("cyclonedds") is None:  # installed by scripts/bench.sh only
        return rows
    ours, pypi = median_pair(repeats, lambda: _dds_publish_rate(count), lambda: _pypi_rate(count))
    rows.append(row("P7.pypi", "dds.ps vs the pure-Python cyclonedds package (same work)", "samples/s", ours,
                    pypi, "cyclonedds (PyPI)", ours / pypi, ">= 3", ours / pypi >= 3))
    return rows


ALL = ALL + (p7_between_processes,)


# --- request/reply between processes (dds.rr) ---------------------------------------------

def _rr_process(*args):
    import subprocess
    import sys
    here = os.path.dirname(os.path.abspath(__file__))
    proc = subprocess.Popen([sys.executable, os.path.join(here, "rr_processes.py"), *map(str, args)],
                            stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    words = proc.stdout.readline().split()
    if not words or words[0] != "ready":
        proc.kill()
        raise RuntimeError("the serving process did not start")
    return proc, words[1:]


def _stop(proc):
    proc.stdin.close()
    proc.wait(30)


def _latencies(call, count):
    """Calls per second and the sorted latencies in microseconds of count calls."""
    clock = time.perf_counter_ns
    spent = []
    start = clock()
    for _ in range(count):
        before = clock()
        call()
        spent.append(clock() - before)
    total = (clock() - start) / 1e9
    spent.sort()
    return count / total, [ns / 1000 for ns in spent]


def _percentile(sorted_values, share):
    return sorted_values[min(len(sorted_values) - 1, int(share * len(sorted_values)))]


def _rr_ping_pair(count, repeats, zmq):
    """Sync Ping to a Python service in another process, against pyzmq REQ/REP."""
    server_endpoint = f"dds.rr://0/bench/p{os.getpid()}/n{next(_ids)}"
    service, _ = _rr_process("serve", server_endpoint)
    qos = pyqelcpp.RrQoSList()
    qos.append(pyqelcpp.ReplyTime(TIMEOUT))
    client = KyrCmds.KyrCmdsSync.staticGetClient(factory(), server_endpoint + "/svc", qos, {})
    client.Ping()  # connected
    peer, (port,) = _rr_process("zmq-serve")
    context = zmq.Context()
    socket = context.socket(zmq.REQ)
    socket.connect(f"tcp://127.0.0.1:{port}")

    def zmq_ping():
        socket.send(b"Ping")
        return socket.recv()

    zmq_ping()
    ours, theirs = [], []
    try:
        for _ in range(repeats):
            ours.append(_latencies(client.Ping, count))
            theirs.append(_latencies(zmq_ping, count))
    finally:
        socket.close(0)
        context.term()
        _stop(peer)
        client.close()
        _stop(service)
    return ours, theirs


def _median_of(runs):
    rate = statistics.median(r for r, _ in runs)
    median = statistics.median(statistics.median(l) for _, l in runs)
    p99 = statistics.median(_percentile(l, 0.99) for _, l in runs)
    return rate, median, p99


def _rr_async_rate(count, in_flight, server_endpoint):
    """Async Ping with in_flight requests outstanding, to the service in another process."""
    qos = pyqelcpp.RrQoSList()
    qos.append(pyqelcpp.ReplyTime(TIMEOUT))
    client = KyrCmds.KyrCmdsAsync.staticGetClient(factory(), server_endpoint + "/svc", qos, {})
    client.asyncConnect().get()
    window = [client.Ping() for _ in range(in_flight)]
    start = time.perf_counter()
    for i in range(count):
        window[i % in_flight].get()
        window[i % in_flight] = client.Ping()
    for reply in window:
        reply.get()
    rate = count / (time.perf_counter() - start)
    client.close()
    return rate


def _native_program(name):
    import importlib.util
    spec = importlib.util.find_spec("modkyrif_bench_native")
    folder = os.path.dirname(spec.origin) if spec else os.environ.get("MODKYRIF_BENCH_MODULES", "")
    return os.path.join(folder, name)


def _native_client_rate(client_endpoint, count):
    import subprocess
    done = subprocess.run([_native_program("call_kyrcmds"), client_endpoint, str(count)], capture_output=True,
                          text=True, timeout=300)
    if done.returncode != 0:
        raise RuntimeError(done.stderr)
    return float(done.stdout.split()[-1])


def p8_requests_between_processes(sizes, repeats):
    import subprocess
    count = sizes["rr_pings"]
    rows = []
    import importlib.util
    global zmq
    if importlib.util.find_spec("zmq") is not None:  # installed by scripts/bench.sh only
        import zmq
        ours, theirs = _rr_ping_pair(count, repeats, zmq)
        (rate, median, p99), (zrate, zmedian, zp99) = _median_of(ours), _median_of(theirs)
        rows.append(row("P8.zmq", f"dds.rr: sync Ping, Python to a Python service in another process; latency "
                        f"median {median:.0f} us, p99 {p99:.0f} us (pyzmq {zmedian:.0f} us, {zp99:.0f} us)",
                        "calls/s", rate, zrate, "pyzmq REQ/REP on loopback", rate / zrate, ">= 1.0",
                        rate / zrate >= 1.0))

    python_endpoint = f"dds.rr://0/bench/p{os.getpid()}/n{next(_ids)}"
    python_service, _ = _rr_process("serve", python_endpoint)
    native_endpoint = f"dds.rr://0/bench/p{os.getpid()}/n{next(_ids)}"
    native_service = subprocess.Popen([_native_program("serve_kyrcmds"), native_endpoint], stdin=subprocess.PIPE,
                                      stdout=subprocess.PIPE, text=True)
    try:
        if native_service.stdout.readline().strip() != "ready":
            raise RuntimeError("the native service did not start")
        ours, native = median_pair(repeats, lambda: _native_client_rate(python_endpoint + "/svc", count),
                                   lambda: _native_client_rate(native_endpoint + "/svc", count))
        rows.append(row("P8.native", "dds.rr: sync Ping, native client to a Python service in another process",
                        "calls/s", ours, native, "native client to native service", ours / native, ">= 0.5",
                        ours / native >= 0.5))
        in_flight = 64
        sync_client = KyrCmds.KyrCmdsSync.staticGetClient(factory(), python_endpoint + "/svc",
                                                          pyqelcpp.RrQoSList(), {})
        sync_client.Ping()  # connected
        asynchronous, sync = median_pair(repeats, lambda: _rr_async_rate(count, in_flight, python_endpoint),
                                         lambda: _latencies(sync_client.Ping, count)[0])
        sync_client.close()
        rows.append(row("P8.async", f"dds.rr: async Ping with {in_flight} in flight, Python to a Python service "
                        "in another process", "calls/s", asynchronous, sync, "sync Ping, one at a time",
                        asynchronous / sync, "report", None))
    finally:
        native_service.stdin.close()
        native_service.wait(30)
        _stop(python_service)
    return rows


ALL = ALL + (p8_requests_between_processes,)
