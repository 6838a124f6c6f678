#!/usr/bin/env python3
"""Checksums against the tools that define them.

kestrova-cli reads a tree of hostile names (every name of the list that the
file system takes, at the top and two levels down, with links, a pipe and a
file crossing the read size) and its checksums must be those of sha256sum,
sha1sum, md5sum and xxhsum -H2: in JSON and CSV, and as --format sums files
that the tools' -c checks whole, their lines byte for byte those the tools
write. A file that cannot be read (run as another user) or that is written
while it is read is named on standard error, left without a checksum and
makes the exit status 1. The digests kept between runs are used again only
for a file as it was, and a file that is no such cache is never written over.

  cli_checksums_test.py PROGRAM HOSTILE_NAMES_FILE
"""

import csv
import io
import json
import os
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import urllib.parse

import cli_support

PROGRAM = None
HOSTILE_NAMES_FILE = None
NOBODY = 65534
TOOLS = {"sha256": ["sha256sum"], "sha1": ["sha1sum"], "md5": ["md5sum"], "xxh128": ["xxhsum", "-H2"]}


def hostile_names():
    return cli_support.hostile_names(HOSTILE_NAMES_FILE)


def run(*arguments, user=None, cwd=None, cache_home=None):
    return cli_support.run_program([PROGRAM, *arguments], user=user, cwd=cwd, cache_home=cache_home)


def tool_digest(algorithm, path):
    """The tool's digest of the file, read through standard input so that
    no name needs escaping."""
    with open(path, "rb") as content:
        done = subprocess.run(TOOLS[algorithm], stdin=content, capture_output=True, check=True)
    return done.stdout.split()[0].decode()


def tool_lines(algorithm, top, paths):
    """The lines the tool writes for the paths below top, run there."""
    done = subprocess.run(TOOLS[algorithm] + ["--", *paths], cwd=top, capture_output=True, check=True)
    return done.stdout.splitlines(keepends=True)


def needs_escape(path):
    return any(byte in path for byte in b"\\\n\r")


class Checksums(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.temporary = tempfile.TemporaryDirectory()
        os.chmod(cls.temporary.name, 0o755)
        cls.top = os.path.join(os.fsencode(cls.temporary.name), b"top")
        cls.files = []  # paths below top of the regular files
        for folder in (b"", b"a", os.path.join(b"a", b"deep")):
            os.makedirs(os.path.join(cls.top, folder), exist_ok=True)
            for index, name in enumerate(hostile_names()):
                relative = os.path.join(folder, name)
                try:
                    with open(os.path.join(cls.top, relative), "xb") as written:
                        written.write(name * (index + 1) + bytes([index]) * (index * 97))
                except OSError:
                    continue
                cls.files.append(relative)
        big = os.path.join(b"a", b"big.bin")
        with open(os.path.join(cls.top, big), "wb") as written:
            written.write(os.urandom((1 << 20) * 3 + 5))
        cls.files.append(big)
        with open(os.path.join(cls.top, b"empty"), "wb"):
            cls.files.append(b"empty")
        os.symlink(b"empty", os.path.join(cls.top, b"link to empty"))
        os.symlink(b"nowhere", os.path.join(cls.top, b"dangling"))
        os.mkfifo(os.path.join(cls.top, b"a", b"pipe"))

    @classmethod
    def tearDownClass(cls):
        cls.temporary.cleanup()

    def path(self, relative):
        return os.path.join(self.top, relative)

    def json_files(self, document):
        """Every entry by its path below the top, from the nested JSON."""
        found = {}

        def visit(entries, prefix):
            for entry in entries:
                path = prefix + os.fsencode(entry["name"]) if "name_bytes" not in entry else None
                if path is None:
                    path = prefix + urllib.parse.unquote_to_bytes(entry["name_bytes"])
                found[path] = entry
                visit(entry.get("entries", []), path + b"/")

        visit(document["entries"], b"")
        return found

    def test_json_holds_the_tools_digests_of_every_file_and_none_for_the_rest(self):
        done = run("-R", "--format", "json", "--checksum", "sha256", "--checksum", "sha1", "--checksum", "md5",
                   "--checksum", "xxh128", self.top)
        self.assertEqual(done.returncode, 0, done.stderr)
        entries = self.json_files(json.loads(done.stdout))
        for relative in self.files:
            sums = entries[relative]["checksums"]
            self.assertEqual(list(sums), ["sha256", "sha1", "md5", "xxh128"])
            for algorithm, digest in sums.items():
                self.assertEqual(digest, tool_digest(algorithm, self.path(relative)), (relative, algorithm))
        for relative in (b"a", b"a/deep", b"link to empty", b"dangling"):
            self.assertNotIn("checksums", entries[relative], relative)
        self.assertEqual(entries[b"a/pipe"]["checksums"], {"sha256": None, "sha1": None, "md5": None,
                                                           "xxh128": None})

    def test_csv_gives_a_column_per_algorithm_after_the_fields(self):
        done = run("-R", "--format", "csv", "--checksum", "md5", "--checksum", "sha256", self.top)
        self.assertEqual(done.returncode, 0, done.stderr)
        reader = csv.reader(io.StringIO(done.stdout.decode("utf-8", "surrogateescape"), newline=""))
        header = next(reader)
        self.assertEqual(header[-2:], ["md5", "sha256"])
        rows = {row[header.index("name")]: row for row in reader}
        checked = 0
        for relative in self.files:
            name = relative.decode("utf-8", "surrogateescape")
            # Names that UTF-8 cannot hold, or that the formula guard changed, are the forms test's.
            if name not in rows:
                continue
            row = rows[name]
            self.assertEqual(row[-2], tool_digest("md5", self.path(relative)), relative)
            self.assertEqual(row[-1], tool_digest("sha256", self.path(relative)), relative)
            checked += 1
        self.assertGreater(checked, len(self.files) // 2)
        self.assertEqual(rows["a"][-2:], ["", ""])

    def test_sums_files_are_the_tools_own_lines_and_check_whole(self):
        for algorithm in TOOLS:
            with self.subTest(algorithm=algorithm):
                done = run("-R", "--format", "sums", "--checksum", algorithm, self.top)
                self.assertEqual(done.returncode, 0, done.stderr)
                lines = done.stdout.splitlines(keepends=True)
                self.assertEqual(len(lines), len(self.files), "one line per regular file, none for the rest")
                # xxhsum 0.8.1 neither writes nor reads the escaped lines of
                # coreutils (0.8.2 does); sha256sum writes them for it.
                plain = [path for path in self.files if not needs_escape(path)]
                escaped = [path for path in self.files if needs_escape(path)]
                expected = tool_lines(algorithm, self.top, plain)
                if algorithm == "xxh128":
                    for relative, line in zip(escaped, tool_lines("sha256", self.top, escaped)):
                        path = line.split(b"  ", 1)[1]
                        expected.append(b"\\" + tool_digest("xxh128", self.path(relative)).encode() + b"  " + path)
                else:
                    expected += tool_lines(algorithm, self.top, escaped)
                self.assertEqual(sorted(lines), sorted(expected))
                checked_lines = b"".join(line for line in lines if algorithm != "xxh128" or not line.startswith(b"\\"))
                check = subprocess.run(TOOLS[algorithm][:1] + ["-c", "--strict", "-"], input=checked_lines,
                                       cwd=self.top, capture_output=True)
                self.assertEqual(check.returncode, 0, check.stdout + check.stderr)
                self.assertEqual(check.stdout.count(b": OK\n"), checked_lines.count(b"\n"))

    def test_the_classic_page_shows_them_only_when_asked(self):
        plain = run("--format", "html", self.top)
        self.assertEqual(plain.returncode, 0, plain.stderr)
        self.assertNotIn(b"<TT>", plain.stdout)
        done = run("--format", "html", "--checksum", "md5", self.top)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertIn(b">md5</TD></TR>", done.stdout)
        for relative in self.files:
            if b"/" not in relative:
                self.assertIn(b"<TT>%s</TT>" % tool_digest("md5", self.path(relative)).encode(), done.stdout)

    def test_sums_of_one_folder_name_its_files_alone(self):
        done = run("--format", "sums", self.path(b"a"))
        self.assertEqual(done.returncode, 0, done.stderr)
        check = subprocess.run(["sha256sum", "-c", "--strict", "-"], input=done.stdout, cwd=self.path(b"a"),
                               capture_output=True)
        self.assertEqual(check.returncode, 0, check.stdout + check.stderr)
        self.assertIn(b"  big.bin\n", done.stdout)

    def test_sums_take_one_algorithm(self):
        done = run("--format", "sums", "--checksum", "md5", "--checksum", "sha1", self.top)
        self.assertEqual(done.returncode, 2)
        self.assertIn(b"one --checksum", done.stderr)
        self.assertEqual(done.stdout, b"")

    def test_a_file_that_cannot_be_read_is_told_and_listed_without_a_checksum(self):
        with tempfile.TemporaryDirectory() as folder:
            os.chmod(folder, 0o755)
            for name, mode in (("open", 0o644), ("locked", 0o600)):
                with open(os.path.join(folder, name), "w") as written:
                    written.write(name)
                os.chmod(os.path.join(folder, name), mode)
            for arguments in ((), ("-R",)):
                done = run(*arguments, "--format", "json", "--checksum", "sha256", folder, user=NOBODY)
                self.assertEqual(done.returncode, 1, done.stderr)
                self.assertIn(b"no checksum of " + os.path.join(os.fsencode(folder), b"locked") +
                              b": Permission denied", done.stderr)
                entries = {entry["name"]: entry for entry in json.loads(done.stdout)["entries"]}
                self.assertEqual(entries["locked"]["checksums"], {"sha256": None})
                self.assertEqual(entries["open"]["checksums"]["sha256"],
                                 tool_digest("sha256", os.path.join(folder, "open")))

    def test_a_file_written_while_it_is_read_gets_no_checksum(self):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "growing.log")
            with open(path, "wb") as written:
                written.write(b"x" * (64 << 20))
            stop = threading.Event()

            def append():
                with open(path, "ab", buffering=0) as log:
                    while not stop.is_set():
                        log.write(b"y")

            writer = threading.Thread(target=append)
            writer.start()
            try:
                done = run("--format", "sums", folder)
            finally:
                stop.set()
                writer.join()
            self.assertEqual(done.returncode, 1, done.stderr)
            self.assertIn(b"no checksum of " + os.fsencode(path) + b": changed while it was read", done.stderr)
            self.assertEqual(done.stdout, b"")


class ChecksumCache(unittest.TestCase):
    def setUp(self):
        self.temporary = tempfile.TemporaryDirectory()
        self.top = os.path.join(self.temporary.name, "top")
        self.cache_home = os.path.join(self.temporary.name, "cache")
        self.cache = os.path.join(self.cache_home, "kestrova", "checksums")
        os.makedirs(os.path.join(self.top, "sub"))
        for name in ("a.txt", "sub/b.txt", "sub/c.bin"):
            with open(os.path.join(self.top, name), "w") as written:
                written.write(name * 1000)
        # A file is kept only once its times have settled.
        time.sleep(2.1)

    def tearDown(self):
        self.temporary.cleanup()

    def sums(self, *arguments):
        done = run("-R", "--format", "sums", *arguments, self.top, cache_home=self.cache_home)
        self.assertEqual(done.returncode, 0, done.stderr)
        return done.stdout

    def test_a_rerun_gives_the_same_digests_and_a_file_changed_in_place_is_read_again(self):
        first = self.sums()
        self.assertTrue(os.path.isfile(self.cache))
        kept = os.path.getsize(self.cache)
        self.assertEqual(self.sums(), first)
        # Same size, its modification time put back: only the change time and
        # the content tell.
        path = os.path.join(self.top, "sub", "b.txt")
        before = os.stat(path)
        with open(path, "r+") as edited:
            edited.write("X")
        os.utime(path, ns=(before.st_atime_ns, before.st_mtime_ns))
        changed = self.sums()
        self.assertIn(("%s  sub/b.txt" % tool_digest("sha256", path)).encode(), changed)
        self.assertNotEqual(changed, first)
        self.assertEqual(os.path.getsize(self.cache), kept, "a file just written is not kept")
        # Two runs at once: whichever ends last writes the cache whole.
        runs = [subprocess.Popen([PROGRAM, "-q", "-R", "--format", "sums", "--checksum", algorithm, self.top],
                                 stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                 env=dict(os.environ, XDG_CACHE_HOME=self.cache_home))
                for algorithm in ("md5", "sha1")]
        for started in runs:
            self.assertEqual(started.wait(), 0)
            self.assertEqual(started.stderr.read(), b"")
        self.assertEqual(self.sums("--checksum", "md5", "-q"), self.sums("--checksum", "md5", "--no-checksum-cache"))

    def test_a_file_that_is_no_cache_is_left_as_it_is(self):
        notes = os.path.join(self.temporary.name, "notes.txt")
        with open(notes, "w") as written:
            written.write("mine\n")
        done = run("-R", "--format", "sums", "--checksum-cache", notes, self.top)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertIn(b"notes.txt is left as it is and no checksum is kept: not a checksum cache of kestrova",
                      done.stderr)
        with open(notes) as kept:
            self.assertEqual(kept.read(), "mine\n")
        self.sums("--no-checksum-cache")
        self.assertFalse(os.path.exists(self.cache_home))


if __name__ == "__main__":
    PROGRAM, HOSTILE_NAMES_FILE = sys.argv[1], sys.argv[2]
    unittest.main(argv=[sys.argv[0]], verbosity=2)
