#!/usr/bin/env bash
# Formats every C++ file under src, tests and bench with the repository's
# .clang-format, in place.
set -euo pipefail
cd "$(dirname "$0")/.."

clang_format=${CLANG_FORMAT:-clang-format}
find src tests bench -type f \( -name '*.cpp' -o -name '*.h' \) -print0 |
    xargs -0 -r "$clang_format" --style=file -i
