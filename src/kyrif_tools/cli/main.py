"""The ``kyrif`` console script: parses the command line, runs the subcommand and
turns every failure into one line on standard error and an exit status."""
from __future__ import annotations

import argparse
import logging
import os
import sys
from collections.abc import Sequence

import pyqelcpp
import ModKyrif

from kyrif_tools.cli import call, common, echo, publish, serve

EPILOG = """\
exit status: 0 success, 2 bad usage or input, 3 ExceptionErr from the service,
4 timeout, 1 any other failure. 'kyrif COMMAND --help' shows examples.
"""


def parser() -> common.Parser:
    top = common.Parser(prog=common.PROG, epilog=EPILOG, formatter_class=argparse.RawDescriptionHelpFormatter,
                        description="Talk to kyrif instruments and topics: call commands, serve a "
                                    "demonstration instrument, publish and echo samples.")
    subparsers = top.add_subparsers(title="commands", metavar="COMMAND", required=True,
                                    parser_class=common.SubcommandParser)
    for module in (call, echo, publish, serve):
        module.add_parser(subparsers)
    for subparser in subparsers.choices.values():
        subparser.add_argument("-v", "--verbose", action="count", default=0,
                               help="show the middleware's informational messages too, not only its warnings")
    return top


class _OneLine(logging.Formatter):
    """The middleware's log records as the command's own one-line messages."""

    def __init__(self, prog: str) -> None:
        super().__init__()
        self.prog = prog

    def format(self, record: logging.LogRecord) -> str:
        first, *rest = record.getMessage().strip().splitlines() or [""]
        return f"{self.prog}: {record.levelname.lower()}: {first}{' ...' if rest else ''}"


def _show_messages(prog: str, verbose: int) -> None:
    """Shows the middleware's warnings (with -v: all its messages) on standard
    error, each on one line like the command's own."""
    handler = logging.StreamHandler(sys.stderr)
    handler.setFormatter(_OneLine(prog))
    root = logging.getLogger()
    root.addHandler(handler)
    root.setLevel(logging.DEBUG if verbose > 0 else logging.WARNING)


def _run(args: argparse.Namespace, prog: str) -> int:
    try:
        status: int = args.run(args)
        return status
    except common.UsageError as error:
        return common.fail(prog, f"error: {error} (see '{prog} --help')", common.USAGE)
    except ModKyrif.Kyrif.ExceptionErr:
        return common.fail(prog, f"ExceptionErr: {ModKyrif.Kyrif.ExceptionErr.getDesc()} "
                                 f"(code {ModKyrif.Kyrif.ExceptionErr.getCode()})", common.SERVICE_ERROR)
    except pyqelcpp.TimeoutException as error:
        return common.fail(prog, f"timeout: {error}", common.TIMEOUT)
    except pyqelcpp.QelException as error:
        return common.fail(prog, f"{type(error).__name__}: {error}", common.FAILURE)
    except KeyboardInterrupt:
        return common.fail(prog, "interrupted", common.INTERRUPTED)
    except BrokenPipeError:
        # The reader of standard output went away (| head): nothing more to say.
        devnull = os.open(os.devnull, os.O_WRONLY)
        os.dup2(devnull, sys.stdout.fileno())
        return common.OK
    except Exception as error:  # noqa: BLE001  (one line, never a traceback)
        return common.fail(prog, f"{type(error).__name__}: {error}", common.FAILURE)


def main(argv: Sequence[str] | None = None) -> int:
    args = parser().parse_args(argv)
    prog = f"{common.PROG} {args.prog_name}"
    _show_messages(prog, args.verbose)
    return _run(args, prog)
