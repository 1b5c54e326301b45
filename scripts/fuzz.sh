#!/usr/bin/env bash
# Builds the fuzz targets (tests/fuzz/fuzz_*.cpp) with clang, libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer in build-fuzz/, then runs
# each for a bounded number of inputs from its seed corpus
# tests/fuzz/corpus/<name>/ (copied to a scratch folder first: the fuzzer
# adds what it finds to the corpus folder it is given). Skipped, with a
# message, where clang or its fuzzer runtime is missing.
#
#   MORVELA_FUZZ_RUNS   inputs per target (default 20000; a target whose
#                       inputs are slow names fewer in its source, in a line
#                       "// fuzz-runs: N")
#   MORVELA_FUZZ_SECONDS  at most this long per target (default 30), so the
#                       stage stays within a few minutes however many
#                       targets there are
#   MORVELA_FUZZ_BUILD  build folder (default build-fuzz)
# An input that runs longer than 5 seconds fails the stage as a hang (the
# window would stop answering): honest inputs take well under 100 ms here,
# the first one with the program's start included.
# A crashing or hanging input is kept in <build>/fuzz-artifacts/.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
runs=${MORVELA_FUZZ_RUNS:-20000}
seconds=${MORVELA_FUZZ_SECONDS:-30}
dir=${MORVELA_FUZZ_BUILD:-$here/build-fuzz}
jobs=$(nproc)

if ! command -v clang >/dev/null || ! command -v clang++ >/dev/null; then
  echo "fuzz: clang is not installed; the fuzz targets are skipped"
  exit 0
fi
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' >"$probe/p.cpp"
if ! clang++ -fsanitize=fuzzer,address,undefined "$probe/p.cpp" -o "$probe/p" 2>/dev/null; then
  echo "fuzz: clang has no libFuzzer runtime (libclang-rt-14-dev); the fuzz targets are skipped"
  exit 0
fi

CC=clang CXX=clang++ cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVELA_FUZZ=ON >/dev/null
cmake --build "$dir" -j "$jobs"

# Scratch files on a memory file system where there is one: the targets
# write the program's files at every input.
scratch=$(mktemp -d -p "$( [ -d /dev/shm ] && [ -w /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")")
trap 'rm -rf "$probe" "$scratch"' EXIT
mkdir -p "$dir/fuzz-artifacts" "$scratch/tmp"
export TMPDIR="$scratch/tmp" QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1

for bin in "$dir"/fuzz/fuzz_*; do
  [ -x "$bin" ] || continue
  target=$(basename "$bin")
  name=${target#fuzz_}
  corpus="$scratch/corpus-$name"
  mkdir -p "$corpus"
  if [ -d "$here/tests/fuzz/corpus/$name" ]; then cp -R "$here/tests/fuzz/corpus/$name/." "$corpus/"; fi
  n=$runs
  own=$(grep -m1 -o 'fuzz-runs: [0-9]*' "$here/tests/fuzz/$target.cpp" 2>/dev/null | grep -o '[0-9]*$' || true)
  if [ -n "$own" ] && [ "$own" -lt "$n" ]; then n=$own; fi
  log="$dir/fuzz-artifacts/$target.log"
  if ! "$bin" -runs="$n" -max_total_time="$seconds" -timeout=5 -detect_leaks=0 -rss_limit_mb=4096 -print_final_stats=1 \
      -artifact_prefix="$dir/fuzz-artifacts/$target-" "$corpus" >"$log" 2>&1; then
    grep -vE '^#[0-9]+[[:space:]]+(NEW|REDUCE|pulse|RELOAD)' "$log" | tail -60
    echo "fuzz: $target failed (log: $log)"
    exit 1
  fi
  done_runs=$(grep -oE '^Done [0-9]+ runs in [0-9]+ second' "$log" | tail -1 || true)
  echo "fuzz: $target ${done_runs:-ran}, no fault"
done
