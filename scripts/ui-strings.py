#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the texts of Qt Designer .ui files as a gettext template (.pot) on
standard output, the way uic hands them to voltare_tr(): every <string> that
is not marked notr="true".

    ui-strings.py ROOT FILE.ui...   references are written relative to ROOT
"""

import pathlib
import re
import sys
import xml.etree.ElementTree as ElementTree


def po_quote(text: str) -> str:
    escaped = text.replace("\\", "\\\\").replace('"', '\\"').replace("\t", "\\t")
    lines = escaped.split("\n")
    if len(lines) == 1:
        return f'"{escaped}"'
    parts = [line + "\\n" for line in lines[:-1]] + ([lines[-1]] if lines[-1] else [])
    return '""\n' + "\n".join(f'"{part}"' for part in parts)


def strings_of(path: pathlib.Path):
    """(line, text) of every translatable string, in file order."""
    source = path.read_text(encoding="utf-8")
    # ElementTree keeps no line numbers: the n-th <string> element is the
    # n-th "<string" in the text.
    starts = [source.count("\n", 0, match.start()) + 1 for match in re.finditer(r"<string[\s>/]", source)]
    elements = list(ElementTree.fromstring(source).iter("string"))
    for line, element in zip(starts, elements):
        if element.get("notr") == "true" or not (element.text or "").strip():
            continue
        yield line, element.text


def main() -> int:
    root = pathlib.Path(sys.argv[1]).resolve()
    entries: dict[str, list[str]] = {}
    for name in sys.argv[2:]:
        path = pathlib.Path(name).resolve()
        for line, text in strings_of(path):
            entries.setdefault(text, []).append(f"{path.relative_to(root)}:{line}")
    print('msgid ""\nmsgstr ""\n"Content-Type: text/plain; charset=UTF-8\\n"\n')
    for text, references in entries.items():
        flags = "#, c-format\n" if re.search(r"%[-+ #0]*\d*(\.\d+)?[sdiuxXc]", text) else ""
        print(f"#: {' '.join(references)}\n{flags}msgid {po_quote(text)}\nmsgstr \"\"\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
