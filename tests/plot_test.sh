#!/usr/bin/env bash
# The pictures of a real vodik run and of a molekula run: each is a valid PNG
# of a sensible size with real content, named after the program and the
# separation it shows. Electron files that do not match the console output
# (a truncated file, another run's output) are refused with one clear line.
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

# Runs make-pictures with the given arguments; it must fail with the given exit
# status and one line on standard error that matches the pattern.
expect_refusal() {
  local status=$1 pattern=$2 got=0
  shift 2
  "$make_pictures" "$@" > "$work/out" 2> "$work/err" || got=$?
  [ "$got" -eq "$status" ] || fail "make-pictures $* exited $got, not $status: $(cat "$work/err")"
  [ "$(wc -l < "$work/err")" -eq 1 ] || fail "make-pictures $* said more than one line: $(cat "$work/err")"
  grep -q -- "$pattern" "$work/err" || fail "make-pictures $* said \"$(cat "$work/err")\", not /$pattern/"
  echo "ok refused: $(cat "$work/err")"
}
no_pictures() {
  ! ls "$1"/*.png > /dev/null 2>&1 || fail "a refused call left pictures in $1: $(ls "$1"/*.png)"
}

# A checkout's layout around a copy of the plot folder, so that the default
# folder (run/vodik/ beside plot/) is found from anywhere.
plot=$(cd "$(dirname "$make_pictures")" && pwd)
mkdir -p "$work/tree/plot" "$work/tree/run/vodik" "$work/molekula"
cp "$plot"/make-pictures "$plot"/*.gp "$plot"/h2-exact-curve.dat "$work/tree/plot/"
v=$work/tree/run/vodik
(cd "$v" && "$vodik" > vodik.out)
(cd "$work/molekula" && "$molekula" > molekula.out)

# No argument: run/vodik/ of the checkout, whatever the working directory.
lowest=$(sort -g -k2 "$v/energ.dat" | awk 'NR == 1 {printf "%g", $1}')
(cd / && "$work/tree/plot/make-pictures")
check_png "$v/energy-curve.png"
check_png "$v/vodik-cloud-$lowest.png"
# A second separation gets its own picture beside the first.
"$make_pictures" "$v" 2.0
check_png "$v/vodik-cloud-2.png"
cmp -s "$v/vodik-cloud-$lowest.png" "$v/vodik-cloud-2.png" && fail "the clouds at $lowest and 2 Å are the same picture"
[ "$(ls "$v"/*-cloud-*.png | wc -l)" -eq 2 ] || fail "expected two clouds: $(ls "$v")"

"$make_pictures" "$work/molekula"
check_png "$work/molekula/molekula-cloud-10.png"
[ ! -e "$work/molekula/energy-curve.png" ] || fail "a single separation drew an energy curve"

# Arguments that make no sense.
expect_refusal 2 'not a number' "$v" two
expect_refusal 2 'too many arguments' "$v" 2.0 extra
expect_refusal 1 'no pass at s = 1.52' "$v" 1.52

# The accepted counts in the console output must add up to the records of the
# electron files: a truncated file (here cut inside its last record) is refused
# and nothing is drawn.
rm "$v"/*.png "$work/molekula"/*.png
truncate -s -5 "$work/molekula/elektrony2.dat"
expect_refusal 1 'accepted 421 moves, but elektrony1.dat holds 421 records and elektrony2.dat 420' "$work/molekula"
no_pictures "$work/molekula"
# Console output cut short: its passes no longer match energ.dat.
cp "$v/vodik.out" "$work/vodik.out"
head -n 44 "$work/vodik.out" > "$v/vodik.out"
expect_refusal 1 'vodik.out reports 44 passes but energ.dat holds 45 records' "$v"
no_pictures "$v"
cp "$work/vodik.out" "$v/vodik.out"
records=$(wc -l < "$v/elektrony1.dat")
head -n $((records - 1000)) "$v/elektrony1.dat" > "$work/cut" && mv "$work/cut" "$v/elektrony1.dat"
expect_refusal 1 "elektrony1.dat holds $((records - 1000)) records and elektrony2.dat $records" "$v"
no_pictures "$v"

# Without the console output the passes cannot be told apart: a clear refusal.
rm "$v/vodik.out"
expect_refusal 1 'vodik.out' "$v"
no_pictures "$v"
echo "all pictures ok"
