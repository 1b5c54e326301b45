#!/usr/bin/env bash
# Builds Morvela and runs every test: once in a release build, once under
# AddressSanitizer and UndefinedBehaviorSanitizer. No display or sound device
# is needed (Qt's offscreen platform, the engine's silent output); the
# real-output tests start a PulseAudio server of their own.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-deps.sh"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export HOME="$scratch/home" XDG_RUNTIME_DIR="$scratch/run"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

passed=0
run_suite() {
  local dir=$1; shift
  cmake -S "$here" -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  (cd "$dir" && ctest --output-on-failure -j "$jobs" --timeout 600) | tee "$scratch/ctest.log"
  local n
  n=$(grep -oE 'tests passed, 0 tests failed out of [0-9]+' "$scratch/ctest.log" | grep -oE '[0-9]+$' || echo 0)
  passed=$((passed + n))
}

echo "== Release build =="
run_suite "$here/build" -DCMAKE_BUILD_TYPE=Release
echo "== Sanitizer build (ASan + UBSan) =="
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
  run_suite "$here/build-asan" -DCMAKE_BUILD_TYPE=Debug -DMORVELA_SANITIZE=ON
echo "== Fuzz targets (libFuzzer, ASan + UBSan; skipped without clang) =="
"$here/scripts/fuzz.sh" | tee "$scratch/fuzz.log"
fuzzed=$(grep -c '^fuzz: .* no fault' "$scratch/fuzz.log" || true)
echo
echo "morvela: $((passed + fuzzed)) passed, 0 failed"
