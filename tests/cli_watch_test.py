#!/usr/bin/env python3
"""--watch on a real tree: the pages follow files made, removed and renamed
five levels down (with each folder's total on the pages above, against
os.walk), folders moved in and out, and a burst of 10,000 files, in a few
rounds; SIGTERM ends the program by the signal with every page whole and no
temporary file left, and a run of the whole tree afterwards finds every page
as it would write it. The catalog is kept current too, and --watch is
refused where it has nothing to keep current.

  cli_watch_test.py PROGRAM
"""

import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest

import cli_support

PROGRAM = None
DEADLINE = 10.0
DEEP = ["a", "b", "c", "d", "e"]
TEMPORARY = re.compile(r"^[.~]kestrova-[0-9a-f]{6}\.tmp$")


def wait_for(what, check):
    """Polls check until it holds, failing after the deadline."""
    end = time.monotonic() + DEADLINE
    while time.monotonic() < end:
        if check():
            return
        time.sleep(0.05)
    raise AssertionError("not within %.0f s: %s" % (DEADLINE, what))


def read(path):
    try:
        with open(path, "rb") as page:
            return page.read()
    except FileNotFoundError:
        return b""


def subtree_total(folder, page_name="index.html"):
    """The bytes and files below folder as a page counts them: its pages
    left out."""
    size = files = 0
    for at, _, names in os.walk(folder):
        for name in names:
            if name != page_name:
                size += os.lstat(os.path.join(at, name)).st_size
                files += 1
    return size, files


def folder_row(page, name):
    """The total and files of a folder's row on a page, or None."""
    found = re.search(
        rb'<a href="' + re.escape(name.encode()) + rb'/">[^<]*</a></td><td>Folder</td>'
        rb'<td data-bytes="(\d+)" title="[^;"]*; Files: ([\d,]+),', page)
    return (int(found.group(1)), int(found.group(2).replace(b",", b""))) if found else None


def lists(page, name):
    return (">" + name + "<").encode() in page


class Watching:
    """The program running with --watch, its stderr gathered as it comes."""

    def __init__(self, *arguments, cwd=None):
        environment = dict(os.environ, XDG_CACHE_HOME=cli_support.CACHE_HOME.name)
        self.process = subprocess.Popen([PROGRAM, *arguments], stderr=subprocess.PIPE,
                                        stdout=subprocess.DEVNULL, cwd=cwd, env=environment)
        self.lines = []
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for line in self.process.stderr:
            self.lines.append(line.decode(errors="replace"))

    def says(self, text):
        return any(text in line for line in self.lines)

    def rounds(self):
        return sum(1 for line in self.lines if "round " in line)

    def stop(self, signal_number=signal.SIGTERM):
        self.process.send_signal(signal_number)
        code = self.process.wait(timeout=DEADLINE)
        self.reader.join(timeout=DEADLINE)
        self.process.stderr.close()
        return code


class WatchTest(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="kestrova-watch-")
        self.top = os.path.join(self.work, "top")
        path = self.top
        for name in DEEP:
            os.makedirs(os.path.join(path, "side"))
            self.write(os.path.join(path, "file"), 10)
            self.write(os.path.join(path, "side", "other"), 3)
            path = os.path.join(path, name)
        os.makedirs(path)
        self.write(os.path.join(path, "file"), 10)
        self.deep = path
        self.program = None

    def tearDown(self):
        if self.program is not None and self.program.process.poll() is None:
            self.program.stop(signal.SIGKILL)
        shutil.rmtree(self.work, ignore_errors=True)

    @staticmethod
    def write(path, size):
        with open(path, "wb") as out:
            out.write(b"x" * size)

    def page(self, *names):
        return read(os.path.join(self.top, *names, "index.html"))

    def start(self, *arguments):
        self.program = Watching(*arguments)
        wait_for("the first run", lambda: self.program.says("watching"))
        return self.program

    def totals_shown(self):
        """True when every page above the deep folder shows its sub-folder's
        total as os.walk counts it."""
        folder = self.top
        for name in DEEP:
            shown = folder_row(read(os.path.join(folder, "index.html")), name)
            if shown != subtree_total(os.path.join(folder, name)):
                return False
            folder = os.path.join(folder, name)
        return True

    def test_pages_follow_files_and_folders_and_a_burst(self):
        program = self.start("-R", "--watch", self.top)
        deep = os.path.join(*DEEP)
        self.assertTrue(self.totals_shown())

        self.write(os.path.join(self.deep, "made"), 1000)
        wait_for("a file made five levels down",
                 lambda: lists(self.page(deep), "made") and self.totals_shown())
        os.remove(os.path.join(self.deep, "file"))
        wait_for("a file removed", lambda: not lists(self.page(deep), "file") and self.totals_shown())
        os.rename(os.path.join(self.deep, "made"), os.path.join(self.deep, "renamed"))
        wait_for("a file renamed",
                 lambda: lists(self.page(deep), "renamed") and not lists(self.page(deep), "made"))

        outside = os.path.join(self.work, "outside")
        os.makedirs(os.path.join(outside, "inner"))
        self.write(os.path.join(outside, "inner", "moved-file"), 77)
        os.rename(outside, os.path.join(self.top, "a", "b", "came"))
        wait_for("a folder moved in",
                 lambda: lists(self.page("a", "b", "came", "inner"), "moved-file") and
                 folder_row(self.page("a", "b"), "came") == (77, 1) and self.totals_shown())
        self.write(os.path.join(self.top, "a", "b", "came", "inner", "later"), 5)
        wait_for("a file made in the folder moved in: it is watched",
                 lambda: lists(self.page("a", "b", "came", "inner"), "later"))
        os.rename(os.path.join(self.top, "a", "b", "came"), os.path.join(self.work, "gone"))
        wait_for("a folder moved out",
                 lambda: folder_row(self.page("a", "b"), "came") is None and self.totals_shown())

        rounds = program.rounds()
        burst = os.path.join(self.top, "a", "burst")
        began = time.monotonic()
        os.mkdir(burst)
        for number in range(10000):
            with open(os.path.join(burst, "n%05d" % number), "wb"):
                pass
        lasted = time.monotonic() - began
        wait_for("a burst of 10,000 files",
                 lambda: lists(self.page("a", "burst"), "n09999") and
                 folder_row(self.page("a"), "burst") == (0, 10000))
        # A round waits at most 2 s for changes to settle: a burst is a round
        # for every 2 s it lasts, not one for each of its files.
        self.assertLessEqual(program.rounds() - rounds, int(lasted / 2) + 3, "".join(program.lines))

        self.assertEqual(program.stop(), -signal.SIGTERM)
        for at, _, names in os.walk(self.top):
            for name in names:
                self.assertIsNone(TEMPORARY.match(name), os.path.join(at, name))
                if name == "index.html":
                    self.assertTrue(read(os.path.join(at, name)).rstrip().endswith(b"</html>"), at)
        again = cli_support.run_program([PROGRAM, "-R", self.top])
        self.assertEqual(again.returncode, 0, again.stderr)
        self.assertIn(b": 0 pages written,", again.stderr)

    def test_pages_apart_and_an_interrupt_between_rounds(self):
        pages = os.path.join(self.work, "pages")
        program = self.start("-R", "--watch", "--output-dir", pages, self.top)
        self.write(os.path.join(self.deep, "apart"), 4)
        wait_for("a page apart", lambda: lists(read(os.path.join(pages, *DEEP, "index.html")), "apart"))
        self.assertFalse(os.path.exists(os.path.join(self.deep, "index.html")))
        self.assertEqual(program.stop(signal.SIGINT), -signal.SIGINT)

    def test_the_catalog_is_kept_current(self):
        catalog = os.path.join(self.top, "catalog.html")
        program = self.start("--format", "catalog", "--watch", "-o", catalog, self.top)
        self.write(os.path.join(self.deep, "catalogued-file"), 4)
        names = lambda: cli_support.run_program([PROGRAM, "--from", catalog, "-R", "--format", "names",
                                                  "-o", "-"]).stdout
        wait_for("the catalog", lambda: b"catalogued-file" in names())
        time.sleep(1)
        # The catalog's own writes start no round.
        rounds = program.rounds()
        time.sleep(1)
        self.assertEqual(program.rounds(), rounds, "".join(program.lines))
        self.assertEqual(program.stop(), -signal.SIGTERM)

    def test_refused_where_nothing_is_kept_current(self):
        listing = os.path.join(self.work, "listing.json")
        self.assertEqual(cli_support.run_program([PROGRAM, "-o", listing, "--format", "json", self.top])
                         .returncode, 0)
        for arguments, says in [
                (["--watch", self.top], b"give -R"),
                (["-R", "--watch", "-o", "-", "--format", "json", self.top], b"not standard output"),
                (["-R", "--watch", "--format", "json", "-o", listing, self.top], b"not a json document"),
                (["--watch", "--from", listing], b"--from"),
                (["--watch", "--verify", listing, self.top], b"--watch does not fit"),
                (["--duplicates", "--watch", self.top], b"--watch is not for --duplicates")]:
            run = cli_support.run_program([PROGRAM, *arguments])
            self.assertEqual(run.returncode, 2, arguments)
            self.assertIn(says, run.stderr, arguments)


if __name__ == "__main__":
    PROGRAM = os.path.abspath(sys.argv.pop(1))
    unittest.main()
