#!/usr/bin/env python3
"""Groups of duplicates against jdupes and sha256sum.

Two folders hold groups of several sizes, files alike in their first and
last blocks but not between them, hard links, a symbolic link to a
duplicate, empty files and every hostile name the file system takes. The
groups of kestrova-cli --duplicates, as sets of files (a file being its
device and inode), must be those of jdupes -r (which takes hard links for
one file, as kestrova-cli does); --include-empty adds the empty files as
jdupes -z does; the JSON's digests are sha256sum's; a file whose size no
other has is never opened; a duplicate that cannot be read is told, the
exit status is 1 and the others are grouped still.

  cli_duplicates_test.py PROGRAM HOSTILE_NAMES_FILE [PAGE_TOOLS_FOLDER]
"""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
import urllib.parse

import cli_support

PROGRAM = None
HOSTILE_NAMES_FILE = None
PAGE_TOOLS = None
NOBODY = 65534
BLOCK = 64 << 10


def hostile_names():
    return cli_support.hostile_names(HOSTILE_NAMES_FILE)


def run(*arguments, user=None, prefix=()):
    return cli_support.run_program([*prefix, PROGRAM, *arguments], user=user)


def write(path, content):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as written:
        written.write(content)


def identity(path):
    status = os.lstat(path)
    return (status.st_dev, status.st_ino)


def as_file_sets(groups):
    """Each group as the set of files it names, groups of one file dropped."""
    sets = set()
    for group in groups:
        files = frozenset(identity(path) for path in group)
        if len(files) > 1:
            sets.add(files)
    return sets


def jdupes_groups(*arguments):
    done = subprocess.run(["jdupes", "-q", "-0", *arguments], capture_output=True)
    assert done.returncode == 0, done.stderr
    return [group.strip(b"\0").split(b"\0") for group in done.stdout.split(b"\0\0") if group.strip(b"\0")]


def json_groups(document):
    groups = []
    for group in document["groups"]:
        exact = group.get("name_bytes", [None] * len(group["files"]))
        groups.append([os.fsencode(name) if raw is None else urllib.parse.unquote_to_bytes(raw)
                       for name, raw in zip(group["files"], exact)])
    return groups


def sha256(path):
    with open(path, "rb") as content:
        done = subprocess.run(["sha256sum"], stdin=content, capture_output=True, check=True)
    return done.stdout.split()[0].decode()


class Duplicates(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.temporary = tempfile.TemporaryDirectory()
        os.chmod(cls.temporary.name, 0o755)
        base = os.fsencode(cls.temporary.name)
        cls.one, cls.two = os.path.join(base, b"one"), os.path.join(base, b"two")
        big = os.urandom(3 * BLOCK)
        for path in (b"one/g/a", b"one/g/b", b"one/deep/er/c", b"two/d"):
            write(os.path.join(base, path), big)
        write(os.path.join(base, b"one/x"), b"hello")
        write(os.path.join(base, b"two/y"), b"hello")
        # Alike in their first and last blocks, not between them.
        middle = bytearray(os.urandom(5 * BLOCK))
        write(os.path.join(base, b"one/m1"), bytes(middle))
        middle[2 * BLOCK] ^= 1
        write(os.path.join(base, b"one/m2"), bytes(middle))
        write(os.path.join(base, b"one/h1"), b"linked" * 100)
        os.link(os.path.join(base, b"one/h1"), os.path.join(base, b"one/h2"))
        write(os.path.join(base, b"one/h3"), b"linked" * 100)
        os.link(os.path.join(base, b"two/y"), os.path.join(base, b"two/y-again"))
        os.symlink(b"g/a", os.path.join(base, b"one/link to a"))
        for empty in (b"one/e1", b"one/g/e2", b"two/e3"):
            write(os.path.join(base, empty), b"")
        cls.hostile = []
        for index, name in enumerate(hostile_names()):
            if b"/" in name:
                continue
            try:
                write(os.path.join(cls.one, b"hostile", name), b"hostile %d" % (index % 3))
            except OSError:
                continue
            cls.hostile.append(name)
        cls.unique = os.path.join(cls.one, b"unique size")
        write(cls.unique, b"no other file is this long, none at all")
        cls.unreadable = os.path.join(cls.two, b"unreadable")
        write(cls.unreadable, big)
        os.chmod(cls.unreadable, 0)

    @classmethod
    def tearDownClass(cls):
        cls.temporary.cleanup()

    def search(self, *arguments, user=None):
        done = run("--duplicates", "-R", "--format", "json", *arguments, self.one, self.two, user=user)
        return done, json.loads(done.stdout) if done.stdout else None

    def test_the_groups_are_those_of_jdupes_and_the_digests_those_of_sha256sum(self):
        done, document = self.search()
        self.assertEqual(done.returncode, 0, done.stderr)
        groups = json_groups(document)
        self.assertEqual(as_file_sets(groups), as_file_sets(jdupes_groups("-r", self.one, self.two)))
        self.assertGreater(len(self.hostile), 10)
        self.assertEqual(sum(1 for group in groups for path in group if b"/hostile/" in path), len(self.hostile))
        for group, listed in zip(groups, document["groups"]):
            self.assertEqual(len(set(identity(path) for path in group)), len(group), "a file once")
            self.assertEqual(listed["sha256"], sha256(group[0]))
            self.assertEqual(listed["size"], os.path.getsize(group[0]))
            self.assertEqual(group, sorted(group))
        wasted = [listed["size"] * (len(listed["files"]) - 1) for listed in document["groups"]]
        self.assertEqual(wasted, sorted(wasted, reverse=True), "the largest waste first")
        self.assertEqual(document["totals"], {"groups": len(groups), "files": sum(map(len, groups)),
                                              "wasted_bytes": sum(wasted)})
        paths = {path for group in groups for path in group}
        self.assertNotIn(os.path.join(self.one, b"m1"), paths, "ends alike, middles not")
        self.assertNotIn(os.path.join(self.one, b"link to a"), paths, "a link is no file of its own")
        self.assertIn(os.path.join(self.one, b"deep/er/c"), paths)
        summary = "kestrova-cli: %d groups of duplicates, %d files, %d bytes wasted\n" % (
            len(groups), sum(map(len, groups)), sum(wasted))
        self.assertEqual(done.stderr.decode(), summary)
        self.assertEqual(run("--duplicates", "-R", "-q", self.one, self.two).stderr, b"")

    def test_empty_files_join_with_include_empty_as_with_jdupes_z(self):
        done, document = self.search("--include-empty")
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(as_file_sets(json_groups(document)),
                         as_file_sets(jdupes_groups("-r", "-z", self.one, self.two)))
        self.assertIn({"size": 0, "sha256": sha256(os.path.join(self.one, b"e1")),
                       "files": [os.fsdecode(os.path.join(folder, name)) for folder, name in
                                 ((self.one, b"e1"), (self.one, b"g/e2"), (self.two, b"e3"))]},
                      document["groups"])

    def test_without_r_only_the_folders_own_files_and_the_text_is_jdupes_lines(self):
        done = run("--duplicates", self.one, self.two)
        self.assertEqual(done.returncode, 0, done.stderr)
        groups = [group.split(b"\n") for group in done.stdout.split(b"\n\n") if group]
        self.assertEqual(as_file_sets(groups), as_file_sets(jdupes_groups(self.one, self.two)))
        self.assertTrue(done.stdout.endswith(b"\n\n"))

    def test_text_escapes_control_characters_as_messages_do(self):
        done = run("--duplicates", os.path.join(self.one, b"hostile"))
        self.assertEqual(done.returncode, 0, done.stderr)
        lines = [line for line in done.stdout.split(b"\n") if line]
        self.assertEqual(len(lines), len(self.hostile))
        for name in self.hostile:
            if b"\n" in name:
                self.assertNotIn(name, done.stdout)

    def test_a_file_of_a_size_no_other_has_is_never_opened(self):
        if shutil.which("strace") is None:
            self.skipTest("strace is missing")
        done = run("--duplicates", "-R", "-q", self.one, self.two,
                   prefix=("strace", "-f", "-qq", "-e", "trace=openat,open", "-o", "/dev/stderr"))
        self.assertIn(b"\"m1\"", done.stderr, "the trace shows the files opened")
        self.assertNotIn(b"unique size", done.stderr)

    def test_an_unreadable_duplicate_is_told_and_the_rest_grouped(self):
        done, document = self.search(user=NOBODY)
        self.assertEqual(done.returncode, 1)
        self.assertIn(b"cannot read " + self.unreadable + b": Permission denied\n", done.stderr)
        groups = json_groups(document)
        self.assertNotIn(self.unreadable, [path for group in groups for path in group])
        self.assertIn(os.path.join(self.two, b"d"), [path for group in groups for path in group])

    def test_the_page_validates_and_the_output_file_is_written_whole_outside_the_folders(self):
        with tempfile.TemporaryDirectory() as out:
            page = os.path.join(out, "dups.html")
            done = run("--duplicates", "-R", "-q", "-o", page, self.one, self.two)
            self.assertEqual(done.returncode, 0, done.stderr)
            with open(page, "rb") as written:
                html = written.read()
            self.assertIn(b"Content-Security-Policy", html)
            self.assertIn(b"hostile", html)
            if PAGE_TOOLS is not None and os.path.isdir(os.path.join(PAGE_TOOLS, "html-validate")):
                script = ("const {HtmlValidate} = require(%s); const v = new HtmlValidate({extends: "
                          "['html-validate:standard']}); const r = v.validateFileSync(%s); "
                          "if (!r.valid) { console.log(JSON.stringify(r.results, null, 1)); process.exit(1); }"
                          % (json.dumps(os.path.join(PAGE_TOOLS, "html-validate")), json.dumps(page)))
                checked = subprocess.run(["node", "-e", script], capture_output=True)
                self.assertEqual(checked.returncode, 0, checked.stdout + checked.stderr)
            inside = os.path.join(self.one, b"g", b"dups.json")
            refused = run("--duplicates", "-R", "-o", inside, self.one)
            self.assertEqual(refused.returncode, 2)
            self.assertIn(b"which is searched", refused.stderr)
            self.assertFalse(os.path.exists(inside))

    def test_bad_use_is_refused(self):
        for arguments in (["--duplicates", "--format", "csv", self.one], [self.one, self.two],
                          ["--duplicates", "--checksum", "md5", "--checksum", "sha1", self.one],
                          ["--duplicates", os.path.join(self.one, b"missing")]):
            done = run(*arguments)
            self.assertEqual(done.returncode, 2, arguments)
            self.assertEqual(done.stdout, b"")

    def test_checksum_chooses_the_digest(self):
        done = run("--duplicates", "-R", "--format", "json", "--checksum", "md5", self.one)
        self.assertEqual(done.returncode, 0, done.stderr)
        for listed in json.loads(done.stdout)["groups"]:
            self.assertEqual(len(listed["md5"]), 32)
            self.assertNotIn("sha256", listed)


if __name__ == "__main__":
    PROGRAM = sys.argv[1]
    HOSTILE_NAMES_FILE = sys.argv[2]
    PAGE_TOOLS = os.path.abspath(sys.argv[3]) if len(sys.argv) > 3 else None
    unittest.main(argv=sys.argv[:1])
