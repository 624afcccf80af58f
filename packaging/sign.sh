#!/usr/bin/env bash
# sign.sh FILE...
#
# Signs each program or package in place with Authenticode (SHA-256) when a
# certificate is configured, either
#   PELLVANE_SIGN_PKCS12=file.p12 [PELLVANE_SIGN_PASSWORD=...]  or
#   PELLVANE_SIGN_CERT=cert.pem PELLVANE_SIGN_KEY=key.pem [PELLVANE_SIGN_PASSWORD=...]
# and adds a time stamp only when PELLVANE_SIGN_TIMESTAMP_URL names a server
# (RFC 3161). Without a certificate it leaves the files as they are.
set -euo pipefail

if [ -n "${PELLVANE_SIGN_PKCS12:-}" ] && [ -n "${PELLVANE_SIGN_CERT:-}${PELLVANE_SIGN_KEY:-}" ]; then
  echo "sign.sh: set either PELLVANE_SIGN_PKCS12 or PELLVANE_SIGN_CERT and PELLVANE_SIGN_KEY, not both" >&2
  exit 1
fi
if [ -n "${PELLVANE_SIGN_PKCS12:-}" ]; then
  credentials=(-pkcs12 "$PELLVANE_SIGN_PKCS12")
elif [ -n "${PELLVANE_SIGN_CERT:-}" ] && [ -n "${PELLVANE_SIGN_KEY:-}" ]; then
  credentials=(-certs "$PELLVANE_SIGN_CERT" -key "$PELLVANE_SIGN_KEY")
elif [ -n "${PELLVANE_SIGN_CERT:-}${PELLVANE_SIGN_KEY:-}" ]; then
  # Half a configuration would silently ship unsigned files.
  echo "sign.sh: PELLVANE_SIGN_CERT and PELLVANE_SIGN_KEY go together" >&2
  exit 1
else
  exit 0
fi
# The password goes through a file, never on a command line others can read.
password_file=
cleanup() { [ -z "$password_file" ] || rm -f "$password_file"; }
trap cleanup EXIT
if [ -n "${PELLVANE_SIGN_PASSWORD:-}" ]; then
  password_file=$(mktemp)
  printf '%s' "$PELLVANE_SIGN_PASSWORD" >"$password_file"
  credentials+=(-readpass "$password_file")
fi
timestamp=()
if [ -n "${PELLVANE_SIGN_TIMESTAMP_URL:-}" ]; then
  timestamp=(-ts "$PELLVANE_SIGN_TIMESTAMP_URL")
fi

for file in "$@"; do
  log=$(mktemp)
  if ! osslsigncode sign "${credentials[@]}" -h sha256 -n Pellvane "${timestamp[@]}" \
    -in "$file" -out "$file.signed" >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log" "$file.signed"
    echo "sign.sh: could not sign $file" >&2
    exit 1
  fi
  rm -f "$log"
  mv -f "$file.signed" "$file"
done
