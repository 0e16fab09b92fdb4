#!/usr/bin/env bash
# The pictures of a real vodik run and of a molekula run: each is a valid PNG
# of a sensible size with real content.
#   plot_test.sh <vodik> <molekula> <make-pictures>
set -euo pipefail
vodik=$1 molekula=$2 make_pictures=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

check_png() {
  local f=$1
  [ -s "$f" ] || fail "$f was not made"
  [ "$(head -c 8 "$f" | od -An -tx1 | tr -d ' \n')" = "89504e470d0a1a0a" ] || fail "$f is not a PNG"
  # IHDR: width and height, big-endian, at bytes 16 to 23.
  local w h
  w=$(od -An -tu1 -j16 -N4 "$f" | awk '{print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4}')
  h=$(od -An -tu1 -j20 -N4 "$f" | awk '{print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4}')
  [ "$w" -ge 600 ] && [ "$h" -ge 300 ] || fail "$f is ${w}x${h}"
  # A picture with axes, labels and data compresses to well over 15 kB.
  [ "$(wc -c < "$f")" -gt 15000 ] || fail "$f is nearly empty ($(wc -c < "$f") bytes)"
  echo "ok $f ${w}x${h} $(wc -c < "$f") bytes"
}

mkdir "$work/vodik" "$work/molekula"
(cd "$work/vodik" && "$vodik" > vodik.out)
(cd "$work/molekula" && "$molekula" > molekula.out)
"$make_pictures" "$work/vodik"
"$make_pictures" "$work/vodik" 2.0
check_png "$work/vodik/energy-curve.png"
check_png "$work/vodik/electron-cloud.png"
"$make_pictures" "$work/molekula"
check_png "$work/molekula/electron-cloud.png"
[ ! -e "$work/molekula/energy-curve.png" ] || fail "a single separation drew an energy curve"

# Without the console output the passes cannot be told apart: a clear refusal.
rm "$work/vodik/vodik.out"
if "$make_pictures" "$work/vodik" 2>"$work/err"; then fail "drew a cloud without vodik.out"; fi
grep -q "vodik.out" "$work/err" || fail "the refusal does not name vodik.out"
echo "all pictures ok"
