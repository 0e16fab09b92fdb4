#!/usr/bin/env bash
# vmc scan with a checkpoint: killed outright (SIGKILL) at random moments, or
# stopped by SIGTERM, and run again with the same command, it ends with the
# table, console and messages of a run never interrupted, byte for byte; a run
# of 2e4 steps extended to 8e4 gives the table of a run of 8e4; a checkpoint
# that is truncated, corrupt, of other options or of more steps is refused in
# one line with status 2, leaving the table as it was.
#   vmc_checkpoint_test.sh <vmc>
set -euo pipefail
vmc=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
cd "$work"

# Each run in a directory of its own with the same command line, which the
# table's first lines repeat.
scan=(scan --separations 0.3:2.5:0.05 --steps 1e6 --checkpoint run.ckpt --checkpoint-every 0.05s)
mkdir whole killed
(cd whole && "$vmc" "${scan[@]}" > out 2> err) || fail "the uninterrupted scan failed"
cd killed
moments=()
for k in 1 2 3 4 5; do
  "$vmc" "${scan[@]}" > out 2> err &
  pid=$!
  moment=$(printf '0.%02d' $((RANDOM % 60 + 5)))
  moments+=("$moment")
  sleep "$moment"
  kill -KILL "$pid" 2> /dev/null || true
  { wait "$pid"; } 2> /dev/null || true
done
"$vmc" "${scan[@]}" > out 2> err &
pid=$!
sleep 0.3
kill -TERM "$pid" 2> /dev/null || true
status=0
wait "$pid" || status=$?
# (A signal before the run has started, as under a slow sanitizer build, ends
# it at once, silently, with the checkpoint untouched.)
if [ "$status" = 143 ]; then
  [ ! -s err ] ||
    [ "$(cat err)" = "vmc scan: stopped by signal 15; the run so far is in run.ckpt (the same command continues it); vmc-scan.tsv is as it was" ] ||
    fail "SIGTERM said: $(cat err)"
else
  [ "$status" = 0 ] || fail "SIGTERM: status $status: $(cat err)"
fi
OMP_NUM_THREADS=1 "$vmc" "${scan[@]}" > out 2> err || fail "the continued scan failed: $(cat err)"
cd ..
for f in vmc-scan.tsv out err; do
  cmp -s whole/$f killed/$f || fail "$f differs after SIGKILL at ${moments[*]} s and SIGTERM"
done
echo "ok scan killed at ${moments[*]} s and stopped by SIGTERM: the same table, console and messages"

# vmc dmc alike: killed outright at random moments, then continued on one
# thread; and extended from 2e3 to 8e3 steps.
dmc=(dmc --separations 0.74,1.5 --walkers 200 --equilibration 500 --checkpoint run.ckpt
     --checkpoint-every 0.1s)
mkdir dmc-whole dmc-killed dmc-fresh dmc-extended
(cd dmc-whole && "$vmc" "${dmc[@]}" --steps 4e3 > out 2> err) || fail "the uninterrupted dmc failed"
cd dmc-killed
moments=()
for k in 1 2 3 4 5; do
  "$vmc" "${dmc[@]}" --steps 4e3 > out 2> err &
  pid=$!
  moment=$(printf '0.%02d' $((RANDOM % 90 + 5)))
  moments+=("$moment")
  sleep "$moment"
  kill -KILL "$pid" 2> /dev/null || true
  { wait "$pid"; } 2> /dev/null || true
done
OMP_NUM_THREADS=1 "$vmc" "${dmc[@]}" --steps 4e3 > out 2> err || fail "the continued dmc failed: $(cat err)"
cd ..
for f in vmc-dmc.tsv out err; do
  cmp -s dmc-whole/$f dmc-killed/$f || fail "dmc: $f differs after SIGKILL at ${moments[*]} s"
done
echo "ok dmc killed at ${moments[*]} s: the same table, console and messages"
(cd dmc-fresh && "$vmc" "${dmc[@]}" --steps 8e3 > out 2> err) || fail "dmc of 8e3 steps failed"
(cd dmc-extended && "$vmc" "${dmc[@]}" --steps 2e3 > /dev/null 2>&1 &&
  "$vmc" "${dmc[@]}" --steps 8e3 > out 2> err) || fail "the dmc extension failed"
for f in vmc-dmc.tsv out err; do
  cmp -s dmc-fresh/$f dmc-extended/$f || fail "dmc: $f of 2e3 extended to 8e3 differs from 8e3 at once"
done
echo "ok dmc extended from 2e3 to 8e3 steps: the table of 8e3 steps"
status=0
(cd dmc-extended && "$vmc" "${dmc[@]}" --steps 8e3 --time-step 4e-4 > out 2> err) || status=$?
[ "$status" = 2 ] && grep -q "it was written with --time-step 1e-04, not 4e-04" dmc-extended/err ||
  fail "dmc with another time step: status $status: $(cat dmc-extended/err)"
echo "ok refused, dmc with another time step: $(cat dmc-extended/err)"

# A failure inside the threads' step ends the run with its one line, not an
# abort: a checkpoint of 1000 walkers (a part for each of two threads)
# continued with a vector target the program does not have.
mkdir dmc-target
status=0
(cd dmc-target && "$vmc" dmc --walkers 1000 --steps 100 --equilibration 10 --checkpoint c.ckpt \
   > /dev/null 2>&1 && VMC_LANE_TARGET=bogus OMP_NUM_THREADS=2 "$vmc" dmc --walkers 1000 --steps 200 \
   --equilibration 10 --checkpoint c.ckpt > out 2> err) || status=$?
[ "$status" = 1 ] && [ "$(cat dmc-target/err)" = \
  "vmc dmc: VMC_LANE_TARGET=bogus: not a vector target of this program on this machine" ] ||
  fail "dmc continued with no such vector target: status $status: $(cat dmc-target/err)"
echo "ok dmc continued with no such vector target: status 1 and its line"

# vmc optimize keeps its finished rounds: killed at random moments and
# continued, and run again with more --steps (only the final walks again).
opt=(optimize --separations 0.74,1.5 --sample-steps 2e4 --max-rounds 4 --checkpoint run.ckpt
     --checkpoint-every 0.05s)
mkdir opt-whole opt-killed opt-extended
(cd opt-whole && "$vmc" "${opt[@]}" --steps 2e5 > out 2> err) || fail "the uninterrupted optimize failed"
cd opt-killed
moments=()
for k in 1 2 3 4 5; do
  "$vmc" "${opt[@]}" --steps 2e5 > out 2> err &
  pid=$!
  moment=$(printf '0.%02d' $((RANDOM % 60 + 5)))
  moments+=("$moment")
  sleep "$moment"
  kill -KILL "$pid" 2> /dev/null || true
  { wait "$pid"; } 2> /dev/null || true
done
"$vmc" "${opt[@]}" --steps 2e5 > out 2> err || fail "the continued optimize failed: $(cat err)"
cd ..
(cd opt-extended && "$vmc" "${opt[@]}" --steps 5e4 > /dev/null 2>&1 &&
  "$vmc" "${opt[@]}" --steps 2e5 > out 2> err) || fail "the optimize extension failed"
for f in vmc-optimize.tsv out err; do
  cmp -s opt-whole/$f opt-killed/$f || fail "optimize: $f differs after SIGKILL at ${moments[*]} s"
  cmp -s opt-whole/$f opt-extended/$f || fail "optimize: $f of 5e4 run again with 2e5 differs"
done
echo "ok optimize killed at ${moments[*]} s, and run again with more steps: the same table"

# Extension: 2e4 steps, then 8e4 with the same checkpoint, against 8e4 at once.
short=(scan --separations 0.5,0.74,1.5 --walkers 3 --equilibration 500 --checkpoint run.ckpt)
mkdir fresh extended
(cd fresh && "$vmc" "${short[@]}" --steps 8e4 > out 2> err) || fail "8e4 steps failed"
(cd extended && "$vmc" "${short[@]}" --steps 2e4 > /dev/null && "$vmc" "${short[@]}" --steps 8e4 > out 2> err) ||
  fail "the extension failed"
for f in vmc-scan.tsv out err; do
  cmp -s fresh/$f extended/$f || fail "$f of 2e4 extended to 8e4 differs from 8e4 at once"
done
echo "ok scan extended from 2e4 to 8e4 steps: the table of 8e4 steps"

# Refusals: one line, status 2, the table and the checkpoint as they were.
cd extended
cp run.ckpt good.ckpt
cp vmc-scan.tsv table.tsv
refused() {  # what, pattern, then the arguments after the subcommand's
  local what=$1 pattern=$2 status=0
  shift 2
  "$vmc" "${short[@]}" "$@" > out 2> err || status=$?
  [ "$status" = 2 ] || fail "$what: status $status, not 2: $(cat err)"
  [ "$(wc -l < err)" = 1 ] || fail "$what: not one line: $(cat err)"
  grep -q -- "$pattern" err || fail "$what: said \"$(cat err)\", not /$pattern/"
  cmp -s vmc-scan.tsv table.tsv || fail "$what: the table changed"
  echo "ok refused, $what: $(cat err)"
}
refused "fewer steps" "it holds a run of --steps 80000, more than 20000" --steps 2e4
refused "another seed" "it was written with --seed 5465, not 7" --steps 8e4 --seed 7
refused "another beta" "it was written with --beta 0.25, not 0.3" --steps 8e4 --beta 0.3
size=$(wc -c < good.ckpt)
for cut in 0 10 17 40 $((size / 2)) $((size - 9)) $((size - 1)); do
  head -c "$cut" good.ckpt > run.ckpt
  refused "cut to $cut of $size bytes" "run.ckpt: it " --steps 8e4
done
for at in 20 60 $((size / 3)) $((size - 3)); do
  cp good.ckpt run.ckpt
  printf '\x5a' | dd of=run.ckpt bs=1 seek="$at" conv=notrunc status=none
  cmp -s run.ckpt good.ckpt && printf '\xa5' | dd of=run.ckpt bs=1 seek="$at" conv=notrunc status=none
  refused "a byte changed at $at" "run.ckpt: it " --steps 8e4
done
printf 's\tenergy\n' > run.ckpt
refused "a table given as checkpoint" "run.ckpt: it is not a vmc checkpoint" --steps 8e4
rm run.ckpt && mkdir run.ckpt
refused "a directory given as checkpoint" "^vmc scan: --checkpoint: run.ckpt: Is a directory$" --steps 8e4
rmdir run.ckpt
cp good.ckpt run.ckpt
refused "a bad interval" "--checkpoint-every: expected a time" --steps 8e4 --checkpoint-every 5x
