#!/usr/bin/env python3
"""scripts/setup.sh's decisions, against the stand-ins of stand-ins/ for
apt-get, dpkg, dpkg-query, id and sudo (never the real ones): an update that
fails is retried and then given up with one warning, an install that fails is
tried again with the system's release as target, nothing is called when
everything is installed, and the demo's set has no 32-bit package.

setup_test.py SETUP_SCRIPT STAND_INS_DIR
"""
import os
import subprocess
import sys
import tempfile

URL = "http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz"
UPDATE = "apt-get update -qq"
INSTALL = "apt-get install -y -qq --no-install-recommends"
SOME = "xdotool wine32:i386"
HELD = "E: Unable to correct problems, you have held broken packages."


class Prefix(str):
    """An expected line that goes on with text the case cannot know (a path)."""


CASES = [
    dict(name="update fails twice, then passes", update_failures=2, foreign="",
         rc=0,
         calls=["dpkg --add-architecture i386", UPDATE, UPDATE, UPDATE, f"{INSTALL} {SOME}"],
         stderr=["setup: adding the i386 architecture for wine32:i386",
                 f"setup: installing {SOME}"]),
    dict(name="update always fails", update_failures=99,
         rc=0,
         calls=[UPDATE, UPDATE, UPDATE, f"{INSTALL} {SOME}"],
         stderr=[f"setup: installing {SOME}",
                 f"setup: warning: apt-get update failed 3 times ({URL}: File has unexpected "
                 "size (374820 != 376004). Mirror sync in progress?); going on with the "
                 "package lists there are"]),
    dict(name="install passes only with the release as target", install="with-target",
         rc=0,
         calls=[UPDATE, f"{INSTALL} {SOME}", f"{INSTALL} -t trixie {SOME}"],
         stderr=[f"setup: installing {SOME}",
                 f"setup: apt-get install failed ({HELD}); trying again with -t trixie"]),
    dict(name="install fails both ways", install="fail",
         rc=1,
         calls=[UPDATE, f"{INSTALL} {SOME}", f"{INSTALL} -t trixie {SOME}"],
         stderr=[f"setup: installing {SOME}",
                 f"setup: apt-get install failed ({HELD}); trying again with -t trixie",
                 Prefix(f"setup: error: could not install {SOME}: {HELD} (apt's output: ")]),
    dict(name="everything installed", missing="", update_failures=99, install="fail",
         rc=0, calls=[], stderr=[]),
]


def run(setup, stand_ins, args=(), missing=SOME, update_failures=0, install="ok",
        foreign="i386"):
    with tempfile.TemporaryDirectory() as tmp:
        calls = os.path.join(tmp, "calls")
        os_release = os.path.join(tmp, "os-release")
        with open(os_release, "w") as f:
            f.write('PRETTY_NAME="Debian GNU/Linux 13 (trixie)"\nVERSION_CODENAME=trixie\n')
        env = dict(os.environ,
                   PATH=stand_ins + os.pathsep + os.environ["PATH"],
                   SETUP_FAKE_CALLS=calls, SETUP_FAKE_MISSING=missing,
                   SETUP_FAKE_UPDATE_FAILURES=str(update_failures), SETUP_FAKE_INSTALL=install,
                   SETUP_FAKE_TARGET="trixie", SETUP_FAKE_FOREIGN=foreign,
                   PELLVANE_SETUP_RETRY_PAUSE="0", PELLVANE_SETUP_OS_RELEASE=os_release,
                   TMPDIR=tmp)
        proc = subprocess.run([setup, *args], env=env, capture_output=True, text=True,
                              timeout=60)
        recorded = []
        if os.path.exists(calls):
            with open(calls) as f:
                recorded = f.read().splitlines()
        return proc.returncode, proc.stderr.splitlines(), recorded


def lines_match(actual, expected):
    if len(actual) != len(expected):
        return False
    return all(a.startswith(e) if isinstance(e, Prefix) else a == e
               for a, e in zip(actual, expected))


def installed_list(calls):
    """The packages of the one install call, or None."""
    installs = [c for c in calls if c.startswith(INSTALL + " ")]
    return installs[0][len(INSTALL) + 1:].split() if len(installs) == 1 else None


def main():
    setup, stand_ins = sys.argv[1], os.path.abspath(sys.argv[2])
    failures = []

    for case in CASES:
        kwargs = {k: case[k] for k in ("missing", "update_failures", "install", "foreign")
                  if k in case}
        rc, stderr, calls = run(setup, stand_ins, **kwargs)
        if (rc == 0) != (case["rc"] == 0):
            failures.append(f"{case['name']}: exit code {rc}, expected {case['rc']}")
        if calls != case["calls"]:
            failures.append(f"{case['name']}: calls {calls}, expected {case['calls']}")
        if not lines_match(stderr, case["stderr"]):
            failures.append(f"{case['name']}: stderr {stderr}, expected {case['stderr']}")

    # Nothing installed: the demo's set is part of the full one, without any
    # 32-bit package or the i386 architecture.
    _, _, full_calls = run(setup, stand_ins, missing="all", foreign="")
    rc, _, demo_calls = run(setup, stand_ins, args=["--demo"], missing="all", foreign="")
    full, demo = installed_list(full_calls), installed_list(demo_calls)
    if rc != 0 or full is None or demo is None:
        failures.append(f"nothing installed: calls {full_calls} / --demo {demo_calls}")
    else:
        if "dpkg --add-architecture i386" not in full_calls or "wine32:i386" not in full:
            failures.append(f"full set: no wine32:i386 and i386 architecture in {full_calls}")
        thirty_two = [p for p in demo if p.endswith(":i386") or "i686" in p or "wine32" in p]
        if thirty_two or any(c.startswith("dpkg") for c in demo_calls):
            failures.append(f"--demo installs 32-bit packages: {demo_calls}")
        if not set(demo) < set(full):
            failures.append(f"--demo's {demo} is not part of the full set {full}")

    for failure in failures:
        print("FAIL", failure)
    if failures:
        return 1
    print(f"all {len(CASES) + 1} cases passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
