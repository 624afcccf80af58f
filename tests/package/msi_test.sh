#!/usr/bin/env bash
# msi_test.sh WINEPREFIX MSI ARCH VERSION MANUFACTURER STAGE_DIR ICON
#
# The Windows Installer package of one architecture, silently under Wine, as
# a deployment tool drives it: its properties; refused while the other
# architecture's product is installed; install; upgrade from an older
# version (built here from the same staging folder); a refused downgrade;
# the installed programs start and the event source names the installed
# Pellvane.exe; removal leaves nothing of it (the event source goes too) but
# the saved settings; install into a chosen INSTALLDIR, upgrade and removal
# there. The firewall rules' custom actions: their rows, and in the
# installer's logs that each runs where it should (and the older version's
# removal during an upgrade not), or not at all with PELLVANE_FIREWALL=0.
# Every msiexec step's whole exit code is checked.
set -euo pipefail

prefix=$1 msi=$2 arch=$3 version=$4 manufacturer=$5 stage=$6 icon=$7
here=$(cd "$(dirname "$0")" && pwd)
build_msi=$here/../../packaging/build_msi.sh

# Every Wine start belongs inside the private test network, and Pellvane.exe
# needs a display.
if [ "${PELLVANE_NETNS:-}" != "1" ] || [ -z "${DISPLAY:-}" ]; then
  echo "[  SKIPPED ] MSI test: run it inside scripts/netns-run.sh with PELLVANE_XVFB=1"
  exit 0
fi

# The UpgradeCodes are the identity of the product line in every deployment
# tool: they must never change, or an upgrade installs beside the old version.
case $arch in
  x64) upgrade_code='{A882051D-4261-4A03-B3E5-115F1B1CBD64}' platform='x64;1033'
       program_files='Program Files' other_program_files='Program Files (x86)'
       view=/reg:64 other_view=/reg:32
       other_arch=x86 name='Pellvane (64-bit)' other_name='Pellvane (32-bit)' ;;
  x86) upgrade_code='{5095EAAF-6146-4915-B1CA-F61068157997}' platform='Intel;1033'
       program_files='Program Files (x86)' other_program_files='Program Files'
       view=/reg:32 other_view=/reg:64
       other_arch=x64 name='Pellvane (32-bit)' other_name='Pellvane (64-bit)' ;;
  *) echo "FAIL: unknown architecture $arch"; exit 1 ;;
esac

export WINEPREFIX=$prefix WINEDEBUG=-all
# No desktop entries on this machine for the Start-menu shortcut, and no
# Mono/Gecko downloads.
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml="

drive_c=$prefix/drive_c
default_dir="$drive_c/$program_files/Pellvane"
# Windows puts a per-machine package's shortcut into the all-users Start
# menu; Wine 8's installer puts it into the current user's.
shortcuts=("$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Pellvane.lnk"
           "$drive_c/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Pellvane.lnk")
uninstall_root='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
settings_key='HKLM\Software\Quorvel\HPLCSYSTEMS\SYSTEM-1'
event_key='SYSTEM\CurrentControlSet\Services\EventLog\Application\Pellvane'
custom_name=pv-msi-test-$$
custom_dir=$drive_c/$custom_name
data_dir=$drive_c/pv-msi-data-$$
work=$(mktemp -d "${TMPDIR:-/tmp}/msi-test.XXXXXX")
log=$work/wine.log

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Wine's output goes through a file: its helper processes keep pipes open.
run_wine() {
  timeout 120 wine "$@" >"$log" 2>&1 </dev/null
}

windows_path() {
  local path=$1
  echo "Z:${path//\//\\}"
}

# msiexec's whole exit code: wine's own status is only its low byte (1603
# would read as 67). A bad option would open a dialog: hence the timeout.
# With 32-bit Wine installed, `wine` starts Wine's own tools as 32-bit
# programs; the 64-bit package goes through the 64-bit loader, as the
# 64-bit Windows Installer service would install it.
msi_loader() {
  if [ "$1" = x64 ] && [ -x /usr/lib/wine/wine64 ]; then
    echo /usr/lib/wine/wine64
  else
    echo wine
  fi
}
msi_wine=$(msi_loader "$arch")
other_msi_wine=$(msi_loader "$other_arch")

msiexec_code() {
  local status=0
  timeout 300 "$msi_wine" cmd /v:on /c "start /wait msiexec $* & echo !ERRORLEVEL!" \
    >"$log" 2>&1 </dev/null || status=$?
  if [ $status -eq 124 ]; then
    echo "timeout"
  else
    tr -d '\r' <"$log" | sed -n '$p'
  fi
}

expect_msiexec() {
  local expected=$1 what=$2
  shift 2
  local code
  code=$(msiexec_code "$@")
  echo "   $what: msiexec $1 -> $code"
  [ "$code" = "$expected" ] || fail "$what: msiexec exit code $code, expected $expected"
}

property() {
  msiinfo export "$1" Property | tr -d '\r' | sed -n "s/^$2\t//p"
}

# The Apps entries of Pellvane in one registry view, one line each:
# KEY_NAME DISPLAY_VERSION
pellvane_entries() {
  local v=$1
  run_wine reg query "$uninstall_root" "$v" || return 0
  local key
  for key in $(tr -d '\r' <"$log" | grep -o '{[0-9A-F-]*}$'); do
    run_wine reg query "$uninstall_root\\$key" "$v" || continue
    tr -d '\r' <"$log" | grep -q 'DisplayName *REG_SZ *Pellvane$' || continue
    echo "$key $(tr -d '\r' <"$log" | sed -n 's/^ *DisplayVersion *REG_SZ *//p')"
  done
}

has_shortcut() {
  local lnk
  for lnk in "${shortcuts[@]}"; do
    [ -f "$lnk" ] && grep -aq 'Pellvane.exe' "$lnk" && return 0
  done
  return 1
}

# A value of the event source, in the 64-bit view, where the event log
# service reads (HKLM\SYSTEM is one key in both views).
event_source_value() {
  run_wine reg query "HKLM\\$event_key" /reg:64 /v "$1" || return 1
  tr -d '\r' <"$log" | sed -n "s/^ *$1 *REG_[A-Z]* *//p"
}

expect_event_source() {
  local exe=$1
  [ "$(event_source_value EventMessageFile)" = "$exe" ] \
    || fail "the event source's message file is '$(event_source_value EventMessageFile)', not $exe"
  [ "$(event_source_value TypesSupported)" = "0x7" ] || fail "the event source's TypesSupported is not 7"
}

entry_value() {
  run_wine reg query "$uninstall_root\\$1" "$view" /v "$2" || return 1
  tr -d '\r' <"$log" | sed -n "s/^ *$2 *REG_[A-Z]* *//p"
}

cleanup() {
  local code
  for code in "${product_codes[@]}"; do
    msiexec_code /x "$code" /qn >/dev/null
  done
  [ -z "$other_code" ] || msi_wine=$other_msi_wine msiexec_code /x "$other_code" /qn >/dev/null
  run_wine reg delete "$settings_key" "$view" /v PellvaneMsiTest /f || true
  rm -rf "$custom_dir" "$data_dir" "$work"
}
product_codes=() other_code=
trap cleanup EXIT

old_msi=$work/Pellvane-1.0.0-$arch.msi
"$build_msi" "$stage" "$icon" "$old_msi" 1.0.0 "$arch" "$manufacturer" \
  || { echo "FAIL: cannot build the older package"; exit 1; }
new_code=$(property "$msi" ProductCode)
old_code=$(property "$old_msi" ProductCode)
product_codes=("$new_code" "$old_code")
# Only the other product line matters here, not what its package holds: it
# is built from this staging folder too, so it is always there and current.
other_msi=$work/Pellvane-$version-$other_arch.msi
"$build_msi" "$stage" "$icon" "$other_msi" "$version" "$other_arch" "$manufacturer" \
  || { echo "FAIL: cannot build the $other_arch package"; exit 1; }
other_code=$(property "$other_msi" ProductCode)

echo "== the package's properties"
[ "$(property "$msi" ProductVersion)" = "$version" ] || fail "ProductVersion is not $version"
[ "$(property "$msi" Manufacturer)" = "$manufacturer" ] || fail "Manufacturer is not $manufacturer"
[ "$(property "$msi" UpgradeCode)" = "$upgrade_code" ] || fail "UpgradeCode is not $upgrade_code"
[ "$(property "$old_msi" UpgradeCode)" = "$upgrade_code" ] || fail "the older build has another UpgradeCode"
[ "$(property "$msi" ARPNOMODIFY)" = "1" ] || fail "the Apps entry would offer Modify"
[[ $new_code =~ ^\{[0-9A-F-]{36}\}$ ]] || fail "no ProductCode: '$new_code'"
[ "$new_code" != "$old_code" ] || fail "two builds share the ProductCode $new_code"
suminfo=$(msiinfo suminfo "$msi" | tr -d '\r')
grep -qx "Template: $platform" <<<"$suminfo" || fail "platform is not $platform: $suminfo"
# The event source as plain registry rows (wixl has no event source element).
registry=$(msiinfo export "$msi" Registry | tr -d '\r' | cut -f2-5)
for row in "EventMessageFile	[#PellvaneExe]" "TypesSupported	#7"; do
  grep -qxF "2	$event_key	$row" <<<"$registry" || fail "no Registry row for the event source's $row"
done

# The firewall rules: the installed pellvane-cli.exe, deferred, as the
# installer service, its failure ignored (3154); added once the files are
# there, removed before they go, but not by the removal an upgrade makes.
actions=$(msiinfo export "$msi" CustomAction | tr -d '\r')
for row in "PellvaneFirewallAdd	3154	CliExe	firewall add" \
  "PellvaneFirewallRemove	3154	CliExe	firewall remove"; do
  grep -qF "$row" <<<"$actions" || fail "no custom action row $row"
done
sequence=$(msiinfo export "$msi" InstallExecuteSequence | tr -d '\r')
step() { awk -F'\t' -v a="$1" -v f="$2" '$1 == a { print $f }' <<<"$sequence"; }
[ "$(step PellvaneFirewallAdd 2)" = 'NOT REMOVE~="ALL" AND PELLVANE_FIREWALL<>"0"' ] \
  || fail "the firewall add's condition is '$(step PellvaneFirewallAdd 2)'"
[ "$(step PellvaneFirewallRemove 2)" = 'REMOVE~="ALL" AND NOT UPGRADINGPRODUCTCODE AND PELLVANE_FIREWALL<>"0"' ] \
  || fail "the firewall remove's condition is '$(step PellvaneFirewallRemove 2)'"
[ "$(step InstallFiles 3)" -lt "$(step PellvaneFirewallAdd 3)" ] \
  && [ "$(step PellvaneFirewallAdd 3)" -lt "$(step InstallFinalize 3)" ] \
  || fail "firewall add is not between InstallFiles and InstallFinalize"
[ "$(step InstallInitialize 3)" -lt "$(step PellvaneFirewallRemove 3)" ] \
  && [ "$(step PellvaneFirewallRemove 3)" -lt "$(step RemoveFiles 3)" ] \
  || fail "firewall remove is not between InstallInitialize and RemoveFiles"
# The older version goes before the new one is installed, as without the
# sequence of custom actions.
[ "$(step InstallValidate 3)" -lt "$(step RemoveExistingProducts 3)" ] \
  && [ "$(step RemoveExistingProducts 3)" -lt "$(step InstallInitialize 3)" ] \
  || fail "RemoveExistingProducts is not between InstallValidate and InstallInitialize"
[ "$(property "$msi" PELLVANE_FIREWALL)" = "1" ] || fail "PELLVANE_FIREWALL is not 1 by default"

# ran ACTION LOG: the installer's log shows that ACTION ran (started and ended).
ran() {
  grep -aq "Action start .*: $1\." "$2" && grep -aq "Action ended .*: $1\. Return value" "$2"
}

msi_win=$(windows_path "$msi")
old_win=$(windows_path "$old_msi")

echo "== refused while the $other_arch package is installed, with its reason"
msi_wine=$other_msi_wine expect_msiexec 0 "install $other_arch" /i "$(windows_path "$other_msi")" /qn
cross_log=$work/cross.log
expect_msiexec 1603 "install beside $other_arch" /i "$msi_win" /qn /l*v "$(windows_path "$cross_log")"
grep -aq "PELLVANE_OTHER_ARCH_FOUND = $other_code" "$cross_log" \
  || fail "the package did not find the $other_arch product"
grep -aq "Action start .*: InstallValidate" "$cross_log" && fail "the refused install went past its launch conditions"
msiinfo export "$msi" LaunchCondition | tr -d '\r' \
  | grep -qx "NOT PELLVANE_OTHER_ARCH_FOUND OR Installed	$other_name is installed on this computer\. Remove it .* before installing $name\." \
  || fail "no message naming $other_name"
[ ! -e "$default_dir" ] || fail "the refused install left files in $program_files"
[ -z "$(pellvane_entries "$view")" ] || fail "the refused install left an Apps entry: $(pellvane_entries "$view")"
[ "$(pellvane_entries "$other_view")" = "$other_code $version" ] \
  || fail "the $other_arch Apps entry is not the one installed: $(pellvane_entries "$other_view")"
[ -f "$drive_c/$other_program_files/Pellvane/Pellvane.exe" ] || fail "the $other_arch program is gone"
has_shortcut || fail "the $other_arch product's shortcut is gone"
msi_wine=$other_msi_wine expect_msiexec 0 "removal of $other_arch" /x "$other_code" /qn
[ -z "$(pellvane_entries "$other_view")" ] || fail "the $other_arch Apps entry was left"

echo "== install of the older version into the default folder"
# A source a program registered earlier would outlive the removal below.
run_wine reg delete "HKLM\\$event_key" /reg:64 /f || true
expect_msiexec 0 "install 1.0.0" /i "$old_win" /qn
[ "$(pellvane_entries "$view")" = "$old_code 1.0.0" ] || fail "Apps entries after 1.0.0: $(pellvane_entries "$view")"

echo "== upgrade to $version"
upgrade_log=$work/upgrade.log
expect_msiexec 0 "upgrade" /i "$msi_win" /qn /l*v "$(windows_path "$upgrade_log")"
ran PellvaneFirewallAdd "$upgrade_log" || fail "the upgrade did not add the firewall rules"
ran PellvaneFirewallRemove "$upgrade_log" && fail "the upgrade's removal of 1.0.0 removed the firewall rules"
[ "$(pellvane_entries "$view")" = "$new_code $version" ] \
  || fail "after the upgrade the Apps entries are not the new one alone: $(pellvane_entries "$view")"
[ -z "$(pellvane_entries "$other_view")" ] || fail "an Apps entry in the other registry view"
for f in Pellvane.exe pellvane-cli.exe adapter_sim.exe USER-GUIDE.txt; do
  cmp -s "$default_dir/$f" "$stage/$f" || fail "$f missing or not the staged one in $program_files"
done
[ ! -e "$drive_c/$other_program_files/Pellvane" ] || fail "installed into $other_program_files"
has_shortcut || fail "no Start-menu shortcut to Pellvane.exe"
[ "$(entry_value "$new_code" Publisher)" = "$manufacturer" ] || fail "the Apps entry names no publisher"
[ "$(entry_value "$new_code" NoModify)" = "0x1" ] || fail "the Apps entry offers Modify"
expect_event_source "C:\\$program_files\\Pellvane\\Pellvane.exe"

echo "== the older version over the newer is refused, with its reason"
downgrade_log=$work/downgrade.log
expect_msiexec 1603 "downgrade" /i "$old_win" /qn /l*v "$(windows_path "$downgrade_log")"
# The refusal is the launch condition that carries the message (Wine's
# log leaves the message's text out): the newer product found as the
# downgrade, and nothing done after the launch conditions.
grep -aq "WIX_DOWNGRADE_DETECTED = $new_code" "$downgrade_log" \
  || fail "the older package did not see the newer one as a downgrade"
grep -aq "Action start .*: InstallValidate" "$downgrade_log" && fail "the refused downgrade went past its launch conditions"
msiinfo export "$old_msi" LaunchCondition | tr -d '\r' \
  | grep -qx "NOT WIX_DOWNGRADE_DETECTED	A newer version of Pellvane is already installed.*" \
  || fail "no message for a refused downgrade"
[ "$(pellvane_entries "$view")" = "$new_code $version" ] || fail "the refused downgrade changed the Apps entries"
cmp -s "$default_dir/Pellvane.exe" "$stage/Pellvane.exe" || fail "the refused downgrade removed Pellvane.exe"

echo "== the installed programs start"
run_wine "$default_dir/pellvane-cli.exe" --help && grep -q "pellvane-cli" "$log" \
  || fail "pellvane-cli.exe --help does not run from $program_files"
timeout 120 wine "$default_dir/Pellvane.exe" >"$work/pellvane.log" 2>&1 </dev/null &
pellvane=$!
window=
for _ in $(seq 600); do
  window=$(xdotool search --name '^Configuration of Tessik/AD$' 2>/dev/null | head -1) && [ -n "$window" ] && break
  kill -0 "$pellvane" 2>/dev/null || break
  sleep 0.1
done
if [ -n "$window" ]; then
  # taskkill without /f asks the window to close, as the close box does; a
  # 32-bit taskkill does not reach a 64-bit program's window.
  timeout 120 "$msi_wine" taskkill /im Pellvane.exe >"$log" 2>&1 </dev/null || true
  status=0
  wait "$pellvane" || status=$?
  echo "   Pellvane.exe showed its window, closed with status $status"
  [ $status -eq 0 ] || fail "the installed Pellvane.exe ended with status $status"
else
  kill "$pellvane" 2>/dev/null || true
  wait "$pellvane" || true
  fail "the installed Pellvane.exe showed no window: $(cat "$work/pellvane.log")"
fi

echo "== removal leaves the saved settings"
run_wine reg add "$settings_key" "$view" /v PellvaneMsiTest /d kept /f || fail "cannot plant a setting"
mkdir -p "$data_dir" && printf '[SYSTEM-1]\r\nHOST=10.231.0.21\r\n' >"$data_dir/qzdrv204.ini"
removal_log=$work/removal.log
expect_msiexec 0 "removal" /x "$new_code" /qn /l*v "$(windows_path "$removal_log")"
ran PellvaneFirewallRemove "$removal_log" || fail "the removal did not remove the firewall rules"
ran PellvaneFirewallAdd "$removal_log" && fail "the removal added the firewall rules"
[ ! -e "$default_dir" ] || fail "left in $program_files: $(ls -A "$default_dir")"
for lnk in "${shortcuts[@]}"; do
  [ ! -e "$lnk" ] || fail "Start-menu shortcut left: $lnk"
done
[ -z "$(pellvane_entries "$view")" ] || fail "Apps entry left: $(pellvane_entries "$view")"
run_wine reg query 'HKLM\Software\Pellvane' "$view" && fail "the remembered install folder was left"
run_wine reg query "HKLM\\$event_key" /reg:64 && fail "the event source was left"
run_wine reg query "$settings_key" "$view" /v PellvaneMsiTest && grep -q kept "$log" \
  || fail "the removal touched the settings keys"
[ -f "$data_dir/qzdrv204.ini" ] || fail "the removal touched the driver file"

echo "== install into INSTALLDIR=C:\\$custom_name, upgrade there, removal from there"
skip_log=$work/skip.log
expect_msiexec 0 "install 1.0.0 into INSTALLDIR, no firewall rules" /i "$old_win" /qn \
  "INSTALLDIR=C:\\$custom_name" PELLVANE_FIREWALL=0 /l*v "$(windows_path "$skip_log")"
grep -aq "Action start .*: InstallFiles\." "$skip_log" || fail "no installer's log of the install into INSTALLDIR"
ran PellvaneFirewallAdd "$skip_log" && fail "PELLVANE_FIREWALL=0 added the firewall rules"
[ -f "$custom_dir/Pellvane.exe" ] || fail "1.0.0 not installed into C:\\$custom_name"
expect_msiexec 0 "upgrade in INSTALLDIR" /i "$msi_win" /qn
for f in Pellvane.exe pellvane-cli.exe adapter_sim.exe USER-GUIDE.txt; do
  cmp -s "$custom_dir/$f" "$stage/$f" || fail "$f missing or not the staged one in C:\\$custom_name"
done
[ ! -e "$default_dir" ] || fail "the upgrade moved into $program_files"
expect_event_source "C:\\$custom_name\\Pellvane.exe"
[ "$(pellvane_entries "$view")" = "$new_code $version" ] || fail "Apps entries after the upgrade in INSTALLDIR: $(pellvane_entries "$view")"
echo "my notes" >"$custom_dir/notes.txt"
expect_msiexec 0 "removal from INSTALLDIR, no firewall rules" /x "$new_code" /qn \
  PELLVANE_FIREWALL=0 /l*v "$(windows_path "$skip_log")"
grep -aq "Action start .*: RemoveFiles\." "$skip_log" || fail "no installer's log of the removal from INSTALLDIR"
ran PellvaneFirewallRemove "$skip_log" && fail "PELLVANE_FIREWALL=0 removed the firewall rules"
[ "$(ls -A "$custom_dir")" = "notes.txt" ] || fail "after removal C:\\$custom_name holds: $(ls -A "$custom_dir")"
[ -z "$(pellvane_entries "$view")" ] || fail "Apps entry left after removal from INSTALLDIR"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "MSI refusal beside $other_arch, install, upgrade, refused downgrade and removal passed"
