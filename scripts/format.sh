#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Lays out every C++ source of the project as .clang-format says.
#   scripts/format.sh          rewrites the files in place
#   scripts/format.sh --check  changes nothing; fails, naming the files, when
#                              any file is laid out otherwise (`make format-check`)
# clang-format 14 is the reference: other versions break some lines elsewhere.
set -euo pipefail
cd "$(dirname "$0")/.."

mode=apply
case ${1:-} in
  --check) mode=check ;;
  "") ;;
  *) echo "usage: $0 [--check]" >&2; exit 2 ;;
esac

formatter=${CLANG_FORMAT:-}
if [ -z "$formatter" ]; then
  for candidate in clang-format-14 clang-format; do
    if command -v "$candidate" >/dev/null; then formatter=$candidate; break; fi
  done
fi
if [ -z "$formatter" ]; then
  echo "format: clang-format (version 14) is not installed" >&2
  exit 2
fi

# The tracked sources when this is a git checkout, every source otherwise.
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files -- '*.cpp' '*.h')
else
  mapfile -t files < <(find bench fuzz src tests -name '*.cpp' -o -name '*.h' | sort)
fi

if [ "$mode" = apply ]; then
  printf '%s\0' "${files[@]}" | xargs -0 "$formatter" -i --style=file
  exit 0
fi

unformatted=()
for file in "${files[@]}"; do
  if ! "$formatter" --style=file --dry-run --Werror "$file" >/dev/null 2>&1; then
    unformatted+=("$file")
  fi
done
if [ ${#unformatted[@]} -ne 0 ]; then
  printf 'format-check: not laid out as .clang-format says: %s\n' "${unformatted[@]}" >&2
  echo "format-check: ${#unformatted[@]} file(s); run ./scripts/format.sh to fix them" >&2
  exit 1
fi
echo "format-check: ${#files[@]} files laid out as .clang-format says"
