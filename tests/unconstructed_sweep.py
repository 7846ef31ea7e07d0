"""Makes an object of every class of ModKyrif and pyqelcpp with a bare __new__ and
calls every method and property of it; started as its own process by
test_unconstructed.py, so that a crash shows as a signal.

The classes are found by introspection, in both module trees. Each method is called
with good arguments for its other parameters (from the hostile sweep's live
objects), once per overload; each property is read and, where it can be, set. Every
call must raise TypeError. One JSON line of figures goes to standard output; exit
status 0 means every call was refused.
"""
import collections
import faulthandler
import inspect
import json
import os
import sys
import traceback

import pyqelcpp
import ModKyrif

import hostile_sweep

# Methods that construct their object rather than use it.
CONSTRUCTING = {"__init__", "__new__", "__setstate__"}
COMPARISONS = {"__eq__", "__ne__", "__lt__", "__le__", "__gt__", "__ge__"}


def bound_classes():
    """Every class of the binding library in either module tree."""
    found, seen = [], set()

    def walk(scope, root):
        for value in list(vars(scope).values()):
            if inspect.ismodule(value) and value.__name__.startswith(root + "."):
                walk(value, root)
            elif (inspect.isclass(value) and value not in seen and type(value).__name__ == "pybind11_type"
                  and value.__module__.split(".")[0] == root):
                seen.add(value)
                found.append(value)
                walk(value, root)

    for module in (ModKyrif, pyqelcpp):
        walk(module, module.__name__)
    return found


def members(cls):
    """(name, kind, member) of every method and property of cls, inherited ones too."""
    for name in sorted(dir(cls)):
        if name in CONSTRUCTING:
            continue
        owner = next((base for base in cls.__mro__ if name in vars(base)), None)
        member = vars(owner)[name] if owner is not None else None
        if type(member) is property:
            yield name, "property", member
        elif type(member).__name__ == "instancemethod":
            yield name, "method", member


def parameters(pool, name, doc):
    """Good arguments after self for each overload; None where none is known."""
    shapes = hostile_sweep.overloads(name, doc) or [["self"]]
    result = []
    for shape in shapes:
        args = []
        for position, text in enumerate(shape[1:], start=1):
            try:
                args.append(pool.good(text, name, position))
            except LookupError:
                args.append(None)
        result.append(args)
    return result


def main():
    faulthandler.dump_traceback_later(float(os.environ.get("UNCONSTRUCTED_BOUND", "60")), exit=True)
    pool = hostile_sweep.Pool()
    outcomes, failures, classes = collections.Counter(), [], bound_classes()

    def expect_type_error(label, function, *args):
        try:
            function(*args)
        except TypeError:
            outcomes["TypeError"] += 1
            return
        except BaseException:  # noqa: BLE001
            failures.append(f"{label}: {traceback.format_exc(limit=1)}")
            return
        failures.append(f"{label}: worked")

    calls = 0
    for cls in classes:
        label = f"{cls.__module__}.{cls.__qualname__}"
        for name, kind, member in members(cls):
            if kind == "property":
                expect_type_error(f"{label}.{name} (get)", member.fget, cls.__new__(cls))
                calls += 1
                if member.fset is not None:
                    for args in parameters(pool, name, member.fset.__doc__):
                        value = args[0] if args else None
                        expect_type_error(f"{label}.{name} (set)", member.fset, cls.__new__(cls), value)
                        calls += 1
                continue
            for args in parameters(pool, name, member.__doc__):
                if name in COMPARISONS:
                    args = [cls.__new__(cls)]  # another class compares unequal without a look
                pool.refill()
                expect_type_error(f"{label}.{name}", getattr(cls, name), cls.__new__(cls), *args)
                calls += 1

    # A bare object passed where its class is expected is refused as well.
    sample = pool.by_class["Method"]
    expect_type_error("publish(bare)", pool.pubs[0].publish, ModKyrif.Kyrif.Method.__new__(ModKyrif.Kyrif.Method), 1.0)
    expect_type_error("keyEquals(bare)", sample.keyEquals, ModKyrif.Kyrif.Method.__new__(ModKyrif.Kyrif.Method))
    pool.close()

    print(json.dumps({
        "classes": sorted(f"{c.__module__}.{c.__qualname__}" for c in classes),
        "calls": calls,
        "outcomes": dict(outcomes),
        "failures": failures[:30],
    }), flush=True)
    faulthandler.cancel_dump_traceback_later()
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
