#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages of debian-packages.txt, and any package named as
# an argument (scripts/install-deps.sh clang-16 ...), that are not installed yet.
# Runs `apt-get update` only when something is missing, so a ready machine pays nothing.
set -euo pipefail

cd "$(dirname "$0")/.."
list=debian-packages.txt

missing=()
while read -r package; do
  package=${package%%#*}
  package=${package//[[:space:]]/}
  [ -n "$package" ] || continue
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$package")
done < <(cat "$list"; printf '%s\n' "$@")

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update
"${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
