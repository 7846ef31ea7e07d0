#!/usr/bin/env bash
# Builds the shared libraries and both Python modules with AddressSanitizer and
# UndefinedBehaviorSanitizer in build/asan, and runs the whole Python test suite
# against them. Extra arguments go to pytest.
#
# The interpreter itself is not instrumented, so the sanitizer runtimes are
# preloaded into it, and Python allocates with malloc (PYTHONMALLOC=malloc) so that
# the leak checker sees every Python object and follows the pointers they hold.
# Every process of the run (pytest and the programs the tests start) writes its
# reports to build/asan/reports; the run fails if any report is written, whatever
# the tests say, and on the first error of each kind the process stops.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

BUILD=build/asan
PYBIND11_DIR=$(.venv/bin/python -c 'import pybind11; print(pybind11.get_cmake_dir())')
.venv/bin/cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMODKYRIF_SANITIZE=ON \
  -DMODKYRIF_NATIVE_TESTS=OFF -DPython_EXECUTABLE="$PWD/.venv/bin/python" \
  -Dpybind11_DIR="$PYBIND11_DIR" >/dev/null
.venv/bin/cmake --build "$BUILD" -j "${CMAKE_BUILD_PARALLEL_LEVEL:-2}" --target qel qel-icd-kyrif pyqelcpp ModKyrif

# The runtimes the modules were linked with, asked from the compiler that built them.
CXX=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$BUILD/CMakeCache.txt")
ASAN_LIB=$("$CXX" -print-file-name=libasan.so)
UBSAN_LIB=$("$CXX" -print-file-name=libubsan.so)
for lib in "$ASAN_LIB" "$UBSAN_LIB"; do
  [ -f "$lib" ] || { echo "sanitize: sanitizer runtime $lib not found" >&2; exit 1; }
done

REPORTS="$PWD/$BUILD/reports"
rm -rf "$REPORTS"
mkdir -p "$REPORTS"
SUPPRESSIONS="$PWD/tests/sanitizers"

export LD_PRELOAD="$ASAN_LIB:$UBSAN_LIB"
export PYTHONPATH="$PWD/$BUILD/python"
export PYTHONMALLOC=malloc
# intercept_tls_get_addr=0: the runtime's bookkeeping of dynamic thread-local blocks
# guesses a block's bounds from a header that older C libraries wrote before it. The
# C library here allocates those blocks with malloc, so whenever a block starts 16
# bytes past a page boundary the guess reads the allocator's own chunk header, and at
# the process's exit the leak checker's tracer scans a range from a small bogus
# address and dies of a segmentation fault. Which process it hits depends on its heap
# layout (the length of paths and of the environment moves it). Every other guess
# gives such a block no size, so without the bookkeeping the leak check scans the same.
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:exitcode=86:intercept_tls_get_addr=0:log_path=$REPORTS/asan"
export LSAN_OPTIONS="suppressions=$SUPPRESSIONS/lsan.supp:print_suppressions=0:exitcode=86"
export UBSAN_OPTIONS="suppressions=$SUPPRESSIONS/ubsan.supp:halt_on_error=1:print_stacktrace=1:exitcode=86:log_path=$REPORTS/ubsan"
# Tells the tests they run under the sanitizers (shorter leak loops, no memory
# bounds: the address sanitizer keeps freed memory in quarantine).
export MODKYRIF_SANITIZED=1
export MODKYRIF_LEAK_OPS=${MODKYRIF_LEAK_OPS:-5000}

status=0
(cd tests && ../.venv/bin/python -m pytest -q -p no:cacheprovider "$@") || status=$?

if [ -n "$(ls -A "$REPORTS")" ]; then
  echo "sanitize: the sanitizers reported errors:" >&2
  for report in "$REPORTS"/*; do
    echo "=== $report" >&2
    cat "$report" >&2
  done
  exit 1
fi
if [ "$status" -ne 0 ]; then
  echo "sanitize: the test suite failed under the sanitizers (status $status)" >&2
fi
exit "$status"
