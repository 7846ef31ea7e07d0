#!/usr/bin/env bash
# Builds ModKyrif, pyqelcpp and their shared libraries and installs them into .venv.
# Incremental: the CMake build tree under build/ is kept, and nothing is rebuilt or
# reinstalled when no source changed since the last installation.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

STAMP=.venv/.install.stamp
SOURCES=(CMakeLists.txt pyproject.toml src standin)
if [ -f "$STAMP" ] && [ -z "$(find "${SOURCES[@]}" -newer "$STAMP" -type f -print -quit)" ] \
   && .venv/bin/python -c 'import ModKyrif' 2>/dev/null; then
  exit 0
fi
echo "build: building and installing ModKyrif"
touch "$STAMP.new"
CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-2} \
  .venv/bin/python -m pip install -q --no-build-isolation --no-deps . 
mv "$STAMP.new" "$STAMP"
