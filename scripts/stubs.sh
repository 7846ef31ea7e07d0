#!/usr/bin/env bash
# Builds the modules (with all set-up) and regenerates their type stubs from them:
# src/ModKyrif-stubs and standin/qel/stubs/pyqelcpp-stubs.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
exec .venv/bin/python scripts/stubgen.py "$@"
