"""Programs that end while daemon threads are busy with the module end cleanly:
exit status 0, no abort, no hang."""
import pathlib
import subprocess
import sys

import pytest

HERE = pathlib.Path(__file__).parent


def run_until_exit(mode, delay):
    try:
        done = subprocess.run([sys.executable, str(HERE / "exit_under_load.py"), mode, str(delay)], cwd=HERE,
                              capture_output=True, text=True, timeout=60)
    except subprocess.TimeoutExpired as expired:
        pytest.fail(f"{mode} at {delay} s did not end:\n{expired.stderr}")
    assert done.returncode == 0, f"{mode} at {delay} s: exit status {done.returncode}\n{done.stderr[-5000:]}"


@pytest.mark.parametrize("delay", [0.01 * i for i in range(12)])
def test_servers_let_go_by_daemon_threads_at_exit(delay):
    # Each server's close waits for a worker that is inside Python; the exit
    # shutdown must wait for those closes, and the daemon threads coming back
    # from them must not be unwound through the destructors they run in.
    run_until_exit("servers", delay)


@pytest.mark.parametrize("delay", [0.01 * i for i in range(12)])
def test_subscribers_closed_by_daemon_threads_at_exit(delay):
    # The same with subscribers: each close waits for a handler inside Python.
    run_until_exit("subscribers", delay)


@pytest.mark.parametrize("delay", [0.1, 0.3, 0.6])
def test_exit_in_the_middle_of_the_full_load(delay):
    run_until_exit("load", delay)
