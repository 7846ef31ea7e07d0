"""The fields of the two structure types: reading them from ``field=value`` texts and
writing them out as text or as JSON-ready values."""
from __future__ import annotations

import math
from collections.abc import Callable, Sequence
from typing import Union

import ModKyrif

Kyrif = ModKyrif.Kyrif
Sample = Union["ModKyrif.Kyrif.Method", "ModKyrif.Kyrif.StartProperties"]
StructureClass = Union[type["ModKyrif.Kyrif.Method"], type["ModKyrif.Kyrif.StartProperties"]]
FieldValue = Union[str, float]

STRUCTURES: dict[str, StructureClass] = {"Method": Kyrif.Method, "StartProperties": Kyrif.StartProperties}


class FieldError(ValueError):
    """A ``field=value`` text that does not fit the structure type."""


def _text(text: str) -> str:
    return text


def _number(text: str) -> float:
    try:
        return float(text)
    except ValueError:
        raise FieldError(f"{text!r} is not a number") from None


def _trigger(text: str) -> ModKyrif.Kyrif.StartTriggerTypes:
    members = Kyrif.StartTriggerTypes.__members__
    if text in members:
        return members[text]
    raise FieldError(f"{text!r} is not a trigger (one of {', '.join(members)})")


# Per structure type, its fields in the order of the interface, each with the
# conversion from text and the accessors of the sample.
_FIELDS: dict[str, dict[str, tuple[Callable[[str], object], str, str]]] = {
    "Method": {
        "name": (_text, "getName", "setName"),
        "parameters": (_text, "getParameters", "setParameters"),
    },
    "StartProperties": {
        "absTime": (_number, "getAbsTime", "setAbsTime"),
        "trigger": (_trigger, "getTrigger", "setTrigger"),
        "customTrigger": (_text, "getCustomTrigger", "setCustomTrigger"),
        "info": (_text, "getInfo", "setInfo"),
    },
}


def field_names(type_name: str) -> list[str]:
    return list(_FIELDS[type_name])


def parse_assignments(type_name: str, assignments: Sequence[str]) -> dict[str, str]:
    """Checks ``field=value`` texts against the structure type and returns the
    values by field, still as text. Raises FieldError naming the first fault."""
    fields = _FIELDS[type_name]
    values: dict[str, str] = {}
    for assignment in assignments:
        name, equals, value = assignment.partition("=")
        if not equals:
            raise FieldError(f"{assignment!r} is not of the form field=value")
        if name not in fields:
            raise FieldError(f"{type_name} has no field {name!r} (fields: {', '.join(fields)})")
        if name in values:
            raise FieldError(f"field {name!r} is given twice")
        convert = fields[name][0]
        try:
            convert(value)
        except FieldError as error:
            raise FieldError(f"field {name!r}: {error}") from None
        values[name] = value
    return values


def fill(sample: Sample, type_name: str, values: dict[str, str]) -> None:
    """Sets the sample's fields from values checked by parse_assignments."""
    fields = _FIELDS[type_name]
    for name, value in values.items():
        convert, _, setter = fields[name]
        getattr(sample, setter)(convert(value))


def values(sample: Sample) -> dict[str, FieldValue]:
    """The sample's fields by name (a trigger by its member name)."""
    type_name = "Method" if isinstance(sample, Kyrif.Method) else "StartProperties"
    result: dict[str, FieldValue] = {}
    for name, (_, getter, _) in _FIELDS[type_name].items():
        value = getattr(sample, getter)()
        result[name] = value.name if isinstance(value, Kyrif.StartTriggerTypes) else value
    return result


def as_json(sample: Sample) -> dict[str, FieldValue]:
    """The fields as JSON-ready values: a non-finite absTime, which JSON cannot
    hold as a number, becomes its text ("nan", "inf", "-inf")."""
    return {name: repr(value) if isinstance(value, float) and not math.isfinite(value) else value
            for name, value in values(sample).items()}


def as_text(sample: Sample) -> str:
    """The fields as ``field=value`` pairs, free texts quoted."""
    parts = []
    for name, value in values(sample).items():
        shown = value if name == "trigger" or isinstance(value, float) else repr(value)
        parts.append(f"{name}={shown}")
    return " ".join(parts)
