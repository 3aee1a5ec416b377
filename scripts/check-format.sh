#!/usr/bin/env bash
# Fails when a C++ file of the repository is off the style of .clang-format, and names it.
#   scripts/check-format.sh          check every tracked .cpp and .h
#   scripts/check-format.sh --fix    reformat them in place instead
set -uo pipefail
cd "$(dirname "$0")/.."

mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [[ ${1:-} == --fix ]]; then
    clang-format -i "${files[@]}"
    exit
fi
off=()
for f in "${files[@]}"; do
    clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || off+=("$f")
done
if ((${#off[@]})); then
    echo "Off format (scripts/check-format.sh --fix reformats them):"
    printf '  %s\n' "${off[@]}"
    exit 1
fi
echo "${#files[@]} files in format."
