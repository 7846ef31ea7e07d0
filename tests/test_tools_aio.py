"""The asyncio adapters: many awaits in flight, cancellation, ExceptionErr per await,
back-pressure of the event stream and closing it while a handler is held back."""
import asyncio
import gc
import threading
import time
import weakref

import pytest

import pyqelcpp
import ModKyrif
from kyrif_tools import aio
from kyrif_tools.aio.waiter import IDLE, WAITER

Kyrif = ModKyrif.Kyrif


def run_bounded(coroutine_function, seconds=60):
    """Runs a coroutine on a new loop in a thread; fails instead of hanging the suite."""
    outcome = {}

    def body():
        try:
            outcome["value"] = asyncio.run(coroutine_function())
        except BaseException as error:  # noqa: BLE001
            outcome["error"] = error

    thread = threading.Thread(target=body, daemon=True)
    thread.start()
    thread.join(seconds)
    assert not thread.is_alive(), "the coroutine did not finish: deadlock or lost wake-up"
    if "error" in outcome:
        raise outcome["error"]
    return outcome.get("value")


class SlowService:
    def __init__(self):
        self.release = None  # an asyncio.Event on the serving loop

    async def Ping(self):
        await asyncio.sleep(0.001)
        return "pong"

    async def GetConfig(self, text):
        await self.release.wait()
        return text


def test_many_awaits_in_flight_and_cancellation_leaves_nothing(factory, endpoint, rr_qos):
    async def scenario():
        loop = asyncio.get_running_loop()
        service = SlowService()
        service.release = asyncio.Event()
        server = factory.createServer(endpoint, rr_qos, {})
        aio.serve(server, "slow", service, loop)
        client = aio.Client(Kyrif.KyrCmds.KyrCmdsAsync.staticGetClient(factory, endpoint + "/slow", rr_qos, {}))
        await client.connect()

        # The service runs on this same loop: an await that blocked the loop would never end.
        replies = await asyncio.gather(*(client.Ping() for _ in range(500)))
        assert replies == ["pong"] * 500

        natives = [client.client.GetConfig(str(i)) for i in range(50)]
        watchers = [weakref.ref(native) for native in natives]
        awaits = [asyncio.ensure_future(aio.result(native)) for native in natives]
        del natives
        await asyncio.sleep(0.05)
        assert WAITER.pending() == 50
        for waiting in awaits:
            waiting.cancel()
        del waiting
        await asyncio.gather(*awaits, return_exceptions=True)
        assert WAITER.pending() == 0
        del awaits
        for _ in range(100):  # the waiter drops its snapshot of the pending futures within a sweep
            gc.collect()
            if all(watcher() is None for watcher in watchers):
                break
            await asyncio.sleep(0.01)
        assert all(watcher() is None for watcher in watchers)  # no native future kept

        service.release.set()  # the late replies find nobody waiting
        assert await client.GetConfig("after") == "after"
        client.close()
        server.close()

    run_bounded(scenario)
    deadline = time.monotonic() + IDLE + 5
    while WAITER.running() and time.monotonic() < deadline:
        time.sleep(0.05)
    assert not WAITER.running()  # no thread while nothing is pending


def test_each_awaited_exception_err_keeps_its_description_and_code(factory, endpoint, rr_qos):
    class Refusing:
        def GetConfig(self, text):
            raise Kyrif.ExceptionErr(f"refused {text}", int(text))

    server = factory.createServer(endpoint, rr_qos, {})
    Kyrif.KyrCmds.KyrCmdsSyncService.registerService(server, "refusing", Refusing())

    async def scenario():
        client = Kyrif.KyrCmds.KyrCmdsAsync.staticGetClient(factory, endpoint + "/refusing", rr_qos, {})
        natives = [client.GetConfig(str(code)) for code in range(1, 21)]
        for native in natives:
            native.wait()  # all ready: the waiter settles them in one sweep
        outcomes = await asyncio.gather(*(aio.result(native) for native in natives), return_exceptions=True)
        return [(error.getDesc(), error.getCode()) for error in outcomes]

    try:
        assert run_bounded(scenario) == [(f"refused {code}", code) for code in range(1, 21)]
    finally:
        server.close()


def numbered(publisher, number):
    sample = publisher.createDataEntity()
    sample.setName(f"n{number}")
    sample.setParameters(str(number))
    return sample


def test_full_stream_holds_the_publisher_back_and_loses_nothing(factory, endpoint):
    qos = pyqelcpp.PsQoSList()
    qos.append(pyqelcpp.QueueDepth(2))
    subscriber = Kyrif.Method.staticGetSubscriber(factory, endpoint, qos, {})
    publisher = Kyrif.Method.staticGetPublisher(factory, endpoint, pyqelcpp.PsQoSList(), {})

    async def scenario():
        async with aio.events(subscriber, maxsize=3) as stream:
            def publish_until_held_back():
                for number in range(1000):
                    try:
                        publisher.publish(numbered(publisher, number), 0.2)
                    except pyqelcpp.TimeoutException:
                        return number
                return None

            published = await asyncio.to_thread(publish_until_held_back)
            assert published is not None and published < 20  # buffer + queue + one in the handler
            received = []
            async for event in stream:
                received.append(int(event.data.getParameters()))
                if len(received) == published:
                    break
            assert received == list(range(published))

    run_bounded(scenario)


def test_closing_or_dropping_a_stream_releases_a_held_back_handler(factory, endpoint):
    publisher = Kyrif.Method.staticGetPublisher(factory, endpoint, pyqelcpp.PsQoSList(), {})

    async def scenario(drop):
        subscriber = Kyrif.Method.staticGetSubscriber(factory, endpoint, pyqelcpp.PsQoSList(), {})
        stream = aio.events(subscriber, maxsize=1)
        for number in range(5):
            publisher.publish(numbered(publisher, number), 1.0)
        first = await stream.__anext__()
        await asyncio.sleep(0.2)  # the handler now waits for room
        if drop:
            del stream
            gc.collect()
        else:
            await stream.aclose()
            with pytest.raises(StopAsyncIteration):
                await stream.__anext__()
        return first.data.getParameters()

    assert run_bounded(lambda: scenario(drop=False), seconds=30) == "0"
    assert run_bounded(lambda: scenario(drop=True), seconds=30) == "0"
