"""Objects made by a bare __new__, which carry no native value: every method and
property of every class of both modules refuses them with TypeError (in a process of
its own, where a crash shows as a signal), while construction, Python subclasses and
the text of classes without a constructor stay as they were."""
import json
import pathlib
import subprocess
import sys

import pytest

import pyqelcpp
import ModKyrif

HERE = pathlib.Path(__file__).parent


def test_every_method_of_every_class_refuses_a_bare_object():
    try:
        done = subprocess.run([sys.executable, str(HERE / "unconstructed_sweep.py")], cwd=HERE,
                              capture_output=True, text=True, timeout=120)
    except subprocess.TimeoutExpired as expired:
        pytest.fail(f"sweep did not end:\n{expired.stderr[-20000:]}")
    assert done.returncode == 0, f"exit status {done.returncode}\n{done.stdout}\n{done.stderr[-20000:]}"
    figures = json.loads(done.stdout.strip().splitlines()[-1])
    # The classes are found by introspection; these stand for both trees and all roles.
    for name in ("ModKyrif.Kyrif.Method", "ModKyrif.Kyrif.StartPropertiesSubscriber",
                 "ModKyrif.Kyrif.MethodDataEventFilter", "ModKyrif.Kyrif.KyrCmds.KyrCmdsAsync.KyrCmdsAsync",
                 "pyqelcpp.Uri", "pyqelcpp.Server", "pyqelcpp.Subscription", "pyqelcpp.PsQoSList"):
        assert name in figures["classes"]
    assert figures["calls"] > 200 and figures["outcomes"] == {"TypeError": figures["calls"] + 2}


def test_constructed_and_subclassed_objects_keep_working(Kyrif):
    class Endpoint(pyqelcpp.Uri):
        def __init__(self, path):
            super().__init__("inproc://" + path)

    assert Endpoint("/a/b").path() == "/a/b"
    late = pyqelcpp.Uri.__new__(pyqelcpp.Uri)
    late.__init__("inproc:///x")
    assert late.path() == "/x"

    class Early(pyqelcpp.Uri):
        def __init__(self):
            self.path()

    with pytest.raises(TypeError, match="without its constructor"):
        Early()
    with pytest.raises(TypeError, match="ModKyrif.Kyrif.Method: No constructor defined!"):
        Kyrif.Method()
    qos = pyqelcpp.PsQoSList()
    assert len(qos) == 0
