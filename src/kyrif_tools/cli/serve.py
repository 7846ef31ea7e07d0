"""``kyrif serve``: the demonstration instrument as a service, until Ctrl-C."""
from __future__ import annotations

import argparse
import time

import pyqelcpp
import ModKyrif

from kyrif_tools.cli import common
from kyrif_tools.instrument import Instrument

Kyrif = ModKyrif.Kyrif

EXAMPLE = """\
examples:
  kyrif serve dds.rr://7/lab/server --name instrument
  kyrif call dds.rr://7/lab/server/instrument Ping      (from another shell)

The instrument knows the modes standard, fast and calibration (Setup), keeps
key=value;... texts (SetConfig/GetConfig, WritePars/ReadPars), refuses Execute,
Start and Scan after Abort until Recover, and answers bad input with ExceptionErr.
Each request is logged on standard output. Ctrl-C ends it, status 0.
"""


def add_parser(subparsers: argparse._SubParsersAction[common.SubcommandParser]) -> None:
    parser = subparsers.add_parser(
        "serve", help="serve a demonstration instrument", epilog=EXAMPLE,
        formatter_class=argparse.RawDescriptionHelpFormatter,
        description="Creates a server at the endpoint and serves KyrCmds under --name; clients "
                    "reach it at the endpoint, a slash and the name.")
    parser.add_argument("endpoint", help="the server's endpoint, e.g. dds.rr://7/lab/server")
    parser.add_argument("--name", default="instrument", help="the service's name (default instrument)")
    common.add_properties_option(parser)
    parser.set_defaults(run=run, prog_name="serve")


def _log(line: str) -> None:
    print(line, flush=True)


def run(args: argparse.Namespace) -> int:
    common.stop_on_terminate()
    endpoint = common.check_endpoint(args.endpoint)
    if not args.name or "/" in args.name:
        raise common.UsageError(f"bad service name {args.name!r}: it must be non-empty, without '/'")
    factory = pyqelcpp.WexFactory.getInstance()
    server = common.create(endpoint, lambda: factory.createServer(
        endpoint, pyqelcpp.RrQoSList(), common.properties(args)))
    try:
        Kyrif.KyrCmds.KyrCmdsSyncService.registerService(server, args.name, Instrument(_log))
        _log(f"serving KyrCmds at {endpoint.rstrip('/')}/{args.name} (Ctrl-C ends)")
        while True:
            time.sleep(3600)
    except KeyboardInterrupt:
        _log("stopped")
    finally:
        server.close()
    return common.OK
