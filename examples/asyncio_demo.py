"""ModKyrif with asyncio: an instrument served by coroutines, commands awaited
concurrently, and a topic's events consumed with ``async for``, all on one loop.
"""
from __future__ import annotations

import asyncio
import sys

import pyqelcpp
import ModKyrif
from kyrif_tools import aio

Kyrif = ModKyrif.Kyrif
SERVER = "inproc:///asyncio_demo/server"
TOPIC = "inproc:///asyncio_demo/Method"


class Instrument:
    """Command methods are coroutines: a slow command does not hold up the others."""

    def __init__(self) -> None:
        self.mode = "standard"

    async def Ping(self) -> str:
        return "pong"

    async def Setup(self, mode: str) -> str:
        await asyncio.sleep(0.05)  # the mechanics take a while
        self.mode = mode
        return f"mode={mode}"

    async def GetSetup(self, what: str) -> str:
        return f"mode={self.mode}"

    async def Execute(self, method: ModKyrif.Kyrif.Method) -> str:
        await asyncio.sleep(0.01)
        return f"executed {method.getName()}({method.getParameters()})"


async def publish(publisher: ModKyrif.Kyrif.MethodPublisher, count: int) -> None:
    """Publishes from a worker thread: publish waits while the readers' queues are full."""
    def run() -> None:
        for number in range(count):
            sample = publisher.createDataEntity()
            sample.setName("scan")
            sample.setParameters(f"step={number}")
            publisher.publish(sample, 2.0)
    await asyncio.to_thread(run)


async def main() -> int:
    factory = pyqelcpp.WexFactory.getInstance()
    server = factory.createServer(SERVER, pyqelcpp.RrQoSList(), {})
    aio.serve(server, "instrument", Instrument(), asyncio.get_running_loop())

    client = aio.Client(Kyrif.KyrCmds.KyrCmdsAsync.staticGetClient(
        factory, SERVER + "/instrument", pyqelcpp.RrQoSList(), {}))
    await client.connect()
    sample = Kyrif.Method.staticCreateDataEntity(factory.getQel(SERVER))
    sample.setName("focus")
    sample.setParameters("z=12")
    replies = await asyncio.gather(client.Ping(), client.Setup("fast"), client.Execute(sample))
    print("concurrent commands:", replies)
    print("after them:        ", await client.GetSetup("mode"))

    subscriber = Kyrif.Method.staticGetSubscriber(factory, TOPIC, pyqelcpp.PsQoSList(), {})
    publisher = Kyrif.Method.staticGetPublisher(factory, TOPIC, pyqelcpp.PsQoSList(), {})
    async with aio.events(subscriber, maxsize=8) as events:
        producer = asyncio.create_task(publish(publisher, 20))
        received = 0
        async for event in events:
            if event.data is not None:
                print(f"event {event.event.name:8} {event.data.getName()} {event.data.getParameters()}")
            received += 1
            if received == 20:
                break
        await producer

    client.close()
    server.close()
    return 0


if __name__ == "__main__":
    sys.exit(asyncio.run(main()))
