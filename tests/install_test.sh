#!/usr/bin/env bash
# cmake --install puts the three programs in <prefix>/bin and the plot scripts
# with the exact curve under <prefix>/share/vmc-h2, and what is installed runs.
#   install_test.sh <build directory>
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
for program in vodik molekula elektron; do
  [ -x "$prefix/bin/$program" ] || fail "bin/$program is not installed"
  "$prefix/bin/$program" --help | head -1 | grep -qx "Usage: $program" ||
    fail "the installed $program does not answer --help"
done
[ -x "$prefix/bin/vmc" ] || fail "bin/vmc is not installed"
"$prefix/bin/vmc" --version | grep -q "^vmc " || fail "the installed vmc does not answer --version"
share=$prefix/share/vmc-h2/plot
for f in make-pictures scan-picture optimize-picture story-picture; do
  [ -x "$share/$f" ] || fail "$f is not installed as a program"
done
for f in energy-curve.gp electron-cloud.gp scan-curve.gp optimize-curve.gp story-curve.gp \
         h2-exact-curve.dat; do
  [ -s "$share/$f" ] || fail "share/vmc-h2/plot/$f is not installed"
done
# Nothing but the programs and the shared files: no tests, no benchmarks.
extra=$(cd "$prefix" && find . -type f | grep -v -E '^\./(bin/(vodik|molekula|elektron|vmc)|share/vmc-h2/plot/)' || true)
[ -z "$extra" ] || fail "also installed: $extra"
echo "ok: $(cd "$prefix" && find . -type f | wc -l) files"
