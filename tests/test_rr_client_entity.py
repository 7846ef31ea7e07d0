"""Entity operations of the KyrCmds clients, the interpreter lock around their
waits, reply-time limits and the arguments of registerService."""
import datetime
import threading
import time

import pytest

import pyqelcpp
import ModKyrif

KyrCmds = ModKyrif.Kyrif.KyrCmds
CLIENTS = [KyrCmds.KyrCmdsSync, KyrCmds.KyrCmdsAsync]


class Pong:
    def Ping(self):
        return "pong"


def reply_time(seconds):
    qos = pyqelcpp.RrQoSList()
    qos.append(pyqelcpp.ReplyTime(datetime.timedelta(seconds=seconds)))
    return qos


def test_sync_command_lets_other_python_threads_run(factory, endpoint):
    server = factory.createServer(endpoint, pyqelcpp.RrQoSList(), {})
    release = threading.Event()

    class Waits:
        def Ping(self):
            release.wait(10)
            return "released"

    KyrCmds.KyrCmdsSyncService.registerService(server, "svc", Waits())
    client = KyrCmds.KyrCmdsSync.staticGetClient(factory, endpoint + "/svc", reply_time(10), {})
    replies = []
    caller = threading.Thread(target=lambda: replies.append(client.Ping()))
    caller.start()
    time.sleep(0.2)  # the caller is now waiting for its reply
    release.set()
    caller.join(10)
    assert replies == ["released"]
    server.close()


@pytest.mark.parametrize("module", CLIENTS)
def test_reply_time_limits_a_command(factory, endpoint, module):
    server = factory.createServer(endpoint, pyqelcpp.RrQoSList(), {})

    class Slow:
        def Ping(self):
            time.sleep(0.5)
            return "late"

    KyrCmds.KyrCmdsSyncService.registerService(server, "svc", Slow())
    client = module.staticGetClient(factory, endpoint + "/svc", reply_time(0.1), {})
    with pytest.raises(pyqelcpp.TimeoutException):
        reply = client.Ping()
        if module is KyrCmds.KyrCmdsAsync:
            reply.get()
    server.close()


@pytest.mark.parametrize("module", CLIENTS)
def test_async_connect(factory, endpoint, module):
    server = factory.createServer(endpoint, pyqelcpp.RrQoSList(), {})
    KyrCmds.KyrCmdsSyncService.registerService(server, "svc", Pong())
    client = module.staticGetClient(factory, endpoint + "/svc", reply_time(5), {})
    connected = client.asyncConnect()
    assert isinstance(connected, pyqelcpp.VoidFuture)
    assert connected.get() is None
    lonely = module.staticGetClient(factory, endpoint + "/nobody", reply_time(0.1), {})
    with pytest.raises(pyqelcpp.TimeoutException):
        lonely.asyncConnect().get()
    # A client dropped while it connects fails its connect instead of leaving it pending.
    dropped = module.staticGetClient(factory, endpoint + "/nobody", reply_time(5), {}).asyncConnect()
    with pytest.raises(pyqelcpp.ClosedException):
        dropped.get()
    server.close()


@pytest.mark.parametrize("module", CLIENTS)
def test_connection_listener_lasts_as_long_as_its_handle(factory, endpoint, rr_qos, module):
    client = module.staticGetClient(factory, endpoint + "/svc", rr_qos, {})
    heard = []
    changed = threading.Condition()

    def listener(up):
        with changed:
            heard.append(up)
            changed.notify_all()

    def wait_for(count):
        with changed:
            assert changed.wait_for(lambda: len(heard) >= count, 10), heard

    registration = client.registerConnectionListener(listener)
    assert isinstance(registration, pyqelcpp.ListenerRegistration) and registration.active()
    server = factory.createServer(endpoint, rr_qos, {})
    KyrCmds.KyrCmdsSyncService.registerService(server, "svc", Pong())
    wait_for(1)
    server.unregisterService("svc")
    wait_for(2)
    assert heard[:2] == [True, False]

    del registration  # unregisters: later changes are not heard
    KyrCmds.KyrCmdsSyncService.registerService(server, "svc", Pong())
    assert client.asyncConnect().get() is None
    time.sleep(0.1)
    assert heard == [True, False]
    server.close()


def test_closed_client_refuses_commands(factory, endpoint, rr_qos):
    server = factory.createServer(endpoint, rr_qos, {})
    KyrCmds.KyrCmdsSyncService.registerService(server, "svc", Pong())
    client = KyrCmds.KyrCmdsSync.staticGetClient(factory, endpoint + "/svc", rr_qos, {})
    assert client.Ping() == "pong"
    client.close()
    with pytest.raises(pyqelcpp.QelException):
        client.Ping()
    server.close()


def test_register_service_arguments(factory, endpoint, rr_qos):
    server = factory.createServer(endpoint, rr_qos, {})
    for module in (KyrCmds.KyrCmdsSyncService, KyrCmds.KyrCmdsAsyncService):
        with pytest.raises(RuntimeError) as info:
            module.registerService(None, "svc", Pong())
        assert type(info.value) is RuntimeError and str(info.value) == ""
        with pytest.raises(TypeError, match="incompatible function arguments"):
            module.registerService("not a server", "svc", Pong())
    # Nothing was registered by the refused calls; one object may serve twice.
    shared = Pong()
    KyrCmds.KyrCmdsSyncService.registerService(server, "svc", shared)
    KyrCmds.KyrCmdsSyncService.registerService(server, "again", shared)
    with pytest.raises(pyqelcpp.QelException):
        KyrCmds.KyrCmdsSyncService.registerService(server, "svc", shared)
    for name in ("svc", "again"):
        assert KyrCmds.KyrCmdsSync.staticGetClient(factory, f"{endpoint}/{name}", rr_qos, {}).Ping() == "pong"
    server.close()


@pytest.mark.parametrize("service_module", [KyrCmds.KyrCmdsSyncService, KyrCmds.KyrCmdsAsyncService])
def test_service_object_is_released_when_the_server_lets_go(factory, endpoint, rr_qos, service_module):
    # The server drops its implementations with the interpreter lock released;
    # each must take the lock to release its Python object.
    import gc
    import weakref

    server = factory.createServer(endpoint, rr_qos, {})
    first, second = Pong(), Pong()
    released = [weakref.ref(first), weakref.ref(second)]
    service_module.registerService(server, "first", first)
    service_module.registerService(server, "second", second)
    del first, second
    gc.collect()
    assert all(ref() is not None for ref in released)
    server.unregisterService("first")
    server.close()
    gc.collect()
    assert [ref() for ref in released] == [None, None]
