"""Request/reply between processes over the dds.rr transport: what the shared suites
(run on both transports inside one process) cannot show."""
import datetime
import itertools
import json
import os
import signal
import subprocess
import threading
import time

import pytest

import pyqelcpp
from ModKyrif import Kyrif

import rr_peer
from hosts import peers_of, two_hosts  # noqa: F401  (a fixture)

KyrCmds = Kyrif.KyrCmds
LONG = 30.0
HERE = os.path.dirname(os.path.abspath(__file__))
PEER = os.path.join(HERE, "rr_peer.py")
_counter = itertools.count()


@pytest.fixture
def server_endpoint():
    """A dds.rr server endpoint that no other test (or test process) uses."""
    return f"dds.rr:///rr/p{os.getpid()}/n{next(_counter)}"


def reply_time(seconds):
    qos = pyqelcpp.RrQoSList()
    qos.append(pyqelcpp.ReplyTime(datetime.timedelta(seconds=seconds)))
    return qos


peers = peers_of(PEER)


def outcome(call):
    """What a call ended with, comparable between transports."""
    try:
        result = call()
        return ("result", result.split()[0] if result.startswith("pong ") else result)
    except Kyrif.ExceptionErr as error:
        return ("ExceptionErr", error.getDesc(), error.getCode())
    except pyqelcpp.QelException as error:
        return (type(error).__name__, str(error))


def every_command(client, asynchronous, qel):
    method = Kyrif.Method.staticCreateDataEntity(qel)
    method.setName("m\u00fc")
    method.setParameters("p=1")
    start = Kyrif.StartProperties.staticCreateDataEntity(qel)
    start.setInfo("go")
    start.setTrigger(Kyrif.Custom)
    start.setAbsTime(12.5)
    start.setCustomTrigger("edge")
    calls = {name: (lambda name=name: getattr(client, name)())
             for name in ["Abort", "GetDiagnostics", "Ping", "Recover", "Scan"]}
    for name in ["GetConfig", "GetSetup", "ReadPars", "SetConfig", "Setup", "WritePars"]:
        calls[name] = lambda name=name: getattr(client, name)(f"{name} \u20ac")
    calls["Execute"] = lambda: client.Execute(method)
    calls["Start"] = lambda: client.Start(start)
    if asynchronous:
        calls = {name: (lambda call=call: call().get()) for name, call in calls.items()}
    return {name: outcome(call) for name, call in sorted(calls.items())}


@pytest.mark.parametrize("client_form", ["KyrCmdsSync", "KyrCmdsAsync"])
@pytest.mark.parametrize("service_form", ["sync", "async"])
def test_every_command_between_processes_ends_as_on_inproc(factory, server_endpoint, peers, client_form,
                                                           service_form):
    peer = peers("serve", server_endpoint, service_form)
    assert peer.line() == "ready"
    module = getattr(KyrCmds, client_form)
    remote = module.staticGetClient(factory, server_endpoint + "/svc", reply_time(LONG), {})
    got = every_command(remote, client_form == "KyrCmdsAsync", factory.getQel(server_endpoint))

    local_endpoint = f"inproc:///rr/p{os.getpid()}/n{next(_counter)}"
    server = factory.createServer(local_endpoint, pyqelcpp.RrQoSList(), {})
    service_module = KyrCmds.KyrCmdsAsyncService if service_form == "async" else KyrCmds.KyrCmdsSyncService
    service_module.registerService(server, "svc", rr_peer.Service(service_form == "async"))
    local = module.staticGetClient(factory, local_endpoint + "/svc", reply_time(LONG), {})
    expected = every_command(local, client_form == "KyrCmdsAsync", factory.getQel(local_endpoint))
    server.close()

    assert got == expected
    assert got["Recover"] == ("ExceptionErr", "bad", 3)
    assert got["Abort"][0] == "QelException" and got["Abort"][1].startswith("KeyError: 'missing'")
    assert got["Execute"] == ("result", "Execute('m\u00fc', 'p=1')")


def test_middleware_errors_keep_their_class_across_processes(factory, server_endpoint, peers):
    peer = peers("serve", server_endpoint, "async")
    assert peer.line() == "ready"
    client = KyrCmds.KyrCmdsAsync.staticGetClient(factory, server_endpoint + "/svc", reply_time(LONG), {})
    assert client.asyncConnect().get() is None
    # The server closes while the service has not answered: its caller hears
    # ClosedException, as from a server of its own process.
    pending = client.Setup("never")
    time.sleep(0.5)
    peer.proc.stdin.close()
    with pytest.raises(pyqelcpp.ClosedException, match="was closed"):
        pending.get()
    assert peer.proc.wait(LONG) == 0


def test_killed_service_fails_every_pending_call_in_time_and_the_client_recovers(factory, server_endpoint,
                                                                                   peers):
    peer = peers("serve", server_endpoint, "sync")
    assert peer.line() == "ready"
    client = KyrCmds.KyrCmdsAsync.staticGetClient(factory, server_endpoint + "/svc", reply_time(2.0), {})
    heard = []
    changed = threading.Condition()

    def listener(up):
        with changed:
            heard.append(up)
            changed.notify_all()

    registration = client.registerConnectionListener(listener)
    assert client.asyncConnect().get() is None
    burst = [client.ReadPars("sleep 0.05") if i % 2 else client.Ping() for i in range(200)]
    time.sleep(0.1)
    peer.proc.send_signal(signal.SIGKILL)
    killed = time.monotonic()
    for reply in burst:
        try:
            reply.get()
        except pyqelcpp.TimeoutException:
            pass
    # Every call ends by its reply time (counted from when it was made, before the kill).
    assert time.monotonic() - killed < 2.0 + 1.0
    with changed:
        # Noticed within the lease (3 s by default).
        assert changed.wait_for(lambda: False in heard, timeout=3.0 + 2.0)
    with pytest.raises(pyqelcpp.TimeoutException):
        client.Ping().get()
    again = peers("serve", server_endpoint, "async")
    assert again.line() == "ready"
    with changed:
        assert changed.wait_for(lambda: heard[-1] is True, timeout=LONG)
    assert client.Ping().get().startswith("pong ")
    assert heard[0] is True and heard.count(False) == 1
    del registration
    client.close()


def test_a_request_made_at_creation_is_never_lost(factory, server_endpoint, peers):
    peer = peers("serve", server_endpoint, "sync")
    assert peer.line() == "ready"
    for i in range(25):
        form = KyrCmds.KyrCmdsSync if i % 2 else KyrCmds.KyrCmdsAsync
        # The last client of the endpoint went, and with it the way to the service:
        # each new client starts from discovery again.
        client = form.staticGetClient(factory, f"{server_endpoint}/svc", reply_time(10.0), {})
        reply = client.Ping()
        assert (reply if i % 2 else reply.get()).startswith("pong ")
        client.close()
        del client
    # A new process each time: created and called at once, nothing else before.
    for _ in range(3):
        caller = peers("call", server_endpoint + "/svc", "1")
        assert json.loads(caller.line())[0].startswith("pong ")


def test_requests_nobody_waits_for_do_not_run_when_a_hung_service_recovers(factory, server_endpoint):
    ran = []

    class Hanging:
        def Setup(self, mode):
            ran.append(mode)
            if mode == "hang":
                time.sleep(2.0)
            return mode

    server = factory.createServer(server_endpoint, pyqelcpp.RrQoSList(), {"rr.workerThreads": "1"})
    KyrCmds.KyrCmdsSyncService.registerService(server, "svc", Hanging())
    patient = KyrCmds.KyrCmdsSync.staticGetClient(factory, server_endpoint + "/svc", reply_time(LONG), {})
    hasty = KyrCmds.KyrCmdsSync.staticGetClient(factory, server_endpoint + "/svc", reply_time(0.4), {})
    assert patient.Setup("first") == "first"
    for mode in ("hang", "stale 1", "stale 2"):
        with pytest.raises(pyqelcpp.TimeoutException):
            hasty.Setup(mode)
    # The two requests behind the hung one were given up by their caller while
    # they waited for the only worker: they must not run once it is free.
    assert patient.Setup("after") == "after"
    assert ran == ["first", "hang", "after"]
    server.close()


def test_a_flood_from_one_caller_leaves_the_others_served_and_is_bounded(factory, server_endpoint, peers):
    class Slow:
        def ReadPars(self, text):
            time.sleep(float(text.split()[1]))
            return "slept"

        def Ping(self):
            return "pong"

    server = factory.createServer(server_endpoint, pyqelcpp.RrQoSList(), {"rr.workerThreads": "4"})
    KyrCmds.KyrCmdsSyncService.registerService(server, "svc", Slow())
    # More than a caller may have waiting: the rest are refused at once as "busy".
    flood = peers("flood", server_endpoint + "/svc", "1500")
    assert flood.line() == "sent"
    other = peers("call", server_endpoint + "/svc", "3")  # another caller, behind the flood
    assert json.loads(other.line()) == [f"pong"] * 3
    flood.proc.stdin.close()
    assert 0 < int(flood.line()) <= 1500 - 1024 - 16
    server.close()


def test_many_clients_in_many_processes_are_served_at_once(factory, server_endpoint, peers):
    running = 0
    most = 0
    lock = threading.Lock()

    class Slow:
        def Ping(self):
            nonlocal running, most
            with lock:
                running += 1
                most = max(most, running)
            time.sleep(0.05)
            with lock:
                running -= 1
            return f"pong {os.getpid()}"

    server = factory.createServer(server_endpoint, pyqelcpp.RrQoSList(), {"rr.workerThreads": "4"})
    KyrCmds.KyrCmdsSyncService.registerService(server, "svc", Slow())
    callers = [peers("call", server_endpoint + "/svc", "20") for _ in range(4)]
    for caller in callers:
        assert json.loads(caller.line()) == [f"pong {os.getpid()}"] * 20
    assert most > 1
    server.close()


def test_two_servers_of_one_service_answer_each_request_once(factory, server_endpoint, peers):
    first = peers("serve", server_endpoint, "sync")
    second = peers("serve", server_endpoint, "async")
    assert first.line() == second.line() == "ready"
    client = KyrCmds.KyrCmdsAsync.staticGetClient(factory, server_endpoint + "/svc", reply_time(LONG), {})
    answers = [client.Ping() for _ in range(50)]
    pids = {reply.get().split()[1] for reply in answers}
    assert pids <= {str(first.proc.pid), str(second.proc.pid)}
    # One of them goes: the other one still answers, with the same client.
    first.finish()
    assert client.Ping().get() == f"pong {second.proc.pid}"
    client.close()


def test_client_and_service_on_two_hosts(two_hosts, peers):
    (host_a, link_a, address_a), (host_b, link_b, address_b) = two_hosts
    endpoint = f"dds.rr://6/rr/p{os.getpid()}/hosts"

    def env(link, peer_address):
        return dict(os.environ, DDS_PEER_PROPS=json.dumps({"dds.interfaces": link, "dds.peers": peer_address}))

    service = peers("serve", endpoint, "sync", prefix=("ip", "netns", "exec", host_a), env=env(link_a, address_b))
    assert service.line() == "ready"
    caller = peers("call", endpoint + "/svc", "5", prefix=("ip", "netns", "exec", host_b),
                   env=env(link_b, address_a))
    replies = json.loads(caller.line())
    assert len(replies) == 5 and all(reply.startswith("pong ") for reply in replies)


# --- native peers ----------------------------------------------------------------------

def native_program(name):
    folder = os.environ.get("MODKYRIF_BENCH_MODULES", os.path.join(os.path.dirname(HERE), "build", "native",
                                                                     "python"))
    program = os.path.join(folder, name)
    if not os.path.exists(program):
        pytest.skip(f"the native example {name} is not built (scripts/test.sh builds it)")
    return program


def test_python_client_calls_the_native_service(factory, server_endpoint):
    service = subprocess.Popen([native_program("serve_kyrcmds"), server_endpoint], stdin=subprocess.PIPE,
                               stdout=subprocess.PIPE, text=True)
    try:
        assert service.stdout.readline().strip() == "ready"
        sync = KyrCmds.KyrCmdsSync.staticGetClient(factory, server_endpoint + "/svc", reply_time(LONG), {})
        asynchronous = KyrCmds.KyrCmdsAsync.staticGetClient(factory, server_endpoint + "/svc", reply_time(LONG), {})
        qel = factory.getQel(server_endpoint)
        for client, forward in ((sync, lambda reply: reply), (asynchronous, lambda reply: reply.get())):
            got = every_command(client, client is asynchronous, qel)
            assert got == {
                "Abort": ("QelException", "the abort failed"),
                "Execute": ("result", "Execute(m\u00fc, p=1)"),
                "GetConfig": ("result", "GetConfig(GetConfig \u20ac)"),
                "GetDiagnostics": ("ClosedException", "the device is closed"),
                "GetSetup": ("result", "GetSetup(GetSetup \u20ac)"),
                "Ping": ("result", "pong"),
                "ReadPars": ("result", "ReadPars(ReadPars \u20ac)"),
                "Recover": ("ExceptionErr", "bad", 3),
                "Scan": ("TimeoutException", "the scan timed out"),
                "SetConfig": ("result", "SetConfig(SetConfig \u20ac)"),
                "Setup": ("result", "Setup(Setup \u20ac)"),
                "Start": ("result", "Start(go, 2)"),
                "WritePars": ("result", "WritePars(WritePars \u20ac)"),
            }
            assert forward(client.Ping()) == f"pong {service.pid}"
        out, _ = service.communicate("", timeout=LONG)
        assert (service.returncode, out.strip()) == (0, "closed")
    finally:
        service.kill()
        service.wait()


def test_native_client_calls_the_python_service(factory, server_endpoint):
    program = native_program("call_kyrcmds")

    class Service:
        def Ping(self):
            return "pong"

        def GetConfig(self, text):
            return f"config {text}"

        def Recover(self):
            raise Kyrif.ExceptionErr("bad", 3)

    server = factory.createServer(server_endpoint, pyqelcpp.RrQoSList(), {})
    KyrCmds.KyrCmdsSyncService.registerService(server, "svc", Service())
    run = subprocess.run([program, server_endpoint + "/svc", "3"], capture_output=True, text=True, timeout=LONG)
    server.close()
    assert run.returncode == 0, run.stderr
    lines = run.stdout.splitlines()
    assert lines[:5] == ["pong", "pong", "pong", "config native", "ExceptionErr bad 3"]
    assert lines[5].startswith("calls/s ")
