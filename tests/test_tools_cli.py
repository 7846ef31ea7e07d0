"""The kyrif command line as a user runs it: subprocesses, their output and exit
status; publish/subscribe and request/reply between processes."""
import json
import os
import pathlib
import pty
import signal
import subprocess
import sys
import time

import pytest

import pyqelcpp
import ModKyrif
from kyrif_tools.cli.main import main
from kyrif_tools.instrument import Instrument

Kyrif = ModKyrif.Kyrif
KYRIF = [sys.executable, "-m", "kyrif_tools"]

# A test run started in the background by a non-interactive shell has SIGINT ignored,
# and so would the programs it starts, in which Python then installs no handler for
# it: the tests' Ctrl-C must reach them however the run itself was started.
if signal.getsignal(signal.SIGINT) == signal.SIG_IGN:
    signal.signal(signal.SIGINT, signal.default_int_handler)


def unique(kind, name):
    return f"{kind}:///tools/p{os.getpid()}/{name}/t{time.monotonic_ns()}"


def kyrif(*args, timeout=60, **kwargs):
    return subprocess.run([*KYRIF, *args], capture_output=True, text=True, timeout=timeout, **kwargs)


def start(*args, **kwargs):
    return subprocess.Popen([*KYRIF, *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                            **kwargs)


def one_clean_line(stderr):
    assert "Traceback" not in stderr
    assert len(stderr.strip().splitlines()) == 1, stderr
    return stderr.strip()


@pytest.mark.parametrize("args, says", [
    (["call", "inproc:///lab/s/i", "Pingg"], "did you mean Ping"),
    (["call", "no scheme", "Ping"], "malformed endpoint"),
    (["call", "bogus:///lab/s/i", "Ping"], "cannot use endpoint"),
    (["call", "inproc:///lab/s/i", "Setup", "a", "b"], "one text argument"),
    (["call", "inproc:///lab/s/i", "Execute", "nam=x"], "no field 'nam'"),
    (["call", "inproc:///lab/s/i", "Start", "absTime=soon"], "not a number"),
    (["publish", "inproc:///lab/t", "--type", "StartProperties", "trigger=Later"], "not a trigger"),
    (["publish", "dds.ps://7/a-b", "--type", "Method", "name=x"], "cannot use endpoint"),
    (["publish", "inproc:///lab/t", "--type", "Method", "--rate", "-3"], "positive"),
    (["echo", "inproc:///lab/t", "--type", "Sample"], "invalid choice"),
    (["fetch", "inproc:///lab/t"], "invalid choice"),
])
def test_bad_input_is_one_line_and_status_2(args, says):
    done = kyrif(*args)
    assert done.returncode == 2
    assert says in one_clean_line(done.stderr)


def test_console_script_and_help_with_examples():
    script = pathlib.Path(sys.executable).with_name("kyrif")
    assert subprocess.run([str(script), "--help"], capture_output=True, timeout=60).returncode == 0
    for command in ("call", "echo", "publish", "serve"):
        done = kyrif(command, "--help")
        assert done.returncode == 0 and "examples:" in done.stdout and f"kyrif {command} " in done.stdout


def test_call_statuses_against_the_instrument(factory, rr_qos, capsys):
    server = factory.createServer(unique("inproc", "srv"), rr_qos, {})
    Kyrif.KyrCmds.KyrCmdsSyncService.registerService(server, "instrument", Instrument(lambda line: None))
    endpoint = server.getEndpoint() + "/instrument"
    try:
        cases = [
            (["Ping"], 0, "pong"),
            (["Execute", "name=focus", "parameters=z=12"], 0, "executed focus(z=12)"),
            (["Setup", "slow"], 3, "ExceptionErr: unknown mode 'slow'"),
            (["WritePars", "x"], 3, "(code 2)"),
            (["Abort"], 0, "aborted"),
            (["Start", "trigger=Custom", "info=run 7"], 3, "(code 3)"),
            (["Recover"], 0, "recovered"),
            (["Start", "trigger=AbsTime", "absTime=12.5", "info=run 7"], 0, "absTime=12.5 trigger=AbsTime"),
        ]
        for args, status, says in cases:
            assert main(["call", endpoint, *args]) == status, args
            out, err = capsys.readouterr()
            assert says in (out if status == 0 else one_clean_line(err)), args
        started = time.monotonic()
        assert main(["call", endpoint + "_absent", "Ping", "--timeout", "0.3"]) == 4
        assert time.monotonic() - started < 3
        one_clean_line(capsys.readouterr().err)
    finally:
        server.close()


def test_publish_to_echo_between_processes():
    endpoint = unique("dds.ps", "m").replace(":///", "://0/")
    echo = start("echo", endpoint, "--type", "Method", "--json", "--count", "5")
    try:
        published = kyrif("publish", endpoint, "--type", "Method", "name=scan", "parameters=step={i}",
                          "--count", "5", "--rate", "50", "-p", "dds.waitForReaders=1")
        assert published.returncode == 0, published.stderr
        assert published.stderr == ""  # no progress bar when standard error is not a terminal
        out, err = echo.communicate(timeout=30)
    finally:
        echo.kill()
    assert echo.returncode == 0, err
    lines = [json.loads(line) for line in out.splitlines()]
    assert [line["data"]["parameters"] for line in lines] == [f"step={i}" for i in range(5)]
    assert lines[0]["event"] == "CREATED" and lines[1]["event"] == "UPDATED"
    assert all(line["state"] == "ALIVE" and line["data"]["name"] == "scan" for line in lines)


def test_echo_prints_events_without_data():
    endpoint = unique("dds.ps", "s").replace(":///", "://0/")
    echo = start("echo", endpoint, "--type", "StartProperties", "--count", "2")
    try:
        published = kyrif("publish", endpoint, "--type", "StartProperties", "trigger=AbsTime",
                          "absTime=1765000000.5", "info=run 7", "-p", "dds.waitForReaders=1")
        assert published.returncode == 0, published.stderr
        out, err = echo.communicate(timeout=30)
    finally:
        echo.kill()
    assert echo.returncode == 0, err
    created, removed = out.splitlines()
    assert created.startswith("CREATED ALIVE ")
    assert created.endswith("absTime=1765000000.5 trigger=AbsTime customTrigger='' info='run 7'")
    assert removed.startswith("REMOVED NOT_ALIVE ") and len(removed.split()) == 3


def test_publish_without_readers_in_time_is_a_timeout():
    endpoint = unique("dds.ps", "alone").replace(":///", "://0/")
    started = time.monotonic()
    done = kyrif("publish", endpoint, "--type", "Method", "name=x",
                 "-p", "dds.waitForReaders=1", "-p", "dds.waitForReadersMs=300")
    assert done.returncode == 4 and time.monotonic() - started < 20
    assert one_clean_line(done.stderr).startswith("kyrif publish: no reader of topic 'tools/")
    assert one_clean_line(done.stderr).endswith("' in domain 0 appeared within 0.3 s")


def test_publish_draws_a_progress_bar_on_a_terminal():
    main_side, terminal = pty.openpty()
    try:
        done = subprocess.run([*KYRIF, "publish", unique("inproc", "bar"), "--type", "Method", "name=x",
                               "--count", "20"], stderr=terminal, stdout=subprocess.DEVNULL, timeout=60)
        shown = os.read(main_side, 4096).decode()
    finally:
        os.close(main_side)
        os.close(terminal)
    assert done.returncode == 0
    assert "] 20/20" in shown and "#" * 30 in shown


def wait_for_line(process, text, seconds=30):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        line = process.stdout.readline()
        if text in line:
            return
        if not line and process.poll() is not None:
            break
    pytest.fail(f"no line with {text!r}: {process.stderr.read()}")


@pytest.mark.parametrize("args", [["serve", "inproc:///tools/s"], ["echo", "inproc:///tools/e", "--type", "Method"]])
def test_ctrl_c_ends_serve_and_echo_with_status_0(args):
    process = start(*args)
    try:
        if args[0] == "serve":
            wait_for_line(process, "serving KyrCmds at inproc:///tools/s/instrument")
        else:
            time.sleep(1.0)  # into its reading loop
        process.send_signal(signal.SIGINT)
        out, err = process.communicate(timeout=30)
    finally:
        process.kill()
    assert process.returncode == 0 and err == ""
    if args[0] == "serve":
        assert out.endswith("stopped\n")


@pytest.fixture
def dds_rr_server_endpoint(factory, rr_qos):
    """A dds.rr server endpoint, once the middleware serves request/reply between processes."""
    endpoint = unique("dds.rr", "srv").replace(":///", "://0/")
    try:
        factory.createServer(endpoint + "_probe", rr_qos, {}).close()
    except pyqelcpp.QelException as error:
        pytest.skip(f"creating a dds.rr server is refused: {error}")
    return endpoint


def test_call_a_serve_in_another_process_over_dds(dds_rr_server_endpoint):
    serve = start("serve", dds_rr_server_endpoint, "--name", "instrument")
    try:
        wait_for_line(serve, "serving KyrCmds")
        service = dds_rr_server_endpoint + "/instrument"
        ping = kyrif("call", service, "Ping", "--timeout", "10")
        assert (ping.returncode, ping.stdout) == (0, "pong\n"), ping.stderr
        refused = kyrif("call", service, "Setup", "slow", "--timeout", "10")
        assert refused.returncode == 3
        assert "unknown mode 'slow'" in one_clean_line(refused.stderr) and "(code 1)" in refused.stderr
        serve.send_signal(signal.SIGINT)
        out, _ = serve.communicate(timeout=30)
    finally:
        serve.kill()
    assert serve.returncode == 0
    assert "Ping() -> 'pong'" in out and "Setup('slow') -> ExceptionErr" in out
