"""Property tests: the timeout conversion against its exact rule, counts over the
whole unsigned 64-bit range, and texts, bytes and numbers that travel through
publish/subscribe and through commands unchanged."""
import concurrent.futures
import datetime
import itertools
import math
import os
import struct
import time

import pytest
from hypothesis import HealthCheck, assume, example, given, settings
from hypothesis import strategies as st

import pyqelcpp
import ModKyrif

Kyrif = ModKyrif.Kyrif
KyrCmds = Kyrif.KyrCmds
INT64_MIN, INT64_MAX = -(2 ** 63), 2 ** 63 - 1
FEW = settings(max_examples=60, deadline=None, suppress_health_check=[HealthCheck.function_scoped_fixture])
_topics = itertools.count()


def expected_reply_time(ms):
    """The timedelta a count of milliseconds reads back as: exact where a
    timedelta reaches, else its nearest end."""
    try:
        return datetime.timedelta(microseconds=ms * 1000)
    except OverflowError:
        return datetime.timedelta.max if ms > 0 else datetime.timedelta.min


def truncated_ms_of_timedelta(value):
    micros = value // datetime.timedelta(microseconds=1)
    return abs(micros) // 1000 * (1 if micros >= 0 else -1)


def truncated_ms_of_seconds(seconds):
    product = seconds * 1000.0  # in double precision, as the conversion computes it
    if math.isinf(product):
        return INT64_MAX if product > 0 else INT64_MIN
    return min(max(math.trunc(product), INT64_MIN), INT64_MAX)


# --- timeouts ---------------------------------------------------------------------

@FEW
@given(st.timedeltas())
@example(datetime.timedelta(microseconds=-1))
@example(datetime.timedelta(microseconds=-999))
@example(datetime.timedelta(microseconds=-1001))
@example(datetime.timedelta.max)
@example(datetime.timedelta.min)
def test_timedelta_timeouts_are_truncated_toward_zero(value):
    converted = pyqelcpp.ReplyTime(value).getTime()
    assert converted == datetime.timedelta(milliseconds=truncated_ms_of_timedelta(value))


@FEW
@given(st.floats(allow_nan=False))
@example(0.0015)
@example(-0.0015)
@example(-0.0)
@example(9.3e13)  # past the reach of a timedelta
@example(9.3e15)  # past the 64-bit count: saturates
@example(math.inf)
@example(-math.inf)
def test_float_timeouts_are_truncated_toward_zero_and_saturated(seconds):
    converted = pyqelcpp.ReplyTime(seconds).getTime()
    assert converted == expected_reply_time(truncated_ms_of_seconds(seconds))


class Seconds(float):
    pass


class Span(datetime.timedelta):
    pass


def test_timeout_types_accepted_and_refused():
    assert pyqelcpp.ReplyTime(Seconds(0.25)).getTime() == datetime.timedelta(milliseconds=250)
    assert pyqelcpp.ReplyTime(Span(seconds=2)).getTime() == datetime.timedelta(seconds=2)
    for refused in (1, True, math.nan, -math.nan, "1", None, 2 ** 64):
        with pytest.raises(TypeError):
            pyqelcpp.ReplyTime(refused)


@pytest.fixture(scope="module")
def road():
    """A Method subscriber and publisher shared by the examples of one test."""
    factory = pyqelcpp.WexFactory.getInstance()
    endpoint = f"inproc:///properties/{os.getpid()}/{next(_topics)}"
    sub = Kyrif.Method.staticGetSubscriber(factory, endpoint, pyqelcpp.PsQoSList(), {})
    pub = Kyrif.Method.staticGetPublisher(factory, endpoint, pyqelcpp.PsQoSList(), {})
    yield sub, pub
    sub.close()
    pub.close()


@settings(max_examples=15, deadline=None)
@given(st.one_of(st.floats(-0.05, 0.04), st.timedeltas(datetime.timedelta(milliseconds=-50),
                                                          datetime.timedelta(milliseconds=40))))
def test_module_waits_never_end_before_the_converted_timeout(value):
    # The module's own conversion, observed through a read that finds no data.
    factory = pyqelcpp.WexFactory.getInstance()
    endpoint = f"inproc:///properties/{os.getpid()}/wait{next(_topics)}"
    sub = Kyrif.Method.staticGetSubscriber(factory, endpoint, pyqelcpp.PsQoSList(), {})
    mrv = Kyrif.Method.staticGetMrvSubscriber(factory, endpoint, pyqelcpp.PsQoSList(), {})
    ms = (truncated_ms_of_timedelta(value) if isinstance(value, datetime.timedelta)
          else truncated_ms_of_seconds(value))
    f = Kyrif.Method.staticGetDataEventFilter()
    for wait in (lambda: sub.readDataEvents(f, 0, value), lambda: sub.poll(0, value), lambda: mrv.readMostRecent(value)):
        started = time.monotonic()
        assert wait() in ([], 0)
        elapsed = time.monotonic() - started
        assert elapsed >= max(ms, 0) / 1000 - 0.001
        if ms <= 0:
            assert elapsed < 1.0  # no wait at all (the bound is generous for a loaded machine)
    sub.close()
    mrv.close()


# --- counts -----------------------------------------------------------------------

@FEW
@given(st.integers(0, 2 ** 64 - 1))
@example(0)
@example(1)
@example(2 ** 64 - 1)
@example(2 ** 63)
def test_counts_cover_the_unsigned_64_bit_range(road, count):
    sub, pub = road
    sub.read(0)
    for i in range(3):
        sample = pub.createDataEntity()
        sample.setName(str(i))
        pub.publish(sample, 1.0)
    first = [s.getName() for s in sub.read(count)]
    rest = [s.getName() for s in sub.read(0)]
    wanted = 3 if count == 0 else min(count, 3)
    assert first == ["0", "1", "2"][:wanted] and first + rest == ["0", "1", "2"]


@FEW
@given(st.one_of(st.integers(max_value=-1), st.integers(min_value=2 ** 64), st.floats(), st.just(None)))
def test_counts_outside_the_range_are_refused(road, count):
    sub, _ = road
    f = Kyrif.Method.staticGetDataEventFilter()
    for call in (lambda: sub.read(count), lambda: sub.readDataEvents(f, count, 0.0), lambda: sub.poll(count, 0.0)):
        with pytest.raises(TypeError):
            call()


# --- publish/subscribe ------------------------------------------------------------

def same_float(a, b):
    return struct.pack("<d", a) == struct.pack("<d", b)


@FEW
@given(st.text(), st.text(), st.floats())
@example("\x00", "a\x00b\x00", math.nan)
@example("\U0010ffff\u200d", "x" * 100000, -0.0)
def test_method_fields_and_timestamps_travel_unchanged(road, name, parameters, timestamp):
    sub, pub = road
    sub.read(0)
    sample = pub.createDataEntity()
    sample.setName(name)
    sample.setParameters(parameters)
    pub.publishWithTimestamp(timestamp, sample, 1.0)
    (event,) = sub.readDataEvents(Kyrif.Method.staticGetDataEventFilter(), 0, 1.0)
    assert (event.data.getName(), event.data.getParameters()) == (name, parameters)
    assert same_float(event.sourceTimestamp, timestamp)


@FEW
@given(st.binary())
@example(b"\xff\x00")
@example(b"\xc3\xa4\x00")
def test_bytes_are_taken_as_they_are(road, raw):
    sub, pub = road
    sub.read(0)
    sample = pub.createDataEntity()
    sample.setName(raw)
    pub.publish(sample, 1.0)
    (received,) = sub.read(0)
    try:
        text = raw.decode("utf-8")
    except UnicodeDecodeError:
        with pytest.raises(UnicodeDecodeError):
            received.getName()
    else:
        assert received.getName() == text


@FEW
@given(st.text(), st.text(), st.floats(), st.sampled_from([Kyrif.Signal, Kyrif.AbsTime, Kyrif.Custom, Kyrif.NotUsed]))
def test_start_properties_travel_unchanged(info, custom, abs_time, trigger):
    factory = pyqelcpp.WexFactory.getInstance()
    endpoint = f"inproc:///properties/{os.getpid()}/start{next(_topics)}"
    sub = Kyrif.StartProperties.staticGetSubscriber(factory, endpoint, pyqelcpp.PsQoSList(), {})
    mrv = Kyrif.StartProperties.staticGetMrvSubscriber(factory, endpoint, pyqelcpp.PsQoSList(), {})
    pub = Kyrif.StartProperties.staticGetPublisher(factory, endpoint, pyqelcpp.PsQoSList(), {})
    sample = pub.createDataEntity()
    sample.setInfo(info)
    sample.setCustomTrigger(custom)
    sample.setAbsTime(abs_time)
    sample.setTrigger(trigger)
    pub.publish(sample, 1.0)
    for received in sub.read(0) + mrv.readMostRecent(1.0):
        assert (received.getInfo(), received.getCustomTrigger(), received.getTrigger()) == (info, custom, trigger)
        assert same_float(received.getAbsTime(), abs_time)
    sub.close()
    mrv.close()
    pub.close()


# --- commands ---------------------------------------------------------------------

class Mirror:
    """Answers every command with the text it received (or the Method's name)."""

    def __getattr__(self, command):
        def answer(argument=""):
            if command == "Execute":
                argument = argument.getName()
            elif command == "Start":
                argument = argument.getInfo()
            return self.reply(argument)

        return answer

    def reply(self, text):
        return text


class AsyncMirror(Mirror):
    def reply(self, text):
        future = concurrent.futures.Future()
        future.set_result(text)
        return future


@pytest.fixture(scope="module")
def clients():
    factory = pyqelcpp.WexFactory.getInstance()
    endpoint = f"inproc:///properties/{os.getpid()}/rr"
    qos = pyqelcpp.RrQoSList()
    server = factory.createServer(endpoint, qos, {})
    KyrCmds.KyrCmdsSyncService.registerService(server, "sync", Mirror())
    KyrCmds.KyrCmdsAsyncService.registerService(server, "async", AsyncMirror())
    pairs = [(getattr(KyrCmds, form).staticGetClient(factory, f"{endpoint}/{service}", qos, {}), form)
             for form in ("KyrCmdsSync", "KyrCmdsAsync") for service in ("sync", "async")]
    yield factory.getQel(endpoint), pairs
    server.close()


def reply_of(client, form, command, *args):
    reply = getattr(client, command)(*args)
    return reply.get() if form == "KyrCmdsAsync" else reply


@FEW
@given(st.text(), st.sampled_from(["GetConfig", "GetSetup", "ReadPars", "SetConfig", "Setup", "WritePars"]))
@example("\x00\x00", "Setup")
@example("\ud7ff\ue000\U0001f600", "GetConfig")
def test_texts_travel_through_commands_unchanged(clients, text, command):
    qel, pairs = clients
    method = Kyrif.Method.staticCreateDataEntity(qel)
    method.setName(text)
    start = Kyrif.StartProperties.staticCreateDataEntity(qel)
    start.setInfo(text)
    for client, form in pairs:
        assert reply_of(client, form, command, text) == text
        assert reply_of(client, form, command, text.encode("utf-8")) == text
        assert reply_of(client, form, "Execute", method) == text
        assert reply_of(client, form, "Start", start) == text


def test_invalid_utf8_fails_one_command_and_no_other(clients):
    _, pairs = clients
    for client, form in pairs:
        with pytest.raises(Exception, match="UnicodeDecodeError"):
            reply_of(client, form, "GetConfig", b"\xff\xfe")
        assert reply_of(client, form, "GetConfig", "after") == "after"
