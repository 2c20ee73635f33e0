#!/bin/sh
# make fuzz: builds the libFuzzer targets of fuzz/ with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer in build/fuzz, then runs each for FUZZ_SECONDS (default 60).
# Corpora grow in build/fuzz/corpus/<target>, seeded from fuzz/seeds/<target> and
# tests/regressions/<target>. An input that crashes, hangs or leaks is saved in
# build/fuzz/artifacts/<target>/ and fails the run: copy it to tests/regressions/<target>/.
set -e
seconds=${FUZZ_SECONDS:-60}
jobs=${JOBS:-$(nproc)}
build=build/fuzz

fuzzer_runtime_present() {
  command -v clang++ >/dev/null 2>&1 || return 1
  dir=$(clang++ -print-resource-dir 2>/dev/null) || return 1
  ls "$dir"/lib/linux/libclang_rt.fuzzer-*.a >/dev/null 2>&1
}
if ! fuzzer_runtime_present; then
  echo "installing: clang libclang-rt-dev"
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq clang libclang-rt-dev
fi

if [ ! -f $build/Makefile ]; then
  cmake -S . -B $build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DQAV_SANITIZE=ON -DQAV_BUILD_TESTS=OFF -DQAV_BUILD_FUZZ=ON \
    -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link
fi
cmake --build $build -j "$jobs"

status=0
for exe in $build/*_fuzz; do
  [ -x "$exe" ] || continue
  name=$(basename "$exe" _fuzz)
  mkdir -p $build/corpus/$name $build/artifacts/$name
  log=$build/$name.log
  echo "== $name: $seconds s"
  if ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
     "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
       -artifact_prefix=$build/artifacts/$name/ $build/corpus/$name \
       $(ls -d fuzz/seeds/$name tests/regressions/$name 2>/dev/null) >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "   $runs executions, no finding"
  else
    status=1
    echo "   FINDING (see $log):"
    grep -E '^(==[0-9]+==ERROR|SUMMARY|.*runtime error)|Test unit written' "$log" | head -5
  fi
done
exit $status
