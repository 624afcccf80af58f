#!/usr/bin/env bash
# The demo: builds what is missing, then starts Pellvane.exe under Wine inside
# the private test network, with simulated adapters answering on the other end
# of the veth pair. With $DISPLAY set the window is live on that display;
# headless (or with PELLVANE_HEADLESS=1) it runs on a private Xvfb and a PNG
# screenshot of the window is written to build/demo/.
#
# PELLVANE_DPI=144 scripts/run.sh shows the window at 150 % (192: 200 %); the
# screenshot is then build/demo/pellvane-144dpi.png. PELLVANE_DEMO_FINDING=1
# adds an adapter on an address of another subnet and shows its row's tip
# (build/demo/pellvane-finding.png, cut to the window); PELLVANE_DEMO_EMPTY=1
# lets no adapter answer, and the status bar says what to check
# (build/demo/pellvane-empty.png, cut to the window).
set -euo pipefail
cd "$(dirname "$0")/.."

case ${PELLVANE_DPI:-96} in
  *[!0-9]* | 0* | ?????*)
    echo "PELLVANE_DPI must be the display's dots per inch, such as 144 (150 %)" >&2
    exit 2
    ;;
esac

scripts/setup.sh --demo
[ -f build/native/build.ninja ] || cmake --preset native >/dev/null
cmake --build --preset native --target adapter_sim
[ -f build/windows/build.ninja ] || cmake --preset windows >/dev/null
cmake --build --preset windows --target Pellvane

mkdir -p build/demo
export PELLVANE_WINEPREFIXES=$PWD/build/windows/wineprefix
if [ -z "${DISPLAY:-}" ] || [ "${PELLVANE_HEADLESS:-0}" = "1" ]; then
  export PELLVANE_XVFB=1 PELLVANE_DEMO_SHOT=1
fi
exec scripts/netns-run.sh scripts/demo-inside.sh
