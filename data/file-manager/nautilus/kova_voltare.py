# SPDX-License-Identifier: GPL-3.0-or-later
# KOVA Voltare in the context menu of GNOME Files (a nautilus-python
# extension): "Encrypt with KOVA Voltare" on any files and folders, "Decrypt
# with KOVA Voltare" on the program's own file types, and "Wipe securely" and
# "Send encrypted by e-mail" in a "KOVA Voltare" submenu. Each item starts
# `voltare --VERB -- PATH...`: the paths are separate arguments, their bytes
# untouched, and no shell ever sees them. The labels and tips are in the
# desktop's language, from the program's own catalogue.

import gettext
import os
import subprocess
from pathlib import Path

from gi.repository import GObject, Nautilus

PROGRAM = "voltare"
OWN_TYPES = {
    "application/x-kova-voltare-encrypted",
    "application/x-kova-voltare-archive",
    "application/x-kova-voltare-list",
}
OWN_EXTENSIONS = (".vlt", ".plx", ".vls")
DOMAIN = "kova-voltare"


def catalogue():
    """The program's catalogue in the desktop's language (LANGUAGE, LC_ALL,
    LC_MESSAGES, LANG): first from the share/locale of the prefix this file
    was installed under (share/nautilus-python/extensions), as the program
    itself looks beside its bin/, then from the system's. English without one."""
    beside = Path(__file__).resolve().parents[2] / "locale"
    for folder in (beside, None):
        try:
            return gettext.translation(DOMAIN, localedir=folder)
        except Exception:  # none for the language, or a broken one: a menu in English beats no menu
            continue
    return gettext.NullTranslations()


_ = catalogue().gettext


def local_path(file_info):
    """The file's path as the system's bytes, or None when it is not local."""
    location = file_info.get_location()
    path = location.get_path() if location is not None else None
    return os.fsencode(path) if path is not None else None


def is_own_file(file_info, path):
    if file_info.is_directory():
        return False
    return file_info.get_mime_type() in OWN_TYPES or path.endswith(tuple(map(os.fsencode, OWN_EXTENSIONS)))


def launch(verb, paths):
    # Started and forgotten: the window outlives the menu.
    subprocess.Popen([PROGRAM, "--" + verb, "--", *paths], close_fds=True, start_new_session=True)


class KovaVoltareMenu(GObject.GObject, Nautilus.MenuProvider):
    def get_file_items(self, *arguments):
        # Older nautilus-python passes the window first; newer only the files.
        files = arguments[-1]
        paths = [local_path(f) for f in files]
        if not files or None in paths:
            return []
        items = [self._item("encrypt", _("Encrypt with KOVA Voltare"),
                            _("Compress and encrypt the selected files under a password"), paths)]
        if all(is_own_file(f, p) for f, p in zip(files, paths)):
            items.append(self._item("decrypt", _("Decrypt with KOVA Voltare"),
                                    _("Decrypt the selected .vlt files and .plx archives, or open a .vls list"),
                                    paths))
        submenu = Nautilus.Menu()
        submenu.append_item(self._item("wipe", _("Wipe securely with KOVA Voltare"),
                                       _("Overwrite the selected files, then delete them"), paths))
        submenu.append_item(self._item("mail", _("Send encrypted by e-mail"),
                                       _("Write an encrypted message with the selected files attached"), paths))
        # The program's name stays as it is in every language.
        more = Nautilus.MenuItem(name="KovaVoltare::more", label="KOVA Voltare",
                                 tip=_("Wipe or send the selected files with KOVA Voltare"))
        more.set_submenu(submenu)
        items.append(more)
        return items

    @staticmethod
    def _item(verb, label, tip, paths):
        item = Nautilus.MenuItem(name="KovaVoltare::" + verb, label=label, tip=tip)
        item.connect("activate", lambda _item, *_arguments: launch(verb, paths))
        return item
