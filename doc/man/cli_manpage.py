#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the voltare-cli manual page from its template and the built tool.

The template holds what only a person can write (description, exit status,
environment, files, examples). The options and the commands come from the
tool's own --help, one section per command, so the page cannot drift from
what the tool accepts.

    cli_manpage.py TOOL TEMPLATE OUTPUT VERSION
"""

import os
import re
import subprocess
import sys

# Headings under which the tool's help lists arguments rather than commands.
ARGUMENT_HEADINGS = ("Positionals", "Options")
# An entry of a help section: two spaces, the name, then (maybe) the text,
# which starts in a fixed column (a long name may leave only one space).
ENTRY = re.compile(r"^  (\S.*?)(?:\s{2,}(\S.*))?$")
CONTINUATION = re.compile(r"^\s{4,}(\S.*)$")


def split_entry(line, column):
    if column and len(line) > column and line[column - 1] == " " and line[column] != " ":
        return line[2:column].strip(), line[column:].strip()
    m = ENTRY.match(line)
    return m.group(1), m.group(2) or ""


def tool_help(tool, *words):
    env = dict(os.environ, LC_ALL="C")
    result = subprocess.run([tool, *words, "--help"], capture_output=True, text=True, env=env,
                            check=True)
    return result.stdout


class Help:
    """One --help text: summary, usage line, sections of entries, footer."""

    def __init__(self, text):
        # The footer follows the last section after two empty lines.
        body, _, self.footer = text.partition("\n\n\n")
        self.summary, self.usage, self.sections = [], "", []
        section = None
        # The column of the entries' texts, from the first entry that shows it.
        column = next((m.start(2) for line in body.splitlines()
                       if (m := ENTRY.match(line)) and m.group(2)), None)
        for line in body.splitlines():
            if line.startswith("Usage: "):
                self.usage = line[len("Usage: "):]
            elif not self.usage:
                self.summary.append(line)
            elif re.match(r"^\S.*:$", line):
                section = (line[:-1], [])
                self.sections.append(section)
            elif section is not None and ENTRY.match(line):
                section[1].append(list(split_entry(line, column)))
            elif section is not None and section[1] and (m := CONTINUATION.match(line)):
                entry = section[1][-1]
                entry[1] = (entry[1] + " " + m.group(1)).strip()

    def entries(self, commands):
        """The entries of the argument sections, or of the command sections."""
        for heading, entries in self.sections:
            if (heading not in ARGUMENT_HEADINGS) == commands:
                yield from ((heading, name, text) for name, text in entries)

    def arguments(self):
        return [(name, text) for _, name, text in self.entries(False) if name != "-h,--help"]

    def commands(self):
        return [name for _, name, _ in self.entries(True)]


def roff(text):
    text = text.replace("\\", "\\e").replace("-", "\\-")
    return "\\&" + text if text.startswith((".", "'")) else text


def bold(text):
    return "\\fB" + roff(text) + "\\fR"


def footer_roff(footer):
    """Prose lines are filled; examples, tables and indented lines keep their shape."""
    out, verbatim = [], None

    def set_mode(keep_shape):
        nonlocal verbatim
        if verbatim is not keep_shape:
            if verbatim:
                out.append(".fi")
                out.append(".RE")
            if keep_shape:
                out.append(".RS 4")
                out.append(".nf")
            verbatim = keep_shape

    for line in footer.strip("\n").splitlines():
        if not line.strip():
            set_mode(False)
            out.append(".PP")
            continue
        keep_shape = line.startswith((" ", "Example")) or line.rstrip().endswith(":")
        if verbatim is None and not keep_shape:
            out.append(".PP")
        set_mode(keep_shape)
        out.append(roff(line.rstrip()))
    set_mode(False)
    return out


def command_roff(tool, words):
    help_ = Help(tool_help(tool, *words))
    out = [".SS " + roff(" ".join(words))]
    out += [roff(line) for line in help_.summary if line.strip()]
    out += [".PP", bold(help_.usage)]
    for name, text in help_.arguments():
        out += [".TP", bold(name), roff(text)]
    out += footer_roff(help_.footer)
    for sub in help_.commands():
        out += command_roff(tool, [*words, sub])
    return out


def main(tool, template, output, version):
    top = Help(tool_help(tool))
    options = []
    for name, text in top.arguments():
        options += [".TP", bold(name), roff(text)]
    options += [".TP", bold("-h,--help"), roff("Print the help of the tool, or of COMMAND after it, and exit")]
    commands = []
    for command in top.commands():
        commands += command_roff(tool, [command])

    with open(template, encoding="utf-8") as source:
        page = source.read()
    page = (page.replace("@VERSION@", version)
                .replace("@OPTIONS@\n", "\n".join(options) + "\n")
                .replace("@COMMANDS@\n", "\n".join(commands) + "\n"))
    with open(output + ".tmp", "w", encoding="utf-8") as target:
        target.write(page)
    os.replace(output + ".tmp", output)


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    main(*sys.argv[1:])
