#!/usr/bin/env python3
"""Checks a program's manual page:

    man_page_test.py Options --page PAGE --program PROGRAM
    man_page_test.py Lint --page PAGE --program PROGRAM

Options: every option that the program's --help shows is described in the
page's OPTIONS section, and the page's title line carries the version that
--version shows.

Lint: the page passes every manual-page checker found on this machine
(mandoc -T lint, groff -ww, man --warnings) without a message. Exit status
77 (a skip) when none is installed.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

SKIP = 77

# An option in the --help text: -x or --word, not inside a hyphenated word.
HELP_OPTION = re.compile(r"(?<![\w-])(--?[A-Za-z][A-Za-z0-9-]*)")


def run(command, **kwargs):
    return subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          stdin=subprocess.DEVNULL, timeout=30, **kwargs)


def page_text(source):
    """The page's words as a reader sees them: roff escapes for hyphens,
    fonts and zero-width marks taken out."""
    text = re.sub(r"\\f(\[[^\]]*\]|\(..|.)", "", source)
    text = text.replace("\\-", "-").replace("\\&", "").replace("\\ ", " ")
    return text


def section(source, name):
    match = re.search(r"^\.SH \"?%s\"?\s*$(.*?)(?=^\.SH |\Z)" % re.escape(name), source,
                      re.MULTILINE | re.DOTALL)
    return match.group(1) if match else None


def check_options(page, program):
    with open(page, encoding="utf-8") as f:
        source = f.read()
    failures = []

    help_run = run([program, "--help"])
    if help_run.returncode != 0:
        return ["%s --help: exit status %d" % (program, help_run.returncode)]
    options = sorted(set(HELP_OPTION.findall(help_run.stdout.decode("utf-8"))))
    if not options:
        failures.append("%s --help shows no option" % program)
    described = section(source, "OPTIONS")
    if described is None:
        failures.append("the page has no OPTIONS section")
    else:
        described = page_text(described)
        for option in options:
            if not re.search(r"(?<![\w-])%s(?![\w-])" % re.escape(option), described):
                failures.append("option %s of --help is not in the page's OPTIONS" % option)

    version_run = run([program, "--version"])
    version = version_run.stdout.decode("utf-8").split()
    title = re.search(r"^\.TH .*$", source, re.MULTILINE)
    if version_run.returncode != 0 or len(version) < 2:
        failures.append("%s --version: no name and version" % program)
    elif title is None or ('"tgraminterp %s"' % version[-1]) not in title.group(0):
        failures.append("the page's title line does not name version %s" % version[-1])

    for name in ("NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "FILES", "EXIT STATUS",
                 "DIAGNOSTICS", "EXAMPLE"):
        if section(source, name) is None:
            failures.append("the page has no %s section" % name)
    return failures


def check_lint(page):
    failures = []
    checked = []
    if shutil.which("mandoc"):
        checked.append("mandoc")
        result = run(["mandoc", "-T", "lint", "-W", "style", page])
        messages = (result.stdout + result.stderr).decode("utf-8", "replace").strip()
        if result.returncode != 0 or messages:
            failures.append("mandoc -T lint:\n" + messages)
    if shutil.which("groff"):
        checked.append("groff")
        result = run(["groff", "-ww", "-z", "-t", "-man", page])
        messages = result.stderr.decode("utf-8", "replace").strip()
        if result.returncode != 0 or messages:
            failures.append("groff -ww:\n" + messages)
    if shutil.which("man"):
        checked.append("man")
        # A home of its own: man-db may want to write its settings there.
        with tempfile.TemporaryDirectory() as home:
            env = dict(os.environ, MANWIDTH="80", MANPAGER="cat", PAGER="cat", HOME=home)
            result = run(["man", "--warnings", "-l", page], env=env)
        messages = result.stderr.decode("utf-8", "replace").strip()
        if result.returncode != 0 or messages or not result.stdout.strip():
            failures.append("man --warnings -l:\n" + messages)
    if not checked:
        print("SKIPPED: neither mandoc, groff nor man is installed (make test installs mandoc)")
        sys.exit(SKIP)
    print("checked with " + ", ".join(checked))
    return failures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("check", choices=("Options", "Lint"))
    parser.add_argument("--page", required=True)
    parser.add_argument("--program", required=True)
    args = parser.parse_args()
    if args.check == "Options":
        failures = check_options(args.page, args.program)
    else:
        failures = check_lint(args.page)
    for failure in failures:
        print("FAILED: %s: %s" % (os.path.basename(args.page), failure))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
