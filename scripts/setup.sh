#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need.
# Idempotent: does nothing (not even an apt update) when everything is present.
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ make
  g++-mingw-w64-x86-64 g++-mingw-w64-x86-64-posix mingw-w64-tools
  g++-mingw-w64-i686 g++-mingw-w64-i686-posix
  python3
  wine64 wine
  # 32-bit Wine beside the 64-bit one: the 32-bit build's programs run in the
  # same 64-bit prefix through WoW64. Needs the i386 architecture (below).
  wine32:i386
  xvfb x11-utils xdotool imagemagick
  googletest
  clang libclang-rt-14-dev
  iproute2 util-linux
  clang-format
  zip unzip
  wixl msitools osslsigncode openssl
  libcli11-dev nlohmann-json3-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "setup: adding the i386 architecture for wine32" >&2
  $SUDO dpkg --add-architecture i386
fi

echo "setup: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
