#!/usr/bin/env bash
# Builds the project (with all set-up) and runs the demonstration.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
exec .venv/bin/python examples/demo.py
