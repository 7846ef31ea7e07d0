"""``kyrif echo``: prints the events of a topic as they arrive."""
from __future__ import annotations

import argparse
import json
from typing import Any

import pyqelcpp

from kyrif_tools import fields
from kyrif_tools.cli import common

EXAMPLE = """\
examples:
  kyrif echo dds.ps://7/lab/Method --type Method
  kyrif echo dds.ps://7/lab/Start --type StartProperties --json --count 10

Each event is one line: the instance event, the instance state, the source
timestamp and the fields (none for an event without valid data, such as a REMOVED
instance). With --json each line is a JSON object with the keys event, state,
sourceTimestamp and data (null without valid data). Ctrl-C ends it, status 0.
"""

# Events taken from the subscriber at once at most, and the longest wait of one read,
# so that an interrupted or finished echo never waits long.
_BATCH = 256
_WAIT = 0.5


def add_parser(subparsers: argparse._SubParsersAction[common.SubcommandParser]) -> None:
    parser = subparsers.add_parser(
        "echo", help="print the events of a topic", epilog=EXAMPLE,
        formatter_class=argparse.RawDescriptionHelpFormatter,
        description="Subscribes to a topic and prints one line per event until Ctrl-C or --count.")
    common.add_topic_arguments(parser, fields.STRUCTURES)
    parser.add_argument("--json", action="store_true", help="print JSON lines")
    parser.add_argument("--count", type=common.positive_count, metavar="N", help="exit after N events")
    common.add_properties_option(parser)
    parser.set_defaults(run=run, prog_name="echo")


def _line(event: Any, as_json: bool) -> str:
    data = event.data if event.hasValidData() else None
    if as_json:
        return json.dumps({"event": event.event.name, "state": event.state.name,
                           "sourceTimestamp": event.sourceTimestamp,
                           "data": None if data is None else fields.as_json(data)})
    text = f"{event.event.name} {event.state.name} {event.sourceTimestamp:.6f}"
    return text if data is None else f"{text} {fields.as_text(data)}"


def run(args: argparse.Namespace) -> int:
    common.stop_on_terminate()
    endpoint = common.check_endpoint(args.endpoint)
    structure = fields.STRUCTURES[args.type_name]
    factory = pyqelcpp.WexFactory.getInstance()
    # Both structure families have the same methods; the type is chosen at run time.
    subscriber: Any = common.create(endpoint, lambda: structure.staticGetSubscriber(
        factory, endpoint, pyqelcpp.PsQoSList(), common.properties(args)))
    everything = structure.staticGetDataEventFilter()
    remaining: int | None = args.count
    try:
        while remaining is None or remaining > 0:
            batch = _BATCH if remaining is None else min(_BATCH, remaining)
            for event in subscriber.readDataEvents(everything, batch, _WAIT):
                print(_line(event, args.json), flush=True)
                if remaining is not None:
                    remaining -= 1
    except KeyboardInterrupt:
        pass
    finally:
        subscriber.close()
    return common.OK
