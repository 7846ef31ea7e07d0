"""Demonstration of ModKyrif on the embedded middleware.

Prints the module tree, creates and fills one sample of each structure type,
publishes and receives samples (by callback and by read), and calls the thirteen
commands of KyrCmds, synchronously and with futures, against Python services.
"""
import concurrent.futures
import datetime
import sys
import threading

import pyqelcpp
import ModKyrif

Kyrif = ModKyrif.Kyrif
KyrCmds = Kyrif.KyrCmds


def heading(text):
    print()
    print(text)
    print("-" * len(text))


def show_tree(module, indent=0):
    doc = module.__doc__ or ""
    print(f"{'  ' * indent}{module.__name__}" + (f"  ({doc})" if doc else ""))
    for name in sorted(dir(module)):
        value = getattr(module, name)
        if isinstance(value, type(module)) and value.__name__.startswith(module.__name__ + "."):
            show_tree(value, indent + 1)
        elif isinstance(value, type) and not name.startswith("_"):
            print(f"{'  ' * (indent + 1)}class {name}")


def describe(sample):
    if isinstance(sample, Kyrif.Method):
        return f"Method(name={sample.getName()!r}, parameters={sample.getParameters()!r})"
    return (f"StartProperties(absTime={sample.getAbsTime()}, trigger={sample.getTrigger()}, "
            f"customTrigger={sample.getCustomTrigger()!r}, info={sample.getInfo()!r})")


def samples_demo(factory):
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


def pubsub_demo(factory):
    heading("Publish/subscribe: one topic per structure type")
    qos = pyqelcpp.PsQoSList()
    received = []
    done = threading.Event()

    def on_method(subscriber, event):
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
    for event, sample in received:
        print(f"callback on a middleware thread: {event} {describe(sample)}")
    for sample in read_sub.read(0):
        print(f"read:                            {describe(sample)}")
    subscription.close()

    sp_endpoint = "inproc:///demo/StartProperties"
    sp_sub = Kyrif.StartProperties.staticGetSubscriber(factory, sp_endpoint, qos, {})
    mrv = Kyrif.StartProperties.staticGetMrvSubscriber(factory, sp_endpoint, qos, {})
    sp_pub = Kyrif.StartProperties.staticGetPublisher(factory, sp_endpoint, qos, {})
    sample = sp_pub.createDataEntity()
    sample.setAbsTime(1765000100.0)
    sample.setTrigger(Kyrif.StartTriggerTypes.Signal)
    sample.setInfo("sequence 7")
    sp_pub.publishWithTimestamp(1765000000.5, sample, 0.5)
    for event in sp_sub.readDataEvents(Kyrif.StartProperties.staticGetDataEventFilter(), 10, 1.0):
        print(f"readDataEvents: {event.event} at {event.sourceTimestamp}: {describe(event.data)}")
    for sample in mrv.readMostRecent(1.0):
        print(f"most recent:    {describe(sample)}")


class SyncService:
    """Answers every command at once, naming the command and its argument."""

    def _answer(self, command, argument=None):
        if isinstance(argument, (Kyrif.Method, Kyrif.StartProperties)):
            argument = describe(argument)
        return f"{command}({argument})" if argument is not None else f"{command}()"

    def Abort(self): return self._answer("Abort")
    def Execute(self, m): return self._answer("Execute", m)
    def GetConfig(self, s): return self._answer("GetConfig", s)
    def GetDiagnostics(self): return self._answer("GetDiagnostics")
    def GetSetup(self, s): return self._answer("GetSetup", s)
    def Ping(self): return "pong"
    def ReadPars(self, s): return self._answer("ReadPars", s)
    def Recover(self): return self._answer("Recover")
    def Scan(self): return self._answer("Scan")
    def SetConfig(self, s): return self._answer("SetConfig", s)
    def Setup(self, s):
        if s == "bad":
            raise Kyrif.ExceptionErr("setup refused: unknown mode", 17)
        return self._answer("Setup", s)
    def Start(self, p): return self._answer("Start", p)
    def WritePars(self, s): return self._answer("WritePars", s)


class AsyncService:
    """Answers every command with a future that a worker pool completes."""

    def __init__(self):
        self._pool = concurrent.futures.ThreadPoolExecutor(max_workers=2)
        self._sync = SyncService()

    def __getattr__(self, command):
        method = getattr(self._sync, command)
        return lambda *args: self._pool.submit(lambda: "async " + method(*args))


def request_reply_demo(factory):
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
    arguments = {"Execute": method, "Start": start, "GetConfig": "cfg", "GetSetup": "setup",
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


def main():
    heading("Module tree")
    show_tree(ModKyrif)
    factory = pyqelcpp.WexFactory.getInstance()
    samples_demo(factory)
    pubsub_demo(factory)
    request_reply_demo(factory)
    return 0


if __name__ == "__main__":
    sys.exit(main())
