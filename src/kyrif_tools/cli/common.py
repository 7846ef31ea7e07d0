"""What every subcommand shares: its argument parser, the exit statuses, the checks
of endpoints and properties, and the one-line reports of failures."""
from __future__ import annotations

import argparse
import math
import signal
import sys
from collections.abc import Callable, Iterable, Sequence
from types import FrameType
from typing import NoReturn, TypeVar

import pyqelcpp

PROG = "kyrif"

# Exit statuses of every subcommand.
OK = 0
FAILURE = 1
USAGE = 2
SERVICE_ERROR = 3
TIMEOUT = 4
INTERRUPTED = 130

T = TypeVar("T")


class UsageError(Exception):
    """Bad usage or input: reported on one line, exit status 2."""


class Parser(argparse.ArgumentParser):
    """An argument parser whose errors are one line on standard error and status 2."""

    def error(self, message: str) -> NoReturn:
        sys.stderr.write(f"{self.prog}: error: {message} (see '{self.prog} --help')\n")
        sys.exit(USAGE)


class SubcommandParser(Parser):
    """The parser of one subcommand. It takes positional arguments intermixed with
    options (``publish ENDPOINT --type Method name=x``), which plain parsing refuses
    once an option has come between them."""

    _intermixing = False

    def parse_known_args(self, args: Sequence[str] | None = None,  # type: ignore[override]
                         namespace: argparse.Namespace | None = None) -> tuple[argparse.Namespace, list[str]]:
        if self._intermixing:
            return super().parse_known_args(args, namespace)
        self._intermixing = True
        try:
            return self.parse_known_intermixed_args(args, namespace)
        finally:
            self._intermixing = False


def fail(prog: str, message: str, status: int) -> int:
    """Writes one line naming the program to standard error; returns the status."""
    first, *rest = str(message).strip().splitlines() or [""]
    sys.stderr.write(f"{prog}: {first}{' ...' if rest else ''}\n")
    return status


def positive_seconds(text: str) -> float:
    """An argparse type: a finite number of seconds above zero."""
    try:
        value = float(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"{text!r} is not a number of seconds") from None
    if not math.isfinite(value) or value <= 0:
        raise argparse.ArgumentTypeError(f"{text!r} is not a positive number of seconds")
    return value


def positive_count(text: str) -> int:
    """An argparse type: a whole number above zero."""
    try:
        value = int(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"{text!r} is not a whole number") from None
    if value <= 0:
        raise argparse.ArgumentTypeError(f"{text!r} is not a positive whole number")
    return value


def add_topic_arguments(parser: argparse.ArgumentParser, structures: Iterable[str]) -> None:
    """The topic's endpoint and structure type, as echo and publish take them."""
    parser.add_argument("endpoint", help="the topic's endpoint, e.g. dds.ps://7/lab/Method")
    parser.add_argument("--type", required=True, choices=sorted(structures), dest="type_name",
                        help="the topic's structure type")


def property_pair(text: str) -> tuple[str, str]:
    """An argparse type: a KEY=VALUE property."""
    key, equals, value = text.partition("=")
    if not equals or not key:
        raise argparse.ArgumentTypeError(f"{text!r} is not of the form KEY=VALUE")
    return key, value


def add_properties_option(parser: argparse.ArgumentParser) -> None:
    parser.add_argument(
        "-p", "--property", dest="properties", metavar="KEY=VALUE", type=property_pair, action="append",
        default=[], help="a property of the middleware for the endpoint (repeatable), e.g. dds.peers=127.0.0.1")


def properties(args: argparse.Namespace) -> dict[str, str]:
    return dict(args.properties)


def check_endpoint(endpoint: str) -> str:
    """Refuses an endpoint that is not a URI; returns it unchanged."""
    try:
        pyqelcpp.Uri(endpoint)
    except ValueError as error:
        raise UsageError(f"malformed endpoint: {error}") from None
    return endpoint


def describe_topic(endpoint: str) -> str:
    """'topic 'lab/Method' in domain 7' for dds.ps://7/lab/Method; the endpoint
    itself for other schemes."""
    scheme, _, rest = endpoint.partition("://")
    domain, _, topic = rest.partition("/")
    if scheme == "dds.ps" and domain.isdigit() and topic:
        return f"topic '{topic}' in domain {domain}"
    return f"topic {endpoint!r}"


def create(endpoint: str, make: Callable[[], T | None]) -> T:
    """Creates an entity for the endpoint. The middleware refuses an endpoint that it
    cannot serve (unknown scheme, bad domain or topic) with a QelException: that is
    bad input. A timeout (waiting for readers, say) stays a timeout."""
    try:
        entity = make()
    except pyqelcpp.TimeoutException:
        raise
    except pyqelcpp.QelException as error:
        raise UsageError(f"cannot use endpoint {endpoint!r}: {error}") from None
    if entity is None:
        raise UsageError(f"the middleware made nothing for endpoint {endpoint!r}")
    return entity


def _terminate(signum: int, frame: FrameType | None) -> None:
    raise KeyboardInterrupt


def stop_on_terminate() -> None:
    """Lets SIGTERM end a long-running subcommand as Ctrl-C does."""
    signal.signal(signal.SIGTERM, _terminate)
