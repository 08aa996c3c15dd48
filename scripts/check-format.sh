#!/usr/bin/env bash
# Fails when a C++ file under src, tests or bench differs from the layout of
# the repository's .clang-format; lists the files. scripts/format.sh fixes them.
set -euo pipefail
cd "$(dirname "$0")/.."

clang_format=${CLANG_FORMAT:-clang-format}
mapfile -d '' files < <(find src tests bench -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)

differing=()
for file in "${files[@]}"; do
    if ! "$clang_format" --style=file --dry-run -Werror "$file" >/dev/null 2>&1; then
        differing+=("$file")
    fi
done

if [ ${#differing[@]} -ne 0 ]; then
    echo "check-format: ${#differing[@]} of ${#files[@]} files differ from .clang-format" \
        "(scripts/format.sh formats them):"
    printf '  %s\n' "${differing[@]}"
    exit 1
fi
echo "check-format: all ${#files[@]} files follow .clang-format"
