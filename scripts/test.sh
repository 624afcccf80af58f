#!/usr/bin/env bash
# Installs what is missing, builds every preset and runs every test (native,
# 64-bit and 32-bit Windows under Wine) in one ctest run inside the private
# test network.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

cmake --preset native >/dev/null
cmake --build --preset native
cmake --preset windows >/dev/null
cmake --build --preset windows
cmake --preset windows-x86 >/dev/null
cmake --build --preset windows-x86

# One ctest run over every build tree (tests named native., win. and win32.).
cat >build/CTestTestfile.cmake <<'CTEST'
subdirs("native" "windows" "windows-x86")
CTEST

# The 32-bit programs run in the 64-bit tree's prefix, through WoW64.
prefix=$PWD/build/windows/wineprefix
export PELLVANE_WINEPREFIXES=$prefix
# The UI tests drive real windows on a private X display.
export PELLVANE_XVFB=1
exec scripts/netns-run.sh bash -c '
  set -e
  scripts/wine-prefix.sh "$0"
  ctest --test-dir build --output-on-failure --no-tests=error -j2 --timeout 600
' "$prefix"
