#!/usr/bin/env python3
"""Writes a tool's manual page from its --help text, so the two cannot drift apart.

  make-manpage.py TOOL "SHORT DESCRIPTION" VERSION OUTPUT.1 [SEE_ALSO ...]

TOOL is run with --help. Its text is read as: a first line "usage: NAME ARGUMENTS"; a paragraph of
description; option lines "  --name ARG   text" (continued by lines indented as far as the text); and
further blocks that start with an unindented line ending in ":", whose entries are laid out as options.
"""

import re
import subprocess
import sys


def roff(text):
    text = text.replace("\\", "\\e").replace("-", "\\-")
    return "\\&" + text if text.startswith((".", "'")) else text


def entry(term, description):
    words = term.split(" ", 1)
    head = "\\fB" + roff(words[0]) + "\\fR"
    if len(words) > 1:
        head += " \\fI" + roff(words[1]) + "\\fR"
    return ".TP\n" + head + "\n" + roff(description) + "\n"


def main():
    tool, summary, version, output = sys.argv[1:5]
    see_also = sys.argv[5:]
    help_text = subprocess.run([tool, "--help"], check=True, capture_output=True, text=True).stdout
    lines = help_text.rstrip("\n").split("\n")
    usage = re.match(r"usage: (\S+) ?(.*)", lines[0])
    if not usage:
        sys.exit("make-manpage.py: the help text does not start with 'usage: NAME'")
    name, arguments = usage.groups()

    description, sections, i = [], [("OPTIONS", None, [])], 1
    while i < len(lines) and lines[i].strip():
        description.append(lines[i].strip())
        i += 1
    for line in lines[i:]:
        if not line.strip():
            continue
        match = re.match(r"  (\S.*?)  +(\S.*)", line)
        if line[0] != " ":
            sections.append(("COMMANDS" if len(sections) == 1 else line.rstrip(":").upper(), line, []))
        elif match:
            sections[-1][2].append([match.group(1), match.group(2)])
        elif sections[-1][2]:
            sections[-1][2][-1][1] += " " + line.strip()

    page = ['.TH %s 1 "" "ZaRoruraroze %s" "User Commands"' % (name.upper(), version),
            ".SH NAME", "%s \\- %s" % (roff(name), roff(summary)),
            ".SH SYNOPSIS", "\\fB%s\\fR %s" % (roff(name), roff(arguments)),
            ".SH DESCRIPTION", roff(" ".join(description))]
    for title, intro, entries in sections:
        if not entries:
            continue
        page.append(".SH " + title)
        if intro:
            page.append(roff(intro))
        page.extend(entry(term, text).rstrip("\n") for term, text in entries)
    if see_also:
        page += [".SH SEE ALSO", ", ".join("\\fB%s\\fR(1)" % roff(s) for s in see_also)]
    with open(output, "w") as out:
        out.write("\n".join(page) + "\n")


if __name__ == "__main__":
    main()
