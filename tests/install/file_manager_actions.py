# SPDX-License-Identifier: GPL-3.0-or-later
"""The installed file-manager actions, run the way each file manager runs them.

Each action file is parsed, its command line expanded for a selection of
awkward paths as its file manager documents, and the result started against
a stub `voltare` that records the arguments it got. The GNOME Files extension
is loaded with stand-ins for the modules its host provides.
"""

import configparser
import importlib.util
import os
import shlex
import shutil
import stat
import subprocess
import sys
import tempfile
import time
import types
import urllib.parse
from pathlib import Path

VERBS = {
    "encrypt": "Encrypt with KOVA Voltare",
    "decrypt": "Decrypt with KOVA Voltare",
    "wipe": "Wipe securely with KOVA Voltare",
    "mail": "Send encrypted by e-mail",
}
OWN_TYPES = {"application/x-kova-voltare-encrypted", "application/x-kova-voltare-archive",
             "application/x-kova-voltare-list"}
SUBMENU = "KOVA Voltare"

# Names a file manager must hand over whole: a blank, both quotes, a line
# end, shell syntax, and bytes that are not UTF-8.
AWKWARD_NAMES = [b"two words.vlt", b"it's \"quoted\".vlt", b"line\nend.vlt", b"$HOME `id`;|&*.vlt",
                 b"bad \xff\xfe bytes.vlt", b"a' 'report.doc", b"it's.txt", b'a" "b\\" "c.vlt']

STUB = """#!/bin/sh
printf '%s\\0' "$@" > "$VOLTARE_STUB_RECORD"
"""


def read_ini(path):
    parser = configparser.ConfigParser(interpolation=None, delimiters=("=",), strict=True)
    parser.optionxform = str  # keys are case-sensitive
    parser.read_string(path.read_text(encoding="utf-8"))
    return parser


# --- command lines expanded as each file manager documents it

def desktop_entry_argv(exec_line, paths):
    """The Desktop Entry rules (KIO's service menus): the line split at blanks
    outside double quotes, quoting undone, then a %F argument replaced by one
    argument per file; no shell."""
    words, word, quoted, escaped, started = [], "", False, False, False
    for char in exec_line:
        if escaped:
            word, escaped = word + char, False
        elif quoted and char == "\\":
            escaped = True
        elif char == '"':
            quoted, started = not quoted, True
        elif char == " " and not quoted:
            if word or started:
                words.append(word)
            word, started = "", False
        else:
            word += char
    assert not quoted and not escaped, f"unbalanced quoting in {exec_line!r}"
    if word or started:
        words.append(word)
    argv = []
    for word in words:
        if word == "%F":
            argv.extend(paths)
        else:
            assert "%" not in word.replace("%%", ""), f"unexpected field code in {word!r}"
            argv.append(os.fsencode(word.replace("%%", "%")))
    return argv


def file_uri(path):
    """A path as a file manager's URI: every byte %-escaped but those RFC 3986
    lets a path keep (the quote ' and $ among them)."""
    return b"file://" + urllib.parse.quote(path, safe="/!$&'()*+,;=:@~").encode()


def nemo_argv(exec_line, paths, quote):
    """Nemo, as its sample action documents it: %U becomes the URIs, each put
    in the Quote character as it is (nothing inside escaped), and the line is
    then split by the shell's quoting rules."""
    line = exec_line.replace("%U", " ".join(quote + os.fsdecode(file_uri(p)) + quote for p in paths))
    return [os.fsencode(word) for word in shlex.split(line, posix=True)]


def shell_quoted_argv(exec_line, paths):
    """Nemo (Quote=single) and the FileManager-Actions hosts: %F becomes the
    paths, each in single quotes of its own (a quote inside as '\\''), and
    the line is then split by the shell's quoting rules."""
    def quote(path):
        return "'" + os.fsdecode(path).replace("'", "'\\''") + "'"
    line = exec_line.replace("%F", " ".join(quote(p) for p in paths))
    return [os.fsencode(word) for word in shlex.split(line, posix=True)]


# --- running a command line against the stub

class Stub:
    def __init__(self, where):
        self.bin = where / "bin"
        self.bin.mkdir()
        program = self.bin / "voltare"
        program.write_text(STUB)
        program.chmod(0o755)
        self.record = where / "argv"
        self.env = dict(os.environ, PATH=f"{self.bin}:{os.environ['PATH']}",
                        VOLTARE_STUB_RECORD=str(self.record))

    def run(self, argv):
        self.record.unlink(missing_ok=True)
        result = subprocess.run(argv, env=self.env, capture_output=True)
        return result.returncode, self.recorded()

    def wait_for_record(self, seconds=10):
        deadline = time.monotonic() + seconds
        while not self.record.exists() and time.monotonic() < deadline:
            time.sleep(0.05)
        time.sleep(0.1)  # the stub may still be writing
        return self.recorded()

    def recorded(self):
        if not self.record.exists():
            return None
        return self.record.read_bytes().split(b"\0")[:-1]


def awkward_files(where):
    folder = where / "files"
    folder.mkdir()
    paths = []
    for name in AWKWARD_NAMES:
        path = os.path.join(os.fsencode(folder), name)
        with open(path, "wb") as file:
            file.write(b"x")
        paths.append(path)
    return paths


# --- the checks, one per file manager

def verb_of(exec_line, check, form=("--", "%F")):
    words = exec_line.split()
    check(len(words) == 2 + len(form) and words[0] == "voltare" and tuple(words[2:]) == form,
          f"Exec is {exec_line!r}, not 'voltare --VERB {' '.join(form)}'")
    verb = words[1].removeprefix("--")
    check(verb in VERBS, f"unknown verb in {exec_line!r}")
    return verb


def expect_runs(stub, argv, verb, paths, check, where):
    code, got = stub.run(argv)
    check(code == 0 and got == [b"--" + verb.encode(), b"--", *paths],
          f"{where}: voltare got {got!r} (exit {code}), not the paths of the selection")


def validate_as_desktop_entry(path, parser, check, scratch):
    """desktop-file-validate knows no service menus; their action groups follow
    the Desktop Entry rules, so they are validated inside an application entry."""
    copy = scratch / path.name
    lines = ["[Desktop Entry]", "Type=Application", "Name=check", "Exec=true",
             "Actions=" + parser["Desktop Entry"]["Actions"]]
    for group in parser.sections():
        if group.startswith("Desktop Action "):
            lines.append(f"[{group}]")
            lines.extend(f"{key}={value}" for key, value in parser[group].items())
    copy.write_text("\n".join(lines) + "\n")
    result = subprocess.run(["desktop-file-validate", copy], capture_output=True, text=True)
    check(result.returncode == 0 and "error:" not in result.stdout,
          f"{path.name}: desktop-file-validate:\n{result.stdout}{result.stderr}")


def check_dolphin(prefix, stub, paths, check, scratch):
    folder = prefix / "share/kio/servicemenus"
    offered = {}
    for path in sorted(folder.glob("*.desktop")):
        check(path.stat().st_mode & stat.S_IXUSR, f"{path.name} is not executable, as KDE requires")
        parser = read_ini(path)
        entry = parser["Desktop Entry"]
        check(entry.get("Type") == "Service" and entry.get("X-KDE-ServiceTypes") == "KonqPopupMenu/Plugin",
              f"{path.name} is not a service menu")
        validate_as_desktop_entry(path, parser, check, scratch)
        types = set(filter(None, entry["MimeType"].split(";")))
        for action in filter(None, entry["Actions"].split(";")):
            group = parser[f"Desktop Action {action}"]
            verb = verb_of(group["Exec"], check)
            offered[verb] = (group["Name"], types, entry.get("X-KDE-Submenu"))
            expect_runs(stub, desktop_entry_argv(group["Exec"], paths), verb, paths, check, path.name)
    expected = {
        "encrypt": (VERBS["encrypt"], {"all/all"}, None),
        "decrypt": (VERBS["decrypt"], OWN_TYPES, None),
        "wipe": (VERBS["wipe"], {"all/all"}, SUBMENU),
        "mail": (VERBS["mail"], {"all/all"}, SUBMENU),
    }
    check(offered == expected, f"Dolphin offers {offered}")


def check_nemo(prefix, stub, paths, check):
    offered = {}
    for path in sorted((prefix / "share/nemo/actions").glob("*.nemo_action")):
        action = read_ini(path)["Nemo Action"]
        for key in ("Name", "Exec", "Selection"):
            check(key in action, f"{path.name} lacks {key}")
        check("Extensions" in action or "Mimetypes" in action, f"{path.name} says neither Extensions nor Mimetypes")
        check(action.get("Quote") == "double", f"{path.name}: only a URI in double quotes passes whole")
        verb = verb_of(action["Exec"], check, ("--uris", "--", "%U"))
        offered[verb] = action["Name"]
        check((verb == "decrypt") == ("Mimetypes" in action), f"{path.name} offers itself on the wrong files")
        if verb == "decrypt":
            check(set(filter(None, action["Mimetypes"].split(";"))) == OWN_TYPES, f"{path.name}: Mimetypes")
        code, got = stub.run(nemo_argv(action["Exec"], paths, '"'))
        uris = [file_uri(p) for p in paths]
        check(code == 0 and got == [b"--" + verb.encode(), b"--uris", b"--", *uris],
              f"{path.name}: voltare got {got!r} (exit {code}), not the URIs of the selection")
        check([urllib.parse.unquote_to_bytes(uri.removeprefix(b"file://")) for uri in uris] == paths,
              f"{path.name}: the URIs do not name the selection")
    check(offered == VERBS, f"Nemo offers {offered}")


def check_file_manager_actions_dir(prefix, stub, paths, check):
    folder = prefix / "share/file-manager/actions"
    offered, menus = {}, {}
    for path in sorted(folder.glob("*.desktop")):
        parser = read_ini(path)
        entry = parser["Desktop Entry"]
        if entry.get("Type") == "Menu":
            menus[entry["Name"]] = [i for i in entry["ItemsList"].split(";") if i]
            continue
        check(entry.get("Type") == "Action", f"{path.name} is neither an action nor a menu")
        profiles = [p for p in entry["Profiles"].split(";") if p]
        check(profiles, f"{path.name} has no profile")
        for profile in profiles:
            group = parser[f"X-Action-Profile {profile}"]
            verb = verb_of(group["Exec"], check)
            offered[path.stem] = (verb, entry["Name"], set(filter(None, group["MimeTypes"].split(";"))))
            expect_runs(stub, shell_quoted_argv(group["Exec"], paths), verb, paths, check, path.name)
    check({name for verb, name, _ in offered.values()} == set(VERBS.values()), f"actions offered: {offered}")
    for verb, name, types in offered.values():
        check(types == (OWN_TYPES if verb == "decrypt" else {"all/all"}), f"{name} is offered on {types}")
    check(list(menus) == [SUBMENU] and sorted(offered[i][0] for i in menus[SUBMENU]) == ["mail", "wipe"],
          f"submenus: {menus}")


def german_names(prefix):
    """Each action's English name -> the German names the installed files of
    every file manager give it."""
    names = {}
    for path in [*(prefix / "share/kio/servicemenus").glob("*.desktop"),
                 *(prefix / "share/nemo/actions").glob("*.nemo_action"),
                 *(prefix / "share/file-manager/actions").glob("*.desktop")]:
        parser = read_ini(path)
        for group in parser.values():
            if "Name" in group:
                names.setdefault(group["Name"], set()).add(group.get("Name[de]"))
    return names


def check_actions(prefix, check):
    with tempfile.TemporaryDirectory() as where:
        where = Path(where)
        stub = Stub(where)
        paths = awkward_files(where)
        check_dolphin(prefix, stub, paths, check, where)
        check_nemo(prefix, stub, paths, check)
        check_file_manager_actions_dir(prefix, stub, paths, check)
    german = german_names(prefix)
    for name in VERBS.values():
        check(len(german[name]) == 1 and None not in german[name] and name not in german[name],
              f"{name!r} is in German {german[name]} across the file managers")


# --- the GNOME Files extension with stand-ins for its host's modules

def stand_in_modules():
    class MenuItem:
        def __init__(self, name, label, tip=None):
            self.name, self.label, self.tip, self.submenu, self.handlers = name, label, tip, None, []

        def connect(self, signal, handler):
            assert signal == "activate"
            self.handlers.append(handler)

        def activate(self):
            for handler in self.handlers:
                handler(self)

        def set_submenu(self, menu):
            self.submenu = menu

    class Menu:
        def __init__(self):
            self.items = []

        def append_item(self, item):
            self.items.append(item)

    nautilus = types.SimpleNamespace(MenuProvider=type("MenuProvider", (), {}), MenuItem=MenuItem, Menu=Menu)
    gobject = types.SimpleNamespace(GObject=type("GObject", (), {}))
    return types.SimpleNamespace(Nautilus=nautilus, GObject=gobject)


class FileInfo:
    def __init__(self, path, mime_type, directory=False):
        self.path, self.mime_type, self.directory = path, mime_type, directory

    def get_location(self):
        path = os.fsdecode(self.path)
        return types.SimpleNamespace(get_path=lambda: path)

    def get_mime_type(self):
        return self.mime_type

    def is_directory(self):
        return self.directory


def menu_labels(items):
    return [(i.label, menu_labels(i.submenu.items)) if i.submenu else i.label for i in items]


def find_item(items, label):
    for item in items:
        if item.label == label:
            return item
        if item.submenu and (found := find_item(item.submenu.items, label)):
            return found
    return None


def load_extension(prefix, language):
    """The extension as GNOME Files loads it in a desktop in `language`."""
    path = prefix / "share/nautilus-python/extensions/kova_voltare.py"
    repository = stand_in_modules()
    saved = {name: sys.modules.get(name) for name in ("gi", "gi.repository")}
    saved_language = os.environ.get("LANGUAGE")
    sys.modules["gi"] = types.SimpleNamespace(repository=repository)
    sys.modules["gi.repository"] = repository
    os.environ["LANGUAGE"] = language
    try:
        found = importlib.util.spec_from_file_location("kova_voltare", path)
        module = importlib.util.module_from_spec(found)
        found.loader.exec_module(module)
        return module
    finally:
        for name, value in saved.items():
            if value is None:
                sys.modules.pop(name, None)
            else:
                sys.modules[name] = value
        if saved_language is None:
            os.environ.pop("LANGUAGE")
        else:
            os.environ["LANGUAGE"] = saved_language


def check_extension(prefix, check):
    module = load_extension(prefix, "C")

    with tempfile.TemporaryDirectory() as where:
        where = Path(where)
        stub = Stub(where)
        paths = awkward_files(where)
        menu = module.KovaVoltareMenu()
        more = (SUBMENU, [VERBS["wipe"], VERBS["mail"]])

        encrypted = [FileInfo(p, "application/x-kova-voltare-encrypted") for p in paths]
        items = menu.get_file_items(encrypted)  # nautilus-python 4: the files alone
        check(menu_labels(items) == [VERBS["encrypt"], VERBS["decrypt"], more],
              f"for .vlt files: {menu_labels(items)}")
        folder = [FileInfo(os.fsencode(where), "inode/directory", directory=True)]
        items = menu.get_file_items(None, folder)  # older versions: the window first
        check(menu_labels(items) == [VERBS["encrypt"], more], f"for a folder: {menu_labels(items)}")
        # A .vlt among other files offers no decryption of the others.
        mixed = encrypted + [FileInfo(os.fsencode(where / "stub-less.txt"), "text/plain")]
        check(find_item(menu.get_file_items(mixed), VERBS["decrypt"]) is None, "Decrypt offered on a text file")

        for verb, label in VERBS.items():
            stub.record.unlink(missing_ok=True)
            # The extension starts voltare with the host's own environment.
            saved_env = dict(os.environ)
            os.environ.update(stub.env)
            try:
                find_item(menu.get_file_items(encrypted), label).activate()
            finally:
                os.environ.clear()
                os.environ.update(saved_env)
            got = stub.wait_for_record()
            check(got == [b"--" + verb.encode(), b"--", *paths], f"{label} started voltare with {got!r}")

        # In German the names the other file managers' files give, from the
        # same catalogue; with a broken catalogue, English.
        german = [german_names(prefix)[VERBS[verb]].pop() for verb in ("encrypt", "decrypt")]
        items = load_extension(prefix, "de").KovaVoltareMenu().get_file_items(encrypted)
        check(menu_labels(items)[:2] == german, f"in German: {menu_labels(items)}")
        broken = where / "broken/share"
        (broken / "locale/xx/LC_MESSAGES").mkdir(parents=True)
        (broken / "locale/xx/LC_MESSAGES/kova-voltare.mo").write_bytes(b"\xde\x12\x04\x95 cut short")
        (broken / "nautilus-python/extensions").mkdir(parents=True)
        shutil.copy(prefix / "share/nautilus-python/extensions/kova_voltare.py", broken / "nautilus-python/extensions")
        items = load_extension(broken.parent, "xx").KovaVoltareMenu().get_file_items(encrypted)
        check(menu_labels(items) == [VERBS["encrypt"], VERBS["decrypt"], more], f"with a broken catalogue: {items}")
