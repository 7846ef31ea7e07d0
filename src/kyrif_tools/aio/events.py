"""A subscriber's events as an asynchronous iterator.

An asynchronous subscription's handler, on a middleware thread, hands each event to
the loop with ``call_soon_threadsafe``. At most ``maxsize`` events wait for the
consumer: when that many are waiting, the handler waits too, which holds back the
subscriber's later events, fills its queue and makes publishers wait (and time out)
rather than lose anything. Closing the stream from the loop first releases a
held-back handler and then closes the subscription, whose close waits for a
running handler: releasing first is what keeps that from deadlocking.
"""
from __future__ import annotations

import asyncio
import threading
from collections.abc import AsyncIterator
from dataclasses import dataclass
from types import TracebackType
from typing import Any, Generic, TypeVar, overload

import pyqelcpp
import ModKyrif

Kyrif = ModKyrif.Kyrif
S = TypeVar("S", "ModKyrif.Kyrif.Method", "ModKyrif.Kyrif.StartProperties")


@dataclass(frozen=True)
class Event(Generic[S]):
    """One event, kept beyond the handler: the middleware's event object is valid
    only during the handler's call, the sample is shared and stays valid."""

    event: pyqelcpp.InstanceEvent
    state: pyqelcpp.InstanceState
    sourceTimestamp: float
    data: S | None  # None for an event without valid data (a removed instance)


_CLOSED = object()


class _Feed:
    """What the handler shares with the stream. The handler refers to this, not to
    the stream, so that a stream let go of is collected and closes (see __del__)."""

    def __init__(self, loop: asyncio.AbstractEventLoop, maxsize: int) -> None:
        self.loop = loop
        self.queue: asyncio.Queue[object] = asyncio.Queue()
        self.maxsize = maxsize
        self.cond = threading.Condition()
        self.waiting = 0  # events handed to the loop and not yet taken
        self.closed = False

    def handler(self, subscriber: object, event: Any) -> None:
        item = Event(event.event, event.state, event.sourceTimestamp,
                     event.data if event.hasValidData() else None)
        with self.cond:
            while self.waiting >= self.maxsize and not self.closed:
                self.cond.wait()
            if self.closed:
                return
            self.waiting += 1
        try:
            self.loop.call_soon_threadsafe(self.queue.put_nowait, item)
        except RuntimeError:
            self.release()  # the loop is closed: nobody will take it

    def taken(self) -> None:
        with self.cond:
            self.waiting -= 1
            self.cond.notify()

    def release(self) -> None:
        """Lets a held-back handler go; it delivers nothing more."""
        with self.cond:
            self.closed = True
            self.cond.notify_all()


class EventStream(Generic[S]):
    """``async for event in stream``; ``async with`` (or ``aclose``) closes the
    subscription. The subscriber stays the caller's."""

    def __init__(self, subscriber: Any, structure: Any, event_filter: Any, maxsize: int) -> None:
        if maxsize < 1:
            raise ValueError(f"maxsize must be at least 1, not {maxsize}")
        self._feed = _Feed(asyncio.get_running_loop(), maxsize)
        self._subscription: pyqelcpp.Subscription | None = structure.staticSubscribeAsync(
            subscriber, event_filter, self._feed.handler)

    def __aiter__(self) -> EventStream[S]:
        return self

    async def __anext__(self) -> Event[S]:
        if self._subscription is None and self._feed.queue.empty():
            raise StopAsyncIteration
        item = await self._feed.queue.get()
        if item is _CLOSED:
            self._feed.queue.put_nowait(_CLOSED)  # for any other waiting consumer
            raise StopAsyncIteration
        self._feed.taken()
        return item  # type: ignore[return-value]

    async def aclose(self) -> None:
        """Ends the stream: events not yet taken are dropped, and a consumer waiting
        in ``__anext__`` gets StopAsyncIteration."""
        self.close()

    def close(self) -> None:
        self._feed.release()
        subscription, self._subscription = self._subscription, None
        if subscription is not None:
            subscription.close()
            while not self._feed.queue.empty():
                self._feed.queue.get_nowait()
            self._feed.queue.put_nowait(_CLOSED)

    async def __aenter__(self) -> EventStream[S]:
        return self

    async def __aexit__(self, kind: type[BaseException] | None, error: BaseException | None,
                        trace: TracebackType | None) -> None:
        self.close()

    def __del__(self) -> None:
        # The subscription's destruction waits for a running handler: release it first.
        feed: _Feed | None = getattr(self, "_feed", None)
        if feed is not None:
            feed.release()


@overload
def events(subscriber: ModKyrif.Kyrif.MethodSubscriber,
           event_filter: ModKyrif.Kyrif.MethodDataEventFilter | None = None,
           maxsize: int = 64) -> EventStream[ModKyrif.Kyrif.Method]: ...


@overload
def events(subscriber: ModKyrif.Kyrif.StartPropertiesSubscriber,
           event_filter: ModKyrif.Kyrif.StartPropertiesDataEventFilter | None = None,
           maxsize: int = 64) -> EventStream[ModKyrif.Kyrif.StartProperties]: ...


def events(subscriber: Any, event_filter: Any = None, maxsize: int = 64) -> EventStream[Any]:
    """The subscriber's events (all of them unless a filter is given) from now on,
    with at most ``maxsize`` waiting for the consumer. Call it on the loop."""
    structure = Kyrif.Method if isinstance(subscriber, Kyrif.MethodSubscriber) else Kyrif.StartProperties
    if event_filter is None:
        event_filter = structure.staticGetDataEventFilter()
    return EventStream(subscriber, structure, event_filter, maxsize)
