"""Load runs of the whole module in a process of their own: concurrent publishing to
every kind of reader, concurrent commands in every pairing, and entities created
and closed all the while. A crash, a hang (ended by the watchdog with every
thread's stack) or a lost, duplicated, reordered or wrong result fails the test."""
import json
import os
import pathlib
import subprocess
import sys

import pytest

HERE = pathlib.Path(__file__).parent


def run_load(bound=90, **settings):
    env = dict(os.environ, STRESS_BOUND=str(bound), **{f"STRESS_{k.upper()}": str(v) for k, v in settings.items()})
    try:
        done = subprocess.run([sys.executable, str(HERE / "stress_load.py")], env=env, cwd=HERE,
                              capture_output=True, text=True, timeout=bound + 30)
    except subprocess.TimeoutExpired as expired:  # the watchdog itself hung
        pytest.fail(f"load run did not end:\n{expired.stderr}")
    assert done.returncode == 0, f"exit status {done.returncode}\n{done.stdout}\n{done.stderr[-20000:]}"
    figures = json.loads(done.stdout.strip().splitlines()[-1])
    print(figures)
    return figures


@pytest.mark.parametrize("depth", [16, 1], ids=["queue16", "queue1"])
def test_everything_at_once(depth):
    figures = run_load(publishers=3, samples=400, callers=3, calls=300, churners=2, depth=depth)
    assert figures["samples_received"] == 6 * figures["samples_published"]
    assert figures["command_calls"] == 900 and figures["churn_rounds"] > 0 and figures["mrv_reads"] > 0
