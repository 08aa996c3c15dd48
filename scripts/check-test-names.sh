#!/usr/bin/env bash
# Every ctest name must be readable and stable so that `ctest -R` can pick it:
# letters, digits and "_./-" only (no raw parameter bytes), no bare index
# where a parameterised test lacks a name generator, and no name twice.
#   scripts/check-test-names.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}

names=$(ctest --test-dir "$build_dir" -N 2>/dev/null | sed -n 's/^ *Test *#[0-9]*: //p' | sed 's/ (Disabled)$//')
if [ -z "$names" ]; then
    echo "check-test-names: no tests in $build_dir" >&2
    exit 1
fi
status=0
bad=$(grep -v -E '^[A-Za-z0-9_./-]+$' <<<"$names" || true)
if [ -n "$bad" ]; then
    echo "Test names with other characters (raw parameter values?):"
    echo "$bad" | head -20
    status=1
fi
unnamed=$(grep -E '/[0-9]+$' <<<"$names" || true)
if [ -n "$unnamed" ]; then
    echo "Parameterised tests named by their index (give them a name generator):"
    echo "$unnamed" | head -20
    status=1
fi
twice=$(sort <<<"$names" | uniq -d)
if [ -n "$twice" ]; then
    echo "Test names used twice:"
    echo "$twice"
    status=1
fi
if [ "$status" -eq 0 ]; then
    echo "check-test-names: $(wc -l <<<"$names") test names, all readable and unique"
fi
exit $status
