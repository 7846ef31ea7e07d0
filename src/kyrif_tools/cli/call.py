"""``kyrif call``: one command of KyrCmds, waiting for its reply."""
from __future__ import annotations

import argparse
import datetime
import difflib

import pyqelcpp
import ModKyrif

from kyrif_tools import fields
from kyrif_tools.cli import common

Kyrif = ModKyrif.Kyrif

# What each command takes: nothing, one text, or a structure given as field=value pairs.
COMMANDS: dict[str, str | None] = {
    "Abort": None, "Execute": "Method", "GetConfig": "text", "GetDiagnostics": None, "GetSetup": "text",
    "Ping": None, "ReadPars": "text", "Recover": None, "Scan": None, "SetConfig": "text", "Setup": "text",
    "Start": "StartProperties", "WritePars": "text",
}

EXAMPLE = """\
examples:
  kyrif call inproc:///lab/server/instrument Ping
  kyrif call dds.rr://7/lab/server/instrument Setup fast --timeout 2
  kyrif call dds.rr://7/lab/server/instrument Execute name=focus parameters=z=12
  kyrif call dds.rr://7/lab/server/instrument Start trigger=AbsTime absTime=1765000000.5 info=run7

commands: Abort, GetDiagnostics, Ping, Recover, Scan (no argument);
  GetConfig, GetSetup, ReadPars, SetConfig, Setup, WritePars (one text);
  Execute (Method fields: name, parameters);
  Start (StartProperties fields: absTime, trigger, customTrigger, info;
         trigger is one of Signal, AbsTime, Custom, NotUsed)

exit status: 0 reply printed, 2 bad usage or input, 3 the service answered
ExceptionErr (description and code on standard error), 4 timeout, 1 other failure
"""


def add_parser(subparsers: argparse._SubParsersAction[common.SubcommandParser]) -> None:
    parser = subparsers.add_parser(
        "call", help="call one command and print its reply", epilog=EXAMPLE,
        formatter_class=argparse.RawDescriptionHelpFormatter,
        description="Calls one command of KyrCmds at a service endpoint (the server's endpoint, "
                    "a slash and the service name) and prints the reply.")
    parser.add_argument("endpoint", help="the service's endpoint, e.g. dds.rr://7/lab/server/instrument")
    parser.add_argument("command", help="the command's name, e.g. Ping")
    parser.add_argument("arguments", nargs="*", metavar="ARG",
                        help="the command's text, or field=value pairs for Execute and Start")
    parser.add_argument("--timeout", type=common.positive_seconds, default=5.0, metavar="SECONDS",
                        help="how long to wait for the service, and then for the reply (default 5)")
    common.add_properties_option(parser)
    parser.set_defaults(run=run, prog_name="call")


def _argument(command: str, kind: str | None, arguments: list[str],
              factory: pyqelcpp.WexFactory, endpoint: str) -> list[object]:
    if kind is None:
        if arguments:
            raise common.UsageError(f"{command} takes no argument, got {len(arguments)}")
        return []
    if kind == "text":
        if len(arguments) != 1:
            raise common.UsageError(f"{command} takes one text argument, got {len(arguments)}")
        return [arguments[0]]
    try:
        values = fields.parse_assignments(kind, arguments)
    except fields.FieldError as error:
        raise common.UsageError(str(error)) from None
    qel = common.create(endpoint, lambda: factory.getQel(endpoint))
    sample = fields.STRUCTURES[kind].staticCreateDataEntity(qel)
    fields.fill(sample, kind, values)
    return [sample]


def run(args: argparse.Namespace) -> int:
    prog = f"{common.PROG} call"
    command: str = args.command
    if command not in COMMANDS:
        close = difflib.get_close_matches(command, COMMANDS, n=1)
        hint = f"; did you mean {close[0]}?" if close else f" (commands: {', '.join(COMMANDS)})"
        raise common.UsageError(f"unknown command {command!r}{hint}")
    endpoint = common.check_endpoint(args.endpoint)
    factory = pyqelcpp.WexFactory.getInstance()
    call_arguments = _argument(command, COMMANDS[command], args.arguments, factory, endpoint)

    qos = pyqelcpp.RrQoSList()
    qos.append(pyqelcpp.ReplyTime(datetime.timedelta(seconds=args.timeout)))
    client = common.create(endpoint, lambda: Kyrif.KyrCmds.KyrCmdsSync.staticGetClient(
        factory, endpoint, qos, common.properties(args)))
    try:
        connected = client.asyncConnect()
        if connected.wait_for(args.timeout) != pyqelcpp.FutureStatus.ready:
            return common.fail(prog, f"no service answered at {endpoint} within {args.timeout:g} s",
                               common.TIMEOUT)
        connected.get()
        try:
            reply = getattr(client, command)(*call_arguments)
        except Kyrif.ExceptionErr:
            # The description and code of the exception just raised.
            return common.fail(prog, f"ExceptionErr: {Kyrif.ExceptionErr.getDesc()} "
                                     f"(code {Kyrif.ExceptionErr.getCode()})", common.SERVICE_ERROR)
        print(reply, flush=True)
        return common.OK
    finally:
        client.close()
