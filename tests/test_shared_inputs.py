"""Objects that another Python thread changes while a read, a publish or a command
uses them with the interpreter lock released: nothing crashes, no torn text is
published, read back or handed to a service. Each race runs in a process of its own,
where a crash shows as a signal."""
import json
import pathlib
import subprocess
import sys

import pytest

HERE = pathlib.Path(__file__).parent


@pytest.mark.parametrize("race", ["filter", "publish", "value", "command"])
def test_objects_changed_during_a_call(race):
    try:
        done = subprocess.run([sys.executable, str(HERE / "shared_inputs_races.py"), race], cwd=HERE,
                              capture_output=True, text=True, timeout=90)
    except subprocess.TimeoutExpired as expired:
        pytest.fail(f"race did not end:\n{expired.stderr[-20000:]}")
    assert done.returncode == 0, f"exit status {done.returncode}\n{done.stdout}\n{done.stderr[-20000:]}"
    figures = json.loads(done.stdout.strip().splitlines()[-1])
    print(figures)
    assert min(value for key, value in figures.items() if key not in ("wrong", "wrong_count")) > 0
