#!/usr/bin/env python3
"""Compares the options of meridian-fetch's --help with those of its man page.

Usage: man_page_options.py MERIDIAN_FETCH MAN_PAGE
Each side gives a set of options, each a short and/or long spelling; the run
fails, listing both differences, unless the sets are equal.
"""
import re
import subprocess
import sys

# An option spelling: "--long-name" (letters, digits, ".", "-") or "-x".
OPTION = r"--[A-Za-z0-9][A-Za-z0-9.-]*|-[A-Za-z0-9#]"


def options_of_line(text):
    """The option spellings at the start of an option's line, as one entry:
    "-o, --output FILE" gives ("-o", "--output"), "--basic" (None, "--basic")."""
    match = re.match(r"\s*(%s)(?:\s*,\s*(%s))?(?=[\s\"]|$)" % (OPTION, OPTION), text)
    if not match:
        return None
    first, second = match.group(1), match.group(2)
    if second is not None:
        return (first, second)
    return (None, first) if first.startswith("--") else (first, None)


def help_options(program):
    text = subprocess.run([program, "--help"], capture_output=True, check=True, text=True).stdout
    found = set()
    for line in text.splitlines():
        # Option lines start with one blank (short form) or five (long only);
        # continuation lines are indented further.
        if re.match(r"^( -|     --)", line):
            entry = options_of_line(line)
            if entry:
                found.add(entry)
    return found


def roff_text(line):
    """A roff line as plain text: fonts and quotes dropped, escapes resolved."""
    line = re.sub(r"^\.(B|BR|I|IR|RB|BI|IB|RI)\s+", "", line)
    line = re.sub(r"\\f[BIRP]", "", line)
    line = line.replace("\\-", "-").replace('"', "")
    return line


def man_options(path):
    lines = open(path, encoding="utf-8").read().splitlines()
    found = set()
    in_options = False
    for i, line in enumerate(lines):
        if line.startswith(".SH"):
            in_options = line.strip() == ".SH OPTIONS"
            continue
        # Each option is the tag line after a .TP in the OPTIONS section.
        if in_options and line.startswith(".TP") and i + 1 < len(lines):
            entry = options_of_line(roff_text(lines[i + 1]))
            if entry:
                found.add(entry)
    return found


def spelled(entries):
    return sorted(", ".join(part for part in entry if part) for entry in entries)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    in_help = help_options(sys.argv[1])
    in_man = man_options(sys.argv[2])
    if not in_help:
        sys.exit("no options found in --help")
    if in_help == in_man:
        print("%d options, the same in --help and the man page" % len(in_help))
        return
    for entry in spelled(in_help - in_man):
        print("only in --help:     " + entry)
    for entry in spelled(in_man - in_help):
        print("only in the man page: " + entry)
    sys.exit(1)


if __name__ == "__main__":
    main()
