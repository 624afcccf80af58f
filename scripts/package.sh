#!/usr/bin/env bash
# Builds the release files (what is missing first): the zip and the installer
# in build/windows/package/.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
[ -f build/windows/build.ninja ] || cmake --preset windows >/dev/null
cmake --build --preset windows --target package

for f in build/windows/package/Pellvane-*.zip build/windows/package/Pellvane-*-setup.exe; do
  echo "$PWD/$f"
done
