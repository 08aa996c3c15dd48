#!/usr/bin/env bash
# The second build of ./test.sh: core, the command line and the core tests
# with clang under AddressSanitizer and UndefinedBehaviorSanitizer, plus the
# libFuzzer targets (same objects, so core is compiled once). Runs the core
# tests, then every fuzz target for FUZZ_SECONDS (60) seconds.
#   scripts/sanitizers.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${1:-build-sanitize}
fuzz_seconds=${FUZZ_SECONDS:-60}

# -O1 keeps the fuzzers fast and the build short; line tables are enough for
# the reports' stack traces.
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only" \
    -DTAVISTREL_GUI=OFF -DTAVISTREL_SANITIZE=ON -DTAVISTREL_FUZZ=ON
cmake --build "$build_dir" --parallel "$(nproc)" --target core_checks

supp=$PWD/tests/sanitizers
export ASAN_OPTIONS="detect_leaks=1:detect_stack_use_after_return=1:strict_init_order=1:exitcode=86"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:exitcode=86:suppressions=$supp/ubsan.supp"
export LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0"

status=0
ctest --test-dir "$build_dir" --output-on-failure --parallel "$(nproc)" --timeout 300 \
    -R '^(test_core_|guard[.])' || status=1
scripts/run-fuzzers.sh "$build_dir" "$fuzz_seconds" || status=1
exit $status
