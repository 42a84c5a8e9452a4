#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Fails when a source file under src/ includes a header from a layer above its
own, or a library that only one layer may use (Qt, zlib, zstd, libsodium, CLI11, zxcvbn).

    check_layers.py SRC_DIR     checks the tree, naming every offending line
    check_layers.py --self-test checks that each kind of offence is caught
"""

import pathlib
import re
import sys
import tempfile

# Each layer and the layers its files may include, itself included. The order
# is the build's (src/CMakeLists.txt): lowest first.
ALLOWED = {
    "common": {"common"},
    "crypto": {"common", "crypto"},
    "platform": {"common", "platform"},
    "transforms": {"common", "crypto", "platform", "transforms"},
    "archive": {"common", "crypto", "platform", "transforms", "archive"},
    "net": {"common", "platform", "net"},
    "app": {"common", "crypto", "platform", "transforms", "archive", "net", "app"},
    "gui": {"common", "crypto", "platform", "transforms", "archive", "net", "app", "gui"},
    "cli": {"common", "crypto", "platform", "transforms", "archive", "net", "app", "cli"},
}

# System headers that belong to one layer (or a few): the toolkit stays in the
# windows, compression and new cryptography in the file transforms, the
# command-line parser in the command-line tool.
LIBRARIES = [
    (re.compile(r"^Q[A-Za-z0-9]*(/|$)|^Qt"), {"gui"}, "Qt"),
    (re.compile(r"^zlib\.h$"), {"transforms"}, "zlib"),
    (re.compile(r"^sodium(\.h$|/)"), {"transforms"}, "libsodium"),
    (re.compile(r"^zstd(_errors)?\.h$"), {"transforms"}, "zstd"),
    (re.compile(r"^CLI/"), {"cli"}, "CLI11"),
    # The password meter's estimator, behind app/shared/password_strength.h.
    (re.compile(r"^zxcvbn\.h$"), {"app"}, "zxcvbn"),
]

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
SOURCE_SUFFIXES = {".cpp", ".h"}


def offences(src: pathlib.Path):
    """Yields "file:line: text" for every include that breaks the layering."""
    for path in sorted(src.rglob("*")):
        if path.suffix not in SOURCE_SUFFIXES or not path.is_file():
            continue
        layer = path.relative_to(src).parts[0]
        if layer not in ALLOWED:
            continue
        for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            problem = judge(layer, match.group(1), match.group(2))
            if problem:
                yield f"{path.relative_to(src.parent)}:{number}: {problem}: {line.strip()}"


def judge(layer: str, bracket: str, header: str):
    if bracket == '"':
        included = header.split("/")[0]
        if "/" in header and included in ALLOWED and included not in ALLOWED[layer]:
            return f"{layer} includes from {included}, a layer above it"
        return None
    for pattern, layers, library in LIBRARIES:
        if pattern.search(header) and layer not in layers:
            return f"{layer} includes {library}, which only {', '.join(sorted(layers))} may use"
    return None


# (file, line, whether it must be reported)
SELF_TEST_CASES = [
    ("crypto/a.cpp", '#include "platform/file.h"', True),
    ("common/a.h", '#include "crypto/sha1.h"', True),
    ("net/a.cpp", '#include "transforms/wipe.h"', True),
    ("app/a.cpp", '#include "gui/main_window.h"', True),
    ("cli/a.cpp", '#include "gui/main_window.h"', True),
    ("gui/a.cpp", '#include "cli/command.h"', True),
    ("app/sub/a.cpp", '#  include "cli/command.h"', True),
    ("app/a.cpp", "#include <QString>", True),
    ("platform/a.cpp", "#include <QtCore/QFile>", True),
    ("crypto/a.cpp", "#include <zlib.h>", True),
    ("app/a.cpp", "#include <sodium.h>", True),
    ("app/a.cpp", "#include <CLI/CLI.hpp>", True),
    ("gui/a.cpp", "#include <zxcvbn.h>", True),
    ("transforms/a.cpp", '#include "crypto/sha1.h"', False),
    ("transforms/a.cpp", "#include <zlib.h>", False),
    ("gui/a.cpp", "#include <QWidget>", False),
    ("gui/a.cpp", '#include "ui_about_box_view.h"', False),
    ("cli/a.cpp", "#include <CLI/CLI.hpp>", False),
    ("app/a.cpp", "#include <queue>", False),
    ("app/a.cpp", '#include "net/smtp_client.h"', False),
]


def self_test() -> int:
    failures = 0
    for file, line, reported in SELF_TEST_CASES:
        with tempfile.TemporaryDirectory() as scratch:
            src = pathlib.Path(scratch) / "src"
            path = src / file
            path.parent.mkdir(parents=True)
            path.write_text(line + "\n")
            found = list(offences(src))
        if bool(found) != reported:
            failures += 1
            print(f"self-test: {file}: {line!r} was {'' if found else 'not '}reported", file=sys.stderr)
    print(f"self-test: {len(SELF_TEST_CASES) - failures} of {len(SELF_TEST_CASES)} cases judged right")
    return 1 if failures else 0


def main(argv) -> int:
    if argv[1:] == ["--self-test"]:
        return self_test()
    if len(argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    src = pathlib.Path(argv[1])
    found = list(offences(src))
    for offence in found:
        print(offence, file=sys.stderr)
    if found:
        print(f"layer check: {len(found)} include(s) reach up or out of their layer", file=sys.stderr)
        return 1
    print("layer check: every include stays within its layer's reach")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
