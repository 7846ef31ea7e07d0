"""A demonstration instrument that answers the thirteen commands of KyrCmds.

It keeps a mode, a configuration and parameters, and a state (idle, running,
executing, aborted); bad input is answered with ExceptionErr. Each request is
reported to a log function as one line: the command, its argument and the answer.
"""
from __future__ import annotations

import datetime
import threading
import time
from collections.abc import Callable

import ModKyrif

from kyrif_tools import fields

Kyrif = ModKyrif.Kyrif

# Codes of the ExceptionErr answers.
UNKNOWN_MODE = 1
MALFORMED = 2
ABORTED = 3
UNKNOWN_KEY = 4

MODES = ("standard", "fast", "calibration")


def _pairs(text: str) -> dict[str, str]:
    """``key=value`` pairs separated by ``;``."""
    result: dict[str, str] = {}
    for item in filter(None, (part.strip() for part in text.split(";"))):
        key, equals, value = item.partition("=")
        if not equals or not key.strip():
            raise Kyrif.ExceptionErr(f"malformed {item!r}: expected key=value pairs separated by ';'",
                                     MALFORMED)
        result[key.strip()] = value.strip()
    return result


def _lookup(table: dict[str, str], keys: str, what: str) -> str:
    """The entries named in ``keys`` (separated by ``;`` or ``,``; none or ``all``
    for every entry) as ``key=value`` pairs."""
    names = [k.strip() for k in keys.replace(",", ";").split(";") if k.strip()]
    if not names or names == ["all"]:
        names = sorted(table)
    missing = [name for name in names if name not in table]
    if missing:
        raise Kyrif.ExceptionErr(f"no {what} {missing[0]!r}", UNKNOWN_KEY)
    return ";".join(f"{name}={table[name]}" for name in names)


class Instrument:
    """Serves KyrCmds; requests may arrive on several threads at once."""

    def __init__(self, log: Callable[[str], None]) -> None:
        self._log = log
        self._lock = threading.Lock()
        self._mode = MODES[0]
        self._config: dict[str, str] = {}
        self._pars: dict[str, str] = {}
        self._state = "idle"
        self._requests = 0
        self._since = time.monotonic()

    def _serve(self, command: str, argument: str, answer: Callable[[], str]) -> str:
        with self._lock:
            self._requests += 1
            stamp = datetime.datetime.now().strftime("%H:%M:%S.%f")[:-3]
            try:
                reply = answer()
            except Kyrif.ExceptionErr as error:
                desc, code = (list(error.args) + ["", 0])[:2]
                self._log(f"{stamp} {command}({argument}) -> ExceptionErr: {desc} (code {code})")
                raise
            self._log(f"{stamp} {command}({argument}) -> {reply!r}")
            return reply

    def _ready(self) -> None:
        if self._state == "aborted":
            raise Kyrif.ExceptionErr("the instrument is aborted: call Recover first", ABORTED)

    def _set_state(self, state: str, reply: str) -> str:
        self._state = state
        return reply

    def Abort(self) -> str:
        return self._serve("Abort", "", lambda: self._set_state("aborted", "aborted"))

    def Recover(self) -> str:
        return self._serve("Recover", "", lambda: self._set_state("idle", "recovered"))

    def Ping(self) -> str:
        return self._serve("Ping", "", lambda: "pong")

    def GetDiagnostics(self) -> str:
        return self._serve("GetDiagnostics", "", lambda: (
            f"state={self._state};mode={self._mode};requests={self._requests};"
            f"uptime={time.monotonic() - self._since:.1f}s"))

    def Scan(self) -> str:
        def scan() -> str:
            self._ready()
            return f"scan done in mode {self._mode}"
        return self._serve("Scan", "", scan)

    def Setup(self, mode: str) -> str:
        def setup() -> str:
            if mode not in MODES:
                raise Kyrif.ExceptionErr(f"unknown mode {mode!r} (modes: {', '.join(MODES)})", UNKNOWN_MODE)
            self._mode = mode
            return f"mode={mode}"
        return self._serve("Setup", repr(mode), setup)

    def GetSetup(self, what: str) -> str:
        return self._serve("GetSetup", repr(what), lambda: f"mode={self._mode}")

    def SetConfig(self, text: str) -> str:
        def set_config() -> str:
            self._config.update(_pairs(text))
            return "ok"
        return self._serve("SetConfig", repr(text), set_config)

    def GetConfig(self, keys: str) -> str:
        return self._serve("GetConfig", repr(keys), lambda: _lookup(self._config, keys, "configuration entry"))

    def WritePars(self, text: str) -> str:
        def write_pars() -> str:
            self._pars.update(_pairs(text))
            return "ok"
        return self._serve("WritePars", repr(text), write_pars)

    def ReadPars(self, keys: str) -> str:
        return self._serve("ReadPars", repr(keys), lambda: _lookup(self._pars, keys, "parameter"))

    def Execute(self, method: ModKyrif.Kyrif.Method) -> str:
        def execute() -> str:
            self._ready()
            self._state = "executing"
            return f"executed {method.getName()}({method.getParameters()})"
        return self._serve("Execute", fields.as_text(method), execute)

    def Start(self, start: ModKyrif.Kyrif.StartProperties) -> str:
        def begin() -> str:
            self._ready()
            self._state = "running"
            return f"started: {fields.as_text(start)}"
        return self._serve("Start", fields.as_text(start), begin)
