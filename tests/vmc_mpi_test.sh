#!/usr/bin/env bash
# vmc as an MPI job: the same table to the byte from 1, 2 and 3 ranks for
# scan, optimize and dmc; a checkpoint continued by another number of ranks
# (extended, or after SIGTERM) gives the same table; bad input gives one line and no file; a rank killed
# outright ends the whole job with rank 0's line, a non-zero status, and the
# previous table as it was.
#   vmc_mpi_test.sh <vmc> <mpirun>
set -euo pipefail
vmc=$1 mpirun=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
cd "$work"
# CI runs as root; the ranks share this machine's cores, one thread each.
export OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1 OMP_NUM_THREADS=1
job() { "$mpirun" --oversubscribe -np "$@"; }

# Each run in a directory of its own, with the same command line (which the
# table's first lines repeat).
same_table() {  # name, then the vmc arguments
  local name=$1
  shift
  mkdir -p "$name-1"
  (cd "$name-1" && "$vmc" "$@" --output "$name.tsv" > "../$name-1.out" 2> "../$name-1.err")
  for np in 2 3; do
    mkdir -p "$name-$np"
    (cd "$name-$np" && job "$np" "$vmc" "$@" --output "$name.tsv" > "../$name-$np.out" 2> "../$name-$np.err") ||
      fail "$name on $np ranks failed"
    cmp -s "$name-1/$name.tsv" "$name-$np/$name.tsv" || fail "$name: the table of $np ranks differs"
    cmp -s "$name-1.out" "$name-$np.out" || fail "$name: the console of $np ranks differs"
    cmp -s "$name-1.err" "$name-$np.err" || fail "$name: the messages of $np ranks differ"
  done
  echo "ok $name: the same table from 1, 2 and 3 ranks"
}
same_table scan scan --separations 0.5:2:0.25 --steps 2e4
same_table optimize optimize --separations 0.6,1.2,1.8,2.4 --steps 2e4 --sample-steps 1e4 --max-rounds 2
same_table dmc dmc --separations 0.74,2.5 --time-step 2e-4,4e-4 --walkers 60 --steps 300 \
  --equilibration 50
# Each separation's runs, then its limit tau -> 0.
[ "$(grep -v '^#' dmc-1/dmc.tsv | cut -f1,2 | tr '\t\n' ' ;')" = \
  "s time_step;0.74 2e-04;0.74 4e-04;0.74 0;2.5 2e-04;2.5 4e-04;2.5 0;" ] ||
  fail "dmc: not each separation's time steps and then its limit"

# A checkpoint is the same whatever the number of ranks that wrote it: a run
# of fewer steps on 2 ranks extended by 1 process, and one of 1 process
# extended on 2 ranks, give the table of one uninterrupted process.
body() { grep -v '^#' "$1"; }
extended() {  # name, then the vmc arguments; the short run's and the whole run's --steps last
  local name=$1 short=$2 whole=$3
  shift 3
  mkdir -p "ck-$name" && cd "ck-$name"
  "$vmc" "$@" --steps "$whole" --output fresh.tsv > /dev/null 2>&1
  job 2 "$vmc" "$@" --steps "$short" --checkpoint two.ckpt --output t.tsv > /dev/null 2>&1 ||
    fail "$name: the 2-rank run with --checkpoint failed"
  cp two.ckpt two-short.ckpt
  "$vmc" "$@" --steps "$whole" --checkpoint two.ckpt --output t.tsv > /dev/null 2>&1 ||
    fail "$name: 1 process could not extend the 2-rank checkpoint"
  cmp -s <(body fresh.tsv) <(body t.tsv) || fail "$name: a 2-rank checkpoint extended by 1 process differs"
  "$vmc" "$@" --steps "$short" --checkpoint one.ckpt --output t.tsv > /dev/null 2>&1
  cmp -s one.ckpt two-short.ckpt || fail "$name: the checkpoints of 1 process and of 2 ranks differ"
  job 2 "$vmc" "$@" --steps "$whole" --checkpoint one.ckpt --output t.tsv > /dev/null 2>&1 ||
    fail "$name: 2 ranks could not extend the 1-process checkpoint"
  cmp -s <(body fresh.tsv) <(body t.tsv) || fail "$name: a 1-process checkpoint extended by 2 ranks differs"
  cd ..
  echo "ok $name: a checkpoint of 2 ranks continued by 1 process and one of 1 continued by 2"
}
extended scan 1e4 2e4 scan --separations 0.5:2:0.25
extended optimize 1e4 2e4 optimize --separations 0.6,1.2,1.8 --sample-steps 1e4 --max-rounds 2
extended dmc 150 300 dmc --separations 0.74,1.5,2.5 --walkers 60 --equilibration 50

# A checkpoint rank 0 cannot read, or one of other options, is refused by
# rank 0 alone in one line, with status 2.
mkdir -p refused/dir.ckpt && cd refused
for ckpt in dir.ckpt ../ck-scan/one.ckpt; do
  status=0
  timeout 60 "$mpirun" --oversubscribe -np 2 "$vmc" scan --separations 0.5:2:0.25 --seed 7 \
    --checkpoint "$ckpt" > out 2> err || status=$?
  [ "$status" = 2 ] || fail "checkpoint $ckpt under mpirun: status $status (124: the job hung)"
  [ "$(grep -c "^vmc scan: --checkpoint: $ckpt: " err)" = 1 ] || fail "not one line from rank 0: $(cat err)"
done
[ ! -e vmc-scan.tsv ] || fail "a table was written after a refused checkpoint"
cd ..
echo "ok a checkpoint refused under mpirun: one line, status 2"

# SIGTERM to mpirun: every rank stops, rank 0 writes the checkpoint of all of
# them and says so once; 1 process continues it to the uninterrupted table.
mkdir stop && cd stop
long=(scan --separations 0.5,1,1.5,2 --steps "${VMC_MPI_STOP_STEPS:-2e7}")
"$mpirun" --oversubscribe -np 2 "$vmc" "${long[@]}" --checkpoint run.ckpt > ../stop.out 2> ../stop.err &
launcher=$!
# Rank 0 holds its unnamed table open here once it has read the checkpoint
# with the others; a moment later every rank walks.
opened() {
  local pid
  for pid in $(cat /proc/"$launcher"/task/*/children 2>/dev/null); do
    ls -l "/proc/$pid/fd" 2>/dev/null | grep -q "$work/stop/" && return 0
  done
  return 1
}
for _ in $(seq 1 200); do
  opened && break
  sleep 0.05
done
sleep 0.3
kill -TERM "$launcher"
status=0
wait "$launcher" || status=$?
[ "$status" != 0 ] || fail "a job stopped by SIGTERM ended with status 0"
# (The launcher's own event library may add a "[warn] Epoll ..." line of its
# sockets as it goes down: not ours, so not counted.)
[ "$(grep -v '^\[warn\] Epoll' ../stop.err)" = "vmc scan: stopped by signal 15; the run so far is in run.ckpt (the same command continues it); vmc-scan.tsv is as it was" ] ||
  fail "a stopped job's messages: $(cat ../stop.err)"
[ -e run.ckpt ] || fail "a stopped job left no checkpoint"
[ ! -e vmc-scan.tsv ] || fail "a stopped job wrote a table"
"$vmc" "${long[@]}" --checkpoint run.ckpt --output resumed.tsv > /dev/null
"$vmc" "${long[@]}" --output fresh.tsv > /dev/null
cmp -s <(body fresh.tsv) <(body resumed.tsv) || fail "a stopped 2-rank job continued by 1 process differs"
cd ..
echo "ok SIGTERM to a 2-rank job: its checkpoint continued by 1 process"

# Bad input seen by every rank: rank 0 says so once; status 2; no file.
status=0
job 3 "$vmc" scan --steps 0 --output bad.tsv > out 2> err || status=$?
[ "$status" != 0 ] || fail "bad input under mpirun gave status 0"
[ "$(grep -c 'vmc scan: --steps: expected' err)" = 1 ] || fail "not one line from rank 0: $(cat err)"
[ ! -e bad.tsv ] || fail "a table was written after bad input"

# A rank that fails ends the whole job at once, whichever rank it is: rank 0
# that cannot open the table (with results too large to be sent ahead), and
# rank 1 whose population of walkers dies out.
status=0
timeout 60 "$mpirun" --oversubscribe -np 2 "$vmc" scan --separations 0.1:999:0.1 --steps 2 \
  --equilibration 0 --output no/such/dir/t.tsv > out 2> err || status=$?
[ "$status" != 0 ] && [ "$status" != 124 ] || fail "rank 0 failing: status $status (124: the job hung)"
grep -q "^vmc scan: no/such/dir/t.tsv: No such file or directory$" err || fail "rank 0's line: $(cat err)"
status=0
timeout 60 "$mpirun" --oversubscribe -np 2 "$vmc" dmc --trial classic --separations 5,0.3 --time-step 0.01 \
  --walkers 10 --steps 2000 --equilibration 0 --output died.tsv > out 2> err || status=$?
[ "$status" != 0 ] && [ "$status" != 124 ] || fail "rank 1 failing: status $status (124: the job hung)"
grep -q "^vmc dmc: s = 0.3: step [0-9]*: the population of [0-9]* walkers left its band" err ||
  fail "rank 1's line: $(cat err)"
[ ! -e died.tsv ] || fail "a table was written by a failed job"
echo "ok a failing rank ends the job"

# A table of parameters in rank 0's directory only: rank 0 reads it and sends
# it to the others, so the job runs instead of hanging. A table no rank can
# read is refused by rank 0 alone, in one line, with status 2.
mkdir -p params/a params/b
printf 's\tbeta\tionic_weight\ta\n0.74\t1.1\t0.6\t0.41\n' > params/a/opt.tsv
status=0
(cd params/a && timeout 60 "$mpirun" --oversubscribe -np 2 sh -c \
  'if [ "$OMPI_COMM_WORLD_RANK" = 1 ]; then cd ../b; fi; exec "$0" "$@"' "$vmc" dmc \
  --parameters opt.tsv --walkers 20 --steps 100 --equilibration 10 --output h.tsv > out 2> err) ||
  status=$?
[ "$status" = 0 ] || fail "a table rank 1 cannot see: status $status (124: the job hung): $(cat params/a/err)"
[ "$(grep -vc "^#" params/a/h.tsv)" = 2 ] || fail "a table rank 1 cannot see: no table"
status=0
timeout 60 "$mpirun" --oversubscribe -np 2 "$vmc" dmc --parameters none.tsv > out 2> err || status=$?
[ "$status" = 2 ] || fail "an unreadable table under mpirun: status $status (124: the job hung)"
[ "$(grep -c '^vmc dmc: --parameters: cannot read "none.tsv": No such file or directory$' err)" = 1 ] ||
  fail "not one line from rank 0: $(cat err)"
echo "ok a table of parameters is read by rank 0 for every rank"

# A rank killed outright ends the job; the earlier table stays as it was.
mkdir killed && cd killed
"$vmc" scan --separations 1 --steps 1e4 > /dev/null
cp vmc-scan.tsv ../earlier.tsv
export VMC_TEST_JOB=$work/killed
job 2 "$vmc" scan --separations 0.5,1,1.5,2 --steps 1e12 > out 2> err &
launcher=$!
# The process with the given rank of this job.
rank_pid() {
  for environ in /proc/[0-9]*/environ; do
    { variables=$(tr '\0' '\n' < "$environ"); } 2>/dev/null || continue
    if grep -qx "VMC_TEST_JOB=$work/killed" <<< "$variables" &&
       grep -qx "OMPI_COMM_WORLD_RANK=$1" <<< "$variables"; then
      pid=${environ#/proc/}
      echo "${pid%/environ}"
      return
    fi
  done
}
# Rank 0 holds the table open once it is walking; rank 1 is then killed.
for _ in $(seq 1 200); do
  zero=$(rank_pid 0) one=$(rank_pid 1)
  if [ -n "$zero" ] && [ -n "$one" ] && ls -l "/proc/$zero/fd" 2>/dev/null | grep -q "$work/killed/"; then
    break
  fi
  sleep 0.05
done
[ -n "${one:-}" ] || fail "the job's rank 1 never started"
kill -KILL "$one"
status=0
wait "$launcher" || status=$?
[ "$status" != 0 ] || fail "the job with a killed rank ended with status 0"
grep -q "^vmc scan: stopped by a signal; vmc-scan.tsv is as it was$" err ||
  fail "no line from rank 0: $(cat err)"
[ "$(ls -A)" = "$(printf 'err\nout\nvmc-scan.tsv')" ] || fail "left behind: $(ls -A)"
cmp -s vmc-scan.tsv ../earlier.tsv || fail "the earlier table changed"
echo "ok a killed rank: status $status, the earlier table kept"
