#!/usr/bin/env bash
# Installs what is missing, builds both presets and runs every test (native
# and Windows-under-Wine) in one ctest run inside the private test network.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

cmake --preset native >/dev/null
cmake --build --preset native
cmake --preset windows >/dev/null
cmake --build --preset windows

# One ctest run over both build trees.
cat >build/CTestTestfile.cmake <<'CTEST'
subdirs("native" "windows")
CTEST

prefix=$PWD/build/windows/wineprefix
export PELLVANE_WINEPREFIXES=$prefix
# The UI tests drive real windows on a private X display.
export PELLVANE_XVFB=1
exec scripts/netns-run.sh bash -c '
  set -e
  scripts/wine-prefix.sh "$0"
  ctest --test-dir build --output-on-failure --no-tests=error -j2 --timeout 600
' "$prefix"
