#!/usr/bin/env bash
# Sets everything up on a fresh Debian 12 machine, builds the project twice (plain, and
# with AddressSanitizer + UndefinedBehaviorSanitizer) and runs every test in both builds.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

jobs=$(nproc)
# run_suite DIR "CTEST ARGS" [CMAKE ARGS...]
run_suite() {
  local dir=$1 ctest_args=$2; shift 2
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  (cd "$dir" && ctest --output-on-failure --timeout 900 -j "$jobs" $ctest_args)
}

run_suite build ""
if [ "${ZORV_SKIP_SANITIZERS:-0}" != 1 ]; then
  export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  # The fuzzers are built the same way in both suites: they run once, in the first.
  run_suite build-asan "-LE fuzz" -DZORV_SANITIZE=ON -DZORV_BUILD_BENCH=OFF
fi
