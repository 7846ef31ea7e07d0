"""The structure classes Method and StartProperties."""
import pytest

import pyqelcpp
from ModKyrif import Kyrif

M = "ModKyrif.Kyrif.Method"
SP = "ModKyrif.Kyrif.StartProperties"


@pytest.fixture
def qel(factory, endpoint):
    return factory.getQel(endpoint)


@pytest.fixture
def method(Kyrif, qel):
    return Kyrif.Method.staticCreateDataEntity(qel)


@pytest.fixture
def props(Kyrif, qel):
    return Kyrif.StartProperties.staticCreateDataEntity(qel)


@pytest.fixture
def data_access(factory, endpoint, rr_qos):
    client = factory.getDataAccess(endpoint, rr_qos, {})
    yield client
    client.close()


def doc(function):
    """The signature line and the doc string the binding library records."""
    return function.__doc__


# --- surface: order, signature texts and doc strings ----------------------------------

GENERIC_METHODS = ["clone", "cloneKey", "keyEquals", "hasKey", "_internalReadDa", "_internalWriteDa"]
STATICS = ["staticGetSubscriber", "staticGetPublisher", "staticGetMrvSubscriber",
           "staticGetDataEventFilter", "staticCreateDataEntity", "staticCreateDataEntityDa",
           "staticMakeVector", "staticSubscribe", "staticSubscribeAsync",
           "staticSubscribeAsyncNotifier"]
FIELDS = {
    "Method": ["getName", "setName", "getParameters", "setParameters"],
    "StartProperties": ["getAbsTime", "setAbsTime", "getCustomTrigger", "setCustomTrigger",
                        "getInfo", "setInfo", "getTrigger", "setTrigger"],
}


@pytest.mark.parametrize("name", ["Method", "StartProperties"])
def test_registration_order(name):
    cls = getattr(Kyrif, name)
    own = [n for n in vars(cls) if n in FIELDS[name] + GENERIC_METHODS + STATICS]
    assert own == FIELDS[name] + GENERIC_METHODS + STATICS


def test_field_accessor_texts():
    expected = {
        (M, "getName"): "getName(self: {M}) -> str\n\nReturn name\n",
        (M, "setName"): "setName(self: {M}, arg0: str) -> None\n\nSet name\n",
        (M, "getParameters"): "getParameters(self: {M}) -> str\n\nReturn parameters\n",
        (M, "setParameters"): "setParameters(self: {M}, arg0: str) -> None\n\nSet parameters\n",
        (SP, "getAbsTime"): "getAbsTime(self: {M}) -> float\n\nReturn absTime\n",
        (SP, "setAbsTime"): "setAbsTime(self: {M}, arg0: float) -> None\n\nSet absTime\n",
        (SP, "getCustomTrigger"): "getCustomTrigger(self: {M}) -> str\n\nReturn customTrigger\n",
        (SP, "setCustomTrigger"): "setCustomTrigger(self: {M}, arg0: str) -> None\n\nSet customTrigger\n",
        (SP, "getInfo"): "getInfo(self: {M}) -> str\n\nReturn info\n",
        (SP, "setInfo"): "setInfo(self: {M}, arg0: str) -> None\n\nSet info\n",
        (SP, "getTrigger"): "getTrigger(self: {M}) -> ModKyrif.Kyrif.StartTriggerTypes\n\nReturn trigger\n",
        (SP, "setTrigger"): ("setTrigger(self: {M}, arg0: ModKyrif.Kyrif.StartTriggerTypes) -> None"
                             "\n\nSet trigger\n"),
    }
    for (cls, name), text in expected.items():
        assert doc(getattr(getattr(Kyrif, cls.rpartition(".")[2]), name)) == text.format(M=cls)


@pytest.mark.parametrize("full", [M, SP])
def test_generic_method_and_static_texts(full):
    cls = getattr(Kyrif, full.rpartition(".")[2])
    native = "kyrif::" + full.rpartition(".")[2]
    expected = {
        "clone": f"clone(self: {full}) -> {full}\n\nCreate clone of this instance\n",
        "cloneKey": (f"cloneKey(self: {full}) -> {full}\n\n"
                     "Create clone of this instance, only key fields are copied\n"),
        "keyEquals": (f"keyEquals(self: {full}, arg0: {full}) -> bool\n\n"
                      "Test equality of key with another instance and return boolean result\n"),
        "hasKey": f"hasKey(self: {full}) -> bool\n\nCheck whether entity has a key\n",
        "_internalReadDa": (f"_internalReadDa(self: {full}, arg0: object, arg1: pyqelcpp.SampleInfo)"
                            " -> None\n\nread instance value trough DataAccess client\n"),
        "_internalWriteDa": (f"_internalWriteDa(self: {full}, arg0: object) -> None\n\n"
                             "write instance value trough DataAccess client\n"),
        "staticGetDataEventFilter": (f"staticGetDataEventFilter() -> tav::qel::ps::DataEventFilter<{native}>"
                                     "\n\nFactory method, returning new instance of DataEventFilter\n"),
        "staticCreateDataEntity": (f"staticCreateDataEntity(arg0: pyqelcpp.Qel) -> {full}\n\n"
                                   "Create new instance of the DataEntity\n"),
        "staticCreateDataEntityDa": (f"staticCreateDataEntityDa(arg0: object) -> {full}\n\n"
                                     "Create new instance of the DataEntity trough DataAccess client\n"),
        "staticMakeVector": (f"staticMakeVector() -> List[{full}]\n\n"
                             "Return new empty vector container for DataEntity\n"),
    }
    for name, text in expected.items():
        assert doc(getattr(cls, name)) == text


@pytest.mark.parametrize("full", [M, SP])
def test_factory_overload_texts_name_the_native_role_types(full):
    cls = getattr(Kyrif, full.rpartition(".")[2])
    native = "kyrif::" + full.rpartition(".")[2]
    for name, role, doc_text in [
            ("staticGetSubscriber", "Subscriber", "Factory method, returning new instance of the Subscriber"),
            ("staticGetPublisher", "Publisher", "Factory method, returning new instance of the Publisher"),
            ("staticGetMrvSubscriber", "MrvSubscriber",
             "Factory method, returning new instance of the MrvSubscriber")]:
        result = f"tav::qel::ps::{role}<{native}>"
        assert doc(getattr(cls, name)) == (
            f"{name}(*args, **kwargs)\nOverloaded function.\n\n"
            f"1. {name}(arg0: pyqelcpp.WexFactory, arg1: pyqelcpp.Uri, arg2: pyqelcpp.PsQoSList, "
            f"arg3: Dict[str, str]) -> {result}\n\n{doc_text}\n\n"
            f"2. {name}(arg0: pyqelcpp.WexFactory, arg1: str, arg2: pyqelcpp.PsQoSList, "
            f"arg3: Dict[str, str]) -> {result}\n\n{doc_text}\n")


@pytest.mark.parametrize("full", [M, SP])
def test_callback_subscription_texts(full):
    cls = getattr(Kyrif, full.rpartition(".")[2])
    native = "kyrif::" + full.rpartition(".")[2]
    sub = f"tav::qel::ps::Subscriber<{native}>"
    flt = f"tav::qel::ps::DataEventFilter<{native}>"
    evt = f"tav::qel::ps::DataEvent<{native}>"
    assert doc(cls.staticSubscribe) == (
        f"staticSubscribe(arg0: {sub}, arg1: {flt}, arg2: Callable[[{sub}, {evt}], None]) -> "
        "pyqelcpp.Subscription\n\nSubscribe to events to be polled\n")
    assert doc(cls.staticSubscribeAsync) == (
        f"staticSubscribeAsync(arg0: {sub}, arg1: {flt}, arg2: Callable[[{sub}, {evt}], None]) -> "
        "pyqelcpp.Subscription\n\nSubscribe to events asynchronously\n")
    assert doc(cls.staticSubscribeAsyncNotifier) == (
        f"staticSubscribeAsyncNotifier(arg0: {sub}, arg1: {flt}, arg2: Callable[[{sub}], None]) -> "
        "pyqelcpp.Subscription\n\nSubscribe to new data events asynchronously\n")


@pytest.mark.parametrize("name", ["Method", "StartProperties"])
def test_no_constructor_and_no_dynamic_attributes(name, qel):
    cls = getattr(Kyrif, name)
    with pytest.raises(TypeError, match=f"ModKyrif.Kyrif.{name}: No constructor defined!"):
        cls()
    sample = cls.staticCreateDataEntity(qel)
    with pytest.raises(AttributeError):
        sample.extra = 1


# --- behaviour ------------------------------------------------------------------------

def test_method_fields_round_trip_text_and_bytes(method):
    method.setName("abc")
    method.setParameters("p=1 ünïcødé")
    assert (method.getName(), method.getParameters()) == ("abc", "p=1 ünïcødé")
    method.setName(b"raw")
    assert method.getName() == "raw"
    with pytest.raises(TypeError):
        method.setName(5)
    assert method.getName() == "raw"


def test_start_properties_fields_and_conversions(Kyrif, props):
    props.setAbsTime(5)
    assert props.getAbsTime() == 5.0 and isinstance(props.getAbsTime(), float)
    props.setAbsTime(1.25)
    assert props.getAbsTime() == 1.25
    with pytest.raises(TypeError):
        props.setAbsTime("5")
    props.setCustomTrigger("ct")
    props.setInfo("inf")
    assert (props.getCustomTrigger(), props.getInfo()) == ("ct", "inf")
    with pytest.raises(TypeError):
        props.setTrigger(2)
    props.setTrigger(Kyrif.StartTriggerTypes.Custom)
    assert props.getTrigger() == Kyrif.StartTriggerTypes.Custom


def test_clone_is_a_separate_sample_and_clone_key_copies_only_the_key(Kyrif, method):
    method.setName("n")
    method.setParameters("p")
    copy = method.clone()
    assert isinstance(copy, Kyrif.Method) and copy is not method
    assert (copy.getName(), copy.getParameters()) == ("n", "p")
    assert not (copy == method)
    copy.setParameters("changed")
    assert method.getParameters() == "p"
    key = method.cloneKey()
    assert (key.getName(), key.getParameters()) == ("n", "")
    assert method.keyEquals(key) and method.hasKey()
    key.setName("other")
    assert not method.keyEquals(key)


def test_start_properties_has_no_key(props):
    other = props.clone()
    other.setInfo("different")
    assert not props.hasKey()
    assert props.keyEquals(other)


def test_key_equals_refuses_none_and_the_other_structure(method, props):
    with pytest.raises(TypeError):
        method.keyEquals(None)
    with pytest.raises(TypeError):
        method.keyEquals(props)
    with pytest.raises(TypeError):
        props.keyEquals(method)


@pytest.mark.parametrize("name", ["Method", "StartProperties"])
def test_make_vector_gives_a_new_empty_list_each_time(Kyrif, name):
    cls = getattr(Kyrif, name)
    first, second = cls.staticMakeVector(), cls.staticMakeVector()
    assert first == [] and second == [] and first is not second


def test_create_data_entity_refuses_none(Kyrif):
    with pytest.raises(TypeError):
        Kyrif.Method.staticCreateDataEntity(None)


# --- data access ----------------------------------------------------------------------

def test_data_access_write_then_read(Kyrif, method, data_access):
    info = pyqelcpp.SampleInfo()
    empty = Kyrif.Method.staticCreateDataEntityDa(data_access)
    empty._internalReadDa(data_access, info)
    assert not info.valid
    method.setName("da")
    method.setParameters("value")
    method._internalWriteDa(data_access)
    target = Kyrif.Method.staticCreateDataEntityDa(data_access)
    assert isinstance(target, Kyrif.Method)
    target._internalReadDa(data_access, info)
    assert info.valid and info.sequence == 1
    assert (target.getName(), target.getParameters()) == ("da", "value")


def test_data_access_start_properties(Kyrif, props, data_access):
    props.setTrigger(Kyrif.AbsTime)
    props.setAbsTime(12.5)
    props._internalWriteDa(data_access)
    target = Kyrif.StartProperties.staticCreateDataEntityDa(data_access)
    target._internalReadDa(data_access, pyqelcpp.SampleInfo())
    assert (target.getTrigger(), target.getAbsTime()) == (Kyrif.AbsTime, 12.5)


class _RaisingRef:
    def ref(self):
        raise KeyError("no client")


class _WrongRef:
    def ref(self):
        return 42


@pytest.mark.parametrize("client,error", [(object(), AttributeError), (_RaisingRef(), KeyError),
                                          (_WrongRef(), RuntimeError)])
def test_data_access_with_a_bad_client_object(Kyrif, method, client, error):
    method.setName("kept")
    with pytest.raises(error):
        method._internalWriteDa(client)
    with pytest.raises(error):
        method._internalReadDa(client, pyqelcpp.SampleInfo())
    with pytest.raises(error):
        Kyrif.Method.staticCreateDataEntityDa(client)
    assert method.getName() == "kept"
