#!/usr/bin/env bash
# The picture of a vmc scan table: a real PNG with the curve, with and without
# a vodik curve beside it; a file that is not a scan table is refused.
#   scan_picture_test.sh <vmc> <scan-picture>
set -euo pipefail
vmc=$1 scan_picture=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
cd "$work"
"$vmc" scan --separations 0.5:2:0.25 --steps 2e4 --output scan.tsv >/dev/null
printf ' 0.5 -27.0\n 1.0 -29.5\n 1.5 -27.8\n' > energ.dat
"$scan_picture" scan.tsv energ.dat with-vodik.png >/dev/null
"$scan_picture" scan.tsv >/dev/null
for f in with-vodik.png scan.png; do
  [ "$(head -c 8 "$f" | od -An -tx1 | tr -d ' \n')" = "89504e470d0a1a0a" ] || fail "$f is not a PNG"
  [ "$(wc -c < "$f")" -gt 15000 ] || fail "$f is nearly empty"
done
# Refusals: one line, exit 1 (bad file) or 2 (bad call), no picture.
status=0
"$scan_picture" energ.dat 2>err || status=$?
[ "$status" = 1 ] || fail "a file that is not a scan table gave status $status"
[ "$(wc -l < err)" = 1 ] && grep -q "not a vmc scan table" err || fail "message: $(cat err)"
[ ! -e energ.png ] || fail "a picture was drawn from a file that is not a table"
status=0
"$scan_picture" 2>err || status=$?
[ "$status" = 2 ] || fail "no arguments gave status $status"
echo ok
