#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Puts the licence's SPDX line at the top of every source file that has none:
# C++, Python, shell, CMake and the Makefile. A "#!" line stays first. Running
# it again changes nothing.
#   scripts/spdx.sh [REPOSITORY]   (default: the repository this script is in)
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

readonly licence="GPL-3.0-or-later"

comment_for() {  # the comment leader of a file, or nothing for other files
  case $1 in
    *.cpp | *.h | *.h.in) echo "//" ;;
    *.py | *.sh | *.cmake | */CMakeLists.txt | CMakeLists.txt | Makefile | .ci/run | data/completion/*) echo "#" ;;
  esac
}

added=0
while IFS= read -r -d '' file; do
  leader=$(comment_for "$file")
  [ -n "$leader" ] || continue
  [ -f "$file" ] && [ ! -L "$file" ] || continue
  if head -n 3 "$file" | grep -q "SPDX-License-Identifier:"; then continue; fi
  line="$leader SPDX-License-Identifier: $licence"
  scratch=$(mktemp "$file.spdx.XXXXXX")
  if head -c 2 "$file" | grep -q '^#!'; then
    { head -n 1 "$file"; echo "$line"; tail -n +2 "$file"; } >"$scratch"
  else
    { echo "$line"; cat "$file"; } >"$scratch"
  fi
  chmod --reference="$file" "$scratch"
  mv "$scratch" "$file"
  added=$((added + 1))
done < <(git ls-files -z)
echo "spdx: added the SPDX line to $added file(s)"
