#!/usr/bin/env bash
# cmake --install puts the programs in <prefix>/bin and the plot scripts with
# the exact curve under <prefix>/share/vmc-h2, the libraries, their headers and
# a CMake package under <prefix>/lib and <prefix>/include/vmc-h2, and the
# Python module (when built) in <prefix>/lib/pythonX.Y/site-packages; what is
# installed runs, and a project of one's own builds against the package.
#   install_test.sh <build directory> [python interpreter]
set -euo pipefail
build=$1
python=${2:-}
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
# Nothing but the programs, the shared files, the libraries, headers and
# package, and the Python module: no tests, no benchmarks.
extra=$(cd "$prefix" && find . -type f |
  grep -v -E '^\./(bin/(vodik|molekula|elektron|vmc)|share/vmc-h2/plot/|include/vmc-h2/[a-z]+/[-a-z_0-9]+\.h$|lib/libvmc_[a-z]+\.a$|lib/cmake/vmc-h2/|lib/python3\.[0-9]+/site-packages/vmc_h2\.)' || true)
[ -z "$extra" ] || fail "also installed: $extra"
[ -s "$prefix/lib/cmake/vmc-h2/vmc-h2-config.cmake" ] || fail "the CMake package is not installed"

# A project of one's own: find_package(vmc-h2), vmc::scan; its table equals
# the installed program's, and the library refuses what the program refuses.
app=$prefix/app
mkdir -p "$app"
cat > "$app/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.25)
project(app LANGUAGES CXX)
set(CMAKE_CXX_STANDARD 20)
find_package(vmc-h2 1.0 REQUIRED)
add_executable(app app.cc)
target_link_libraries(app PRIVATE vmc::scan)
CMAKE
cat > "$app/app.cc" <<'CODE'
#include <cstdio>
#include "vmc/scan.h"
int main() {
  vmc::scan_settings s;
  s.separations = {0.74f, 1.4f};
  s.steps = 20000;
  std::fputs(vmc::tab_separated(vmc::scan_table(vmc::run_scan(s))).c_str(), stdout);
  s.walkers = 0;
  try {
    vmc::run_scan(s);
  } catch (const vmc::usage_error& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 3;
  }
  return 0;
}
CODE
# Built with the build's own flags: libraries built with the sanitizers need
# their runtime in the program that links them.
cache() { sed -n "s/^$1:STRING=//p" "$build/CMakeCache.txt"; }
cmake -S "$app" -B "$app/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_CXX_FLAGS="$(cache CMAKE_CXX_FLAGS)" -DCMAKE_EXE_LINKER_FLAGS="$(cache CMAKE_EXE_LINKER_FLAGS)" \
  >"$app/log" 2>&1 || { cat "$app/log" >&2; fail "the outside project does not configure"; }
cmake --build "$app/build" >"$app/log" 2>&1 || { cat "$app/log" >&2; fail "the outside project does not build"; }
status=0
"$app/build/app" >"$app/table.tsv" 2>"$app/refusal" || status=$?
[ "$status" -eq 3 ] || fail "the outside program ended with $status, not the refusal's 3"
grep -qx -- '--walkers: expected a whole number of at least 1 and at most 1e12, such as 1000000 or 1e6; got "0"' \
  "$app/refusal" || fail "the library's refusal: $(cat "$app/refusal")"
(cd "$app" && "$prefix/bin/vmc" scan --separations 0.74,1.4 --steps 2e4 --output vmc.tsv >/dev/null 2>&1)
# The program's file starts with the # lines that name its command; the rest is the table.
grep -v '^#' "$app/vmc.tsv" | cmp -s "$app/table.tsv" - || fail "the outside program's table differs from vmc scan's"

# The Python module, from the prefix's Python directory.
if [ -n "$python" ]; then
  site=$(cd "$prefix" && ls -d lib/python3.*/site-packages 2>/dev/null | head -1)
  [ -n "$site" ] || fail "the Python module is not installed"
  (cd "$app" && PYTHONPATH="$prefix/$site" "$python" -c \
    'import vmc_h2; f = vmc_h2.scan(separations=[0.74], steps=1000); assert len(f) == 1 and f.attrs["command"] == "scan"') ||
    fail "the installed Python module does not run"
fi
echo "ok: $(cd "$prefix" && find . -path ./app -prune -o -type f -print | wc -l) files installed; the outside project builds and runs"
