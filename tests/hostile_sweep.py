"""Calls every public function and method of ModKyrif with hostile arguments; started
as its own process by test_hostile.py, so that a crash shows as a signal.

The surface is found by introspection: every function of every submodule and every
method, static function and property setter of every class. The overloads of each
callable are read from its signature text; for each overload the sweep builds a
set of good arguments from live objects, then calls it with every hostile value in
every position, and with too few and too many arguments. Every call must either
work or raise an Exception. At the end the middleware must still carry samples and
commands. One JSON line of figures goes to standard output; exit status 0 means
every call behaved.
"""
import collections
import datetime
import faulthandler
import inspect
import itertools
import json
import math
import os
import re
import sys
import time
import traceback

import pyqelcpp
import ModKyrif

Kyrif = ModKyrif.Kyrif
KyrCmds = Kyrif.KyrCmds
FACTORY = pyqelcpp.WexFactory.getInstance()
BASE = f"inproc:///hostile/{os.getpid()}"
BIG = "x" * (10 * 1024 * 1024)
_names = itertools.count()


class Raising:
    """Every conversion hook raises."""

    def _boom(self, *args):
        raise RuntimeError("conversion refused")

    __index__ = __int__ = __float__ = __str__ = __bytes__ = __iter__ = __len__ = __bool__ = _boom
    __hash__ = object.__hash__
    __getitem__ = __call__ = _boom


class RaisingIndex(int):
    def __index__(self):
        raise RuntimeError("no index")


class RaisingFloat(float):
    def __float__(self):
        raise RuntimeError("no float")


class RaisingStr(str):
    def __str__(self):
        raise RuntimeError("no str")


class RaisingDict(dict):
    def items(self):
        raise RuntimeError("no items")

    def __iter__(self):
        raise RuntimeError("no iteration")


class Unhashable(list):
    pass


HOSTILE = {
    "None": None,
    "zero": 0,
    "minus_one": -1,
    "two_to_64": 2 ** 64,
    "two_to_63": 2 ** 63,
    "below_int64": -(2 ** 63) - 1,
    "true": True,
    "fraction": 1.5,
    "nan": math.nan,
    "inf": math.inf,
    "minus_inf": -math.inf,
    "max_float": sys.float_info.max,
    "timedelta_max": datetime.timedelta.max,
    "timedelta_min": datetime.timedelta.min,
    "surrogate": "a\ud800b",
    "nul": "a\x00b",
    "big_text": BIG,
    "bad_utf8_bytes": b"\xff\xfe\x00",
    "bytearray": bytearray(b"abc"),
    "raising": Raising(),
    "raising_index": RaisingIndex(3),
    "raising_float": RaisingFloat(0.5),
    "raising_str": RaisingStr("inproc:///x"),
    "raising_dict": RaisingDict(a="b"),
    "dict_of_ints": {1: 2},
    "dict_surrogate": {"a": "\ud800"},
    "set_of_strings": {"x", "y"},
    "list_of_none": [None],
    "object": object(),
    "type": int,
    "wrong_arity_callable": lambda: None,
    "raising_callable": lambda *args: 1 / 0,
    # Objects of the right classes made by __new__ alone, without a native value.
    "bare_method": Kyrif.Method.__new__(Kyrif.Method),
    "bare_filter": Kyrif.MethodDataEventFilter.__new__(Kyrif.MethodDataEventFilter),
    "bare_uri": pyqelcpp.Uri.__new__(pyqelcpp.Uri),
    "bare_qos": pyqelcpp.PsQoSList.__new__(pyqelcpp.PsQoSList),
}


# --- live objects ---------------------------------------------------------------

class Echo:
    def __getattr__(self, command):
        return lambda *args: command


class Pool:
    """Fresh live objects for one callable; closed afterwards."""

    def __init__(self):
        n = next(_names)
        self.endpoint = f"{BASE}/t{n}"
        qos, rr_qos = pyqelcpp.PsQoSList(), pyqelcpp.RrQoSList()
        self.qel = FACTORY.getQel(self.endpoint)
        self.server = FACTORY.createServer(self.endpoint, rr_qos, {})
        KyrCmds.KyrCmdsSyncService.registerService(self.server, "sync", Echo())
        self.da = FACTORY.getDataAccess(self.endpoint + "/da", rr_qos, {})
        self.by_class = {}
        self.pubs, self.subs = [], []
        for cls in (Kyrif.Method, Kyrif.StartProperties):
            name = cls.__name__
            pub = cls.staticGetPublisher(FACTORY, self.endpoint + name, qos, {})
            sub = cls.staticGetSubscriber(FACTORY, self.endpoint + name, qos, {})
            mrv = cls.staticGetMrvSubscriber(FACTORY, self.endpoint + name, qos, {})
            sample = pub.createDataEntity()
            pub.publish(sample, 1.0)
            event = sub.readDataEvents(cls.staticGetDataEventFilter(), 1, 1.0)[0]
            pub.publish(sample, 1.0)
            loan = sub.loanedRead()
            self.pubs.append(pub)
            self.subs.append((sub, mrv))
            self.by_class.update({
                name: sample,
                name + "Publisher": pub,
                name + "InstancePublisher": pub.createInstancePublisher(sample),
                name + "DataEvent": event,
                name + "DataEventFilter": cls.staticGetDataEventFilter(),
                name + "LoanedDataEntity": loan,
                name + "Subscriber": sub,
                name + "MrvSubscriber": mrv,
            })
        self.by_class["KyrCmdsSync"] = KyrCmds.KyrCmdsSync.staticGetClient(
            FACTORY, self.endpoint + "/sync", rr_qos, {})
        self.by_class["KyrCmdsAsync"] = KyrCmds.KyrCmdsAsync.staticGetClient(
            FACTORY, self.endpoint + "/sync", rr_qos, {})
        self.by_class["ExceptionErr"] = Kyrif.ExceptionErr("desc", 7)
        self.by_class["StartTriggerTypes"] = Kyrif.Custom

    def refill(self):
        """Keeps one sample queued everywhere, so that no read waits (a hostile
        timeout may mean "wait for ever"), and no queue fills up."""
        for pub, (sub, mrv) in zip(self.pubs, self.subs):
            try:
                sub.read(0)
                pub.publish(pub.createDataEntity(), 1.0)
            except pyqelcpp.QelException:
                pass  # closed by the call under test

    def good(self, type_text, function_name, position):
        """A value the parameter accepts, from its type text."""
        t = type_text.strip()
        for cls_name in ("Method", "StartProperties"):
            native = f"<kyrif::{cls_name}>"
            for role in ("MrvSubscriber", "Subscriber", "DataEventFilter", "DataEvent", "Publisher"):
                if t == f"tav::qel::ps::{role}{native}" or t == f"ModKyrif.Kyrif.{cls_name}{role}":
                    return self.by_class[cls_name + role]
        simple = {
            "pyqelcpp.WexFactory": FACTORY,
            "pyqelcpp.Uri": pyqelcpp.Uri(self.endpoint),
            "pyqelcpp.PsQoSList": pyqelcpp.PsQoSList(),
            "pyqelcpp.RrQoSList": pyqelcpp.RrQoSList(),
            "Dict[str, str]": {"k": "v"},
            "datetime.timedelta": 0.0,
            "int": 1,
            "float": 2.5,
            "bool": True,
            "pyqelcpp.Qel": self.qel,
            "pyqelcpp.SampleInfo": pyqelcpp.SampleInfo(),
            "pyqelcpp.Server": self.server,
            "pyqelcpp.InstanceState": pyqelcpp.InstanceState.ANY,
            "Set[pyqelcpp.InstanceEvent]": {pyqelcpp.InstanceEvent.CREATED},
            "ModKyrif.Kyrif.StartTriggerTypes": Kyrif.Custom,
            "ModKyrif.Kyrif.Method": self.by_class["Method"],
            "ModKyrif.Kyrif.StartProperties": self.by_class["StartProperties"],
            "object": self.da,
        }
        if t in simple:
            return simple[t]
        if t.startswith("Callable["):
            return lambda *args: None
        if t == "str":
            if function_name.startswith("static") and position == 1:
                return self.endpoint + "/sync"
            return f"text{position}"
        if t.startswith("Optional[") or t == "None":
            return None
        raise LookupError(f"no good value for {t!r} in {function_name}")

    def close(self):
        for sub, mrv in self.subs:
            sub.close()
            mrv.close()
        for pub in self.pubs:
            pub.close()
        self.server.close()
        self.da.close()


# --- the surface ----------------------------------------------------------------

def split_top_level(text):
    parts, depth, current = [], 0, ""
    for ch in text:
        if ch in "[(":
            depth += 1
        elif ch in "])":
            depth -= 1
        if ch == "," and depth == 0:
            parts.append(current)
            current = ""
        else:
            current += ch
    if current.strip():
        parts.append(current)
    return parts


def overloads(name, doc):
    """Parameter type texts of each overload, read from the signature lines."""
    found = []
    for line in (doc or "").splitlines():
        match = re.match(rf"^(?:\d+\. )?{re.escape(name)}\((.*)\) -> .*$", line)
        if match is None:
            match = re.match(r"^\((.*)\) -> .*$", line)  # property setters
        if match:
            found.append([p.split(": ", 1)[1] if ": " in p else p for p in split_top_level(match.group(1))])
    return found


def surface():
    """(qualified name, class name or None, kind, attribute name) of every public callable."""
    entries = []

    def walk(module, path):
        for name, value in sorted(vars(module).items()):
            if name.startswith("__"):
                continue
            if inspect.ismodule(value) and value.__name__.startswith("ModKyrif"):
                walk(value, f"{path}.{name}")
            elif inspect.isclass(value):
                entries.append((f"{path}.{name}", value, None, "constructor"))
                for attr, member in vars(value).items():
                    if attr.startswith("__"):
                        continue
                    if isinstance(member, property):
                        if member.fset is not None:
                            entries.append((f"{path}.{name}.{attr}", value, attr, "setter"))
                        entries.append((f"{path}.{name}.{attr}", value, attr, "getter"))
                    elif isinstance(member, staticmethod) or type(member).__name__ == "builtin_function_or_method":
                        entries.append((f"{path}.{name}.{attr}", value, attr, "static"))
                    elif callable(member):
                        entries.append((f"{path}.{name}.{attr}", value, attr, "method"))
            elif callable(value) and not isinstance(value, Kyrif.StartTriggerTypes):
                entries.append((f"{path}.{name}", module, name, "function"))

    walk(ModKyrif, "ModKyrif")
    return entries


# --- the sweep ------------------------------------------------------------------

def call(function, args, outcomes, failures, label):
    try:
        function(*args)
        outcomes["worked"] += 1
    except Exception as error:  # noqa: BLE001  (a Python exception is a pass)
        outcomes[type(error).__name__] += 1
    except BaseException:  # noqa: BLE001
        failures.append(f"{label}: {traceback.format_exc()}")


def sweep_entry(entry, pool, outcomes, failures, unmapped):
    qualified, owner, attr, kind = entry
    if True:
        if kind == "constructor":
            for arity in range(4):
                for value in HOSTILE.values():
                    call(owner, [value] * arity, outcomes, failures, qualified)
            return 1
        if kind == "getter":
            instance = pool.by_class[owner.__name__]
            call(lambda: getattr(instance, attr), [], outcomes, failures, qualified)
            return 1
        if kind == "setter":
            instance = pool.by_class[owner.__name__]
            for value in HOSTILE.values():
                call(lambda v: setattr(instance, attr, v), [value], outcomes, failures, qualified)
            return 1
        if kind == "function":
            function = getattr(owner, attr)
        elif kind == "static":
            function = getattr(owner, attr)
        else:
            instance = pool.by_class[owner.__name__]
            function = getattr(instance, attr)
        shapes = overloads(attr, function.__doc__)
        if not shapes:
            shapes = [[]] if attr in ("_new_instance", "getDesc", "getCode") else [["object"]]
        if kind == "method" and shapes and shapes[0] and shapes[0][0].startswith(owner.__module__):
            shapes = [shape[1:] for shape in shapes]  # drop "self"
        arities = {len(shape) for shape in shapes}
        for shape in shapes:
            try:
                good = [pool.good(t, attr, i) for i, t in enumerate(shape)]
            except LookupError as missing:
                unmapped.add(str(missing))
                good = [None] * len(shape)
            for position in range(len(shape)):
                for value in HOSTILE.values():
                    args = list(good)
                    args[position] = value
                    pool.refill()
                    call(function, args, outcomes, failures, f"{qualified}[{position}]")
            pool.refill()
            call(function, good, outcomes, failures, f"{qualified}(good)")
            for arity in (len(shape) - 1, len(shape) + 1, len(shape) + 5):
                if arity >= 0 and arity not in arities:
                    pool.refill()
                    call(function, (good + [None] * 6)[:arity], outcomes, failures, f"{qualified}(arity {arity})")
        return 1


def healthy():
    """The middleware still carries samples and commands after the sweep."""
    endpoint = f"{BASE}/after"
    sub = Kyrif.Method.staticGetSubscriber(FACTORY, endpoint, pyqelcpp.PsQoSList(), {})
    pub = Kyrif.Method.staticGetPublisher(FACTORY, endpoint, pyqelcpp.PsQoSList(), {})
    sample = pub.createDataEntity()
    sample.setName("still")
    pub.publish(sample, 1.0)
    assert [s.getName() for s in sub.read(0)] == ["still"]
    server = FACTORY.createServer(endpoint, pyqelcpp.RrQoSList(), {})
    KyrCmds.KyrCmdsSyncService.registerService(server, "s", Echo())
    client = KyrCmds.KyrCmdsSync.staticGetClient(FACTORY, endpoint + "/s", pyqelcpp.RrQoSList(), {})
    assert client.Ping() == "Ping"
    server.close()


def main():
    faulthandler.dump_traceback_later(float(os.environ.get("HOSTILE_BOUND", "150")), exit=True)
    started = time.monotonic()
    outcomes, failures, unmapped = collections.Counter(), [], set()
    entries = surface()
    only = os.environ.get("HOSTILE_ONLY")
    covered = 0
    # The callables of one owner share live objects; close() gets its own, and
    # runs after the others, so that the others meet open objects.
    shared = {}
    for entry in sorted(entries, key=lambda e: e[2] == "close"):
        if only and only not in entry[0]:
            continue
        closing = entry[2] == "close"
        pool = Pool() if closing else shared.setdefault(entry[1], Pool())
        covered += sweep_entry(entry, pool, outcomes, failures, unmapped)
        if closing:
            pool.close()
    for pool in shared.values():
        pool.close()
    time.sleep(0.2)  # let hostile handlers run on the middleware's threads
    healthy()
    print(json.dumps({
        "callables": covered,
        "surface": len(entries),
        "calls": sum(outcomes.values()),
        "outcomes": dict(outcomes),
        "unmapped": sorted(unmapped),
        "failures": failures[:20],
        "seconds": round(time.monotonic() - started, 2),
    }), flush=True)
    faulthandler.cancel_dump_traceback_later()
    return 1 if failures or unmapped else 0


if __name__ == "__main__":
    sys.exit(main())
