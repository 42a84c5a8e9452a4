#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian package built by `make package` on this machine, checks
# that the desktop, the manual and the shell can find everything, and purges
# it again, checking that nothing is left. Changes the machine: run it by hand
# (as root, or through sudo), never from the tests or CI.
set -euo pipefail

build_dir=$(realpath "${1:-build}")
cd "$(dirname "$0")/.."

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  sudo=(sudo)
fi

shopt -s nullglob
packages=("$build_dir"/kova-voltare_*.deb)
if [ ${#packages[@]} -ne 1 ]; then
  echo "package-check: expected one kova-voltare_*.deb in $build_dir (run make package)" >&2
  exit 1
fi
package=${packages[0]}
if dpkg-query -W -f='${Status}' kova-voltare 2>/dev/null | grep -q 'install ok'; then
  echo "package-check: kova-voltare is already installed; purge it first" >&2
  exit 1
fi

work=$(mktemp -d)
purge() { "${sudo[@]}" apt-get purge -y kova-voltare >/dev/null 2>&1 || true; }
trap 'purge; rm -rf "$work"' EXIT

failures=0
step() {  # step DESCRIPTION COMMAND...: runs the command, shows its output
  local description=$1
  shift
  echo "--- $description"
  echo "\$ $*"
  if "$@"; then
    echo "ok"
  else
    echo "FAILED"
    failures=$((failures + 1))
  fi
}
expect() {  # expect WANTED COMMAND...: the command's output must be WANTED
  local wanted=$1 got
  shift
  got=$("$@") || return 1
  echo "$got"
  [ "$got" = "$wanted" ]
}

echo "=== Package: $(basename "$package")"
dpkg-deb --field "$package" Package Version Architecture Depends Recommends Suggests

# Debian's own checks of the package: no errors and no warnings.
echo "=== lintian"
step "lintian finds no errors or warnings" lintian --fail-on error,warning "$package"

echo "=== Installing"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get install -y "$package"

echo "=== Checking"
# Sample files made by the installed tool, outside any project directory.
printf 'correct horse battery staple\n' >"$work/pw.txt"
printf 'a sample\n' >"$work/sample.txt"
printf 'another sample\n' >"$work/bundled.txt"
export VOLTARE_CONFIG_DIR=$work/config
(cd "$work" &&
  voltare-cli --password-file pw.txt --yes encrypt sample.txt &&
  voltare-cli --password-file pw.txt --yes encrypt --bundle sample.plx bundled.txt) >/dev/null

step "the package recommends qt6-wayland and qt6-translations-l10n and suggests python3-nautilus" \
  sh -c "dpkg-deb --field '$package' Recommends | grep -qw qt6-wayland &&
         dpkg-deb --field '$package' Recommends | grep -qw qt6-translations-l10n &&
         dpkg-deb --field '$package' Suggests | grep -qw python3-nautilus"
step "voltare-cli --version" voltare-cli --version
step "the manual pages are found" man -w voltare-cli voltare
step "the installed desktop entry is valid" \
  desktop-file-validate /usr/share/applications/example.kova_software.voltare.desktop
# As the desktop (GNOME's way, through GIO) sees the files.
export XDG_CURRENT_DESKTOP=GNOME
step "a .vlt is recognised" \
  expect application/x-kova-voltare-encrypted xdg-mime query filetype "$work/sample.txt.vlt"
step "a .plx is recognised" \
  expect application/x-kova-voltare-archive xdg-mime query filetype "$work/sample.plx"
step "the program is the handler of .vlt files" \
  expect example.kova_software.voltare.desktop xdg-mime query default application/x-kova-voltare-encrypted
for type in encrypted archive list; do
  step "the desktop's handler list names the program for $type files" \
    grep -q "^application/x-kova-voltare-$type=.*example.kova_software.voltare.desktop" \
    /usr/share/applications/mimeinfo.cache
done
step "tab completion offers the commands" \
  bash -c 'source /usr/share/bash-completion/bash_completion;
           COMP_WORDS=(voltare-cli arch); COMP_CWORD=1; COMP_LINE="voltare-cli arch"; COMP_POINT=16;
           __load_completion voltare-cli; _voltare_cli; [ "${COMPREPLY[*]}" = archive-list ]'
step "the user's guide is where the help window looks" \
  test -f /usr/share/doc/kova-voltare/guide/index.html
action_files=(/usr/share/kio/servicemenus/kova-voltare-encrypt.desktop
              /usr/share/nautilus-python/extensions/kova_voltare.py
              /usr/share/nemo/actions/kova-voltare-encrypt.nemo_action
              /usr/share/file-manager/actions/kova-voltare-encrypt.desktop)
step "the file managers' actions are installed" ls -l "${action_files[@]}"
step "the service menus are executable, as KDE requires" test -x "${action_files[0]}"

echo "=== Purging"
installed_files=$(dpkg -L kova-voltare | sort)
"${sudo[@]}" apt-get purge -y kova-voltare
left=()
while read -r path; do
  # Shared directories (/usr/share/man/man1 ...) stay; our own files may not.
  if [ -e "$path" ] && ! [ -d "$path" ]; then left+=("$path"); fi
  case $path in */kova-voltare*) [ -e "$path" ] && left+=("$path") ;; esac
done <<<"$installed_files"
step "nothing of the package is left" test ${#left[@]} -eq 0
[ ${#left[@]} -eq 0 ] || printf '  left: %s\n' "${left[@]}"
step "the file managers' actions are gone" \
  sh -c '! ls /usr/share/kio/servicemenus/kova-voltare* /usr/share/nemo/actions/kova-voltare* \
           /usr/share/file-manager/actions/kova-voltare* /usr/share/nautilus-python/extensions/kova_voltare* 2>/dev/null'
step "the file types are gone from the MIME database" \
  sh -c '! grep -q kova-voltare /usr/share/mime/packages/*.xml /usr/share/mime/globs2'

if [ "$failures" -ne 0 ]; then
  echo "=== package-check: $failures check(s) FAILED"
  exit 1
fi
echo "=== package-check: all checks passed"
