"""Hostile input to every public callable of ModKyrif, in a process of its own: each
call either works or raises a Python exception, and the process neither crashes
nor hangs; afterwards the middleware still carries samples and commands."""
import json
import os
import pathlib
import subprocess
import sys

import pytest

import ModKyrif

HERE = pathlib.Path(__file__).parent
BOUND = 150


def test_every_callable_survives_hostile_arguments():
    env = dict(os.environ, HOSTILE_BOUND=str(BOUND))
    try:
        done = subprocess.run([sys.executable, str(HERE / "hostile_sweep.py")], env=env, cwd=HERE,
                              capture_output=True, text=True, timeout=BOUND + 30)
    except subprocess.TimeoutExpired as expired:
        pytest.fail(f"sweep did not end:\n{expired.stderr[-20000:]}")
    assert done.returncode == 0, f"exit status {done.returncode}\n{done.stdout}\n{done.stderr[-20000:]}"
    figures = json.loads(done.stdout.strip().splitlines()[-1])
    print(figures)
    assert figures["callables"] == figures["surface"] > 150
    assert figures["outcomes"]["worked"] > 0 and figures["outcomes"]["TypeError"] > 0


def test_the_sweep_finds_the_whole_surface():
    sys.path.insert(0, str(HERE))
    try:
        import hostile_sweep
    finally:
        sys.path.remove(str(HERE))
    names = {entry[0] for entry in hostile_sweep.surface()}
    kyrif = "ModKyrif.Kyrif"
    for expected in (f"{kyrif}.Method.staticSubscribeAsync", f"{kyrif}.StartPropertiesSubscriber.readDataEvents",
                     f"{kyrif}.MethodDataEventFilter.events", f"{kyrif}.ExceptionErr.getCode",
                     f"{kyrif}.KyrCmds.KyrCmdsAsync.KyrCmdsAsync.WritePars",
                     f"{kyrif}.KyrCmds.KyrCmdsSyncService.registerService",
                     f"{kyrif}.KyrCmds.KyrCmdsSync.staticGetClient"):
        assert expected in names
    # Every public method of every class is swept.
    for cls in (ModKyrif.Kyrif.MethodMrvSubscriber, ModKyrif.Kyrif.KyrCmds.KyrCmdsSync.KyrCmdsSync):
        for attr in vars(cls):
            if not attr.startswith("__"):
                assert f"{cls.__module__}.{cls.__qualname__}.{attr}" in names
