"""Runs every benchmark of ModKyrif against its baseline and prints one table.

    python bench/run.py [--smoke] [--repeats N] [--json PATH] [--markdown PATH]

Needs ModKyrif, pyqelcpp and the benchmark modules (modkyrif_bench_floor,
modkyrif_bench_native) on the import path, or the benchmark modules in the folder
named by MODKYRIF_BENCH_MODULES; scripts/bench.sh builds them in Release
and runs this. --smoke runs every benchmark once with tiny sizes, only to show that
they still work: its figures mean nothing.
"""
import argparse
import json
import os
import platform
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import pyqelcpp  # noqa: E402,F401  (imported first, as ModKyrif itself does)
import ModKyrif  # noqa: E402,F401

import benchmarks  # noqa: E402

# A folder holding only the benchmark modules (a build tree used for tests) is looked
# at after the installed product, so that it cannot shadow ModKyrif or pyqelcpp.
if os.environ.get("MODKYRIF_BENCH_MODULES"):
    sys.path.append(os.environ["MODKYRIF_BENCH_MODULES"])

FULL = {"calls": 200_000, "publishes": 100_000, "events": 100_000, "pings": 10_000,
        "mem_publishes": 1_000_000, "mem_commands": 100_000, "progress_seconds": 0.5,
        "dds_samples": 100_000, "ddsperf_seconds": 3, "rr_pings": 5_000}
SMOKE = {"calls": 1_000, "publishes": 2_000, "events": 500, "pings": 100,
         "mem_publishes": 2_000, "mem_commands": 200, "progress_seconds": 0.02,
         "dds_samples": 500, "ddsperf_seconds": 1, "rr_pings": 50}


def figure(value):
    if value >= 1000:
        return f"{value:,.0f}".replace(",", " ")
    if value >= 10:
        return f"{value:.1f}"
    return f"{value:.3f}"


def table(rows):
    header = ("", "what", "ours", "baseline", "ratio", "target", "met")
    lines = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
    for r in rows:
        lines.append("| " + " | ".join((
            r["key"], f"{r['what']} ({r['unit']})", figure(r["ours"]),
            f"{figure(r['baseline'])} ({r['baseline_name']})", f"{r['ratio']:.2f}", r["target"],
            "-" if r["met"] is None else "yes" if r["met"] else "NO")) + " |")
    return "\n".join(lines)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--smoke", action="store_true", help="tiny sizes, one repeat: checks that all run")
    parser.add_argument("--repeats", type=int, default=None, help="repeats per benchmark (median reported)")
    parser.add_argument("--json", help="write the figures as JSON to this file")
    parser.add_argument("--markdown", help="write the table as Markdown to this file")
    parser.add_argument("--only", help="comma-separated benchmark function names (e.g. p1_accessors)")
    args = parser.parse_args(argv)

    sizes = SMOKE if args.smoke else FULL
    repeats = args.repeats or (1 if args.smoke else 5)
    chosen = benchmarks.ALL
    if args.only:
        wanted = set(args.only.split(","))
        chosen = [b for b in benchmarks.ALL if b.__name__ in wanted]
    rows = []
    for bench in chosen:
        start = time.perf_counter()
        produced = bench(sizes, repeats)
        rows.extend(produced)
        for r in produced:
            print(f"{r['key']:<11} ours {figure(r['ours']):>12}  baseline {figure(r['baseline']):>12}  "
                  f"ratio {r['ratio']:6.2f}  {r['target']:<8} "
                  f"{'' if r['met'] is None else 'met' if r['met'] else 'NOT MET'}",
                  file=sys.stderr)
        print(f"  ({bench.__name__}: {time.perf_counter() - start:.1f} s)", file=sys.stderr)

    text = table(rows)
    print(text)
    result = {"smoke": args.smoke, "repeats": repeats, "sizes": sizes, "python": platform.python_version(),
              "machine": platform.machine(), "cpus": os.cpu_count(), "time": time.strftime("%Y-%m-%d %H:%M:%S"),
              "rows": rows}
    if args.json:
        os.makedirs(os.path.dirname(os.path.abspath(args.json)), exist_ok=True)
        with open(args.json, "w") as out:
            json.dump(result, out, indent=2)
    if args.markdown:
        os.makedirs(os.path.dirname(os.path.abspath(args.markdown)), exist_ok=True)
        with open(args.markdown, "w") as out:
            out.write(text + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
