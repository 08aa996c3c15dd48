#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test. Then, unless
# TAVISTREL_QUICK=1, the core tests once more under AddressSanitizer and
# UndefinedBehaviorSanitizer and each fuzz target for a minute (build-sanitize);
# the format check comes last. Every step runs; the exit status says whether all
# of them passed.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh

build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build_dir" --parallel "$(nproc)"

export QT_QPA_PLATFORM=offscreen
if [ "$(id -u)" -eq 0 ]; then
    export QTWEBENGINE_DISABLE_SANDBOX=1
fi
failed=()
ctest --test-dir "$build_dir" --output-on-failure --parallel "$(nproc)" --timeout 300 "$@" ||
    failed+=(tests)
scripts/check-test-names.sh "$build_dir" || failed+=(test-names)

if [ "${TAVISTREL_QUICK:-0}" = 0 ]; then
    scripts/sanitizers.sh build-sanitize || failed+=(sanitizers)
fi

# Last, so that a layout difference never keeps a test from running.
scripts/check-format.sh || failed+=(format)

if [ ${#failed[@]} -ne 0 ]; then
    echo "test.sh: failed: ${failed[*]}" >&2
    exit 1
fi
echo "test.sh: everything passed"
