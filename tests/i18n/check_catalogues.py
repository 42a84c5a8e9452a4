#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks the translations.

    check_catalogues.py complete ROOT      every language of po/LINGUAS fully translated, msgfmt --check clean
    check_catalogues.py template ROOT      po/kova-voltare.pot holds exactly the texts of the sources
    check_catalogues.py directives ROOT    a translation with a wrong printf directive fails msgfmt --check
    check_catalogues.py literals ROOT      no text in the message headers bypasses the catalogue
"""

import pathlib
import re
import subprocess
import sys
import tempfile

# Message-header constants that are no text for a reader: names, addresses,
# setting keys and the program's name with its version; and the notes an
# e-mail message carries, which its recipient reads, whatever our language.
NOT_TEXT = {
    "kProgramTitle", "kMainCaption", "kHomePage", "kZlibError", "kDownloadAddress", "kUpdateAddress",
    "kUpdateAddressVariable", "kVersionCharacters", "kUpdateSection", "kMailerPrefix", "kFooterText", "kSealedFooterText",
    "kPrintHeading", "kPrintFont", "kSetFileTimeCall", "kRemovableDiskLabel",
}
LITERAL_CONSTANT = re.compile(r"inline constexpr (?:std::string_view|char) (k\w+)(?:\[\])? =\s*\"", re.S)


def languages(root: pathlib.Path):
    lines = (root / "po" / "LINGUAS").read_text().splitlines()
    return [line.strip() for line in lines if line.strip() and not line.startswith("#")]


def msgids(pot_text: str):
    """The set of (msgid, msgid_plural) of a catalogue, header left out."""
    entries, current, key = set(), {}, None
    for line in pot_text.splitlines() + [""]:
        match = re.match(r"^(msgid|msgid_plural|msgstr(?:\[\d\])?|msgctxt) \"(.*)\"$", line)
        if match:
            key = match.group(1)
            if key == "msgid" and current.get("msgid"):
                entries.add((current.get("msgid"), current.get("msgid_plural")))
            if key == "msgid":
                current = {}
            current[key] = match.group(2)
        elif line.startswith('"') and key:
            current[key] += line[1:-1]
        elif not line.strip() and current.get("msgid"):
            entries.add((current["msgid"], current.get("msgid_plural")))
            current, key = {}, None
    return entries


def complete(root: pathlib.Path) -> list[str]:
    problems = []
    for language in languages(root):
        result = subprocess.run(["msgfmt", "--check", "--statistics", "-o", "/dev/null", str(root / "po" / f"{language}.po")],
                                capture_output=True, text=True, env={"LC_ALL": "C"})
        if result.returncode != 0:
            problems.append(f"{language}: msgfmt --check failed:\n{result.stderr}")
        elif "untranslated" in result.stderr or "fuzzy" in result.stderr:
            problems.append(f"{language}: {result.stderr.strip()}")
    return problems


def template(root: pathlib.Path) -> list[str]:
    with tempfile.TemporaryDirectory() as work:
        fresh = pathlib.Path(work) / "fresh.pot"
        subprocess.run([str(root / "scripts" / "update-po.sh"), "--pot-only", str(fresh)], check=True)
        now = msgids(fresh.read_text())
    kept = msgids((root / "po" / "kova-voltare.pot").read_text())
    problems = [f"not in po/kova-voltare.pot: {text!r}" for text in sorted(now - kept, key=str)]
    problems += [f"no longer in the sources: {text!r}" for text in sorted(kept - now, key=str)]
    if problems:
        problems.append("run `make update-po` and translate the new texts")
    return problems


def directives(root: pathlib.Path) -> list[str]:
    """The build's check must refuse each kind of directive a translator
    can get wrong; the right one must pass."""
    cases = {
        "same directives": ("%s of %d", "%s von %d", True),
        "changed type": ("%s of %d", "%d von %d", False),
        "missing directive": ("%s of %d", "von %d", False),
        "extra directive": ("%d files", "%d Dateien %s", False),
    }
    problems = []
    with tempfile.TemporaryDirectory() as work:
        for name, (msgid, msgstr, passes) in cases.items():
            po = pathlib.Path(work) / "case.po"
            po.write_text('msgid ""\nmsgstr "Content-Type: text/plain; charset=UTF-8\\n"\n\n'
                          f'#, c-format\nmsgid "{msgid}"\nmsgstr "{msgstr}"\n')
            result = subprocess.run(["msgfmt", "--check", "-o", "/dev/null", str(po)], capture_output=True)
            if (result.returncode == 0) != passes:
                problems.append(f"{name}: msgfmt --check {'refused' if passes else 'let pass'} {msgstr!r}")
    return problems


def literals(root: pathlib.Path) -> list[str]:
    problems = []
    for header in sorted((root / "src").rglob("*messages.h")):
        for match in LITERAL_CONSTANT.finditer(header.read_text()):
            if match.group(1) not in NOT_TEXT:
                line = header.read_text().count("\n", 0, match.start()) + 1
                problems.append(f"{header.relative_to(root)}:{line}: {match.group(1)} is not marked with N_()")
    return problems


def main() -> int:
    check, root = sys.argv[1], pathlib.Path(sys.argv[2])
    problems = {"complete": complete, "template": template, "directives": directives, "literals": literals}[check](root)
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
