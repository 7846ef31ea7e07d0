#!/usr/bin/env bash
# Builds the project (with all set-up) and runs every test: the native tests of the
# stand-ins, then the Python test suite. Extra arguments go to pytest.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh

PYBIND11_DIR=$(.venv/bin/python -c 'import pybind11; print(pybind11.get_cmake_dir())')
.venv/bin/cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DMODKYRIF_NATIVE_TESTS=ON -DMODKYRIF_BENCH=ON -DPython_EXECUTABLE="$PWD/.venv/bin/python" \
  -Dpybind11_DIR="$PYBIND11_DIR" >/dev/null
.venv/bin/cmake --build build/native --target native_tests modkyrif_bench_floor modkyrif_bench_native publish_methods serve_kyrcmds call_kyrcmds -j 2
(cd build/native && ../../.venv/bin/ctest --output-on-failure)

# The smoke run of the benchmarks finds their modules here, after the installed product.
export MODKYRIF_BENCH_MODULES="$PWD/build/native/python"
cd tests
exec ../.venv/bin/python -m pytest -q "$@"
