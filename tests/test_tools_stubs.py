"""The type stubs: generated from the built modules without a difference from what
is shipped, and strict enough that mypy accepts the examples and the tools and
refuses wrong argument types in a user's calls."""
import os
import pathlib
import subprocess
import sys
import textwrap

import pytest

ROOT = pathlib.Path(__file__).resolve().parent.parent


def plain_environment():
    """The installed modules, without the sanitizer runtimes meant for our own processes."""
    dropped = {"LD_PRELOAD", "PYTHONPATH", "PYTHONMALLOC", "ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"}
    return {name: value for name, value in os.environ.items() if name not in dropped}


@pytest.fixture(scope="module")
def mypy(tmp_path_factory):
    cache = tmp_path_factory.mktemp("mypy_cache")

    def run(*paths):
        return subprocess.run([sys.executable, "-m", "mypy", "--strict", "--cache-dir", str(cache), *map(str, paths)],
                              capture_output=True, text=True, cwd=ROOT, env=plain_environment(), timeout=300)
    return run


def test_generated_stubs_match_the_shipped_ones():
    done = subprocess.run([sys.executable, str(ROOT / "scripts" / "stubgen.py"), "--check"], capture_output=True,
                          text=True, env=plain_environment(), timeout=300)
    assert done.returncode == 0, done.stdout + done.stderr


def test_examples_and_tools_pass_strict_type_checking(mypy):
    done = mypy(ROOT / "examples", ROOT / "src" / "kyrif_tools")
    assert done.returncode == 0, done.stdout + done.stderr


def test_wrong_argument_types_are_flagged(mypy, tmp_path):
    user = tmp_path / "user.py"
    user.write_text(textwrap.dedent("""\
        import pyqelcpp
        import ModKyrif

        Kyrif = ModKyrif.Kyrif
        factory = pyqelcpp.WexFactory.getInstance()
        qos = pyqelcpp.PsQoSList()
        publisher = Kyrif.Method.staticGetPublisher(factory, "inproc:///a/Method", qos, {})
        method = publisher.createDataEntity()
        method.setName(42)
        start = Kyrif.StartProperties.staticCreateDataEntity(publisher.getQel())
        publisher.publish(start, 1.0)
        publisher.publish(method, "1 s")
        subscriber = Kyrif.Method.staticGetSubscriber(factory, "inproc:///a/Method", qos, {})
        for event in subscriber.readDataEvents(Kyrif.Method.staticGetDataEventFilter(), 10, 1.0):
            event.data.getName()
        client = Kyrif.KyrCmds.KyrCmdsSync.staticGetClient(factory, "inproc:///a/s/i", pyqelcpp.RrQoSList(), {})
        client.Execute(start)
        reply: int = client.Ping()
        """))
    done = mypy(user)
    flagged = {int(line.split(":")[1]) for line in done.stdout.splitlines() if ": error:" in line}
    assert flagged == {9, 11, 12, 15, 17, 18}, done.stdout
