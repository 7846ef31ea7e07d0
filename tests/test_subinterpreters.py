"""Sub-interpreters that import the modules and then end, in a legacy one (sharing
the main interpreter's lock) and in an isolated one (its own lock): an
initialisation there is refused with ImportError, an interpreter that ends runs
nothing of either module, and the main interpreter then loads and uses the
middleware and exits cleanly."""
import subprocess
import sys
import textwrap

import pytest

PROGRAM = textwrap.dedent("""
    import os, sys
    import _testcapi, _xxsubinterpreters as interpreters
    main_first = sys.argv[1] == "main_first"

    def use_middleware():
        import pyqelcpp, ModKyrif
        KyrCmds = ModKyrif.Kyrif.KyrCmds
        factory = pyqelcpp.WexFactory.getInstance()
        base = f"inproc:///subinterp/{os.getpid()}"
        class Service:
            def Ping(self):
                return "pong"
        server = factory.createServer(base, pyqelcpp.RrQoSList(), {})
        KyrCmds.KyrCmdsSyncService.registerService(server, "svc", Service())
        client = KyrCmds.KyrCmdsSync.staticGetClient(factory, base + "/svc", pyqelcpp.RrQoSList(), {})
        assert client.Ping() == "pong"
        everything = ModKyrif.Kyrif.Method.staticGetDataEventFilter()
        sub = ModKyrif.Kyrif.Method.staticGetSubscriber(factory, base, pyqelcpp.PsQoSList(), {})
        return [server, client, sub, ModKyrif.Kyrif.Method.staticSubscribeAsync(sub, everything, lambda s, e: None)]

    IMPORT = '''
    try:
        import {module}
    except ImportError as error:
        print("{where} {module}: ImportError:", error, flush=True)
    else:
        print("{where} {module}: loaded", flush=True)
    '''

    kept = use_middleware() if main_first else None
    for module in ("ModKyrif", "pyqelcpp"):
        code = IMPORT.format(module=module, where="legacy")
        assert _testcapi.run_in_subinterp(code) == 0
        isolated = interpreters.create()
        interpreters.run_string(isolated, IMPORT.format(module=module, where="isolated"))
        interpreters.destroy(isolated)
    kept = kept or use_middleware()
    print("main ok", flush=True)
""")


def run(mode):
    result = subprocess.run([sys.executable, "-c", PROGRAM, mode], capture_output=True, text=True, timeout=60)
    assert result.returncode == 0, result.stdout + result.stderr
    lines = result.stdout.splitlines()
    assert lines[-1] == "main ok", result.stdout + result.stderr
    return dict(line.split(": ", 1) for line in lines[:-1])


def test_initialisation_in_a_sub_interpreter_is_refused_and_leaves_nothing_behind():
    outcomes = run("sub_first")
    for where in ("legacy", "isolated"):
        for module in ("ModKyrif", "pyqelcpp"):
            outcome = outcomes[f"{where} {module}"]
            assert outcome.startswith("ImportError:") and "sub-interpreter" in outcome, outcome


def test_sub_interpreters_ending_after_the_main_import_leave_the_middleware_running():
    outcomes = run("main_first")
    # A legacy interpreter is handed a copy of the main interpreter's module; an
    # isolated one is refused by Python itself.
    assert outcomes["legacy ModKyrif"] == "loaded"
    assert outcomes["isolated ModKyrif"].startswith("ImportError:")
