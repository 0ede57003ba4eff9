#!/usr/bin/env python3
"""Runs the transcripts in the docs and compares what they print.

A transcript is a fenced code block whose info string is `console`. A line
that starts with "$ " is a command (a trailing backslash continues it on the
next line); the lines after it, up to the next command, are what it prints,
standard output and standard error together as a terminal shows them.

Each block runs in a scratch folder of its own, which is also $HOME, as one
bash session (so cd and variables carry from command to command), with
LANG=C.UTF-8 and a fixed time zone. An HTML comment on the line right above
the block sets the folder up:

    <!-- transcript: folder plimora-1.1 files docs/examples/客户.csv -->

  folder NAME     the build installed into ~/NAME (cmake --install), the
                  program folder as users unpack it; may be given more than once
  first-release NAME
                  such a folder as the first release left it: a sys.dat of
                  edition 1 as that release's builder wrote it (no metadata),
                  no edition.dat and no plimora-table, which it did not have
  user-rows PATH  the rows of the text table PATH (a file of the source tree)
                  added to each first-release folder's sys.dat as its
                  add-record window added rows: after the edition's
  archive NAME    the build packed as scripts/package packs it:
                  ~/NAME-linux-x86_64.tar.gz, holding the folder NAME/
  files PATH...   files of the source tree copied into ~ under their own names
  area-codes      the block shows answers from the area-code table: it is
                  left out (and counted as such) while the build's
                  edition.dat has no such table

The output is compared after the scratch folder's path is replaced by "~".
An expected line that ends in " (glob)" matches as a glob: "*" stands for any
run of characters, "?" for one. Nothing else is fuzzy.

    run_transcripts.py --source DIR [--build DIR --cmake CMAKE] [--show] [FILE...]

Without FILE, every Markdown file of the docs is read. Exit code 0 when every
transcript printed what it shows, 1 when one did not (each difference is
printed as a unified diff), 2 for a usage or set-up fault.
"""

import argparse
import difflib
import os
import re
import shlex
import shutil
import sqlite3
import subprocess
import tarfile
import sys
import tempfile
from concurrent.futures import ThreadPoolExecutor
from dataclasses import dataclass, field
from pathlib import Path

# Markdown files that may hold transcripts, relative to the source tree.
DOC_GLOBS = ["*.md", "docs/**/*.md", "data/**/*.md"]

SETUP_RE = re.compile(r"^\s*<!--\s*transcript:(.*?)-->\s*$")
FENCE_RE = re.compile(r"^(\s*)(`{3,}|~{3,})\s*([^\s`]*)")
GLOB_SUFFIX = " (glob)"
BLOCK_TIMEOUT_S = 300
# Written before each command so that the session's output can be cut into
# the output of each command; no command prints it.
MARK = "\x1etranscript-command-{}\x1e"
MARK_RE = re.compile("\x1etranscript-command-(\\d+)\x1e\n")


class SetupError(Exception):
    pass


@dataclass
class Command:
    line: int  # of its "$ " line in the doc, from 1
    text: str  # as bash runs it, continuation lines joined by newlines
    expected: list = field(default_factory=list)


# The set-up words that take one name, and the one that takes a list.
NAMED_SETUPS = ("folder", "first-release", "archive", "user-rows")


@dataclass
class Setup:
    folders: list = field(default_factory=list)
    first_releases: list = field(default_factory=list)
    archives: list = field(default_factory=list)
    user_rows: list = field(default_factory=list)
    files: list = field(default_factory=list)
    area_codes: bool = False

    def needs_build(self):
        return bool(self.folders or self.first_releases or self.archives)


@dataclass
class Block:
    name: str  # the doc's path as shown in reports
    line: int  # of its opening fence, from 1
    setup: Setup
    commands: list


def parse_setup(text, where):
    setup = Setup()
    lists = {"folder": setup.folders, "first-release": setup.first_releases,
             "archive": setup.archives, "user-rows": setup.user_rows, "files": setup.files}
    words = shlex.split(text)
    current = None
    for word in words:
        if word == "area-codes" and current not in NAMED_SETUPS:
            setup.area_codes = True
            current = None
            continue
        if word in lists:
            if current in NAMED_SETUPS:
                raise SetupError(f"{where}: '{current}' needs a name")
            current = word
            continue
        if current in NAMED_SETUPS:
            lists[current].append(word)
            current = None
        elif current == "files":
            setup.files.append(word)
        else:
            raise SetupError(f"{where}: unknown transcript set-up word {word!r}")
    if current in NAMED_SETUPS:
        raise SetupError(f"{where}: '{current}' needs a name")
    return setup


def read_blocks(path, shown_name):
    """The transcripts of one Markdown file, in order."""
    lines = path.read_text(encoding="utf-8").split("\n")
    blocks = []
    i = 0
    while i < len(lines):
        fence = FENCE_RE.match(lines[i])
        if not fence:
            i += 1
            continue
        indent, marker, info = fence.groups()
        end = i + 1
        while end < len(lines):
            closing = lines[end].strip()
            if closing.startswith(marker[0] * len(marker)) and closing.strip(marker[0]) == "":
                break
            end += 1
        if end == len(lines):
            raise SetupError(f"{shown_name}:{i + 1}: code block is never closed")
        if info == "console":
            setup = Setup()
            if i > 0:
                words = SETUP_RE.match(lines[i - 1])
                if words:
                    setup = parse_setup(words.group(1), f"{shown_name}:{i}")
            body = [line[len(indent):] if line.startswith(indent) else line for line in lines[i + 1:end]]
            blocks.append(Block(shown_name, i + 1, setup, read_commands(body, i + 2, shown_name)))
        i = end + 1
    return blocks


def read_commands(body, first_line, shown_name):
    commands = []
    j = 0
    while j < len(body):
        line = body[j]
        if line.startswith("$ "):
            start = j
            text = [line[2:]]
            while text[-1].endswith("\\") and j + 1 < len(body):
                j += 1
                text.append(body[j])
            commands.append(Command(first_line + start, "\n".join(text)))
        elif not commands:
            raise SetupError(f"{shown_name}:{first_line + j}: a transcript starts with a line that is not a command")
        else:
            commands[-1].expected.append(line)
        j += 1
    if not commands:
        raise SetupError(f"{shown_name}:{first_line - 1}: a transcript without a command")
    return commands


def glob_regex(pattern):
    return re.compile("".join(".*" if c == "*" else "." if c == "?" else re.escape(c) for c in pattern) + r"\Z")


def line_matches(expected, actual):
    if expected.endswith(GLOB_SUFFIX):
        return glob_regex(expected[: -len(GLOB_SUFFIX)]).match(actual) is not None
    return expected == actual


def output_matches(expected, actual):
    return len(expected) == len(actual) and all(line_matches(e, a) for e, a in zip(expected, actual))


def shown_actual(expected, actual):
    """actual with each line that a glob line matched written as that glob
    line, so that a diff shows only the lines that differ."""
    shown = list(actual)
    matcher = difflib.SequenceMatcher(a=[e[: -len(GLOB_SUFFIX)] if e.endswith(GLOB_SUFFIX) else e for e in expected],
                                      b=actual, autojunk=False)
    for tag, e0, e1, a0, a1 in matcher.get_opcodes():
        if tag in ("equal", "replace") and e1 - e0 == a1 - a0:
            for k in range(e1 - e0):
                if expected[e0 + k].endswith(GLOB_SUFFIX) and line_matches(expected[e0 + k], actual[a0 + k]):
                    shown[a0 + k] = expected[e0 + k]
    return shown


class Runner:
    def __init__(self, source, build, cmake, work):
        self.source = source
        self.build = build
        self.cmake = cmake
        self.work = work
        self.installed = None

    def installed_folder(self):
        """The build installed once; every folder of every block is a copy."""
        if self.installed is None:
            if not self.build or not self.cmake:
                raise SetupError("a transcript needs a program folder: give --build and --cmake")
            target = self.work / "installed"
            result = subprocess.run([self.cmake, "--install", str(self.build), "--prefix", str(target)],
                                    stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
            if result.returncode != 0:
                raise SetupError(f"cmake --install {self.build} failed:\n{result.stdout}")
            self.installed = target
        return self.installed

    def first_edition_store(self, target):
        """A sys.dat of edition 1 as the first release's builder wrote it: the
        same R*Tree, its rows in table order without ids, no metadata."""
        table = self.build / "editions" / "1" / "quelto.tsv"
        if not table.is_file():
            raise SetupError(f"no {table}: build the target first_edition_table")
        db = sqlite3.connect(target)
        db.execute("create virtual table quelto using rtree(id, 号码1, 号码2, +省份, +城市, +区号, +卡信息)")
        insert_rows(db, table)
        db.close()

    def add_user_rows(self, store, table, where):
        """The rows of the text table added to store, each with the next id,
        as the first release's add-record window added them."""
        path = self.source / table
        if not path.is_file():
            raise SetupError(f"{where}: no file {table} in the source tree")
        db = sqlite3.connect(store)
        insert_rows(db, path)
        db.close()

    def has_area_codes(self):
        """Whether the build's edition.dat carries the area-code table."""
        edition = self.build / "edition.dat" if self.build else None
        if edition is None or not edition.is_file():
            return False
        db = sqlite3.connect(f"file:{edition}?mode=ro", uri=True)
        try:
            return db.execute("select count(*) from sqlite_master where type = 'table' "
                              "and name = 'quelto_areacodes'").fetchone()[0] > 0
        finally:
            db.close()

    def run_block(self, block, number):
        if block.setup.area_codes and not self.has_area_codes():
            return None
        home = self.work / f"block-{number}"
        home.mkdir()
        setup = block.setup
        if setup.user_rows and not setup.first_releases:
            raise SetupError(f"{block.name}:{block.line - 1}: 'user-rows' needs a 'first-release' folder")
        for name in setup.folders:
            copy_folder(self.installed_folder(), home / name)
        for name in setup.first_releases:
            copy_folder(self.installed_folder(), home / name)
            (home / name / "edition.dat").unlink()
            (home / name / "plimora-table").unlink()
            self.first_edition_store(home / name / "sys.dat")
            for table in setup.user_rows:
                self.add_user_rows(home / name / "sys.dat", table, f"{block.name}:{block.line - 1}")
        for name in setup.archives:
            packed = self.work / f"archive-{number}-{name}"
            copy_folder(self.installed_folder(), packed / name)
            with tarfile.open(home / f"{name}-linux-x86_64.tar.gz", "w:gz") as archive:
                archive.add(packed / name, arcname=name)
        for name in setup.files:
            source_file = self.source / name
            if not source_file.is_file():
                raise SetupError(f"{block.name}:{block.line - 1}: no file {name} in the source tree")
            shutil.copy(source_file, home / Path(name).name)
        script = ["cd ~ || exit 99"]
        for k, command in enumerate(block.commands):
            script.append(f"printf '{MARK.format(k)}\\n'")
            script.append(command.text)
        script_path = self.work / f"block-{number}.sh"
        script_path.write_text("\n".join(script) + "\n", encoding="utf-8")
        env = {
            "HOME": str(home),
            "PATH": "/usr/local/bin:/usr/bin:/bin",
            "LANG": "C.UTF-8",
            "LC_ALL": "C.UTF-8",
            "TZ": "CST-8",
            "TMPDIR": str(self.work),
            "USER": os.environ.get("USER", "user"),
        }
        try:
            result = subprocess.run(["bash", "--noprofile", "--norc", str(script_path)], cwd=home, env=env,
                                    stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                    timeout=BLOCK_TIMEOUT_S)
            raw = result.stdout
        except subprocess.TimeoutExpired as expired:
            raw = (expired.stdout or b"") + f"\n[no end after {BLOCK_TIMEOUT_S} s]\n".encode()
        text = raw.decode("utf-8", errors="backslashreplace")
        for path in sorted({str(home), os.path.realpath(home)}, key=len, reverse=True):
            text = text.replace(path, "~")
        return split_outputs(text, len(block.commands))


def insert_rows(db, table):
    """The rows of a text table (a header line, then 号码1 号码2 省份 城市 区号
    卡信息 by tabs) inserted into db's quelto in their order, committed."""
    with table.open(encoding="utf-8") as rows:
        next(rows)
        db.executemany("insert into quelto (号码1, 号码2, 省份, 城市, 区号, 卡信息) values (?, ?, ?, ?, ?, ?)",
                       ((int(f[0]), int(f[1]), *f[2:]) for f in (line.rstrip("\n").split("\t") for line in rows)))
    db.commit()


def copy_folder(installed, target):
    """A program folder for one block. The files at its top (the programs,
    sys.dat, README …) are copied; the libraries, plugins and notices below
    are hard links shared by every block, which no transcript writes to."""
    def link_or_copy(source, destination):
        if Path(source).parent == installed:
            return shutil.copy2(source, destination)
        os.link(source, destination)
        return destination

    shutil.copytree(installed, target, symlinks=True, copy_function=link_or_copy)


def split_outputs(text, count):
    """The session's output cut at the marks, one list of lines per command;
    a command whose mark never came (the session ended before it) gets None."""
    outputs = [None] * count
    pieces = MARK_RE.split(text)
    # pieces: [before the first mark, index, output, index, output, ...]
    for k in range(1, len(pieces), 2):
        output = pieces[k + 1]
        if output.endswith("\n"):
            output = output[:-1]
        outputs[int(pieces[k])] = output.split("\n") if output else []
    return outputs


def report(block, command, actual):
    print(f"{block.name}:{command.line}: transcript (block at line {block.line}) differs")
    print(f"  $ {command.text}")
    if actual is None:
        print("  the session ended before this command ran")
        return
    diff = difflib.unified_diff(command.expected, shown_actual(command.expected, actual),
                                fromfile=f"{block.name}:{command.line} (expected)",
                                tofile="(actual)", lineterm="")
    for line in diff:
        print("  " + line)


def show(block, outputs):
    print(f"<!-- {block.name}:{block.line} -->")
    print("```console")
    for command, actual in zip(block.commands, outputs):
        print("$ " + command.text)
        for line in actual or []:
            print(line)
    print("```")


def doc_files(source):
    found = set()
    for pattern in DOC_GLOBS:
        found.update(p for p in source.glob(pattern) if p.is_file())
    return sorted(found)


def main():
    parser = argparse.ArgumentParser(description="Runs the transcripts in the docs.")
    parser.add_argument("--source", required=True, type=Path, help="the source tree")
    parser.add_argument("--build", type=Path, help="the build tree that 'folder' installs")
    parser.add_argument("--cmake", help="the cmake that installs it")
    parser.add_argument("--jobs", type=int, default=min(4, os.cpu_count() or 1),
                        help="transcripts run at the same time (default: the cores, at most 4)")
    parser.add_argument("--show", action="store_true", help="print what each transcript prints instead of comparing")
    parser.add_argument("files", nargs="*", type=Path, help="Markdown files (default: every doc)")
    args = parser.parse_args()
    source = args.source.resolve()
    files = [f if f.is_absolute() else Path.cwd() / f for f in args.files] or doc_files(source)

    with tempfile.TemporaryDirectory(prefix="transcripts.") as work_dir:
        runner = Runner(source, args.build, args.cmake, Path(work_dir))
        try:
            blocks = []
            for path in files:
                shown_name = str(path.relative_to(source)) if path.is_relative_to(source) else str(path)
                blocks += read_blocks(path, shown_name)
            if not blocks:
                raise SetupError("no transcript found")
            if any(block.setup.needs_build() for block in blocks):
                runner.installed_folder()  # once, before the blocks run side by side
            with ThreadPoolExecutor(max_workers=max(1, args.jobs)) as pool:
                outputs = list(pool.map(runner.run_block, blocks, range(len(blocks))))
        except SetupError as error:
            print(f"run_transcripts: {error}", file=sys.stderr)
            return 2
    failed = 0
    left_out = 0
    for block, block_outputs in zip(blocks, outputs):
        if block_outputs is None:
            left_out += 1
            continue
        if args.show:
            show(block, block_outputs)
            continue
        for command, actual in zip(block.commands, block_outputs):
            if actual is None or not output_matches(command.expected, actual):
                failed += 1
                report(block, command, actual)
    if failed:
        print(f"{failed} command(s) in {len(blocks)} transcript(s) printed something else")
        return 1
    if not args.show:
        print(f"{len(blocks) - left_out} transcript(s) ran as shown")
    if left_out:
        print(f"{left_out} transcript(s) left out: the build's edition.dat has no area-code table")
    return 0


if __name__ == "__main__":
    sys.exit(main())
