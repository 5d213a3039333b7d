#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# check-licence-lines.sh SOURCE_DIR: lists the source files (C++, shell, CMake, Python) whose first
# line, or second after a #! line, is not the licence line in the file's comment syntax.
set -euo pipefail

# A file without the line fails the test; strict=0 only reports.
strict=1

root=${1:-.}
cd "$root"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    files=$(git ls-files)
else
    files=$(find . -path ./build -prune -o -path './build-*' -prune -o -type f -print | sed 's|^\./||')
fi

expected_line() {
    case $1 in
    *.cpp | *.h) echo '// SPDX-License-Identifier: GPL-3.0-or-later' ;;
    *.sh | *.cmake | *.py | */CMakeLists.txt | CMakeLists.txt | .ci/*) echo '# SPDX-License-Identifier: GPL-3.0-or-later' ;;
    esac
}

missing=()
while IFS= read -r file; do
    [ -f "$file" ] || continue
    case $file in tests/fuzz/corpus/*) continue ;; esac
    line=$(expected_line "$file")
    [ -n "$line" ] || continue
    first=$(head -n 1 "$file")
    if [[ $first == '#!'* ]]; then
        first=$(sed -n 2p "$file")
    fi
    [ "$first" = "$line" ] || missing+=("$file")
done <<<"$files"

if [ ${#missing[@]} -eq 0 ]; then
    echo "every source file carries the licence line"
    exit 0
fi
echo "${#missing[@]} source files lack the licence line at their top:"
printf '  %s\n' "${missing[@]}"
if [ "$strict" = 1 ]; then
    exit 1
fi
echo "(reported only: set strict=1 in $0 to make this fail)"
