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
echo ok
