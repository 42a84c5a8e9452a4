# SPDX-License-Identifier: GPL-3.0-or-later
# KOVA Voltare in the context menu of GNOME Files (a nautilus-python
# extension): "Encrypt with KOVA Voltare" on any files and folders, "Decrypt
# with KOVA Voltare" on the program's own file types, and "Wipe securely" and
# "Send encrypted by e-mail" in a "KOVA Voltare" submenu. Each item starts
# `voltare --VERB -- PATH...`: the paths are separate arguments, their bytes
# untouched, and no shell ever sees them.

import os
import subprocess

from gi.repository import GObject, Nautilus

PROGRAM = "voltare"
OWN_TYPES = {
    "application/x-kova-voltare-encrypted",
    "application/x-kova-voltare-archive",
    "application/x-kova-voltare-list",
}
OWN_EXTENSIONS = (".vlt", ".plx", ".vls")


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
        items = [self._item("encrypt", "Encrypt with KOVA Voltare", paths)]
        if all(is_own_file(f, p) for f, p in zip(files, paths)):
            items.append(self._item("decrypt", "Decrypt with KOVA Voltare", paths))
        submenu = Nautilus.Menu()
        submenu.append_item(self._item("wipe", "Wipe securely with KOVA Voltare", paths))
        submenu.append_item(self._item("mail", "Send encrypted by e-mail", paths))
        more = Nautilus.MenuItem(name="KovaVoltare::more", label="KOVA Voltare")
        more.set_submenu(submenu)
        items.append(more)
        return items

    @staticmethod
    def _item(verb, label, paths):
        item = Nautilus.MenuItem(name="KovaVoltare::" + verb, label=label)
        item.connect("activate", lambda _item, *_: launch(verb, paths))
        return item
