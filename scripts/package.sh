#!/usr/bin/env bash
# Builds the release files of the 64-bit tree (or of the Windows build tree
# given as the first argument, e.g. build/windows-x86): the zip and the
# Windows Installer package, in BUILD_TREE/package/.
#
# With a code-signing certificate, every shipped program is signed before it
# is packed and then the package itself (see packaging/sign.sh):
#   PELLVANE_SIGN_PKCS12=cert.p12 PELLVANE_SIGN_PASSWORD=... scripts/package.sh
#   PELLVANE_SIGN_CERT=cert.pem PELLVANE_SIGN_KEY=key.pem scripts/package.sh
# and PELLVANE_SIGN_TIMESTAMP_URL=https://... adds a time stamp.
set -euo pipefail
cd "$(dirname "$0")/.."

tree=${1:-build/windows}
preset=$(basename "$tree")

scripts/setup.sh
[ -f "$tree/build.ninja" ] || cmake --preset "$preset" >/dev/null
# The certificate is read while the files are staged: stage and pack afresh,
# so that no file signed (or left unsigned) by an earlier run is shipped.
rm -rf "$tree/package"
cmake --build "$tree" --target package

if [ -n "${PELLVANE_SIGN_PKCS12:-}${PELLVANE_SIGN_CERT:-}" ]; then
  echo "package.sh: programs and package signed" >&2
else
  echo "package.sh: no certificate given (PELLVANE_SIGN_PKCS12 or PELLVANE_SIGN_CERT and" \
    "PELLVANE_SIGN_KEY): the files are unsigned" >&2
fi
for f in "$tree"/package/Pellvane-*.zip "$tree"/package/Pellvane-*.msi; do
  echo "$PWD/$f"
done
