"""The middleware's Python module: its classes, conversions and errors, and how
the middleware's threads end with the interpreter."""
import datetime
import os
import subprocess
import sys
import textwrap
from pathlib import Path

import pytest

import pyqelcpp


# --- names, holders and exception classes ------------------------------------

def test_exception_hierarchy():
    assert issubclass(pyqelcpp.QelException, Exception)
    assert issubclass(pyqelcpp.TimeoutException, pyqelcpp.QelException)
    assert issubclass(pyqelcpp.ClosedException, pyqelcpp.QelException)
    assert not issubclass(pyqelcpp.TimeoutException, pyqelcpp.ClosedException)


@pytest.mark.parametrize("name", [
    "WexFactory", "Qel", "Server", "Subscription", "DataAccessSync", "ListenerRegistration",
    "QelPythonExceptionObjectPtr", "ClientRrEntityBaseDelegate", "FutureBaseDelegate",
    "StringFuture", "VoidFuture", "PsQoS", "RrQoS",
])
def test_native_handles_cannot_be_made_from_python(name):
    with pytest.raises(TypeError):
        getattr(pyqelcpp, name)()


def test_future_wrappers_share_the_base_class():
    assert issubclass(pyqelcpp.StringFuture, pyqelcpp.FutureBaseDelegate)
    assert issubclass(pyqelcpp.VoidFuture, pyqelcpp.FutureBaseDelegate)
    for method in ("valid", "wait", "wait_for"):
        assert hasattr(pyqelcpp.FutureBaseDelegate, method)
    assert hasattr(pyqelcpp.StringFuture, "get") and hasattr(pyqelcpp.VoidFuture, "get")


def test_factory_is_one_process_wide_object():
    assert pyqelcpp.WexFactory.getInstance() is pyqelcpp.WexFactory.getInstance()


# --- URIs ---------------------------------------------------------------------

def test_uri_parts_and_text():
    uri = pyqelcpp.Uri("inproc:///demo/Method")
    assert str(uri) == "inproc:///demo/Method"
    assert repr(uri) == "Uri('inproc:///demo/Method')"
    assert uri.scheme() == "inproc"
    assert uri.path() == "/demo/Method"
    assert uri == pyqelcpp.Uri("inproc:///demo/Method")
    assert len({uri, pyqelcpp.Uri("inproc:///demo/Method")}) == 1


@pytest.mark.parametrize("text", ["", "not a uri", "/relative/path", "in proc:///x"])
def test_invalid_uri_text_raises_value_error(text):
    with pytest.raises(ValueError):
        pyqelcpp.Uri(text)


def test_uri_refuses_non_text():
    with pytest.raises(TypeError):
        pyqelcpp.Uri(5)


# --- quality of service ---------------------------------------------------------

def test_qos_lists_are_their_own_classes(rr_qos, ps_qos):
    assert not isinstance(ps_qos, list) and not isinstance(rr_qos, list)
    ps_qos.append(pyqelcpp.QueueDepth(3))
    rr_qos.append(pyqelcpp.ReplyTime(datetime.timedelta(seconds=2)))
    assert len(ps_qos) == 1 and ps_qos[0].getDepth() == 3
    assert rr_qos[0].getTime() == datetime.timedelta(seconds=2)
    assert len(pyqelcpp.PsQoSList([pyqelcpp.QueueDepth(1), pyqelcpp.QueueDepth(2)])) == 2


def test_qos_lists_take_only_their_own_settings(rr_qos, ps_qos):
    with pytest.raises(TypeError):
        ps_qos.append(pyqelcpp.ReplyTime(1.0))
    with pytest.raises(TypeError):
        rr_qos.append(pyqelcpp.QueueDepth(1))
    with pytest.raises(TypeError):
        ps_qos.append(3)
    assert len(ps_qos) == 0 and len(rr_qos) == 0


def test_python_list_is_not_a_qos_list(factory, endpoint):
    with pytest.raises(TypeError):
        factory.createServer(endpoint, [], {})


def test_reply_time_takes_timedelta_or_float_seconds():
    assert pyqelcpp.ReplyTime(1.5).getTime() == datetime.timedelta(milliseconds=1500)
    assert pyqelcpp.ReplyTime(0.0019).getTime() == datetime.timedelta(milliseconds=1)
    assert pyqelcpp.ReplyTime(datetime.timedelta(microseconds=2999)).getTime() == \
        datetime.timedelta(milliseconds=2)
    with pytest.raises(TypeError):
        pyqelcpp.ReplyTime(2)
    with pytest.raises(TypeError):
        pyqelcpp.ReplyTime(float("nan"))


def test_queue_depth_refuses_negative_counts():
    with pytest.raises(TypeError):
        pyqelcpp.QueueDepth(-1)


# --- enumerations ----------------------------------------------------------------

def test_future_status_compares_with_int():
    status = pyqelcpp.FutureStatus
    assert (int(status.ready), int(status.timeout), int(status.deferred)) == (0, 1, 2)
    assert status.ready == 0 and 0 == status.ready
    assert status.timeout != 0 and not (status.timeout == 0)
    assert status.timeout == status.timeout and status.timeout != status.ready
    assert {0: "x"}[status.ready] == "x"
    assert status.deferred in {2}
    assert status.ready != "ready" and status.ready is not None
    assert (status.ready == 2 ** 70) is False


def test_instance_state_and_event_values_are_hashable():
    state, event = pyqelcpp.InstanceState, pyqelcpp.InstanceEvent
    assert [int(state.ALIVE), int(state.NOT_ALIVE), int(state.ANY)] == [0, 1, 2]
    assert [int(event.CREATED), int(event.UPDATED), int(event.REMOVED)] == [0, 1, 2]
    assert len({event.CREATED, event.UPDATED, event.CREATED}) == 2
    assert state.ALIVE in {state.ALIVE, state.ANY}


# --- factory, middleware, servers ------------------------------------------------

@pytest.mark.parametrize("endpoint_text", ["nosuch:///x", "not a uri", ""])
def test_get_qel_refuses_endpoints_without_middleware(factory, endpoint_text):
    with pytest.raises(pyqelcpp.QelException):
        factory.getQel(endpoint_text)


def test_default_properties(factory, endpoint):
    qel = factory.getQel(endpoint)
    assert qel is not None and not qel.isShutDown()
    properties = qel.getDefaultProperties()
    assert isinstance(properties, dict)
    assert all(isinstance(k, str) and isinstance(v, str) for k, v in properties.items())
    properties["changed"] = "here"
    assert "changed" not in qel.getDefaultProperties()
    assert factory.getQel(pyqelcpp.Uri(endpoint)).getDefaultProperties() == qel.getDefaultProperties()


def test_server_endpoint_and_close(factory, endpoint, rr_qos):
    server = factory.createServer(pyqelcpp.Uri(endpoint), rr_qos, {})
    assert server.getEndpoint() == endpoint
    with pytest.raises(pyqelcpp.QelException):
        server.unregisterService("nothing registered")
    server.close()
    server.close()


def test_server_refuses_bad_properties(factory, endpoint, rr_qos):
    with pytest.raises(TypeError):
        factory.createServer(endpoint, rr_qos, {"key": 1})


# --- data access -----------------------------------------------------------------

def test_sample_info_starts_empty_and_is_read_only():
    info = pyqelcpp.SampleInfo()
    assert (info.valid, info.sourceTimestamp, info.sequence) == (False, 0.0, 0)
    with pytest.raises(AttributeError):
        info.valid = True


def test_data_access_round_trip(factory, endpoint, rr_qos, Kyrif):
    writer = factory.getDataAccess(endpoint, rr_qos, {})
    assert isinstance(writer.ref(), pyqelcpp.DataAccessSync)

    reader = factory.getDataAccess(pyqelcpp.Uri(endpoint), rr_qos, {})
    empty = Kyrif.Method.staticCreateDataEntityDa(reader)
    info = pyqelcpp.SampleInfo()
    empty._internalReadDa(reader, info)
    assert not info.valid and empty.getName() == ""

    sample = Kyrif.Method.staticCreateDataEntityDa(writer)
    sample.setName("scan")
    sample.setParameters("p")
    sample._internalWriteDa(writer)
    sample.setName("changed after writing")

    got = Kyrif.Method.staticCreateDataEntityDa(reader)
    got._internalReadDa(reader, info)
    assert (got.getName(), got.getParameters()) == ("scan", "p")
    assert info.valid and info.sequence == 1 and info.sourceTimestamp > 0


def test_data_access_reference_keeps_its_client_alive(factory, endpoint, rr_qos, Kyrif):
    ref = factory.getDataAccess(endpoint, rr_qos, {}).ref()

    class Holder:
        def ref(self):
            return ref

    sample = Kyrif.StartProperties.staticCreateDataEntityDa(Holder())
    sample.setInfo("kept")
    sample._internalWriteDa(Holder())
    info = pyqelcpp.SampleInfo()
    sample.setInfo("")
    sample._internalReadDa(Holder(), info)
    assert sample.getInfo() == "kept" and info.valid


def test_closed_data_access_refuses_use(factory, endpoint, rr_qos, Kyrif):
    client = factory.getDataAccess(endpoint, rr_qos, {})
    sample = Kyrif.Method.staticCreateDataEntityDa(client)
    client.close()
    with pytest.raises(pyqelcpp.QelException):
        sample._internalWriteDa(client)


# --- future wrappers ---------------------------------------------------------------

class _SlowService:
    """Answers Ping only once release() was called; GetConfig fails."""

    def __init__(self):
        import concurrent.futures
        self.pending = concurrent.futures.Future()

    def Ping(self):
        return self.pending

    def GetConfig(self, text):
        import concurrent.futures
        done = concurrent.futures.Future()
        done.set_exception(ValueError("bad config " + text))
        return done


@pytest.fixture
def async_client(factory, endpoint, rr_qos, Kyrif):
    server = factory.createServer(endpoint, rr_qos, {})
    service = _SlowService()
    Kyrif.KyrCmds.KyrCmdsAsyncService.registerService(server, "svc", service)
    qos = pyqelcpp.RrQoSList([pyqelcpp.ReplyTime(5.0)])
    client = Kyrif.KyrCmds.KyrCmdsAsync.staticGetClient(factory, endpoint + "/svc", qos, {})
    yield client, service
    service.pending.cancel()
    server.close()


def test_string_future_waits_and_gets(async_client):
    client, service = async_client
    future = client.Ping()
    assert isinstance(future, pyqelcpp.StringFuture)
    assert future.valid()
    assert future.wait_for(0.0) == pyqelcpp.FutureStatus.timeout
    assert future.wait_for(datetime.timedelta(milliseconds=-5)) == 1
    service.pending.set_result("pong")
    future.wait()
    assert future.wait_for(0.0) == pyqelcpp.FutureStatus.ready
    assert future.get() == "pong"
    with pytest.raises(TypeError):
        future.wait_for(1)


def test_string_future_raises_the_stored_error(async_client):
    client, _ = async_client
    future = client.GetConfig("x")
    assert future.wait_for(5.0) == 0
    with pytest.raises(pyqelcpp.QelException, match="bad config x"):
        future.get()


def test_void_future_of_a_connect(async_client):
    client, _ = async_client
    connected = client.asyncConnect()
    assert isinstance(connected, pyqelcpp.VoidFuture)
    assert connected.get() is None


def test_other_threads_run_while_a_future_waits(async_client):
    import threading
    client, service = async_client
    future = client.Ping()
    releaser = threading.Timer(0.2, service.pending.set_result, args=("late",))
    releaser.start()
    assert future.get() == "late"
    releaser.join()


# --- interpreter exit ----------------------------------------------------------------

_BUILD = Path(pyqelcpp.__file__).resolve().parent


def _run(program):
    return subprocess.run(
        [sys.executable, "-c", textwrap.dedent(program)],
        env=dict(os.environ, PYTHONPATH=str(_BUILD)), capture_output=True, text=True, timeout=60)


def test_exit_with_live_entities_and_a_blocked_daemon_thread():
    result = _run("""
        import concurrent.futures, threading
        import pyqelcpp, ModKyrif
        K = ModKyrif.Kyrif
        factory = pyqelcpp.WexFactory.getInstance()
        server = factory.createServer("inproc:///exit/srv", pyqelcpp.RrQoSList(), {})
        never = concurrent.futures.Future()
        class Service:
            def Ping(self):
                return never
        K.KyrCmds.KyrCmdsAsyncService.registerService(server, "svc", Service())
        qos = pyqelcpp.RrQoSList([pyqelcpp.ReplyTime(600.0)])
        client = K.KyrCmds.KyrCmdsAsync.staticGetClient(factory, "inproc:///exit/srv/svc", qos, {})
        pending = client.Ping()
        started = threading.Event()
        def waiter():
            started.set()
            pending.wait()
        threading.Thread(target=waiter, daemon=True).start()
        started.wait()
        print("exiting", flush=True)
    """)
    assert result.returncode == 0, result.stderr
    assert result.stdout.strip() == "exiting"
    assert "terminate" not in result.stderr


def test_calls_after_interpreter_exit_shutdown_fail_cleanly():
    # The middleware is shut down by pyqelcpp's atexit handler; a handler that runs
    # after it and still uses the middleware gets ClosedException, not a hang.
    result = _run("""
        import atexit
        def late():
            import pyqelcpp
            try:
                pyqelcpp.WexFactory.getInstance().createServer(
                    "inproc:///late/srv", pyqelcpp.RrQoSList(), {})
                print("created")
            except pyqelcpp.ClosedException:
                print("closed")
        atexit.register(late)  # handlers run last in, first out: after pyqelcpp's
        import pyqelcpp
    """)
    assert result.returncode == 0, result.stderr
    assert result.stdout.strip() == "closed"
