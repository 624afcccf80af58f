#!/usr/bin/env bash
# build_msi.sh STAGE_DIR ICON OUT_MSI VERSION ARCH MANUFACTURER
#
# Builds Pellvane's Windows Installer package for one architecture (x64 or
# x86) from a staging folder holding the four release files. The build uses
# it with the staged files, the tests with older version numbers.
set -euo pipefail
if [ $# -ne 6 ]; then
  sed -n '2,6s/^# \{0,1\}//p' "$0" >&2
  exit 2
fi
stage=$1 icon=$2 out=$3 version=$4 arch=$5 manufacturer=$6
case $arch in
  x64 | x86) ;;
  *) echo "build_msi.sh: architecture '$arch' is neither x64 nor x86" >&2; exit 2 ;;
esac
source=$(cd "$(dirname "$0")" && pwd)/pellvane.wxs
out=$(realpath -m "$out")
# wixl takes every source path relative to the folder it runs in.
icon=$(realpath --relative-to="$stage" "$icon")
cd "$stage"
if ! wixl -a "$arch" -D Version="$version" -D Arch="$arch" -D Manufacturer="$manufacturer" \
  -D Icon="$icon" -o "$out.tmp" "$source"; then
  rm -f "$out.tmp"
  echo "build_msi.sh: wixl could not build $out" >&2
  exit 1
fi
mv -f "$out.tmp" "$out"
