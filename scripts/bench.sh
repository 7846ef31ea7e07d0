#!/usr/bin/env bash
# Runs every benchmark of ModKyrif against its baselines and prints the table.
# Builds the product and the benchmark-only modules in build/bench (Release, never
# installed), then runs bench/run.py; the figures go to bench/results/ (latest.json,
# latest.md). Extra arguments go to bench/run.py (e.g. --smoke, --repeats 3).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

PYBIND11_DIR=$(.venv/bin/python -c 'import pybind11; print(pybind11.get_cmake_dir())')
.venv/bin/cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DMODKYRIF_BENCH=ON -DMODKYRIF_EXAMPLES=ON \
  -DPython_EXECUTABLE="$PWD/.venv/bin/python" -Dpybind11_DIR="$PYBIND11_DIR" >/dev/null
.venv/bin/cmake --build build/bench -j 2 \
  --target qel qel-icd-kyrif pyqelcpp ModKyrif modkyrif_bench_floor modkyrif_bench_native \
  serve_kyrcmds call_kyrcmds

# The pure-Python cyclonedds package and pyzmq, baselines of the benchmarks between
# processes, are installed here only, apart from the project's environment. Without
# one of them its row is left out.
PYPI_DIR=build/bench/pypi
if [ ! -d "$PYPI_DIR/cyclonedds" ]; then
  .venv/bin/python -m pip install -q --target "$PYPI_DIR" "cyclonedds==11.0.1" \
    || echo "bench: the cyclonedds package could not be installed; its row is left out" >&2
fi
if [ ! -d "$PYPI_DIR/zmq" ]; then
  .venv/bin/python -m pip install -q --target "$PYPI_DIR" "pyzmq==27.3.0" \
    || echo "bench: the pyzmq package could not be installed; its row is left out" >&2
fi

PYTHONPATH="$PWD/build/bench/python:$PWD/$PYPI_DIR" exec .venv/bin/python bench/run.py \
  --json bench/results/latest.json --markdown bench/results/latest.md "$@"
