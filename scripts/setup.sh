#!/usr/bin/env bash
# Installs everything the project needs on a fresh Debian machine, idempotently:
# Debian packages, a Python 3.12 virtual environment in .venv and its pip packages.
set -euo pipefail
cd "$(dirname "$0")/.."

APT_PACKAGES=(build-essential pkg-config libboost-thread-dev libboost-chrono-dev
              libboost-system-dev liburiparser-dev libgtest-dev
              cyclonedds-dev cyclonedds-tools iproute2 nftables)
missing=()
for p in "${APT_PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing Debian packages: ${missing[*]}"
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi

find_python312() {
  if command -v pyenv >/dev/null 2>&1 && pyenv prefix 3.12.1 >/dev/null 2>&1; then
    echo "$(pyenv prefix 3.12.1)/bin/python3.12"; return
  fi
  for c in python3.12 /usr/bin/python3.12 /usr/local/bin/python3.12; do
    if command -v "$c" >/dev/null 2>&1; then command -v "$c"; return; fi
  done
  return 1
}

if [ ! -x .venv/bin/python ] || ! .venv/bin/python -c 'import sys; sys.exit(sys.version_info[:2] != (3, 12))'; then
  PY=$(find_python312) || { echo "setup: no Python 3.12 interpreter found" >&2; exit 1; }
  echo "setup: creating .venv with $PY"
  rm -rf .venv
  "$PY" -m venv .venv
fi

REQS=requirements-dev.txt
STAMP=.venv/.requirements.stamp
if [ ! -f "$STAMP" ] || ! cmp -s "$REQS" "$STAMP"; then
  echo "setup: installing pip packages from $REQS"
  .venv/bin/python -m pip install -q --upgrade pip
  .venv/bin/python -m pip install -q -r "$REQS"
  cp "$REQS" "$STAMP"
fi
