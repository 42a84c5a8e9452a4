#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# make update-po: the template po/kova-voltare.pot from every text of the
# sources, the window layouts (.ui), the desktop files and the file managers'
# actions and extension, then each language
# of po/LINGUAS merged with it (new texts empty, changed ones fuzzy).
#   update-po.sh [--pot-only OUTPUT]   only the template, written to OUTPUT
set -eu
cd "$(dirname "$0")/.."

output=po/kova-voltare.pot
merge=yes
if [ "${1:-}" = "--pot-only" ]; then
  output=$2
  merge=no
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The sources: tr_() and trn_() translate where they stand, N_() marks a
# constant that is translated where it is read.
find src -name '*.cpp' -o -name '*.h' | LC_ALL=C sort > "$work/sources"
xgettext --force-po --from-code=UTF-8 --language=C++ --files-from="$work/sources" \
  --keyword= --keyword=tr_ --keyword=N_ --keyword=trn_:1,2 --keyword=NP_:1,2 \
  --add-comments=TRANSLATORS: --sort-by-file \
  --package-name="KOVA Voltare" --package-version="$(sed -n 's/^project(KovaVoltare VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)" \
  --msgid-bugs-address="support@kova-software.example" \
  --copyright-holder="KOVA Software" -o "$work/sources.pot"
python3 scripts/ui-strings.py . src/gui/ui/*.ui > "$work/layouts.pot"
# The desktop entries, the file managers' actions (Nemo's are key files of
# the same form, with Name and Comment) and the software centre's
# description. Tooltip is the FileManager-Actions' tip; the build translates
# the same keys (voltare_translate_desktop).
find data -name '*.desktop' -o -name '*.nemo_action' | LC_ALL=C sort > "$work/desktop"
xgettext --force-po --from-code=UTF-8 --language=Desktop --keyword=Tooltip --files-from="$work/desktop" \
  --sort-by-file -o "$work/desktop.pot"
# The GNOME Files extension translates with Python's gettext, as _().
xgettext --force-po --from-code=UTF-8 --language=Python --add-comments=TRANSLATORS: --sort-by-file \
  -o "$work/extension.pot" data/file-manager/nautilus/kova_voltare.py
xgettext --force-po --from-code=UTF-8 --its=/usr/share/gettext/its/metainfo.its --sort-by-file \
  -o "$work/metainfo.pot" data/example.kova_software.voltare.metainfo.xml
xgettext --force-po --from-code=UTF-8 --its=/usr/share/gettext/its/shared-mime-info.its --sort-by-file \
  -o "$work/mime.pot" data/kova-voltare.xml

# One entry per text with the places of every file that uses it (a translator
# sees where it shows); the header is the sources' alone, since --use-first
# would also keep only the first file's places.
msgcat -o "$work/merged.pot" "$work/sources.pot" "$work/layouts.pot" \
  "$work/desktop.pot" "$work/extension.pot" "$work/metainfo.pot" "$work/mime.pot"
sed -n '1,/^$/p' "$work/sources.pot" > "$work/header.pot"
msgcat --use-first -o "$work/all.pot" "$work/header.pot" "$work/merged.pot"
# The date alone changing would make every run a change to commit.
sed '/^"POT-Creation-Date:/d' "$work/all.pot" > "$output"
[ "$merge" = yes ] || exit 0

for language in $(grep -v '^#' po/LINGUAS); do
  if [ -f "po/$language.po" ]; then
    msgmerge --quiet --update --backup=none "po/$language.po" "$output"
  else
    msginit --no-translator --locale="$language" --input="$output" --output-file="po/$language.po"
  fi
done
