#!/usr/bin/env bash
# vmc scan shows its progress on standard error when that is a terminal (here
# a pseudo-terminal from script(1)), and only then.
#   vmc_terminal_test.sh <vmc>
set -euo pipefail
vmc=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
cd "$work"
command -v script >/dev/null || fail "script(1) is missing (Debian package bsdutils)"
script -qec "'$vmc' scan --separations 0.5,1 --steps 1e4 --output t.tsv" /dev/null > terminal
grep -q "vmc scan: 2 of 2 separations done" terminal || fail "no progress on a terminal: $(cat terminal)"
"$vmc" scan --separations 0.5,1 --steps 1e4 --output t.tsv > out 2> err
[ ! -s err ] || fail "progress on standard error that is not a terminal: $(cat err)"
# vmc dmc's progress line is ended although 1510 steps are no multiple of its
# 1000-step updates: the table's header starts a line of its own.
script -qec "'$vmc' dmc --walkers 20 --steps 1500 --equilibration 10 --output d.tsv" /dev/null > terminal
tr '\r' '\n' < terminal > lines
grep -q "^vmc dmc: s = 0.74: step 1510 of 1510 *$" lines || fail "no last progress step: $(cat lines)"
grep -q "^ *s  *time_step" lines || fail "the table's header glued to the progress: $(cat lines)"
echo ok
