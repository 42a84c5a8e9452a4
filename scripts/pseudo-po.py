#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Makes the pseudo-locale's .po file from the template: every text about
40 % longer, its letters accented and each line in brackets, so that a
screenshot shows at once a text that is cut off, one that never went through
the catalogue, and one assembled from pieces. printf directives, file
patterns, addresses and the mnemonic marks stay as they are.

    pseudo-po.py TEMPLATE.pot OUTPUT.po
"""

import re
import sys

ACCENTED = str.maketrans(
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ",
    "áƀçđéƒĝĥíĵķĺɱñóƥɋŕšŧúʋŵẋýžÁßÇĐÉƑĜĤÍĴĶĹϺÑÓƤɊŔŠŦÚɅŴẊÝŽ",
)
# Left as they are: printf and Qt directives, "&" before a mnemonic, file
# patterns ("*.vlt"), addresses, and a filter's pattern after its "|".
KEEP = re.compile(r"%[-+ #0]*\d*(?:\.\d+)?(?:l|ll|z)?[sdiuxXcf%]|%\d|\S*://\S*|\*\.\S*|\|.*$")
HEADER = "\n".join([
    'msgstr ""',
    '"Project-Id-Version: kova-voltare\\n"',
    '"PO-Revision-Date: 2026-01-01 00:00+0000\\n"',
    '"Last-Translator: pseudo-po.py\\n"',
    '"Language-Team: none\\n"',
    '"Language: en@pseudo\\n"',
    '"MIME-Version: 1.0\\n"',
    '"Content-Type: text/plain; charset=UTF-8\\n"',
    '"Content-Transfer-Encoding: 8bit\\n"',
    '"Plural-Forms: nplurals=2; plural=(n != 1);\\n"',
])
FILLER = " ~ŀőñĝēŕ ŧēẋŧ~"


def pseudo_line(line: str) -> str:
    if not line.strip():
        return line
    out, last = [], 0
    for match in KEEP.finditer(line):
        out.append(line[last:match.start()].translate(ACCENTED))
        out.append(match.group(0))
        last = match.end()
    out.append(line[last:].translate(ACCENTED))
    text = "".join(out)
    extra = max(1, round(len(line) * 0.4) - 2)
    return "[" + text + (FILLER * (extra // len(FILLER) + 1))[:extra] + "]"


ESCAPES = {"n": "\n", "t": "\t", "r": "\r", '"': '"', "\\": "\\"}


def unescape(quoted: str) -> str:
    return re.sub(r"\\(.)", lambda match: ESCAPES.get(match.group(1), match.group(1)), quoted)


def escape(text: str) -> str:
    return text.replace("\\", "\\\\").replace('"', '\\"').replace("\n", "\\n").replace("\t", "\\t").replace("\r", "\\r")


def pseudo(quoted: str) -> str:
    # Lines are lengthened one by one, as a translation's would be.
    return escape("\n".join(pseudo_line(part) for part in unescape(quoted).split("\n")))


def entries(lines):
    """Yields (kind, text) pairs: kind is a keyword (msgid, msgid_plural,
    msgctxt) or "#" for a comment line; continued strings are joined."""
    current = None
    for raw in lines:
        line = raw.rstrip("\n")
        if line.startswith('"'):
            current[1].append(line[1:-1])
            continue
        if current:
            yield current[0], "".join(current[1])
            current = None
        if line.startswith("#") or not line.strip():
            yield "#", line
            continue
        keyword, _, value = line.partition(" ")
        current = (keyword, [value[1:-1]])
    if current:
        yield current[0], "".join(current[1])


def main() -> int:
    source, target = sys.argv[1], sys.argv[2]
    with open(source, encoding="utf-8") as pot:
        pairs = list(entries(pot))
    out = []
    msgid = plural = None
    for kind, text in pairs:
        if kind == "#":
            if text.startswith("#,"):
                text = text.replace(", fuzzy", "")
                if text.strip() == "#,":
                    continue
            out.append(text)
        elif kind == "msgctxt":
            out.append(f'msgctxt "{text}"')
        elif kind == "msgid":
            msgid, plural = text, None
            out.append(f'msgid "{text}"')
        elif kind == "msgid_plural":
            plural = text
            out.append(f'msgid_plural "{text}"')
        elif kind.startswith("msgstr"):
            if msgid == "":
                out.append(HEADER)
            elif plural is None:
                out.append(f'msgstr "{pseudo(msgid)}"')
            elif kind == "msgstr[0]":
                out.append(f'msgstr[0] "{pseudo(msgid)}"\nmsgstr[1] "{pseudo(plural)}"')
    with open(target, "w", encoding="utf-8") as po:
        po.write("\n".join(out) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
