"""Generates the type stubs of ModKyrif and pyqelcpp from the built modules.

pybind11-stubgen writes the stubs from the modules' signature texts; this program
then refines what those texts cannot say:
- native names that a signature text shows for classes registered after it (such
  as ``tav::qel::ps::Subscriber<kyrif::Method>``) become their Python classes;
- ``staticGetClient`` returns the client class of its submodule, not their base;
- timeouts take a ``datetime.timedelta`` or a ``float`` number of seconds;
- results that are ``None`` in ordinary use (the data of an event without valid
  data, a missing instance, an empty loan) are optional, and so is a filter's instance.

Usage: python scripts/stubgen.py           writes src/ModKyrif-stubs and the stand-in's stubs
       python scripts/stubgen.py --check   compares instead, exit status 1 on any difference
"""
from __future__ import annotations

import argparse
import difflib
import pathlib
import re
import subprocess
import sys
import tempfile

ROOT = pathlib.Path(__file__).resolve().parent.parent
# Where each module's stub package is shipped.
TARGETS = {
    "ModKyrif": ROOT / "src" / "ModKyrif-stubs",
    "pyqelcpp": ROOT / "standin" / "qel" / "stubs" / "pyqelcpp-stubs",
}

STRUCTURES = ("Method", "StartProperties")
ROLES = ("Subscriber", "MrvSubscriber", "Publisher", "InstancePublisher", "DataEventFilter", "DataEvent",
         "LoanedDataEntity")
NATIVE_ROLE = re.compile(r"tav::qel::ps::(\w+)<kyrif::(\w+)>")

# Per role class: the methods and properties whose result may be None, and those
# whose structure argument may be None.
OPTIONAL_RESULTS = {
    "DataEvent": {"getData", "data"},
    "DataEventFilter": {"getInstance", "instance"},
    "LoanedDataEntity": {"getData"},
    "Subscriber": {"readInstance", "loanedRead", "loanedReadInstance"},
}
OPTIONAL_ARGUMENTS = {"DataEventFilter": {"setInstance", "instance"}}

DEF = re.compile(r"^(?P<indent>\s*)def (?P<name>\w+)\((?P<params>.*)\) -> (?P<result>.*):(?P<rest>.*)$")
CLASS = re.compile(r"^class (\w+)")


def _native_role(match: re.Match[str]) -> str:
    role, structure = match.group(1), match.group(2)
    if role not in ROLES or structure not in STRUCTURES:
        raise SystemExit(f"stubgen: no Python class known for {match.group(0)}")
    return structure + role


def _role_of(class_name: str | None) -> str | None:
    for structure in STRUCTURES:
        if class_name and class_name.startswith(structure) and class_name[len(structure):] in ROLES:
            return class_name[len(structure):]
    return None


def refine(relative: str, text: str) -> str:
    """One stub file with the refinements of the module docstring."""
    text = NATIVE_ROLE.sub(_native_role, text)
    lines = text.split("\n")
    # Module docstring first, then the future import, as Python requires.
    if "from __future__ import annotations" in lines:
        lines.remove("from __future__ import annotations")
        at = 0
        if lines and lines[0] == '"""':
            at = next(i for i in range(1, len(lines)) if lines[i].endswith('"""')) + 1
        elif lines and lines[0].startswith('"""'):
            at = 1
        lines.insert(at, "from __future__ import annotations")
    client_class = {"Kyrif/KyrCmds/KyrCmdsSync.pyi": "KyrCmdsSync",
                    "Kyrif/KyrCmds/KyrCmdsAsync.pyi": "KyrCmdsAsync"}.get(relative)
    current: str | None = None
    for number, line in enumerate(lines):
        found = CLASS.match(line)
        if found:
            current = found.group(1)
            continue
        if line and not line[0].isspace():
            current = None
        match = DEF.match(line)
        if not match:
            continue
        name, params, result = match.group("name"), match.group("params"), match.group("result")
        params = params.replace("datetime.timedelta", "datetime.timedelta | float")
        role = _role_of(current)
        if client_class and current is None and name == "staticGetClient":
            result = client_class
        setter = params != "self" and name in OPTIONAL_ARGUMENTS.get(role or "", ())
        if role and name in OPTIONAL_RESULTS.get(role, ()) and not setter:
            result += " | None"
        if role and name in OPTIONAL_ARGUMENTS.get(role, ()):
            params = re.sub(r"(arg\d: )(Method|StartProperties)\b", r"\1\2 | None", params)
        lines[number] = f"{match.group('indent')}def {name}({params}) -> {result}:{match.group('rest')}"
    text = "\n".join(lines)
    if "::" in text.replace('"""', ""):
        leftover = next(line for line in text.split("\n") if "::" in line)
        raise SystemExit(f"stubgen: a native name is left in {relative}: {leftover.strip()}")
    return text


def generate(module: str, into: pathlib.Path) -> dict[str, str]:
    """The refined stub files of the module, by path relative to its stub package."""
    subprocess.run([sys.executable, "-m", "pybind11_stubgen", module, "-o", str(into),
                    "--print-invalid-expressions-as-is", "--ignore-invalid-expressions", "tav::|kyrif::",
                    "--exit-code"], check=True, stdout=subprocess.DEVNULL)
    single = into / f"{module}.pyi"
    if single.exists():
        files = {"__init__.pyi": single}
    else:
        files = {str(p.relative_to(into / module)): p for p in sorted((into / module).rglob("*.pyi"))}
    return {relative: refine(relative, path.read_text()) for relative, path in files.items()}


def main() -> int:
    options = argparse.ArgumentParser(description="Generate the type stubs of ModKyrif and pyqelcpp.")
    options.add_argument("--check", action="store_true", help="compare with the shipped stubs, write nothing")
    check = options.parse_args().check
    differences = 0
    with tempfile.TemporaryDirectory() as scratch:
        for module, target in TARGETS.items():
            stubs = generate(module, pathlib.Path(scratch) / module)
            shipped = {str(p.relative_to(target)): p.read_text() for p in target.rglob("*.pyi")} \
                if target.exists() else {}
            for relative in sorted(set(stubs) | set(shipped)):
                new, old = stubs.get(relative, ""), shipped.get(relative, "")
                if new == old:
                    continue
                differences += 1
                if check:
                    sys.stdout.writelines(difflib.unified_diff(
                        old.splitlines(True), new.splitlines(True),
                        f"shipped/{target.name}/{relative}", f"generated/{target.name}/{relative}"))
                elif relative in stubs:
                    (target / relative).parent.mkdir(parents=True, exist_ok=True)
                    (target / relative).write_text(new)
                else:
                    (target / relative).unlink()
    if check and differences:
        print(f"stubgen: {differences} stub file(s) differ from the built modules; run scripts/stubs.sh")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
