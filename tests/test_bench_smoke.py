"""Smoke run of every benchmark with tiny sizes: the benchmarks keep working. No
figure is checked against its target (timings on a shared machine prove nothing)."""
import importlib.util
import json
import math
import os
import pathlib
import subprocess
import sys

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[1]
RUNNER = ROOT / "bench" / "run.py"
EXPECTED = {"P1.getName", "P1.setName", "P2", "P2.bound", "P3.queue", "P3.rate", "P4.native", "P4.threads", "P5",
            "P6.read", "P6.command", "P7.ddsperf", "P7.engine", "P8.native", "P8.async"}


def _modules_available():
    folder = os.environ.get("MODKYRIF_BENCH_MODULES")
    if folder:
        return all(any(pathlib.Path(folder).glob(f"{name}.*.so"))
                   for name in ("modkyrif_bench_floor", "modkyrif_bench_native"))
    return all(importlib.util.find_spec(name) is not None
               for name in ("modkyrif_bench_floor", "modkyrif_bench_native"))


@pytest.mark.skipif(not _modules_available(),
                    reason="benchmark modules not built (scripts/test.sh and scripts/bench.sh build them)")
def test_every_benchmark_runs_and_reports_every_row(tmp_path):
    out = tmp_path / "figures.json"
    done = subprocess.run([sys.executable, str(RUNNER), "--smoke", "--json", str(out)],
                          capture_output=True, text=True, timeout=300)
    assert done.returncode == 0, done.stderr
    figures = json.loads(out.read_text())
    rows = {r["key"]: r for r in figures["rows"]}
    assert set(rows) == EXPECTED
    for key, r in rows.items():
        assert math.isfinite(r["ours"]) and math.isfinite(r["baseline"]) and math.isfinite(r["ratio"]), key
        assert r["baseline"] > 0, key
        if key != "P5":  # memory growth may be zero or negative
            assert r["ours"] > 0, key
    # The printed table carries the same rows.
    for key in EXPECTED:
        assert f"| {key} |" in done.stdout
