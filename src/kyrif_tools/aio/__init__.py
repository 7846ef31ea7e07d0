"""asyncio adapters: await commands, iterate over events, serve with coroutines.

- ``await result(future)`` (or ``Client``, whose commands are coroutines) waits for a
  future of an asynchronous client without blocking the event loop; one shared
  waiter thread serves every pending await.
- ``events(subscriber)`` is an asynchronous iterator over a subscriber's events with
  a bounded buffer: a full buffer holds the middleware's handler back, so that
  publishers wait instead of losing samples.
- ``serve(server, name, obj, loop)`` serves KyrCmds with an object whose command
  methods are coroutines, run on the given loop.
"""
from kyrif_tools.aio.client import Client
from kyrif_tools.aio.events import Event, EventStream, events
from kyrif_tools.aio.service import serve
from kyrif_tools.aio.waiter import result, wrap_future

__all__ = ["Client", "Event", "EventStream", "events", "result", "serve", "wrap_future"]
