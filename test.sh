#!/usr/bin/env bash
# Builds DEVedazi twice (plain, and with AddressSanitizer + UndefinedBehaviorSanitizer)
# and runs the whole test suite in both.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
JOBS=$(nproc)
WERROR=OFF
[[ -n "${CI:-}" ]] && WERROR=ON
run_suite() {
    local dir=$1; shift
    cmake -S . -B "$dir" -G Ninja -DDEVEDAZI_BUILD_TESTS=ON -DDEVEDAZI_WERROR=$WERROR "$@" >/dev/null
    # Every package the configure step found must come from scripts/deps.sh's list, so a
    # fresh machine gets it too.
    if [[ $dir == build ]]; then scripts/check-deps.py "$dir"; fi
    cmake --build "$dir" -j "$JOBS"
    (cd "$dir" && ctest --output-on-failure -j "$JOBS")
}
run_suite build
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
run_suite build-asan -DDEVEDAZI_SANITIZE=ON -DDEVEDAZI_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
