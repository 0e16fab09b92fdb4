#!/usr/bin/env bash
# The pictures of vmc's tables: a scan with and without a vodik curve beside
# it, the classic and optimised curves with the parameters, and the whole
# story with diffusion Monte Carlo, the levels of vmc spectrum; each a real PNG. A file that is not the
# right table is refused.
#   vmc_picture_test.sh <vmc> <plot folder>
set -euo pipefail
vmc=$1 plot=$2
scan_picture=$plot/scan-picture
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
cd "$work"
"$vmc" scan --separations 0.5:2:0.25 --steps 2e4 --output scan.tsv >/dev/null
printf ' 0.5 -27.0\n 1.0 -29.5\n 1.5 -27.8\n' > energ.dat
"$scan_picture" scan.tsv --vodik energ.dat --output with-vodik.png >/dev/null
"$scan_picture" scan.tsv >/dev/null
"$vmc" optimize --separations 0.5,1.5 --steps 1e4 --sample-steps 1e4 --max-rounds 2 \
  --output optimize.tsv >/dev/null 2>&1
"$vmc" dmc --separations 0.5,1.5 --parameters optimize.tsv --walkers 50 --steps 300 \
  --equilibration 50 --output dmc.tsv >/dev/null
"$plot/optimize-picture" optimize.tsv scan.tsv >/dev/null
"$plot/story-picture" scan.tsv optimize.tsv dmc.tsv >/dev/null
"$vmc" spectrum "$plot/h2-exact-curve.dat" --molecules H2,D2 --levels levels.tsv \
  --wave-functions waves.tsv --output spectrum.tsv >/dev/null 2>&1
"$plot/spectrum-picture" levels.tsv waves.tsv >/dev/null
for f in with-vodik.png scan.png optimize.png dmc.png levels.png; do
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
# A picture's name where vodik's file was once expected is a usage error, and
# the picture it names stays as it was.
cp scan.png old.png
for call in "scan.tsv old.png" "scan.tsv --vodik energ.dat extra.tsv" "scan.tsv --output scan.tsv"; do
  status=0
  # shellcheck disable=SC2086
  "$scan_picture" $call 2>err || status=$?
  [ "$status" = 2 ] && [ "$(wc -l < err)" = 1 ] && grep -q "usage: plot/scan-picture" err ||
    fail "scan-picture $call: status $status, $(cat err)"
done
cmp -s scan.png old.png || fail "a wrong call changed a picture"
status=0
"$plot/story-picture" scan.tsv scan.tsv dmc.tsv 2>err || status=$?
[ "$status" = 1 ] && grep -q "not a vmc optimize table" err || fail "story-picture took a scan table for an optimize one"
status=0
"$plot/spectrum-picture" spectrum.tsv waves.tsv 2>err || status=$?
[ "$status" = 1 ] && grep -q "not a table of vmc spectrum --levels" err ||
  fail "spectrum-picture took the results table for the levels"
echo ok
