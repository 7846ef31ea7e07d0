"""A request/reply peer in a process of its own, driven by the tests of request/reply
between processes. Usage: rr_peer.py ROLE ENDPOINT [ARGS...]; it prints one line per
step, which the test reads.

  serve ENDPOINT FORM   serves "svc" (FORM sync or async) at the server ENDPOINT,
                        prints "ready", and closes when its standard input ends
  call ENDPOINT COUNT   calls Ping COUNT times and prints the replies as JSON
  serve-logged ENDPOINT serves "svc" (sync) and prints "ran MODE" for each Setup it
                        runs, until its standard input ends
  flood ENDPOINT COUNT  sends COUNT ReadPars("sleep 0.2") at once (reply time 600 s),
                        prints "sent", then how many ended in a "busy" refusal once
                        its standard input ends
"""
import concurrent.futures
import datetime
import json
import os
import sys
import time

import pyqelcpp
import ModKyrif

Kyrif = ModKyrif.Kyrif
KyrCmds = Kyrif.KyrCmds
factory = pyqelcpp.WexFactory.getInstance()
# Properties of every entity, from the test (interfaces and peers of a namespace).
EXTRA = json.loads(os.environ.get("DDS_PEER_PROPS", "{}"))


def say(*words):
    print(*words, flush=True)


class Service:
    """Answers each command with its name and what it received; some fail."""

    def __init__(self, asynchronous):
        self.asynchronous = asynchronous
        self.never = []

    def reply(self, make):
        if not self.asynchronous:
            return make()
        future = concurrent.futures.Future()
        try:
            future.set_result(make())
        except BaseException as error:  # noqa: B036 - handed to the caller
            future.set_exception(error)
        return future

    def __getattr__(self, command):
        def answer(*args):
            def make():
                if command == "Ping":
                    return f"pong {os.getpid()}"
                if command == "Abort":
                    raise KeyError("missing")
                if command == "Recover":
                    raise Kyrif.ExceptionErr("bad", 3)
                if command == "Scan":
                    raise pyqelcpp.TimeoutException("the scan timed out")
                if command == "GetDiagnostics":
                    raise pyqelcpp.ClosedException("the device is closed")
                if command == "ReadPars" and args[0].startswith("sleep "):
                    time.sleep(float(args[0].split()[1]))
                    return "slept"
                shown = args
                if command == "Execute":
                    shown = (args[0].getName(), args[0].getParameters())
                elif command == "Start":
                    shown = (args[0].getInfo(), int(args[0].getTrigger()), args[0].getAbsTime(),
                             args[0].getCustomTrigger())
                return f"{command}{shown!r}"

            if self.asynchronous and command == "Setup" and args[0] == "never":
                self.never.append(concurrent.futures.Future())  # never completed
                return self.never[-1]
            if self.asynchronous and command == "Recover":
                raise Kyrif.ExceptionErr("bad", 3)  # raised, not stored in the future
            return self.reply(make)

        return answer


def main(role, endpoint, *args):
    if role == "serve":
        server = factory.createServer(endpoint, pyqelcpp.RrQoSList(), EXTRA)
        form = KyrCmds.KyrCmdsAsyncService if args[0] == "async" else KyrCmds.KyrCmdsSyncService
        form.registerService(server, "svc", Service(args[0] == "async"))
        say("ready")
        sys.stdin.read()
        server.close()
        say("closed")
    elif role == "serve-logged":
        class Logged:
            def Setup(self, mode):
                say("ran", mode)
                return mode

        server = factory.createServer(endpoint, pyqelcpp.RrQoSList(), EXTRA)
        KyrCmds.KyrCmdsSyncService.registerService(server, "svc", Logged())
        say("ready")
        sys.stdin.read()
        server.close()
    elif role == "flood":
        qos = pyqelcpp.RrQoSList()
        qos.append(pyqelcpp.ReplyTime(datetime.timedelta(seconds=600)))
        client = KyrCmds.KyrCmdsAsync.staticGetClient(factory, endpoint, qos, EXTRA)
        client.asyncConnect().get()
        futures = [client.ReadPars("sleep 0.2") for _ in range(int(args[0]))]
        say("sent")
        sys.stdin.read()
        busy = 0
        for future in futures:
            if future.wait_for(0.0) == pyqelcpp.FutureStatus.ready:
                try:
                    future.get()
                except pyqelcpp.QelException as error:
                    busy += "is busy" in str(error)
        say(busy)
        client.close()
    elif role == "call":
        qos = pyqelcpp.RrQoSList()
        qos.append(pyqelcpp.ReplyTime(datetime.timedelta(seconds=30)))
        client = KyrCmds.KyrCmdsSync.staticGetClient(factory, endpoint, qos, EXTRA)
        say(json.dumps([client.Ping() for _ in range(int(args[0]))]))
        client.close()
    else:
        raise SystemExit(f"unknown role {role}")


if __name__ == "__main__":
    main(*sys.argv[1:])
