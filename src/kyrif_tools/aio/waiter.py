"""Awaiting the futures of asynchronous clients.

The futures offer only ``wait``, ``wait_for`` and ``get``, so something must wait
for them off the event loop. One daemon thread, shared by every pending await of
the process, does: it blocks on the oldest pending future for up to an interval
(waking at once when that one completes) and then checks every other pending future
without waiting. The interval starts at POLL_MIN and doubles up to POLL_MAX while
nothing completes and nothing new is awaited. A completed future is handed to its
loop, which takes the result there, so an error is raised in the awaiting coroutine.

Added latency: about nothing for the oldest pending future (replies mostly come in
the order of the requests), at most the interval (1 to 20 ms) for the others, plus
the loop's hand-off (about 0.15 ms measured for a single await). Idle cost: none;
the thread ends after IDLE seconds without pending futures and starts again with the
next await. While futures wait for slow replies it wakes 50 times a second.
"""
from __future__ import annotations

import asyncio
import itertools
import threading
from dataclasses import dataclass
from typing import Any, Protocol, TypeVar

import pyqelcpp
import ModKyrif

T = TypeVar("T")
T_co = TypeVar("T_co", covariant=True)

POLL_MIN = 0.001
POLL_MAX = 0.020
IDLE = 1.0


class NativeFuture(Protocol[T_co]):
    """What the waiter needs of a future of an asynchronous client."""

    def wait_for(self, timeout: float, /) -> pyqelcpp.FutureStatus: ...

    def get(self) -> T_co: ...


@dataclass
class _Pending:
    native: NativeFuture[Any]
    future: asyncio.Future[Any]
    loop: asyncio.AbstractEventLoop


def _settle(pending: _Pending) -> None:
    """On the loop: gives the awaiting future the native future's result or error."""
    if pending.future.done():
        return
    try:
        value = pending.native.get()
    except ModKyrif.Kyrif.ExceptionErr as error:
        _keep_description(error)
        pending.future.set_exception(error)
    except Exception as error:  # noqa: BLE001  (the error belongs to the awaiting coroutine)
        pending.future.set_exception(error)
    else:
        pending.future.set_result(value)


def _keep_description(error: BaseException) -> None:
    """ExceptionErr keeps the description and code of the latest one raised in the
    process, and other futures may be settled before the coroutine looks: this
    instance answers getDesc and getCode with its own."""
    desc, code = ModKyrif.Kyrif.ExceptionErr.getDesc(), ModKyrif.Kyrif.ExceptionErr.getCode()
    setattr(error, "getDesc", lambda: desc)
    setattr(error, "getCode", lambda: code)


def _ready(native: NativeFuture[Any], timeout: float) -> bool:
    """Whether the future is done; one that cannot even be waited for is settled
    too, so that its error reaches the awaiting coroutine."""
    try:
        return bool(native.wait_for(timeout) == pyqelcpp.FutureStatus.ready)
    except Exception:  # noqa: BLE001
        return True


class Waiter:
    """The thread that watches every pending future of the process."""

    def __init__(self) -> None:
        self._lock = threading.Lock()
        self._changed = threading.Condition(self._lock)
        self._pending: dict[int, _Pending] = {}
        self._tokens = itertools.count()
        self._running = False

    def pending(self) -> int:
        """How many futures are being watched."""
        with self._lock:
            return len(self._pending)

    def running(self) -> bool:
        """Whether the thread is there."""
        with self._lock:
            return self._running

    def watch(self, native: NativeFuture[T], loop: asyncio.AbstractEventLoop) -> asyncio.Future[T]:
        future: asyncio.Future[T] = loop.create_future()
        token = next(self._tokens)
        with self._lock:
            self._pending[token] = _Pending(native, future, loop)
            if not self._running:
                threading.Thread(target=self._run, name="kyrif-aio-waiter", daemon=True).start()
                self._running = True
            self._changed.notify()
        # A cancelled await leaves nothing behind: the native future is let go.
        future.add_done_callback(lambda _: self._forget(token))
        return future

    def _forget(self, token: int) -> None:
        with self._lock:
            self._pending.pop(token, None)

    def _run(self) -> None:
        interval = POLL_MIN
        newest = -1
        while True:
            with self._lock:
                if not self._pending and not self._changed.wait_for(lambda: bool(self._pending), IDLE):
                    self._running = False
                    return
                watched = list(self._pending.items())
            if watched[-1][0] != newest:
                newest, interval = watched[-1][0], POLL_MIN
            _ready(watched[0][1].native, interval)
            settled = False
            for token, pending in watched:
                if not _ready(pending.native, 0.0):
                    continue
                with self._lock:
                    if self._pending.pop(token, None) is None:
                        continue
                settled = True
                try:
                    pending.loop.call_soon_threadsafe(_settle, pending)
                except RuntimeError:
                    pass  # the loop is closed: nobody awaits this any more
            interval = POLL_MIN if settled else min(2 * interval, POLL_MAX)
            del watched, pending


WAITER = Waiter()


def wrap_future(native: NativeFuture[T]) -> asyncio.Future[T]:
    """An asyncio future of the running loop that completes with the native future."""
    return WAITER.watch(native, asyncio.get_running_loop())


async def result(native: NativeFuture[T]) -> T:
    """Waits for the native future without blocking the loop; returns its value or
    raises its error. Cancelling the await stops watching the native future."""
    return await wrap_future(native)
