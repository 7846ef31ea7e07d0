"""KyrCmds clients against Python services: every command in every pairing of
client form and service form, and the surface of the client submodules."""
import concurrent.futures
import datetime

import pytest

import pyqelcpp
import ModKyrif

Kyrif = ModKyrif.Kyrif
KyrCmds = Kyrif.KyrCmds
NO_ARGUMENT = ["Abort", "GetDiagnostics", "Ping", "Recover", "Scan"]
TEXT_ARGUMENT = ["GetConfig", "GetSetup", "ReadPars", "SetConfig", "Setup", "WritePars"]


class Echo:
    """Answers each command with its name and what it received."""

    def __getattr__(self, command):
        def answer(*args):
            if command == "Execute":
                (argument,) = args
                args = (argument.getName(), argument.getParameters())
            elif command == "Start":
                (argument,) = args
                args = (argument.getInfo(), int(argument.getTrigger()))
            return self.reply(f"{command}{args!r}")

        return answer

    def reply(self, text):
        return text


class AsyncEcho(Echo):
    def reply(self, text):
        future = concurrent.futures.Future()
        future.set_result(text)
        return future


def samples(factory, endpoint):
    qel = factory.getQel(endpoint)
    method = Kyrif.Method.staticCreateDataEntity(qel)
    method.setName("m\u00fc")
    method.setParameters("p=1")
    start = Kyrif.StartProperties.staticCreateDataEntity(qel)
    start.setInfo("go")
    start.setTrigger(Kyrif.Custom)
    return method, start


@pytest.mark.parametrize("client_form", ["KyrCmdsSync", "KyrCmdsAsync"])
@pytest.mark.parametrize("service_form", ["KyrCmdsSyncService", "KyrCmdsAsyncService"])
def test_every_command_round_trips(factory, endpoint, rr_qos, client_form, service_form):
    server = factory.createServer(endpoint, rr_qos, {})
    service = AsyncEcho() if "Async" in service_form else Echo()
    getattr(KyrCmds, service_form).registerService(server, "svc", service)
    client = getattr(KyrCmds, client_form).staticGetClient(factory, endpoint + "/svc", rr_qos, {})
    assert type(client) is getattr(getattr(KyrCmds, client_form), client_form)

    def call(command, *args):
        reply = getattr(client, command)(*args)
        if client_form == "KyrCmdsAsync":
            assert isinstance(reply, pyqelcpp.StringFuture)
            reply = reply.get()
        return reply

    method, start = samples(factory, endpoint)
    try:
        for command in NO_ARGUMENT:
            assert call(command) == f"{command}()"
        for command in TEXT_ARGUMENT:
            assert call(command, f"{command} \u20ac") == f"{command}({command + ' €'!r},)"
        assert call("Execute", method) == "Execute('m\u00fc', 'p=1')"
        assert call("Start", start) == "Start('go', 2)"
    finally:
        server.close()


def test_uri_and_text_endpoints_reach_the_same_service(factory, endpoint, rr_qos):
    server = factory.createServer(endpoint, rr_qos, {})
    KyrCmds.KyrCmdsSyncService.registerService(server, "svc", Echo())
    by_uri = KyrCmds.KyrCmdsSync.staticGetClient(factory, pyqelcpp.Uri(endpoint + "/svc"), rr_qos, {"a": "b"})
    by_text = KyrCmds.KyrCmdsAsync.staticGetClient(factory, endpoint + "/svc", rr_qos, {})
    assert by_uri.Ping() == by_text.Ping().get() == "Ping()"
    server.close()


def test_arguments_of_the_wrong_class_are_refused(factory, endpoint, rr_qos):
    for module in (KyrCmds.KyrCmdsSync, KyrCmds.KyrCmdsAsync):
        with pytest.raises(TypeError, match="incompatible function arguments"):
            module.staticGetClient(factory, None, rr_qos, {})
        with pytest.raises(TypeError, match="incompatible function arguments"):
            module.staticGetClient(factory, endpoint, [], {})
    with pytest.raises(TypeError, match="No constructor defined"):
        KyrCmds.KyrCmdsSync.KyrCmdsSync()


def test_signature_texts_and_doc_strings():
    doc = KyrCmds.KyrCmdsSync.staticGetClient.__doc__
    assert "1. staticGetClient(arg0: pyqelcpp.WexFactory, arg1: pyqelcpp.Uri, arg2: pyqelcpp.RrQoSList, " \
           "arg3: Dict[str, str]) -> pyqelcpp.ClientRrEntityBaseDelegate" in doc
    assert "2. staticGetClient(arg0: pyqelcpp.WexFactory, arg1: str," in doc
    assert doc.count("Return new instance of Client Rr Entity delegate") == 2

    sync, asynchronous = KyrCmds.KyrCmdsSync.KyrCmdsSync, KyrCmds.KyrCmdsAsync.KyrCmdsAsync
    prefix = "self: ModKyrif.Kyrif.KyrCmds.KyrCmdsSync.KyrCmdsSync"
    assert sync.Ping.__doc__ == f"Ping({prefix}) -> str\n\nPing\n"
    assert sync.GetConfig.__doc__.startswith(f"GetConfig({prefix}, arg0: str) -> str")
    assert sync.Execute.__doc__.startswith(f"Execute({prefix}, arg0: ModKyrif.Kyrif.Method) -> str")
    assert asynchronous.Start.__doc__.endswith("arg0: ModKyrif.Kyrif.StartProperties) -> pyqelcpp.StringFuture\n\nStart\n")
    assert sync.asyncConnect.__doc__.endswith(") -> pyqelcpp.VoidFuture\n\nExplicit connect request\n")
    assert sync.registerConnectionListener.__doc__.endswith(
        "arg0: Callable[[bool], None]) -> pyqelcpp.ListenerRegistration\n\nRegister connection listener\n")
    assert KyrCmds.KyrCmdsAsyncService.registerService.__doc__ == (
        "registerService(arg0: pyqelcpp.Server, arg1: str, arg2: object) -> None\n\n"
        "Internal registration of the service\n")
    commands = sorted(NO_ARGUMENT + TEXT_ARGUMENT + ["Execute", "Start"])
    for cls in (sync, asynchronous):
        names = [name for name in vars(cls) if not name.startswith("_")]
        assert names == ["asyncConnect", "close", "registerConnectionListener", "getQel",
                         "serviceDescription"] + commands


def test_service_description_needs_no_server(factory, endpoint, rr_qos):
    sync = KyrCmds.KyrCmdsSync.staticGetClient(factory, endpoint + "/nobody", rr_qos, {})
    asynchronous = KyrCmds.KyrCmdsAsync.staticGetClient(factory, endpoint + "/nobody", rr_qos, {})
    assert "KyrCmds" in sync.serviceDescription()
    assert "AsyncKyrCmds" in asynchronous.serviceDescription()
    assert sync.serviceDescription() != asynchronous.serviceDescription()
    assert isinstance(sync.getQel(), type(factory.getQel(endpoint)))
