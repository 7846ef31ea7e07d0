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
  kyrif publish dds.ps://7/lab/Method --type Method name=x -p dds.waitForReaders=1

Fields not given keep the values of a new sample. {i} in a value is replaced by the
sample's number, counting from 0. The command exits once the readers have what it
published (or after the middleware's acknowledgement wait). A progress bar is drawn
on standard error when that is a terminal.

exit status: 0 published, 2 bad usage or input, 4 a sample could not be
published within --timeout, 1 other failure, 130 interrupted
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
    # Both structure families have the same methods; the type is chosen at run time.
    publisher: Any = common.create(endpoint, lambda: structure.staticGetPublisher(
        factory, endpoint, pyqelcpp.PsQoSList(), common.properties(args)))
    bar = ProgressBar(args.count, sys.stderr) if args.count > 1 and sys.stderr.isatty() else None
    done = 0
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
                return common.fail(prog, f"sample {number + 1} of {args.count} was not taken by the "
                                         f"readers within {args.timeout:g} s", common.TIMEOUT)
            done += 1
            if bar is not None:
                bar.update(done)
    except KeyboardInterrupt:
        return common.fail(prog, f"interrupted after {done} of {args.count} samples", common.INTERRUPTED)
    finally:
        if bar is not None:
            bar.finish()
        # Closing waits until the readers acknowledged what was published.
        publisher.close()
    return common.OK
