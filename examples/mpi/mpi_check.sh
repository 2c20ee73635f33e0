#!/bin/sh
# The MPI example under mpirun, checked as make test runs it:
#   mpi_check.sh same EXE   3 ranks print exactly what one process prints
#   mpi_check.sh throw EXE  a fitness that throws on rank 2 fails the run, naming the rank
#   mpi_check.sh die EXE    a rank that dies ends the job with a non-zero status, within 30 s
set -u
mode=$1
exe=$2
run() {
  np=$1
  shift
  root=""
  [ "$(id -u)" = 0 ] && root="--allow-run-as-root"
  timeout 30 mpirun -np "$np" --oversubscribe $root "$exe" --cost-us 100 --generations 8 "$@"
}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
case $mode in
same)
  run 1 >"$out/one" 2>/dev/null || { echo "one process failed"; exit 1; }
  run 3 >"$out/three" 2>/dev/null || { echo "three ranks failed"; exit 1; }
  diff "$out/one" "$out/three" && grep -q '^optimum ' "$out/one"
  ;;
throw)
  if run 3 --throw-on-rank 2 >/dev/null 2>"$out/err"; then
    echo "the run succeeded"
    exit 1
  fi
  grep 'fitness failed on MPI rank 2: the analysis diverged' "$out/err"
  ;;
die)
  run 3 --die-on-rank 1 >/dev/null 2>&1
  status=$?
  [ "$status" -ne 0 ] && [ "$status" -ne 124 ] || { echo "status $status"; exit 1; }
  ;;
*)
  exit 2
  ;;
esac
