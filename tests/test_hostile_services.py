"""Python services and Python futures that misbehave: every such request fails with a
Python exception at the client, within its reply time, and the server goes on
serving the next request."""
import concurrent.futures
import threading
import time

import pytest

import pyqelcpp
import ModKyrif

KyrCmds = ModKyrif.Kyrif.KyrCmds
REPLY_TIME = 0.5


class Outcome:
    """A future-like object whose behaviour is given by two functions."""

    def __init__(self, add, result):
        self._add, self._result = add, result

    def add_done_callback(self, callback):
        self._add(self, callback)

    def result(self):
        return self._result()


def raising(error):
    def fail(*args):
        raise error

    return fail


def later_on_a_thread(calls):
    def add(future, callback):
        def run():
            time.sleep(0.01)
            for _ in range(calls):
                try:
                    callback(future)
                except RuntimeError:
                    pass  # a second outcome is refused

        threading.Thread(target=run).start()

    return add


CALL_NOW = lambda future, callback: callback(future)  # noqa: E731
CALL_TWICE = lambda future, callback: (callback(future), callback(future))  # noqa: E731
NEVER = lambda future, callback: None  # noqa: E731

ASYNC_FUTURES = {
    "called_twice_at_once": Outcome(CALL_TWICE, lambda: "x"),
    "never_completed": Outcome(NEVER, lambda: "x"),
    "result_raises_KeyboardInterrupt": Outcome(CALL_NOW, raising(KeyboardInterrupt())),
    "result_raises_SystemExit": Outcome(CALL_NOW, raising(SystemExit(3))),
    "result_raises_ExceptionErr": Outcome(CALL_NOW, raising(ModKyrif.Kyrif.ExceptionErr("bad", 5))),
    "result_is_not_a_text": Outcome(CALL_NOW, lambda: 42),
    "result_is_invalid_UTF-8": Outcome(CALL_NOW, lambda: b"\xff"),
    "add_done_callback_raises": Outcome(raising(ValueError("no")), lambda: "x"),
    "callback_called_without_the_future": Outcome(lambda future, callback: callback(), lambda: "x"),
    "a_cancelled_future": None,  # built per call below
    "not_a_future": "plain text",
}

SYNC_RESULTS = {
    "raises_KeyboardInterrupt": raising(KeyboardInterrupt()),
    "raises_SystemExit": raising(SystemExit(2)),
    "raises_GeneratorExit": raising(GeneratorExit()),
    "returns_None": lambda *args: None,
    "returns_an_object_whose_str_raises": lambda *args: type("S", (), {"__str__": raising(ValueError())})(),
    "returns_invalid_UTF-8": lambda *args: b"\xfe",
    "is_not_callable": 5,
}


class Service:
    """Answers Ping normally and every other command with the behaviour under test."""

    def __init__(self, behaviour, asynchronous):
        self.behaviour, self.asynchronous = behaviour, asynchronous

    def Ping(self):
        if self.asynchronous:
            future = concurrent.futures.Future()
            future.set_result("pong")
            return future
        return "pong"

    def __getattr__(self, command):
        if self.asynchronous:
            if self.behaviour is None:
                def cancelled(*args):
                    future = concurrent.futures.Future()
                    future.cancel()
                    return future

                return cancelled
            return lambda *args: self.behaviour
        return self.behaviour


@pytest.fixture
def serve(factory, endpoint):
    servers = []

    def start(behaviour, asynchronous):
        server = factory.createServer(endpoint, pyqelcpp.RrQoSList(), {})
        servers.append(server)
        form = KyrCmds.KyrCmdsAsyncService if asynchronous else KyrCmds.KyrCmdsSyncService
        form.registerService(server, "svc", Service(behaviour, asynchronous))
        qos = pyqelcpp.RrQoSList()
        qos.append(pyqelcpp.ReplyTime(REPLY_TIME))
        return (KyrCmds.KyrCmdsSync.staticGetClient(factory, endpoint + "/svc", qos, {}),
                KyrCmds.KyrCmdsAsync.staticGetClient(factory, endpoint + "/svc", qos, {}))

    yield start
    for server in servers:
        server.close()


def check_failures_and_recovery(sync, asynchronous):
    for call in (lambda: sync.Scan(), lambda: sync.GetConfig("a"), lambda: asynchronous.Scan().get(),
                 lambda: asynchronous.Setup("b").get()):
        started = time.monotonic()
        # A reply that is not UTF-8 reaches the client and fails to decode there.
        with pytest.raises((pyqelcpp.QelException, UnicodeDecodeError)):
            call()
        assert time.monotonic() - started < REPLY_TIME + 5.0
    assert sync.Ping() == "pong"
    assert asynchronous.Ping().get() == "pong"


@pytest.mark.parametrize("name", list(ASYNC_FUTURES))
def test_misbehaving_python_futures(serve, name):
    check_failures_and_recovery(*serve(ASYNC_FUTURES[name], asynchronous=True))


@pytest.mark.parametrize("name", list(SYNC_RESULTS))
def test_misbehaving_sync_services(serve, name):
    check_failures_and_recovery(*serve(SYNC_RESULTS[name], asynchronous=False))


def test_futures_completed_late_and_twice_from_other_threads(serve):
    # The outcome arrives after the client has given up, then a second time.
    sync, asynchronous = serve(Outcome(later_on_a_thread(2), lambda: time.sleep(REPLY_TIME + 0.2) or "x"),
                               asynchronous=True)
    with pytest.raises(pyqelcpp.TimeoutException):
        sync.Scan()
    time.sleep(0.3)
    assert sync.Ping() == "pong"
