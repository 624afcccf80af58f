#!/usr/bin/env bash
# setup.sh [--demo]: installs the Debian packages the build and the tests need;
# with --demo only those of the demo (scripts/run.sh), which has no 32-bit
# package among them.
# Idempotent: does nothing (not even an apt update) when everything is present.
#
# A package mirror caught mid-sync can serve an index that fails its check:
# apt-get update then fails though the other lists are fine. It is tried three
# times, PELLVANE_SETUP_RETRY_PAUSE seconds (10) apart, then setup goes on with
# the lists there are. An install that fails is tried again with the system's
# own release (VERSION_CODENAME of PELLVANE_SETUP_OS_RELEASE, /etc/os-release)
# as target: a suite whose i386 index is missing would otherwise offer amd64
# versions of Multi-Arch: same libraries that no i386 version matches.
set -euo pipefail

# The demo: both trees configured (their tests too), adapter_sim and
# Pellvane.exe built, and the program run in the private test network.
DEMO_PACKAGES=(
  cmake ninja-build g++
  git                        # the Windows programs carry the commit's time
  g++-mingw-w64-x86-64-posix # the toolchain files take the -posix compilers
  googletest
  libcli11-dev nlohmann-json3-dev
  python3 wixl # the Windows tree's release files, configured with it
  wine64 wine
  xvfb xdotool imagemagick # the headless display, the window, its screenshot
  iproute2 util-linux      # the private test network
)
# Everything else the tests need.
TEST_PACKAGES=(
  make
  g++-mingw-w64-x86-64 mingw-w64-tools
  g++-mingw-w64-i686 g++-mingw-w64-i686-posix
  # 32-bit Wine beside the 64-bit one: the 32-bit build's programs run in the
  # same 64-bit prefix through WoW64. Needs the i386 architecture (below).
  wine32:i386
  x11-utils
  clang libclang-rt-14-dev # the fuzzers
  clang-format
  zip unzip
  msitools osslsigncode openssl
)

case ${1:-} in
  "") packages=("${DEMO_PACKAGES[@]}" "${TEST_PACKAGES[@]}") ;;
  --demo) packages=("${DEMO_PACKAGES[@]}") ;;
  *)
    echo "usage: $0 [--demo]" >&2
    exit 2
    ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

# apt's output, kept (and named) when the install fails.
work=$(mktemp -d "${TMPDIR:-/tmp}/pellvane-setup.XXXXXX")
keep_work=0
trap '[ "$keep_work" = 1 ] || rm -rf "$work"' EXIT

# "URL: reason" of each index apt could not fetch, else apt's errors.
fetch_failures() {
  local failures
  failures=$(awk '
    /^[EW]: Failed to fetch / {
      rest = $0; sub(/^[EW]: Failed to fetch /, "", rest)
      url = rest; sub(/[ \t].*/, "", url)
      reason = substr(rest, length(url) + 1)
      sub(/^[ \t]+/, "", reason); sub(/[ \t]*\[IP: [^]]*\][ \t]*$/, "", reason)
      out = out (out == "" ? "" : "; ") url (reason == "" ? "" : ": " reason)
    }
    END { print out }' "$1")
  if [ -n "$failures" ]; then echo "$failures"; else apt_errors "$1"; fi
}

# apt's "E:" lines on one line.
apt_errors() {
  local errors
  errors=$(grep '^E: ' "$1" | paste -sd ' ' -) || true
  echo "${errors:-no error message from apt-get}"
}

for p in "${missing[@]}"; do
  if [[ $p == *:i386 ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "setup: adding the i386 architecture for $p" >&2
    $SUDO dpkg --add-architecture i386
    break
  fi
done

echo "setup: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive

tries=3
for ((try = 1; ; try++)); do
  if $SUDO apt-get update -qq >"$work/update.log" 2>&1; then
    break
  fi
  if [ $try -eq $tries ]; then
    echo "setup: warning: apt-get update failed $tries times ($(fetch_failures "$work/update.log")); going on with the package lists there are" >&2
    break
  fi
  sleep "${PELLVANE_SETUP_RETRY_PAUSE:-10}"
done

apt_install() {
  local log=$1
  shift
  $SUDO apt-get install -y -qq --no-install-recommends "$@" >"$log" 2>&1
}

log=$work/install.log
if apt_install "$log" "${missing[@]}"; then
  exit 0
fi
os_release=${PELLVANE_SETUP_OS_RELEASE:-/etc/os-release}
codename=$(sed -n 's/^VERSION_CODENAME=//p' "$os_release" 2>/dev/null | tr -d "\"'" | head -1)
if [ -n "$codename" ]; then
  echo "setup: apt-get install failed ($(apt_errors "$log")); trying again with -t $codename" >&2
  log=$work/install-$codename.log
  if apt_install "$log" -t "$codename" "${missing[@]}"; then
    exit 0
  fi
  reason=$(apt_errors "$log")
else
  reason="$(apt_errors "$log"); no VERSION_CODENAME in $os_release to try as target release"
fi
keep_work=1
echo "setup: error: could not install ${missing[*]}: $reason (apt's output: $log)" >&2
exit 1
