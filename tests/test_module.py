"""The module tree, the StartTriggerTypes enumeration and the import-time checks."""
import importlib
import operator
import os
import pickle
import subprocess
import sys

import pytest

import ModKyrif
from ModKyrif import Kyrif


# --- the tree --------------------------------------------------------------------

SUBMODULES = {
    "ModKyrif.Kyrif": "Submodule",
    "ModKyrif.Kyrif.KyrCmds": "Submodule for KyrCmds",
    "ModKyrif.Kyrif.KyrCmds.KyrCmdsSync": "Submodule for kyrcmdsSync",
    "ModKyrif.Kyrif.KyrCmds.KyrCmdsAsync": "Submodule for kyrcmdsAsync",
    "ModKyrif.Kyrif.KyrCmds.KyrCmdsSyncService": "Sync service implementation for kyrcmdsSync",
    "ModKyrif.Kyrif.KyrCmds.KyrCmdsAsyncService": "Async service implementation for kyrcmdsSync",
}


@pytest.mark.parametrize("name,doc", SUBMODULES.items())
def test_submodules_are_importable_by_dotted_name_with_their_doc(name, doc):
    module = importlib.import_module(name)
    assert module.__doc__ == doc
    parent, _, short = name.rpartition(".")
    assert getattr(sys.modules[parent], short) is module
    assert sys.modules[name] is module


def test_top_level_holds_only_the_kyrif_submodule():
    assert ModKyrif.__doc__ is None
    public = {n for n in dir(ModKyrif) if not n.startswith("__")}
    assert public == {"Kyrif"}


def test_kyrif_classes_are_registered_in_family_order():
    names = [n for n in vars(Kyrif) if isinstance(getattr(Kyrif, n), type)]
    roles = ["", "InstancePublisher", "Publisher", "DataEvent", "DataEventFilter",
             "LoanedDataEntity", "Subscriber", "MrvSubscriber"]
    expected = (["StartTriggerTypes"] + ["Method" + r for r in roles]
                + ["StartProperties" + r for r in roles] + ["ExceptionErr"])
    assert [n for n in names if n in expected] == expected


# --- StartTriggerTypes -------------------------------------------------------------

STT = Kyrif.StartTriggerTypes
VALUES = {"Signal": 0, "AbsTime": 1, "Custom": 2, "NotUsed": 3}


def test_enumerators_values_and_exported_names():
    assert {name: int(value) for name, value in STT.__members__.items()} == VALUES
    for name, value in VALUES.items():
        member = getattr(STT, name)
        assert getattr(Kyrif, name) is member
        assert member.value == value and member.__index__() == value
        assert member.name == name
        assert str(member) == f"StartTriggerTypes.{name}"
        assert repr(member) == f"<StartTriggerTypes.{name}: {value}>"


def test_doc_lists_members_in_order():
    assert STT.__doc__ == "Members:\n\n  Signal\n\n  AbsTime\n\n  Custom\n\n  NotUsed"


def test_equality_with_int_and_none():
    assert STT.Custom == 2 and not (STT.Custom != 2)
    assert STT.Custom != None  # noqa: E711  (the comparison itself is under test)
    assert not (STT.Custom == None)  # noqa: E711
    assert STT.Signal != STT.AbsTime
    assert hash(STT.NotUsed) == 3


@pytest.mark.parametrize("op", [operator.lt, operator.le, operator.gt, operator.ge,
                                operator.or_, operator.and_])
def test_no_ordering_and_no_bitwise_operators(op):
    with pytest.raises(TypeError):
        op(STT.Signal, STT.AbsTime)


def test_unnamed_value_and_pickling_state():
    seven = STT(7)
    assert int(seven) == 7
    assert all(seven != member for member in STT.__members__.values())
    assert STT.Custom.__getstate__() == 2
    restored = pickle.loads(pickle.dumps(STT.AbsTime))
    assert restored == STT.AbsTime and int(restored) == 1


# --- import-time checks (in other interpreters) -------------------------------------

def _pyenv_python(version):
    if os.environ.get("MODKYRIF_SANITIZED") == "1":
        # The sanitizer runtime is preloaded into every program the tests start; the
        # other interpreters (and pyenv's shell scripts) are not meant to run with it.
        pytest.skip("other interpreters do not run under the sanitizers")
    try:
        prefix = subprocess.run(["pyenv", "prefix", version], capture_output=True, text=True,
                                check=True).stdout.strip()
    except (OSError, subprocess.CalledProcessError):
        pytest.skip(f"pyenv has no Python {version}")
    return os.path.join(prefix, "bin", "python3")


LOAD_EXPLICITLY = """
import importlib.machinery, importlib.util, os, sys
sys.setdlopenflags(os.RTLD_LAZY | os.RTLD_GLOBAL)
path = sys.argv[1]
loader = importlib.machinery.ExtensionFileLoader("ModKyrif", path)
location = importlib.util.spec_from_file_location("ModKyrif", path, loader=loader)
try:
    importlib.util.module_from_spec(location)
except ImportError as error:
    print("ImportError:" + str(error))
    print("version:" + sys.version)
else:
    print("loaded")
"""


@pytest.mark.parametrize("version", ["3.11.7", "3.13.0"])
def test_other_interpreters_are_refused_with_the_version_message(version):
    python = _pyenv_python(version)
    result = subprocess.run([python, "-c", LOAD_EXPLICITLY, ModKyrif.__file__],
                            capture_output=True, text=True, timeout=60)
    lines = dict(line.split(":", 1) for line in result.stdout.splitlines() if ":" in line)
    assert "ImportError" in lines, result.stdout + result.stderr
    assert lines["ImportError"] == (
        "Python version mismatch: module was compiled for Python 3.12, but the interpreter "
        f"version is incompatible: {lines['version']}.")
    assert lines["version"].startswith(version)


def test_missing_pyqelcpp_fails_the_import_with_the_cause_attached():
    code = """
import sys
sys.modules["pyqelcpp"] = None
try:
    import ModKyrif
except ImportError as error:
    print(str(error))
    print(type(error.__cause__).__name__)
    print("pyqelcpp" in str(error.__cause__))
"""
    result = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                            timeout=60, env=dict(os.environ))
    assert result.stdout.splitlines() == ["initialization failed", "ModuleNotFoundError", "True"], \
        result.stdout + result.stderr


def test_both_modules_are_built_with_the_middlewares_registry_key():
    """The key under which the binding library shares its type registry must be the
    one the middleware's Python module is built with, whatever compiler built ours."""
    import pyqelcpp
    key = b"__pybind11_internals_v5_gcc_libstdcpp_cxxabi1019__"
    for module in (pyqelcpp, ModKyrif):
        with open(module.__file__, "rb") as library:
            assert key in library.read(), module.__file__
