#!/bin/sh
# Wall time of the MPI example with a 1 ms fitness on 1, 2 and 3 ranks (rank 0 only drives the
# engine, so 2 ranks evaluate on one worker and 3 ranks on two). Usage: mpi_bench.sh BUILD_DIR
exe=$1/qavtas_mpi_example
[ -x "$exe" ] || { echo "no $exe (MPI not found)"; exit 0; }
root=""
[ "$(id -u)" = 0 ] && root="--allow-run-as-root"
for np in 1 2 3; do
  printf 'ranks %s: ' "$np"
  mpirun -np "$np" --oversubscribe $root "$exe" --cost-us 1000 --generations 10 2>&1 >/dev/null | grep 'wall time'
done
