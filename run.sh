#!/usr/bin/env bash
# Installs what is missing, builds, and starts the editor with the given
# arguments. Without a display it exports the sample project (or the project
# named as first argument) headlessly and says where the RSS file went.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh

build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build_dir" --parallel "$(nproc)" --target tavistrel tavistrel_data
program="$build_dir/bin/tavistrel"

# Headless options need no display and no editor.
case "${1:-}" in
    --export-rss | --upload | --help | --version) exec "$program" "$@" ;;
esac

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec "$program" "$@"
fi

echo "No display (DISPLAY and WAYLAND_DISPLAY are unset); exporting RSS instead."

project=${1:-$build_dir/bin/samples/beispiel.tvst}
if [ $# -ge 1 ]; then
    # The user's project: its RSS goes beside it, under its RSS file name.
    "$program" --export-rss "$project"
else
    out="$(pwd)/$build_dir/export/rss.xml"
    mkdir -p "$(dirname "$out")"
    "$program" --export-rss "$project" "$out"
    echo "Sample project: $project"
    echo "RSS file:       $out"
fi
