#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks of an installation staged under the build tree.

    check_install.py CHECK BUILD_DIR STAGE_DIR

`stage` installs (DESTDIR=STAGE_DIR, prefix /usr, as the package does),
`uninstall` removes it again; the other checks look at what `stage` left.
Nothing outside the build tree is read or written, apart from running the
system's validators.
"""

import html
import html.parser
import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
from pathlib import Path
from urllib.parse import unquote, urlsplit

import file_manager_actions

SOURCE_DIR = Path(__file__).resolve().parents[2]
COMPONENT = "kova-voltare"
APP_ID = "example.kova_software.voltare"
MIME_NS = "{http://www.freedesktop.org/standards/shared-mime-info}"

# Everything an installation must hold, below the prefix.
EXPECTED = [
    "bin/voltare-cli",
    f"share/applications/{APP_ID}.desktop",
    f"share/metainfo/{APP_ID}.metainfo.xml",
    "share/mime/packages/kova-voltare.xml",
    "share/icons/hicolor/scalable/apps/kova-voltare.svg",
    "share/bash-completion/completions/voltare-cli",
    "share/doc/kova-voltare/guide/index.html",
    "share/doc/kova-voltare/copyright",
    "share/doc/kova-voltare/changelog.Debian.gz",
    "share/man/man1/voltare.1.gz",
    "share/man/man1/voltare-cli.1.gz",
    "share/kio/servicemenus/kova-voltare-encrypt.desktop",
    "share/nautilus-python/extensions/kova_voltare.py",
    "share/nemo/actions/kova-voltare-encrypt.nemo_action",
    "share/file-manager/actions/kova-voltare-encrypt.desktop",
]


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def run(args, **kwargs):
    kwargs.setdefault("capture_output", True)
    kwargs.setdefault("text", True)
    return subprocess.run([str(a) for a in args], **kwargs)


class Install:
    def __init__(self, build_dir, stage_dir):
        self.build = Path(build_dir).resolve()
        self.stage = Path(stage_dir).resolve()
        self.prefix = self.stage / "usr"
        self.manifest = self.build / f"install_manifest_{COMPONENT}.txt"

    def path(self, relative):
        return self.prefix / relative

    def cli(self, *args, cwd=None, env=None):
        return run([self.path("bin/voltare-cli"), *args], cwd=cwd, env=env)

    def mime_types(self):
        root = ET.parse(self.path("share/mime/packages/kova-voltare.xml")).getroot()
        return {t.get("type"): t for t in root.iter(MIME_NS + "mime-type")}

    def desktop_entry(self):
        entry = {}
        for line in self.path(f"share/applications/{APP_ID}.desktop").read_text().splitlines():
            key, sep, value = line.partition("=")
            if sep and not line.startswith("#"):
                entry[key] = value
        return entry


# --- the commands and options voltare-cli --help lists

def help_commands(install, *words):
    """Command names the help of `words` lists: lower-case entries of its sections."""
    text = install.cli(*words, "--help").stdout
    return re.findall(r"^  ([a-z][a-z0-9-]*)\s{2,}\S", text, re.M)


def help_options(install, *words):
    text = install.cli(*words, "--help").stdout
    return sorted(set(re.findall(r"^  (?:-\w,)?(--[a-z][a-z-]*)", text, re.M)) - {"--help"})


def all_commands(install):
    for command in help_commands(install):
        yield (command,)
        for sub in help_commands(install, command):
            yield (command, sub)


# --- sample files made by the installed tool

def make_samples(install, where):
    """a.txt.vlt, set.plx (holding b.txt.vlt) and list.vls, as the tool writes them."""
    env = dict(os.environ, VOLTARE_CONFIG_DIR=str(where / "config"), TMPDIR=str(where))
    (where / "pw.txt").write_text("correct horse battery staple\n")
    for name in ("a.txt", "b.txt"):
        (where / name).write_text("sample " + name + "\n")
    steps = [
        ["--password-file", "pw.txt", "--yes", "encrypt", "a.txt"],
        ["--password-file", "pw.txt", "--yes", "encrypt", "--bundle", "set.plx", "b.txt"],
        ["--password-file", "pw.txt", "list-save", "list.vls", "a.txt"],
    ]
    for step in steps:
        result = install.cli(*step, cwd=where, env=env)
        check(result.returncode == 0, f"voltare-cli {' '.join(step)}: {result.stderr}")
    return env


# --- the checks

def check_stage(install):
    shutil.rmtree(install.stage, ignore_errors=True)
    env = dict(os.environ, DESTDIR=str(install.stage))
    result = run(["cmake", "--install", install.build, "--prefix", "/usr", "--component", COMPONENT],
                 env=env)
    check(result.returncode == 0, "cmake --install failed:\n" + result.stdout + result.stderr)
    expected = list(EXPECTED)
    if (install.build / "src/gui/voltare").exists():
        expected.append("bin/voltare")
    for relative in expected:
        check(install.path(relative).is_file(), f"not installed: {relative}")

    installed = {p for p in install.stage.rglob("*") if p.is_file() or p.is_symlink()}
    # The manifest lists the paths below the prefix, without the DESTDIR.
    listed = {Path(str(install.stage) + line) for line in install.manifest.read_text().splitlines() if line}
    check(installed == listed, "the manifest does not list exactly what was installed: "
          f"unlisted {sorted(map(str, installed - listed))}, missing {sorted(map(str, listed - installed))}")

    version = install.cli("--version")
    check(version.returncode == 0 and re.search(r"\b2\.50\b", version.stdout),
          f"voltare-cli --version printed {version.stdout!r}")


def check_desktop_entry(install):
    path = install.path(f"share/applications/{APP_ID}.desktop")
    result = run(["desktop-file-validate", path])
    check(result.returncode == 0 and "error:" not in result.stdout,
          "desktop-file-validate:\n" + result.stdout + result.stderr)
    entry = install.desktop_entry()
    check(entry.get("Exec") == "voltare %f", f"Exec is {entry.get('Exec')!r}")
    check(entry.get("Name") == "KOVA Voltare", f"Name is {entry.get('Name')!r}")
    declared = set(filter(None, entry.get("MimeType", "").split(";")))
    check(declared == set(install.mime_types()),
          f"MimeType {sorted(declared)} is not the installed types {sorted(install.mime_types())}")
    check(entry.get("Categories") and entry.get("Keywords"), "no Categories or Keywords")


def check_metainfo(install):
    path = install.path(f"share/metainfo/{APP_ID}.metainfo.xml")
    result = run(["appstreamcli", "validate", "--no-net", path])
    check(result.returncode == 0, "appstreamcli validate:\n" + result.stdout + result.stderr)

    root = ET.parse(path).getroot()
    check(root.findtext("id") == APP_ID, "the metainfo id is not " + APP_ID)
    launchable = root.findtext("launchable")
    check(launchable and install.path("share/applications/" + launchable).is_file(),
          f"launchable {launchable!r} is not the installed desktop entry")
    mediatypes = {m.text for m in root.iter("mediatype")}
    check(mediatypes == set(install.mime_types()), f"provides {sorted(mediatypes)}")
    binaries = {b.text for b in root.iter("binary")}
    check({"voltare", "voltare-cli"} <= binaries, f"provides binaries {sorted(binaries)}")
    check(root.find("releases/release[@version='2.50']") is not None, "no release entry for 2.50")
    check(root.findtext("project_license") == "GPL-3.0-or-later", "the metainfo names no GPL-3.0-or-later licence")

    # Screenshots live on the maker's site, the address the program opens.
    home = re.search(r'kHomePage\s*=\s*"([^"]+)"',
                     (SOURCE_DIR / "src/app/main_window/messages.h").read_text()).group(1)
    images = [i.text for i in root.iter("image")]
    check(images, "no screenshots")
    for image in images:
        check(image.startswith(home) and image.endswith(".png"), f"screenshot {image} is not under {home}")


def check_mime_types(install):
    with tempfile.TemporaryDirectory(dir=install.build) as scratch:
        scratch = Path(scratch)
        share = scratch / "share"
        (share / "mime/packages").mkdir(parents=True)
        shutil.copy(install.path("share/mime/packages/kova-voltare.xml"), share / "mime/packages")
        result = run(["update-mime-database", share / "mime"])
        check(result.returncode == 0, "update-mime-database:\n" + result.stderr)

        samples = scratch / "samples"
        samples.mkdir()
        make_samples(install, samples)
        # The same files without their extensions: only the magic can tell.
        shutil.copy(samples / "a.txt.vlt", samples / "sealed")
        shutil.copy(samples / "set.plx", samples / "bundle")
        expected = {
            "a.txt.vlt": "application/x-kova-voltare-encrypted",
            "sealed": "application/x-kova-voltare-encrypted",
            "set.plx": "application/x-kova-voltare-archive",
            "bundle": "application/x-kova-voltare-archive",
            "list.vls": "application/x-kova-voltare-list",
        }
        env = dict(os.environ, XDG_DATA_HOME=str(share), XDG_DATA_DIRS=str(share))
        for name, wanted in expected.items():
            result = run(["gio", "info", "-a", "standard::content-type", samples / name], env=env)
            found = re.search(r"standard::content-type: (\S+)", result.stdout)
            check(found and found.group(1) == wanted,
                  f"{name} is {found.group(1) if found else result.stderr!r}, not {wanted}")


def check_icons(install):
    wanted = {"apps/" + install.desktop_entry()["Icon"]}
    for mime_type in install.mime_types().values():
        wanted.add("mimetypes/" + mime_type.find(MIME_NS + "generic-icon").get("name"))
    for icon in sorted(wanted):
        path = install.path(f"share/icons/hicolor/scalable/{icon}.svg")
        check(path.is_file(), f"no icon {path}")
        root = ET.parse(path).getroot()
        check(root.tag == "{http://www.w3.org/2000/svg}svg" and root.get("viewBox"),
              f"{path} is not a scalable SVG picture")


class PageParser(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.ids, self.links, self.scripts, self.styles = set(), [], 0, []

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        for name in ("id", "name") if tag == "a" else ("id",):
            if attrs.get(name):
                self.ids.add(attrs[name])
        if tag == "script" or any(name.startswith("on") for name in attrs):
            self.scripts += 1
        if tag == "link" and attrs.get("rel") == "stylesheet":
            self.styles.append(attrs.get("href"))
        for name in ("href", "src"):
            if attrs.get(name):
                self.links.append(attrs[name])


def check_guide(install):
    guide = install.path("share/doc/kova-voltare/guide")
    pages = {}
    for page in guide.resolve().rglob("*.html"):
        parser = PageParser()
        parser.feed(page.read_text(encoding="utf-8"))
        pages[page] = parser
    index = pages.get(guide.resolve() / "index.html")
    check(index is not None, "no index.html")
    # The help window opens these two places (help contexts 10 and 20).
    check({"contents", "algorithms"} <= index.ids, "index.html lacks #contents or #algorithms")

    stylesheets = set()
    for page, parser in pages.items():
        check(parser.scripts == 0, f"{page.name} has scripts")
        stylesheets.update(page.parent.joinpath(s).resolve() for s in parser.styles)
        for link in parser.links:
            parts = urlsplit(link)
            if parts.scheme in ("http", "https", "mailto"):
                continue
            check(not parts.scheme, f"{page.name}: link {link} leaves the guide")
            target = (page.parent / unquote(parts.path)).resolve() if parts.path else page.resolve()
            check(target.is_file(), f"{page.name}: link {link} leads nowhere")
            if parts.fragment:
                ids = pages[target].ids if target in pages else set()
                check(parts.fragment in ids, f"{page.name}: link {link} names no anchor there")
    check(len(stylesheets) <= 1, f"more than one style sheet: {sorted(map(str, stylesheets))}")


# The messages a user can meet, by the source that holds their exact words:
# each must be explained in the guide's troubleshooting, in those words.
TROUBLESHOOTING = {
    "src/platform/result_codes.cpp": ["kInternalErrorText", "kBadPasswordText", "kNoSuchFileText",
                                      "kBadFileText"],
    "src/app/dialogs/password_box.cpp": ["kEmptyPassword"],
    "src/app/main_window/messages.h": ["kColorDepthTooLow", "kMissingListFiles", "kSettingsFileError", "kNoSuchFile"],
    "src/app/main_window/batch_messages.h": ["kWipeSettingsError", "kNetworkDrive",
                                 "kNotVerified", "kStopHalfDone", "kWipeStopped"],
    "src/app/main_window/decrypt_messages.h": ["kNothingSelected", "kNoSuchDirectory"],
    "src/app/main_window/clipboard_print_messages.h": ["kNoClipboardText"],
    "src/app/email/email_messages.h": ["kNoServer", "kNoPort", "kNoUserName", "kNoName", "kNoAddress",
                                 "kIncompleteSettings", "kInvalidDataType", "kNoRecipient", "kNoPassword"],
    "src/transforms/wipe_messages.h": ["kChangeFileTimeFailed"],
    "src/net/messages.h": ["kAlreadyConnected", "kHostLookupTimedOut", "kHostLookupCanceled",
                           "kNullRemoteAddress", "kConnectionTimedOut", "kConnectionCanceled",
                           "kConnectionFailed", "kSendAborted", "kReadlnAborted", "kConnectionClosed",
                           "kReadlnTimedOut", "kSendTimedOut", "kReplyLineTooLong",
                           "kAuthenticationFailed", "kNotConnected", "kIncompleteHeader",
                           "kCannotOpenFile", "kLineBreakInField", "kEmptyUrl", "kCannotCreateFile",
                           "kTooManyRedirects", "kResponseTooLarge", "kTooMuchReceived",
                           "kResponseIncomplete"],
}


def source_text(path, constant):
    """The text of a string constant: its literals joined, escapes undone."""
    source = (SOURCE_DIR / path).read_text()
    # A message text is marked for the catalogue: N_("...").
    found = re.search(rf'\b{constant}(?:\[\])?\s*=\s*(?:N_\(\s*)?((?:"(?:[^"\\]|\\.)*"\s*)+)\)?;', source)
    check(found, f"{path} no longer defines {constant}")
    literals = re.findall(r'"((?:[^"\\]|\\.)*)"', found.group(1))
    return "".join(literals).encode().decode("unicode_escape")


def check_guide_messages(install):
    guide = install.path("share/doc/kova-voltare/guide/index.html").read_text(encoding="utf-8")
    section = guide[guide.index('id="troubleshooting"'):]
    words = " ".join(re.sub(r"<[^>]+>", " ", html.unescape(section)).split())
    for path, constants in TROUBLESHOOTING.items():
        for constant in constants:
            text = source_text(path, constant)
            # The guide writes a placeholder as a word of its own ("name", "n").
            for fragment in re.split(r"%[sd]", text):
                fragment = " ".join(fragment.split())
                check(fragment in words, f"the troubleshooting does not quote {constant}: {fragment!r}")


def man_text(page):
    env = dict(os.environ, MANWIDTH="100", LC_ALL="C.UTF-8")
    result = run(["man", "--warnings", "-l", page], env=env)
    check(result.returncode == 0 and not result.stderr.strip(),
          f"man {page.name} warns:\n{result.stderr}")
    return result.stdout


def check_manpages(install):
    cli_page = man_text(install.path("share/man/man1/voltare-cli.1.gz"))
    for words in all_commands(install):
        heading = " ".join(words)
        check(re.search(rf"^ {{3}}{re.escape(heading)}$", cli_page, re.M),
              f"voltare-cli(1) has no section for the command {heading!r}")
    for words in [()] + list(all_commands(install)):
        for option in help_options(install, *words):
            check(re.search(rf"(?<![\w-]){re.escape(option)}(?![\w-])", cli_page),
                  f"voltare-cli(1) does not mention {option} of {' '.join(words) or 'voltare-cli'}")

    gui_page = man_text(install.path("share/man/man1/voltare.1.gz"))
    verbs = ["--encrypt", "--decrypt", "--wipe", "--mail", "--add"]
    for word in ["--version", "--help", "FILE", ".vlt", ".plx", ".vls"] + verbs:
        check(word in gui_page, f"voltare(1) does not mention {word}")
    program = install.path("bin/voltare")
    if program.exists():
        listed = re.findall(r"^  (--[a-z]+)\s", run([program, "--help"]).stdout, re.M)
        check(set(verbs) <= set(listed), f"voltare --help lists {listed}")
        # Wrong usage ends before any window, with status 2 and a reason.
        for wrong in (["--encrypt"], ["--wipe", "--mail", "a.txt"]):
            result = run([program, *wrong], env=dict(os.environ, QT_QPA_PLATFORM="offscreen"), timeout=30)
            check(result.returncode == 2 and result.stderr.startswith("voltare: "),
                  f"voltare {' '.join(wrong)}: exit {result.returncode}, {result.stderr!r}")


def complete(install, where, *words):
    """What tab completion offers after `voltare-cli WORDS` (the last word being typed)."""
    script = f"""
        source /usr/share/bash-completion/bash_completion
        source '{install.path("share/bash-completion/completions/voltare-cli")}'
        COMP_WORDS=(voltare-cli "$@")
        COMP_CWORD=$(( ${{#COMP_WORDS[@]}} - 1 ))
        COMP_LINE="${{COMP_WORDS[*]}}"
        COMP_POINT=${{#COMP_LINE}}
        COMPREPLY=()
        _voltare_cli
        printf '%s\\n' "${{COMPREPLY[@]}}"
    """
    env = dict(os.environ, PATH=f"{install.path('bin')}:{os.environ['PATH']}")
    result = run(["bash", "-c", script, "complete", *words], cwd=where, env=env)
    check(result.returncode == 0, f"completing {words}: {result.stderr}")
    return set(filter(None, result.stdout.splitlines()))


def check_completion(install):
    check(Path("/usr/share/bash-completion/bash_completion").is_file(), "bash-completion is missing")
    with tempfile.TemporaryDirectory(dir=install.build) as where:
        where = Path(where)
        make_samples(install, where)
        (where / "folder").mkdir()

        commands = {words[0] for words in all_commands(install)}
        offered = complete(install, where, "")
        check(commands <= offered, f"commands not completed: {sorted(commands - offered)}")
        check({"a.txt.vlt", "set.plx", "list.vls"} <= offered and "a.txt" not in offered,
              f"a path alone completes to {sorted(offered)}")

        for words in all_commands(install):
            if len(words) == 1:
                options = set(help_options(install, *words))
                got = complete(install, where, *words, "--")
                check(options <= got, f"{words[0]}: options not completed: {sorted(options - got)}")

        expectations = [
            (("decrypt", ""), {"a.txt.vlt", "set.plx", "folder"}, {"a.txt", "list.vls"}),
            (("archive-list", ""), {"set.plx", "folder"}, {"a.txt.vlt", "list.vls"}),
            (("list-open", ""), {"list.vls"}, {"a.txt.vlt", "set.plx"}),
            (("encrypt", ""), {"a.txt", "folder"}, set()),
            (("encrypt", "--algorithm", ""), {"blowfish", "cast5", "des", "xchacha20"}, set()),
            (("decrypt", "set.plx", "--member", ""), {"b.txt.vlt"}, set()),
            (("config", "set", ""), {"Algorithm", "TypeOfWipe", "Loop", "Wipe", "CheckUpdate"}, set()),
            (("config", "set", "Algorithm", ""), {"blowfish", "cast5", "des", "xchacha20"}, set()),
        ]
        for words, wanted, unwanted in expectations:
            got = complete(install, where, *words)
            check(wanted <= got and not unwanted & got,
                  f"voltare-cli {' '.join(words)}<TAB> offers {sorted(got)}")


def check_file_manager_actions(install):
    file_manager_actions.check_actions(install.prefix, check)


def check_nautilus_extension(install):
    file_manager_actions.check_extension(install.prefix, check)


def check_uninstall(install):
    uninstall = SOURCE_DIR / "cmake/VoltareUninstall.cmake"
    env = dict(os.environ, DESTDIR=str(install.stage))
    result = run(["cmake", f"-DMANIFEST={install.manifest}", "-P", uninstall], env=env)
    check(result.returncode == 0, "uninstall failed:\n" + result.stdout + result.stderr)
    left = [str(p) for p in install.stage.rglob("*") if not p.is_dir()]
    check(not left, f"left behind: {left}")
    check(not install.path("share/doc/kova-voltare").exists(), "the guide's directories are left")


CHECKS = {name[len("check_"):]: f for name, f in globals().items() if name.startswith("check_")}


def main(argv):
    if len(argv) != 4 or argv[1] not in CHECKS:
        sys.exit(f"usage: {argv[0]} {{{','.join(CHECKS)}}} BUILD_DIR STAGE_DIR")
    try:
        CHECKS[argv[1]](Install(argv[2], argv[3]))
    except Failure as failure:
        print(f"FAILED: {failure}", file=sys.stderr)
        return 1
    print(f"{argv[1]}: ok")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
