#!/usr/bin/env bash
# installer_test.sh WINEPREFIX SETUP_EXE PELLVANE_EXE CLI_EXE SIM_EXE GUIDE
#
# Runs the installer silently under Wine, once into a chosen folder and once
# into its default folder, checks what it installed, runs the uninstaller
# silently and checks that everything it installed is gone again, while a
# file the user put into the folder stays.
set -euo pipefail

prefix=$1 setup=$2 built_exe=$3 built_cli=$4 built_sim=$5 built_guide=$6

# Every Wine start belongs inside the private test network.
if [ "${PELLVANE_NETNS:-}" != "1" ]; then
  echo "[  SKIPPED ] installer test: run it inside scripts/netns-run.sh"
  exit 0
fi

export WINEPREFIX=$prefix WINEDEBUG=-all
# No desktop entries on this machine for the Start-menu shortcut, and no
# Mono/Gecko downloads.
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml="

drive_c=$prefix/drive_c
start_menu="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Pellvane'
custom_name=pv-setup-test-$$
custom_dir=$drive_c/$custom_name
default_dir="$drive_c/Program Files/Pellvane"
log=$(mktemp "${TMPDIR:-/tmp}/installer-test.XXXXXX")

cleanup() {
  rm -rf "$custom_dir" "$default_dir" "$start_menu/Pellvane.lnk" "$log"
}
trap cleanup EXIT
cleanup

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Wine's output goes through a file: its helper processes keep pipes open.
run_wine() {
  wine "$@" >"$log" 2>&1 </dev/null
}

uninstall_entry() {
  # Wine's own reg may be a 32-bit program: ask for the 64-bit view.
  run_wine reg query "$uninstall_key" /v "$1" /reg:64 || return 1
  tr -d '\r' <"$log" | sed -n "s/^ *$1 *REG_[A-Z]* *//p"
}

check_installed() {
  local dir=$1 windows_dir=$2
  cmp -s "$dir/Pellvane.exe" "$built_exe" || fail "Pellvane.exe missing or not the built one in $dir"
  cmp -s "$dir/pellvane-cli.exe" "$built_cli" || fail "pellvane-cli.exe missing or not the built one in $dir"
  cmp -s "$dir/adapter_sim.exe" "$built_sim" || fail "adapter_sim.exe missing or not the built one in $dir"
  cmp -s "$dir/USER-GUIDE.txt" "$built_guide" || fail "USER-GUIDE.txt missing or not the staged one in $dir"
  [ -f "$dir/uninstall.exe" ] || fail "no uninstaller in $dir"
  run_wine "$dir/pellvane-cli.exe" --help && grep -q "pellvane-cli" "$log" \
    || fail "pellvane-cli.exe --help does not run from $dir"
  [ -f "$start_menu/Pellvane.lnk" ] || fail "no Start-menu shortcut"
  local location
  location=$(uninstall_entry InstallLocation) || fail "no uninstall entry in the 64-bit registry"
  [ "$location" = "$windows_dir" ] || fail "uninstall entry names '$location', not '$windows_dir'"
}

# The uninstaller copies itself away and returns at once; the copy does the
# work. It removes the registry entry first and its own file last.
wait_uninstalled() {
  local dir=$1
  for _ in $(seq 600); do
    [ -e "$dir/uninstall.exe" ] || { sleep 0.5; return 0; }
    sleep 0.1
  done
  fail "the uninstaller did not finish within 60 s"
}

check_removed() {
  local dir=$1
  for f in Pellvane.exe pellvane-cli.exe adapter_sim.exe USER-GUIDE.txt uninstall.exe; do
    [ ! -e "$dir/$f" ] || fail "$f left in $dir"
  done
  [ ! -e "$start_menu/Pellvane.lnk" ] || fail "Start-menu shortcut left"
  if uninstall_entry InstallLocation >/dev/null; then fail "uninstall entry left"; fi
}

echo "== silent install into C:\\$custom_name"
run_wine "$setup" /S "/D=C:\\$custom_name" || { cat "$log"; fail "the installer failed"; }
check_installed "$custom_dir" "C:\\$custom_name"

echo "== silent uninstall; a file of the user's stays"
mkdir -p "$custom_dir" && echo "my notes" >"$custom_dir/notes.txt"
run_wine "$custom_dir/uninstall.exe" /S || { cat "$log"; fail "the uninstaller failed"; }
wait_uninstalled "$custom_dir"
check_removed "$custom_dir"
[ "$(cat "$custom_dir/notes.txt" 2>/dev/null)" = "my notes" ] || fail "the user's file was removed"

echo "== silent install into the default folder"
run_wine "$setup" /S || { cat "$log"; fail "the installer failed"; }
check_installed "$default_dir" 'C:\Program Files\Pellvane'
[ ! -e "$drive_c/Program Files (x86)/Pellvane" ] || fail "installed into Program Files (x86)"

echo "== silent uninstall from the default folder"
run_wine "$default_dir/uninstall.exe" /S || { cat "$log"; fail "the uninstaller failed"; }
wait_uninstalled "$default_dir"
check_removed "$default_dir"
[ ! -e "$default_dir" ] || fail "the emptied folder was left: $(ls -A "$default_dir")"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "installer and uninstaller passed"
