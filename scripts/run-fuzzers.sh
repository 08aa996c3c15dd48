#!/usr/bin/env bash
# Runs every libFuzzer target of a build for a while, two at a time, each on a
# copy of its seed corpus tests/fuzz/corpus/<name>/ (so runs never grow the
# repository). Fails when any target finds something.
#   scripts/run-fuzzers.sh [BUILD_DIR] [SECONDS]
set -uo pipefail
cd "$(dirname "$0")/.."

build_dir=${1:-build-sanitize}
seconds=${2:-60}
parallel=${FUZZ_PARALLEL:-2}

shopt -s nullglob
targets=("$build_dir"/bin/fuzz_*)
if [ ${#targets[@]} -eq 0 ]; then
    echo "run-fuzzers: no fuzz targets in $build_dir/bin" >&2
    exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tavistrel-fuzz.XXXXXX")
# Findings are kept beside the build, where CI can pick them up.
findings="$build_dir/fuzz-findings"
mkdir -p "$findings"

run_one() {
    local target=$1 name
    name=$(basename "$target")
    name=${name#fuzz_}
    local corpus="$work/corpus-$name"
    mkdir -p "$corpus"
    if [ -d "tests/fuzz/corpus/$name" ]; then
        cp -r "tests/fuzz/corpus/$name/." "$corpus/"
    fi
    local options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048
                   -print_final_stats=1 -artifact_prefix="$findings/$name-")
    if [ -f "tests/fuzz/$name.dict" ]; then
        options+=(-dict="tests/fuzz/$name.dict")
    fi
    "$target" "${options[@]}" "$corpus" >"$work/$name.log" 2>&1
    echo $? >"$work/$name.status"
}

running=0
for target in "${targets[@]}"; do
    run_one "$target" &
    running=$((running + 1))
    if [ "$running" -ge "$parallel" ]; then
        wait -n
        running=$((running - 1))
    fi
done
wait

failed=0
printf '%-16s %12s %8s %s\n' target executions corpus result
for target in "${targets[@]}"; do
    name=$(basename "$target")
    name=${name#fuzz_}
    status=$(cat "$work/$name.status")
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$name.log" | tail -1)
    corpus_size=$(find "$work/corpus-$name" -type f | wc -l)
    if [ "$status" -eq 0 ]; then
        result=ok
    else
        result="FINDING (exit $status)"
        failed=1
    fi
    printf '%-16s %12s %8s %s\n' "$name" "${runs:-?}" "$corpus_size" "$result"
    if [ "$status" -ne 0 ]; then
        cp "$work/$name.log" "$findings/$name.log"
        echo "--- $name: last lines of the log (whole log in $findings/$name.log) ---"
        grep -v '^#[0-9]' "$work/$name.log" | tail -40
    fi
done
rm -rf "$work"
exit $failed
