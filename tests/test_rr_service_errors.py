"""Python services that fail, and Python futures that complete late, fail, are
cancelled, dropped or completed twice, seen from a Python client."""
import concurrent.futures
import gc
import threading

import pytest

import pyqelcpp
import ModKyrif

Kyrif = ModKyrif.Kyrif
KyrCmds = Kyrif.KyrCmds


@pytest.fixture
def serve(factory, endpoint, rr_qos):
    """serve(obj, asynchronous) registers obj and returns (sync client, async client)."""
    server = factory.createServer(endpoint, rr_qos, {})
    names = iter(range(100))

    def register(obj, asynchronous=False):
        name = f"svc{next(names)}"
        service_module = KyrCmds.KyrCmdsAsyncService if asynchronous else KyrCmds.KyrCmdsSyncService
        service_module.registerService(server, name, obj)
        return (KyrCmds.KyrCmdsSync.staticGetClient(factory, f"{endpoint}/{name}", rr_qos, {}),
                KyrCmds.KyrCmdsAsync.staticGetClient(factory, f"{endpoint}/{name}", rr_qos, {}))

    yield register
    server.close()


class Failing:
    def Ping(self):
        return None

    def Scan(self):
        return 17

    def Abort(self):
        raise KeyError("missing")

    def Recover(self):
        raise Kyrif.ExceptionErr("bad", 3)


def test_sync_service_failures(serve):
    sync, asynchronous = serve(Failing())
    for client_call in (lambda name: getattr(sync, name)(), lambda name: getattr(asynchronous, name)().get()):
        for command in ("Ping", "Scan"):
            with pytest.raises(pyqelcpp.QelException) as info:
                client_call(command)
            assert str(info.value).startswith("Unable to cast Python instance of type ")
        with pytest.raises(pyqelcpp.QelException, match="^KeyError: 'missing'") as info:
            client_call("Abort")
        assert type(info.value) is pyqelcpp.QelException
        with pytest.raises(pyqelcpp.QelException, match="^AttributeError"):
            client_call("GetDiagnostics")
        with pytest.raises(Kyrif.ExceptionErr) as info:
            client_call("Recover")
        assert (info.value.getDesc(), info.value.getCode()) == ("bad", 3)


class Futures:
    """An asynchronous service whose futures the test completes."""

    def __init__(self):
        self.pending = concurrent.futures.Future()

    def Ping(self):
        return self.pending

    def Scan(self):
        return "not a future"

    def Abort(self):
        raise Kyrif.ExceptionErr("early", 4)

    def Recover(self):
        future = concurrent.futures.Future()
        future.set_exception(Kyrif.ExceptionErr("late", 5))
        return future

    def GetConfig(self, text):
        future = concurrent.futures.Future()
        future.set_result(None if text == "none" else text.encode())
        return future


def test_async_service_failures(serve):
    sync, asynchronous = serve(Futures(), asynchronous=True)
    with pytest.raises(pyqelcpp.QelException, match="^AttributeError: 'str' object has no attribute 'add_done_callback'"):
        sync.Scan()
    with pytest.raises(Kyrif.ExceptionErr):
        sync.Abort()
    # An ExceptionErr carried by the Python future is a Python error, not the interface's.
    with pytest.raises(pyqelcpp.QelException, match="ExceptionErr") as info:
        asynchronous.Recover().get()
    assert type(info.value) is pyqelcpp.QelException
    assert sync.GetConfig("bytes") == "bytes"
    with pytest.raises(pyqelcpp.QelException, match="^Unable to cast"):
        sync.GetConfig("none")


@pytest.mark.parametrize("outcome", ["result", "exception", "cancel", "drop"])
def test_future_completed_later_from_another_thread(serve, outcome):
    service = Futures()
    _, client = serve(service, asynchronous=True)
    reply = client.Ping()
    assert reply.wait_for(0.0) == pyqelcpp.FutureStatus.timeout
    assert reply.wait_for(-1.0) == pyqelcpp.FutureStatus.timeout

    def complete():
        if outcome == "result":
            service.pending.set_result("late")
        elif outcome == "exception":
            service.pending.set_exception(ValueError("no"))
        elif outcome == "cancel":
            service.pending.cancel()
        else:
            service.pending = None
            gc.collect()

    threading.Timer(0.1, complete).start()
    assert reply.wait_for(10.0) == pyqelcpp.FutureStatus.ready
    assert reply.wait_for(0.0) == 0
    if outcome == "result":
        assert reply.get() == "late"
        return
    with pytest.raises(pyqelcpp.QelException) as info:
        reply.get()
    assert not isinstance(info.value, pyqelcpp.TimeoutException)
    expected = {"exception": "^ValueError: no", "cancel": "CancelledError", "drop": "promise"}[outcome]
    assert info.match(expected)


class CallsTwice:
    """A Python future that runs its done-callback twice, with two outcomes."""

    def __init__(self):
        self.outcomes = iter(["first", "second"])
        self.second_call = None

    def add_done_callback(self, callback):
        callback(self)
        try:
            callback(self)
        except Exception as error:  # noqa: BLE001 - the test inspects it
            self.second_call = error

    def result(self):
        return next(self.outcomes)


def test_second_outcome_is_refused_and_the_first_stays(serve):
    future = CallsTwice()

    class Service:
        def Ping(self):
            return future

    sync, _ = serve(Service(), asynchronous=True)
    assert sync.Ping() == "first"
    assert isinstance(future.second_call, RuntimeError)
