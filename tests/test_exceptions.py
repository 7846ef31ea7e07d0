"""ExceptionErr: the Python type, its attached functions, and both directions of
translation through a request/reply round trip."""
import gc
import subprocess
import sys

import pytest

import pyqelcpp
import ModKyrif

Kyrif = ModKyrif.Kyrif
ExceptionErr = Kyrif.ExceptionErr
KyrCmds = Kyrif.KyrCmds


class Raising:
    """A service whose Abort raises whatever exception is set on it."""

    error = None

    def Abort(self):
        raise self.error


@pytest.fixture
def raising(factory, endpoint, rr_qos):
    server = factory.createServer(endpoint, rr_qos, {})
    service = Raising()
    KyrCmds.KyrCmdsSyncService.registerService(server, "svc", service)
    client = KyrCmds.KyrCmdsSync.staticGetClient(factory, endpoint + "/svc", rr_qos, {})
    yield service, client
    server.close()


def raised_by(service, client, error):
    service.error = error
    with pytest.raises(ExceptionErr) as info:
        client.Abort()
    return info.value


def test_type_is_a_middleware_exception_of_the_module():
    assert ExceptionErr.__module__ == "ModKyrif.Kyrif"
    assert ExceptionErr.__name__ == "ExceptionErr"
    assert issubclass(ExceptionErr, pyqelcpp.QelException)


def test_attached_functions_have_their_signatures_and_docs():
    docs = {
        "_cpp_exception_factory": "_cpp_exception_factory(arg0: object) -> pyqelcpp.QelPythonExceptionObjectPtr\n\n"
        "Return container pointer for C++ exception to be thrown\n",
        "getDesc": "getDesc() -> str\n\nReturn value of desc\n",
        "getCode": "getCode() -> int\n\nReturn value of code\n",
        "_new_instance": "_new_instance() -> object\n\nCreate new instance and transfer member fields to it\n",
        "__del__": "__del__() -> None\n",
    }
    for name, doc in docs.items():
        assert vars(ExceptionErr)[name].__doc__ == doc


def test_values_before_any_translation_are_empty():
    code = "import pyqelcpp, ModKyrif; E = ModKyrif.Kyrif.ExceptionErr; print(repr(E.getDesc()), E.getCode())"
    out = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, timeout=60)
    assert out.returncode == 0, out.stderr
    assert out.stdout.strip() == "'' 0"


def test_service_error_reaches_the_client_with_description_and_code(raising):
    error = raised_by(*raising, ExceptionErr("T", 42, "ignored"))
    assert str(error) == "::kyrif::ExceptionErr"
    assert error.args == ("::kyrif::ExceptionErr",)
    assert isinstance(error, pyqelcpp.QelException)
    assert (error.getDesc(), error.getCode()) == ("T", 42)


def test_latest_translation_wins(raising):
    first = raised_by(*raising, ExceptionErr("first", 1))
    raised_by(*raising, ExceptionErr("second", 2))
    assert (first.getDesc(), first.getCode()) == ("second", 2)
    assert (ExceptionErr.getDesc(), ExceptionErr.getCode()) == ("second", 2)


def test_arguments_that_do_not_convert_are_reported(raising, capfd):
    error = raised_by(*raising, ExceptionErr(3, "T"))
    assert (error.getDesc(), error.getCode()) == ("", 0)
    assert "cpp_exception_factory for ExceptionErrExc cast fail: " in capfd.readouterr().err

    error = raised_by(*raising, ExceptionErr("T", "U"))
    assert (error.getDesc(), error.getCode()) == ("T", 0)
    assert "cpp_exception_factory for ExceptionErrExc cast fail: " in capfd.readouterr().err

    error = raised_by(*raising, ExceptionErr("T", 2**40))
    assert (error.getDesc(), error.getCode()) == ("T", 0)
    assert "cast fail" in capfd.readouterr().err


def test_description_that_is_not_utf8_raises_on_reading(raising):
    error = raised_by(*raising, ExceptionErr(b"\xff", 9))
    assert error.getCode() == 9
    with pytest.raises(UnicodeDecodeError):
        error.getDesc()


def test_factory_on_a_non_iterable_reports_and_clears_the_error(capfd):
    holder = ExceptionErr._cpp_exception_factory(5)
    assert isinstance(holder, pyqelcpp.QelPythonExceptionObjectPtr) and holder
    lines = capfd.readouterr().err.splitlines()
    assert len(lines) == 1 and lines[0].startswith("cpp_exception_factory for ExceptionErrExc general fail: ")
    assert sys.exc_info() == (None, None, None)


def test_snapshot_keeps_the_values_of_its_moment(raising):
    raised_by(*raising, ExceptionErr("then", 5))
    snapshot = ExceptionErr._new_instance()
    raised_by(*raising, ExceptionErr("now", 6))
    assert issubclass(snapshot, ExceptionErr) and snapshot is not ExceptionErr
    assert (snapshot.__module__, snapshot.__name__) == ("ModKyrif.Kyrif", "ExceptionErr")
    assert (snapshot.getDesc(), snapshot.getCode()) == ("then", 5)
    nested = snapshot._new_instance()
    assert issubclass(nested, snapshot) and nested.getDesc() == "then"


def test_snapshot_outlives_the_finalisation_of_its_instances(raising):
    raised_by(*raising, ExceptionErr("kept", 7))
    snapshot = ExceptionErr._new_instance()
    for _ in range(3):  # the first finalisation finishes the snapshot, the others find it finished
        try:
            raise snapshot("x")
        except snapshot:
            pass
        gc.collect()
    assert (snapshot.getDesc(), snapshot.getCode()) == ("kept", 7)
    nested = snapshot._new_instance()
    assert nested.getDesc() == "kept"
    nested("an instance, finalised at once, finishes the nested snapshot")
    del nested

    get_desc, new_instance = snapshot.getDesc, snapshot._new_instance
    del snapshot
    gc.collect()
    assert get_desc() == "kept"  # the function still owns its snapshot
    with pytest.raises(RuntimeError, match="no longer exists"):
        new_instance()
