"""Publish/subscribe role classes: surface, argument conversion, filters."""
import datetime

import pytest

import pyqelcpp
from ModKyrif import Kyrif

TYPES = ["Method", "StartProperties"]
ROLES = ["InstancePublisher", "Publisher", "DataEvent", "DataEventFilter", "LoanedDataEntity",
         "Subscriber", "MrvSubscriber"]
STATE = pyqelcpp.InstanceState
EVENT = pyqelcpp.InstanceEvent


def full(name):
    return f"ModKyrif.Kyrif.{name}"


def methods_in_order(cls, names):
    return [n for n in vars(cls) if n in names]


@pytest.mark.parametrize("name", [t + r for t in TYPES for r in ROLES])
def test_role_classes_have_no_constructor(name):
    with pytest.raises(TypeError, match=f"{full(name)}: No constructor defined!"):
        getattr(Kyrif, name)()


# --- texts ---------------------------------------------------------------------------

@pytest.mark.parametrize("t", TYPES)
def test_publisher_texts(t):
    ip, pub, sample = full(t + "InstancePublisher"), full(t + "Publisher"), full(t)
    cls = getattr(Kyrif, t + "InstancePublisher")
    expected = {
        "createDataEntity": f"createDataEntity(self: {ip}) -> {sample}\n\nCreate new {t} instance\n",
        "close": f"close(self: {ip}) -> None\n\nClose this instance of the publisher\n",
        "publish": (f"publish(self: {ip}, arg0: {sample}, arg1: datetime.timedelta) -> None\n\n"
                    "Publish data instance or raise TimeoutException on timeout\n"),
        "publishWithTimestamp": (
            f"publishWithTimestamp(self: {ip}, arg0: float, arg1: {sample}, arg2: datetime.timedelta)"
            " -> None\n\nPublish data instance with user supplied timestamp or raise TimeoutException"
            " on timeout\n"),
        "getQel": f"getQel(self: {ip}) -> pyqelcpp.Qel\n\nReturn reference to the corresponding QEL instance\n",
    }
    assert methods_in_order(cls, expected) == list(expected)
    for name, text in expected.items():
        assert getattr(cls, name).__doc__ == text
    publisher = getattr(Kyrif, t + "Publisher")
    assert publisher.__bases__ == (cls,)
    assert publisher.createInstancePublisher.__doc__ == (
        f"createInstancePublisher(self: {pub}, arg0: {sample}) -> {ip}\n\n"
        f"Create new instance of the Instance Publisher for {t}\n")


@pytest.mark.parametrize("t", TYPES)
def test_data_event_texts(t):
    ev, sample = full(t + "DataEvent"), full(t)
    cls = getattr(Kyrif, t + "DataEvent")
    expected = {
        "hasValidData": f"hasValidData(self: {ev}) -> bool\n\nReturn indication whether event instance holds valid data\n",
        "getInstanceState": f"getInstanceState(self: {ev}) -> pyqelcpp.InstanceState\n\nReturn instance state\n",
        "getInstanceEvent": f"getInstanceEvent(self: {ev}) -> pyqelcpp.InstanceEvent\n\nReturn instance event\n",
        "getData": f"getData(self: {ev}) -> {sample}\n\nReturn data instance\n",
        "getSourceTimestamp": f"getSourceTimestamp(self: {ev}) -> float\n\nReturn sample timestamp\n",
    }
    assert methods_in_order(cls, expected) == list(expected)
    for name, text in expected.items():
        assert getattr(cls, name).__doc__ == text
    properties = {"data": ("Data property", sample), "event": ("Event property", "pyqelcpp.InstanceEvent"),
                  "state": ("State property", "pyqelcpp.InstanceState"),
                  "sourceTimestamp": ("SourceTimestamp property", "float")}
    assert methods_in_order(cls, properties) == list(properties)
    for name, (text, result) in properties.items():
        prop = getattr(cls, name)
        assert prop.__doc__ == text and prop.fset is None
        assert prop.fget.__doc__ == f"(arg0: {ev}) -> {result}\n"


@pytest.mark.parametrize("t", TYPES)
def test_filter_texts(t):
    f, sample = full(t + "DataEventFilter"), full(t)
    cls = getattr(Kyrif, t + "DataEventFilter")
    expected = {
        "setInstance": f"setInstance(self: {f}, arg0: {sample}) -> {f}\n\nSet filter instance\n",
        "setInstanceState": (f"setInstanceState(self: {f}, arg0: pyqelcpp.InstanceState) -> {f}\n\n"
                             "Set filter instance state\n"),
        "setInstanceEvents": (f"setInstanceEvents(self: {f}, arg0: Set[pyqelcpp.InstanceEvent]) -> {f}\n\n"
                              "Set filter instance events\n"),
        "getInstance": f"getInstance(self: {f}) -> {sample}\n\nReturn filter instance\n",
        "getInstanceState": f"getInstanceState(self: {f}) -> pyqelcpp.InstanceState\n\nReturn filter instance state\n",
        "getInstanceEvents": (f"getInstanceEvents(self: {f}) -> Set[pyqelcpp.InstanceEvent]\n\n"
                              "Return Filter instance events\n"),
    }
    assert methods_in_order(cls, expected) == list(expected)
    for name, text in expected.items():
        assert getattr(cls, name).__doc__ == text
    properties = {"instance": ("Topic instance property", sample),
                  "state": ("Instance state property", "pyqelcpp.InstanceState"),
                  "events": ("Instance events property", "Set[pyqelcpp.InstanceEvent]")}
    for name, (text, value) in properties.items():
        prop = getattr(cls, name)
        assert prop.__doc__ == text
        assert prop.fget.__doc__ == f"(arg0: {f}) -> {value}\n"
        assert prop.fset.__doc__ == f"(arg0: {f}, arg1: {value}) -> {f}\n"


@pytest.mark.parametrize("t", TYPES)
def test_loan_and_subscriber_texts(t):
    loan, sub, mrv, sample = (full(t + "LoanedDataEntity"), full(t + "Subscriber"),
                              full(t + "MrvSubscriber"), full(t))
    flt, ev = full(t + "DataEventFilter"), full(t + "DataEvent")
    expected = {
        (loan, "getData"): f"getData(self: {loan}) -> {sample}\n\nReturn loaned data entity\n",
        (loan, "close"): f"close(self: {loan}) -> None\n\nClose and shutdown this instance\n",
        (sub, "close"): f"close(self: {sub}) -> None\n",
        (sub, "createDataEntity"): f"createDataEntity(self: {sub}) -> {sample}\n\nCreate new data entity\n",
        (sub, "read"): f"read(self: {sub}, arg0: int) -> List[{sample}]\n\nread up to given number of samples, 0 = read all\n",
        (sub, "readInstance"): f"readInstance(self: {sub}, arg0: {sample}) -> {sample}\n\nread instance\n",
        (sub, "readInstanceValue"): (f"readInstanceValue(self: {sub}, arg0: {sample}, arg1: {sample}) -> bool"
                                     "\n\nread instance value\n"),
        (sub, "loanedRead"): f"loanedRead(self: {sub}) -> {loan}\n\nloaned read\n",
        (sub, "loanedReadInstance"): f"loanedReadInstance(self: {sub}, arg0: {sample}) -> {loan}\n\nloaned read instance\n",
        (sub, "readDataEvents"): (f"readDataEvents(self: {sub}, arg0: {flt}, arg1: int, arg2: datetime.timedelta)"
                                  f" -> List[{ev}]\n\nread data events\n"),
        (sub, "poll"): f"poll(self: {sub}, arg0: int, arg1: datetime.timedelta) -> int\n\nsynchronous poll for events\n",
        (mrv, "close"): f"close(self: {mrv}) -> None\n\nclose MRV subscriber and release all resources\n",
        (mrv, "readMostRecent"): (f"readMostRecent(self: {mrv}, arg0: datetime.timedelta) -> List[{sample}]\n\n"
                                  "read most recent values\n"),
    }
    for cls_name in (loan, sub, mrv):
        cls = getattr(Kyrif, cls_name.rpartition(".")[2])
        names = [n for (c, n) in expected if c == cls_name]
        assert methods_in_order(cls, names) == names
        for name in names:
            assert getattr(cls, name).__doc__ == expected[(cls_name, name)]


# --- filters -------------------------------------------------------------------------

@pytest.fixture(params=TYPES)
def structure(request):
    return getattr(Kyrif, request.param)


@pytest.fixture
def sample(structure, factory, endpoint):
    return structure.staticCreateDataEntity(factory.getQel(endpoint))


def test_new_filter_selects_everything(structure):
    f = structure.staticGetDataEventFilter()
    assert type(f).__name__ == structure.__name__ + "DataEventFilter"
    assert f.getInstance() is None
    assert f.getInstanceState() == STATE.ANY and int(f.getInstanceState()) == 2
    assert f.getInstanceEvents() == set()


def test_filter_setters_change_self_and_return_an_independent_copy(structure):
    f = structure.staticGetDataEventFilter()
    f.setInstanceEvents({EVENT.UPDATED})
    g = f.setInstanceState(STATE.ALIVE)
    assert g is not f and f.getInstanceState() == STATE.ALIVE == g.getInstanceState()
    h = f.setInstanceState(STATE.NOT_ALIVE).setInstanceEvents({EVENT.CREATED})
    assert f.getInstanceState() == STATE.NOT_ALIVE and f.getInstanceEvents() == {EVENT.UPDATED}
    assert h.getInstanceEvents() == {EVENT.CREATED}
    g.setInstanceEvents({EVENT.REMOVED})
    assert f.getInstanceEvents() == {EVENT.UPDATED}


def test_filter_properties_assign_in_place_and_replace_the_event_set(structure):
    f = structure.staticGetDataEventFilter()
    f.state = STATE.ALIVE
    assert f.state == STATE.ALIVE
    f.events = {EVENT.CREATED, EVENT.UPDATED}
    f.events = {EVENT.REMOVED}
    assert f.events == {EVENT.REMOVED}
    f.events = frozenset({EVENT.CREATED})
    assert f.getInstanceEvents() == {EVENT.CREATED}
    f.events = set()
    assert f.events == set()


@pytest.mark.parametrize("bad", [[EVENT.CREATED], (EVENT.CREATED,), {1}, None])
def test_filter_event_set_refuses_anything_but_a_set_of_events(structure, bad):
    f = structure.staticGetDataEventFilter().setInstanceEvents({EVENT.UPDATED})
    with pytest.raises(TypeError):
        f.setInstanceEvents(bad)
    assert f.getInstanceEvents() == {EVENT.UPDATED}


def test_filter_state_refuses_none_and_int(structure):
    f = structure.staticGetDataEventFilter()
    for bad in (None, 1):
        with pytest.raises(TypeError):
            f.setInstanceState(bad)
    assert f.getInstanceState() == STATE.ANY


def test_filter_instance_is_shared_not_copied(Kyrif, factory, endpoint):
    m = Kyrif.Method.staticCreateDataEntity(factory.getQel(endpoint))
    f = Kyrif.Method.staticGetDataEventFilter()
    copy = f.setInstance(m)
    m.setName("later")
    assert f.getInstance() is m and copy.getInstance().getName() == "later"
    f.instance = None
    assert f.getInstance() is None and copy.getInstance() is m
    del m
    assert copy.instance.getName() == "later"


def test_filter_refuses_a_sample_of_the_other_structure(Kyrif, factory, endpoint):
    props = Kyrif.StartProperties.staticCreateDataEntity(factory.getQel(endpoint))
    with pytest.raises(TypeError):
        Kyrif.Method.staticGetDataEventFilter().setInstance(props)


# --- factories and argument conversion ------------------------------------------------

@pytest.fixture
def publisher(structure, factory, endpoint, ps_qos):
    pub = structure.staticGetPublisher(factory, endpoint, ps_qos, {})
    yield pub
    pub.close()


def test_factories_accept_text_and_uri_and_return_the_role_classes(structure, factory, endpoint, ps_qos):
    uri = pyqelcpp.Uri(endpoint)
    made = [structure.staticGetPublisher(factory, uri, ps_qos, {}),
            structure.staticGetPublisher(factory, endpoint, ps_qos, {}),
            structure.staticGetSubscriber(factory, uri, ps_qos, {}),
            structure.staticGetSubscriber(factory, endpoint, ps_qos, {"ps.queueDepth": "4"}),
            structure.staticGetMrvSubscriber(factory, uri, ps_qos, {}),
            structure.staticGetMrvSubscriber(factory, endpoint, ps_qos, {})]
    kinds = ["Publisher"] * 2 + ["Subscriber"] * 2 + ["MrvSubscriber"] * 2
    for entity, kind in zip(made, kinds):
        assert type(entity) is getattr(Kyrif, structure.__name__ + kind)
        entity.close()
    assert isinstance(made[0], getattr(Kyrif, structure.__name__ + "InstancePublisher"))


@pytest.mark.parametrize("args", [
    ("factory", "endpoint", [], {}),             # a list is not the QoS list class
    ("factory", "endpoint", "qos", {"k": 1}),    # property values must be texts
    ("factory", "endpoint", "qos", [("k", "v")]),
    (None, "endpoint", "qos", {}),
    ("factory", None, "qos", {}),
    ("factory", "endpoint", None, {}),
])
def test_factories_refuse_bad_arguments(structure, factory, endpoint, ps_qos, args):
    actual = {"factory": factory, "endpoint": endpoint, "qos": ps_qos}
    call = [actual.get(a, a) if isinstance(a, str) else a for a in args]
    for name in ("staticGetPublisher", "staticGetSubscriber", "staticGetMrvSubscriber"):
        with pytest.raises(TypeError):
            getattr(structure, name)(*call)


def test_factory_errors_of_the_middleware_keep_their_type(structure, factory, ps_qos):
    with pytest.raises(pyqelcpp.QelException):
        structure.staticGetPublisher(factory, "nosuchscheme:///x", ps_qos, {})
    with pytest.raises(pyqelcpp.QelException):
        structure.staticGetSubscriber(factory, "inproc:///bad", ps_qos, {"ps.queueDepth": "many"})


def test_publisher_accepts_only_its_own_samples_and_only_timedelta_or_float(
        Kyrif, structure, publisher, factory, endpoint):
    sample = publisher.createDataEntity()
    assert type(sample) is structure
    other = Kyrif.Method if structure is Kyrif.StartProperties else Kyrif.StartProperties
    with pytest.raises(TypeError):
        publisher.publish(other.staticCreateDataEntity(factory.getQel(endpoint)), 0.1)
    for bad in (1, None, "1", float("nan")):
        with pytest.raises(TypeError):
            publisher.publish(sample, bad)
        with pytest.raises(TypeError):
            publisher.publishWithTimestamp(1.0, sample, bad)
    publisher.publish(sample, datetime.timedelta(microseconds=999))
    publisher.publish(sample, float("inf"))
    publisher.publishWithTimestamp(3, sample, 0.5)
    qel = publisher.getQel()
    assert isinstance(qel, pyqelcpp.Qel)


def test_instance_publisher_from_a_publisher(structure, publisher):
    sample = publisher.createDataEntity()
    instance = publisher.createInstancePublisher(sample)
    assert type(instance) is getattr(Kyrif, structure.__name__ + "InstancePublisher")
    instance.publish(instance.createDataEntity(), 0.1)
    del publisher  # the instance publisher does not depend on the publisher's object
    instance.close()


def test_subscriber_refuses_bad_counts_timeouts_and_keys(structure, factory, endpoint, ps_qos):
    sub = structure.staticGetSubscriber(factory, endpoint, ps_qos, {})
    f = structure.staticGetDataEventFilter()
    for bad in (-1, 1.5, 2 ** 64, None):
        with pytest.raises(TypeError):
            sub.read(bad)
        with pytest.raises(TypeError):
            sub.poll(bad, 0.0)
    assert sub.read(2 ** 64 - 1) == []
    for bad in (1, None):
        with pytest.raises(TypeError):
            sub.readDataEvents(f, 1, bad)
    with pytest.raises(TypeError):
        sub.readInstance(None)
    with pytest.raises(TypeError):
        sub.readDataEvents(None, 1, 0.0)
    mrv = structure.staticGetMrvSubscriber(factory, endpoint, ps_qos, {})
    with pytest.raises(TypeError):
        mrv.readMostRecent(1)
    mrv.close()
    sub.close()


def test_subscribe_refuses_a_non_callable(structure, factory, endpoint, ps_qos):
    sub = structure.staticGetSubscriber(factory, endpoint, ps_qos, {})
    f = structure.staticGetDataEventFilter()
    for name in ("staticSubscribe", "staticSubscribeAsync", "staticSubscribeAsyncNotifier"):
        with pytest.raises(TypeError):
            getattr(structure, name)(sub, f, 5)
        with pytest.raises(TypeError):
            getattr(structure, name)(None, f, print)
        with pytest.raises(TypeError):
            getattr(structure, name)(sub, None, print)
    sub.close()
