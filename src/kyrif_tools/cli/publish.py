"""``kyrif publish``: publishes samples of a topic, once or at a rate."""
from __future__ import annotations

import argparse
import sys
import time
from typing import Any

import pyqelcpp

from kyrif_tools import fields
from kyrif_tools.cli import common
from kyrif_tools.progress import ProgressBar

EXAMPLE = """\
examples:
  kyrif publish dds.ps://7/lab/Method --type Method name=focus parameters=z=12
  kyrif publish dds.ps://7/lab/Method --type Method name=scan parameters=step={i} --count 100 --rate 10
  kyrif publish dds.ps://7/lab/Start --type StartProperties trigger=AbsTime absTime=1765000000.5
  kyrif publish dds.ps://7/lab/Method --type Method name=x --no-wait

Fields not given keep the values of a new sample. {i} in a value is replaced by the
sample's number, counting from 0. On a dds.ps topic the command first waits up to
--wait-readers seconds for a reader in another process, and exits once the readers
have acknowledged what it published (or after the middleware's acknowledgement
wait). A progress bar is drawn on standard error when that is a terminal.

exit status: 0 published and acknowledged, 2 bad usage or input, 4 no reader
appeared, a sample could not be published within --timeout, or the readers did not
acknowledge every sample, 1 other failure, 130 interrupted
"""


def add_parser(subparsers: argparse._SubParsersAction[common.SubcommandParser]) -> None:
    parser = subparsers.add_parser(
        "publish", help="publish samples to a topic", epilog=EXAMPLE,
        formatter_class=argparse.RawDescriptionHelpFormatter,
        description="Publishes one sample, or --count samples at --rate per second.")
    common.add_topic_arguments(parser, fields.STRUCTURES)
    parser.add_argument("assignments", nargs="*", metavar="FIELD=VALUE", help="the sample's fields")
    parser.add_argument("--count", type=common.positive_count, default=1, metavar="N",
                        help="how many samples to publish (default 1)")
    parser.add_argument("--rate", type=common.positive_seconds, metavar="HZ",
                        help="samples per second (default: as fast as the readers take them)")
    parser.add_argument("--timeout", type=common.positive_seconds, default=1.0, metavar="SECONDS",
                        help="how long one publish may wait for full queues of readers (default 1)")
    waiting = parser.add_mutually_exclusive_group()
    waiting.add_argument("--wait-readers", type=common.positive_seconds, default=5.0, metavar="SECONDS",
                         help="how long to wait for a reader of a dds.ps topic before publishing (default 5)")
    waiting.add_argument("--no-wait", action="store_true",
                         help="publish at once, without waiting for a reader")
    common.add_properties_option(parser)
    parser.set_defaults(run=run, prog_name="publish")


def run(args: argparse.Namespace) -> int:
    prog = f"{common.PROG} publish"
    endpoint = common.check_endpoint(args.endpoint)
    type_name: str = args.type_name
    structure = fields.STRUCTURES[type_name]
    # Checked with the number of the first sample in place of {i}, so that a bad
    # value is refused before anything is published.
    try:
        fields.parse_assignments(type_name, [a.replace("{i}", "0") for a in args.assignments])
    except fields.FieldError as error:
        raise common.UsageError(str(error)) from None
    templates = {name: value for name, _, value in (a.partition("=") for a in args.assignments)}
    factory = pyqelcpp.WexFactory.getInstance()
    properties = common.properties(args)
    between_processes = endpoint.startswith("dds.ps:")
    if between_processes and not args.no_wait and "dds.waitForReaders" not in properties:
        properties["dds.waitForReaders"] = "1"
        properties["dds.waitForReadersMs"] = str(max(1, round(args.wait_readers * 1000)))
    # Both structure families have the same methods; the type is chosen at run time.
    try:
        publisher: Any = common.create(endpoint, lambda: structure.staticGetPublisher(
            factory, endpoint, pyqelcpp.PsQoSList(), properties))
    except pyqelcpp.TimeoutException:
        waited = int(properties.get("dds.waitForReadersMs", "10000")) / 1000
        return common.fail(prog, f"no reader of {common.describe_topic(endpoint)} appeared within "
                                 f"{waited:g} s", common.TIMEOUT)
    bar = ProgressBar(args.count, sys.stderr) if args.count > 1 and sys.stderr.isatty() else None
    done = 0
    failure: tuple[str, int] | None = None
    try:
        started = time.monotonic()
        for number in range(args.count):
            if args.rate is not None:
                delay = started + number / args.rate - time.monotonic()
                if delay > 0:
                    time.sleep(delay)
            sample = publisher.createDataEntity()
            fields.fill(sample, type_name, {k: v.replace("{i}", str(number)) for k, v in templates.items()})
            try:
                publisher.publish(sample, args.timeout)
            except pyqelcpp.TimeoutException:
                failure = (f"sample {number + 1} of {args.count} was not taken by the readers of "
                           f"{common.describe_topic(endpoint)} within {args.timeout:g} s", common.TIMEOUT)
                break
            done += 1
            if bar is not None:
                bar.update(done)
    except KeyboardInterrupt:
        failure = (f"interrupted after {done} of {args.count} samples", common.INTERRUPTED)
    finally:
        if bar is not None:
            bar.finish()
    # Closing waits until the readers acknowledged what was published, and says how
    # many samples they did not; the first failure is the one reported.
    try:
        publisher.close()
    except pyqelcpp.TimeoutException as error:
        failure = failure or (f"samples not delivered: {error}", common.TIMEOUT)
    if failure is not None:
        return common.fail(prog, *failure)
    return common.OK
