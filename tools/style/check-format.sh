#!/usr/bin/env bash
# Checks that every C++ source of ours is formatted as .clang-format says (the generated fast_pow tables
# excepted); prints the files that are not and how to fix them.
# Usage: tools/style/check-format.sh [--fix]
set -uo pipefail
cd "$(dirname "$0")/../.."
if ! command -v clang-format >/dev/null; then
    echo "clang-format is not installed (apt-get install clang-format): skipped"
    exit 77
fi
mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.inc' | grep -v -e '^Common/dsp/fastPowTables\.cpp$' -e '^Common/gui/BakedFonts\.inc$')
if [ "${1:-}" = "--fix" ]; then
    clang-format -i "${files[@]}"
    exit 0
fi
unformatted=()
for file in "${files[@]}"; do
    clang-format --dry-run --Werror "$file" >/dev/null 2>&1 || unformatted+=("$file")
done
if [ ${#unformatted[@]} -gt 0 ]; then
    printf 'not formatted: %s\n' "${unformatted[@]}"
    echo "fix with: tools/style/check-format.sh --fix"
    exit 1
fi
echo "style: ${#files[@]} files formatted as .clang-format says"
