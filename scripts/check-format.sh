#!/usr/bin/env bash
# Fails, listing them, when clang-format 14 would change any C++ file the repository
# tracks (the rules are in .clang-format). Fix them with: clang-format-14 -i FILE...
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v clang-format-14 >/dev/null 2>&1; then
    scripts/setup.sh format
fi

unclean=()
while IFS= read -r -d '' file; do
    if ! clang-format-14 --dry-run --Werror "$file" >/dev/null 2>&1; then
        unclean+=("$file")
    fi
done < <(git ls-files -z -- '*.cpp' '*.h')

if [ ${#unclean[@]} -gt 0 ]; then
    echo "clang-format-14 would change these files:"
    printf '  %s\n' "${unclean[@]}"
    exit 1
fi
echo "Every C++ file is clang-format clean."
