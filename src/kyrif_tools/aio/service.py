"""Serving KyrCmds with coroutines on an asyncio loop."""
from __future__ import annotations

import asyncio
import concurrent.futures
from collections.abc import Awaitable, Callable, Coroutine
from typing import Any

import pyqelcpp
import ModKyrif

COMMANDS = frozenset({"Abort", "Execute", "GetConfig", "GetDiagnostics", "GetSetup", "Ping", "ReadPars",
                      "Recover", "Scan", "SetConfig", "Setup", "Start", "WritePars"})


async def _await(awaitable: Awaitable[Any]) -> Any:
    return await awaitable


class _Servant:
    """What the server calls, on its worker threads: each command starts the
    object's coroutine on the loop and answers with a thread-safe future of it."""

    def __init__(self, obj: object, loop: asyncio.AbstractEventLoop) -> None:
        self._obj = obj
        self._loop = loop

    def __getattr__(self, command: str) -> Callable[..., concurrent.futures.Future[Any]]:
        if command not in COMMANDS:
            raise AttributeError(command)
        method = getattr(self._obj, command)

        def call(*args: Any) -> concurrent.futures.Future[Any]:
            outcome = method(*args)
            if not isinstance(outcome, Awaitable):
                done: concurrent.futures.Future[Any] = concurrent.futures.Future()
                done.set_result(outcome)
                return done
            coroutine: Coroutine[Any, Any, Any] = outcome if asyncio.iscoroutine(outcome) else _await(outcome)
            try:
                return asyncio.run_coroutine_threadsafe(coroutine, self._loop)
            except BaseException:
                coroutine.close()  # never started: no "never awaited" warning
                raise

        return call


def serve(server: pyqelcpp.Server, name: str, obj: object, loop: asyncio.AbstractEventLoop) -> None:
    """Serves KyrCmds under ``name`` with ``obj``, whose command methods are
    coroutine functions (``async def Ping(self) -> str``); each request runs as a
    task on ``loop``, which must be running. No worker thread of the server waits
    for a coroutine. An ExceptionErr raised inside a coroutine reaches the client as
    a QelException whose text names it ("ExceptionErr: ('description', code) ..."):
    the asynchronous service form carries every error of its futures that way."""
    ModKyrif.Kyrif.KyrCmds.KyrCmdsAsyncService.registerService(server, name, _Servant(obj, loop))
