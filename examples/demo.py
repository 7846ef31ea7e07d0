"""Demonstration of ModKyrif on the embedded middleware.

Prints the module tree, creates and fills one sample of each structure type,
publishes and receives samples (by callback and by read), and calls the thirteen
commands of KyrCmds, synchronously and with futures, against Python services.
"""
from __future__ import annotations

import concurrent.futures
import datetime
import sys
import threading
import types
from collections.abc import Callable
from typing import Union

import pyqelcpp
import ModKyrif

Kyrif = ModKyrif.Kyrif
KyrCmds = Kyrif.KyrCmds
Sample = Union[Kyrif.Method, Kyrif.StartProperties]


def heading(text: str) -> None:
    print()
    print(text)
    print("-" * len(text))


def show_tree(module: types.ModuleType, indent: int = 0) -> None:
    doc = module.__doc__ or ""
    print(f"{'  ' * indent}{module.__name__}" + (f"  ({doc})" if doc else ""))
    for name in sorted(dir(module)):
        value = getattr(module, name)
        if isinstance(value, type(module)) and value.__name__.startswith(module.__name__ + "."):
            show_tree(value, indent + 1)
        elif isinstance(value, type) and not name.startswith("_"):
            print(f"{'  ' * (indent + 1)}class {name}")


def describe(sample: Sample | None) -> str:
    if sample is None:
        return "no data"
    if isinstance(sample, Kyrif.Method):
        return f"Method(name={sample.getName()!r}, parameters={sample.getParameters()!r})"
    return (f"StartProperties(absTime={sample.getAbsTime()}, trigger={sample.getTrigger()}, "
            f"customTrigger={sample.getCustomTrigger()!r}, info={sample.getInfo()!r})")


def samples_demo(factory: pyqelcpp.WexFactory) -> None:
    heading("Samples created through the embedded middleware")
    qel = factory.getQel("inproc:///demo")
    method = Kyrif.Method.staticCreateDataEntity(qel)
    method.setName("calibrate")
    method.setParameters("exposure=2.5;gain=4")
    start = Kyrif.StartProperties.staticCreateDataEntity(qel)
    start.setAbsTime(1765000000.25)
    start.setTrigger(Kyrif.StartTriggerTypes.AbsTime)
    start.setCustomTrigger("none")
    start.setInfo("first light")
    print(describe(method))
    print(describe(start))
    print("clone:", describe(method.clone()), "| key only:", describe(method.cloneKey()))
    print("hasKey:", method.hasKey(), start.hasKey())


def pubsub_demo(factory: pyqelcpp.WexFactory) -> None:
    heading("Publish/subscribe: one topic per structure type")
    qos = pyqelcpp.PsQoSList()
    received: list[tuple[pyqelcpp.InstanceEvent, Kyrif.Method | None]] = []
    done = threading.Event()

    def on_method(subscriber: Kyrif.MethodSubscriber, event: Kyrif.MethodDataEvent) -> None:
        received.append((event.event, event.getData()))
        if len(received) == 3:
            done.set()

    endpoint = "inproc:///demo/Method"
    callback_sub = Kyrif.Method.staticGetSubscriber(factory, endpoint, qos, {})
    read_sub = Kyrif.Method.staticGetSubscriber(factory, pyqelcpp.Uri(endpoint), qos, {})
    everything = Kyrif.Method.staticGetDataEventFilter()
    subscription = Kyrif.Method.staticSubscribeAsync(callback_sub, everything, on_method)

    publisher = Kyrif.Method.staticGetPublisher(factory, endpoint, qos, {})
    for name, parameters in (("focus", "z=12"), ("expose", "t=30"), ("focus", "z=13")):
        sample = publisher.createDataEntity()
        sample.setName(name)
        sample.setParameters(parameters)
        publisher.publish(sample, datetime.timedelta(seconds=1))
    done.wait(5.0)
    for instance_event, data in received:
        print(f"callback on a middleware thread: {instance_event} {describe(data)}")
    for method in read_sub.read(0):
        print(f"read:                            {describe(method)}")
    subscription.close()

    sp_endpoint = "inproc:///demo/StartProperties"
    sp_sub = Kyrif.StartProperties.staticGetSubscriber(factory, sp_endpoint, qos, {})
    mrv = Kyrif.StartProperties.staticGetMrvSubscriber(factory, sp_endpoint, qos, {})
    sp_pub = Kyrif.StartProperties.staticGetPublisher(factory, sp_endpoint, qos, {})
    start = sp_pub.createDataEntity()
    start.setAbsTime(1765000100.0)
    start.setTrigger(Kyrif.StartTriggerTypes.Signal)
    start.setInfo("sequence 7")
    sp_pub.publishWithTimestamp(1765000000.5, start, 0.5)
    for sp_event in sp_sub.readDataEvents(Kyrif.StartProperties.staticGetDataEventFilter(), 10, 1.0):
        print(f"readDataEvents: {sp_event.event} at {sp_event.sourceTimestamp}: {describe(sp_event.data)}")
    for latest in mrv.readMostRecent(1.0):
        print(f"most recent:    {describe(latest)}")


class SyncService:
    """Answers every command at once, naming the command and its argument."""

    def _answer(self, command: str, argument: object = None) -> str:
        if isinstance(argument, (Kyrif.Method, Kyrif.StartProperties)):
            argument = describe(argument)
        return f"{command}({argument})" if argument is not None else f"{command}()"

    def Abort(self) -> str: return self._answer("Abort")
    def Execute(self, m: Kyrif.Method) -> str: return self._answer("Execute", m)
    def GetConfig(self, s: str) -> str: return self._answer("GetConfig", s)
    def GetDiagnostics(self) -> str: return self._answer("GetDiagnostics")
    def GetSetup(self, s: str) -> str: return self._answer("GetSetup", s)
    def Ping(self) -> str: return "pong"
    def ReadPars(self, s: str) -> str: return self._answer("ReadPars", s)
    def Recover(self) -> str: return self._answer("Recover")
    def Scan(self) -> str: return self._answer("Scan")
    def SetConfig(self, s: str) -> str: return self._answer("SetConfig", s)
    def Setup(self, s: str) -> str:
        if s == "bad":
            raise Kyrif.ExceptionErr("setup refused: unknown mode", 17)
        return self._answer("Setup", s)
    def Start(self, p: Kyrif.StartProperties) -> str: return self._answer("Start", p)
    def WritePars(self, s: str) -> str: return self._answer("WritePars", s)


class AsyncService:
    """Answers every command with a future that a worker pool completes."""

    def __init__(self) -> None:
        self._pool = concurrent.futures.ThreadPoolExecutor(max_workers=2)
        self._sync = SyncService()

    def __getattr__(self, command: str) -> Callable[..., concurrent.futures.Future[str]]:
        method: Callable[..., str] = getattr(self._sync, command)
        return lambda *args: self._pool.submit(lambda: "async " + method(*args))


def request_reply_demo(factory: pyqelcpp.WexFactory) -> None:
    heading("Request/reply: thirteen commands, both clients, both service forms")
    server = factory.createServer("inproc:///demo/server", pyqelcpp.RrQoSList(), {})
    KyrCmds.KyrCmdsSyncService.registerService(server, "sync", SyncService())
    async_service = AsyncService()
    KyrCmds.KyrCmdsAsyncService.registerService(server, "async", async_service)

    qel = factory.getQel("inproc:///demo")
    method = Kyrif.Method.staticCreateDataEntity(qel)
    method.setName("expose")
    method.setParameters("t=30")
    start = Kyrif.StartProperties.staticCreateDataEntity(qel)
    start.setTrigger(Kyrif.StartTriggerTypes.Custom)
    start.setCustomTrigger("shutter")
    arguments: dict[str, object] = {"Execute": method, "Start": start, "GetConfig": "cfg", "GetSetup": "setup",
                 "ReadPars": "pars", "SetConfig": "cfg=1", "Setup": "mode", "WritePars": "p=2"}
    commands = ["Abort", "Execute", "GetConfig", "GetDiagnostics", "GetSetup", "Ping", "ReadPars",
                "Recover", "Scan", "SetConfig", "Setup", "Start", "WritePars"]

    sync_client = KyrCmds.KyrCmdsSync.staticGetClient(
        factory, "inproc:///demo/server/sync", pyqelcpp.RrQoSList(), {})
    async_client = KyrCmds.KyrCmdsAsync.staticGetClient(
        factory, pyqelcpp.Uri("inproc:///demo/server/async"), pyqelcpp.RrQoSList(), {})
    for command in commands:
        args = (arguments[command],) if command in arguments else ()
        reply = getattr(sync_client, command)(*args)
        future = getattr(async_client, command)(*args)
        print(f"{command:15} sync:  {reply}")
        print(f"{'':15} async: {future.get()}")

    try:
        sync_client.Setup("bad")
    except Kyrif.ExceptionErr as error:
        print(f"ExceptionErr carried back: {error} desc={error.getDesc()!r} code={error.getCode()}")

    async_service._pool.shutdown()
    server.close()


def main() -> int:
    heading("Module tree")
    show_tree(ModKyrif)
    factory = pyqelcpp.WexFactory.getInstance()
    samples_demo(factory)
    pubsub_demo(factory)
    request_reply_demo(factory)
    return 0


if __name__ == "__main__":
    sys.exit(main())
