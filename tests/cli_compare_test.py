#!/usr/bin/env python3
"""--compare OLD NEW on a tree of hostile names and a copy of it with one of
each change planted: between the two folders, between listings of them
(Kestrova's JSON and catalog, tree -J, ncdu -o, rclone lsjson, made by the
real tools) and across the two (a listing against a folder). The paths of
the JSON report are those of diff on the sorted `find -printf` lists of the
trees (a move being a removal and an addition there). Exit 0 for no
difference, 1 for some, 2 for a side that cannot be read, with its place
for a malformed listing and nothing written.

  cli_compare_test.py PROGRAM HOSTILE_NAMES_FILE [PAGE_TOOLS]

The page goes through html-validate where PAGE_TOOLS (tests/page/node_modules)
holds it.
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
WHOLE_SECOND = 1_700_000_000 * 10**9


def run(*arguments):
    environment = dict(os.environ, XDG_CACHE_HOME=cli_support.CACHE_HOME.name)
    return subprocess.run([PROGRAM, "-q", *arguments], capture_output=True, env=environment)


def make_old(top):
    """The hostile names at the top and in sub/deep/, and plain files to
    change, every time a whole second."""
    cli_support.write_hostile_tree(top, HOSTILE_NAMES_FILE)
    os.makedirs(os.path.join(top, b"plain", b"gone"))
    for name, content in [(b"grows.txt", b"12345"), (b"touched.txt", b"same"), (b"mover.bin", b"moving bytes"),
                          (b"removed.txt", b"bye"), (b"becomes-folder", b"file"), (b"gone/inside.txt", b"in")]:
        with open(os.path.join(top, b"plain", name), "wb") as written:
            written.write(content)
    set_times(top)


def set_times(top):
    for folder, folders, files in os.walk(top):
        for name in files + folders + [b"."]:
            os.utime(os.path.join(folder, name), ns=(WHOLE_SECOND, WHOLE_SECOND), follow_symlinks=False)


def plant_changes(top):
    plain = os.path.join(top, b"plain")
    with open(os.path.join(plain, b"grows.txt"), "ab") as written:
        written.write(b"678")
    os.utime(os.path.join(plain, b"grows.txt"), ns=(WHOLE_SECOND, WHOLE_SECOND))
    os.utime(os.path.join(plain, b"touched.txt"), ns=(WHOLE_SECOND + 5 * 10**9,) * 2)
    os.rename(os.path.join(plain, b"mover.bin"), os.path.join(top, b"sub", b"moved.bin"))
    os.remove(os.path.join(plain, b"removed.txt"))
    os.remove(os.path.join(plain, b"becomes-folder"))
    os.mkdir(os.path.join(plain, b"becomes-folder"))
    shutil.rmtree(os.path.join(plain, b"gone"))
    os.makedirs(os.path.join(top, b"new\xff folder"))
    with open(os.path.join(top, b"new\xff folder", b"added\x01.txt"), "wb") as written:
        written.write(b"new")


def find_lines(top):
    """path -> "size seconds" (files) or "seconds" (folders), as find lists
    them below the top."""
    listed = subprocess.run(["find", top, "-mindepth", "1", "-printf", r"%y %s %T@ %P\0"],
                            capture_output=True, check=True).stdout
    lines = {}
    for record in listed.split(b"\0")[:-1]:
        kind, size, time, path = record.split(b" ", 3)
        seconds = time.split(b".")[0]
        lines[path] = (kind, seconds) if kind == b"d" else (kind, size, seconds)
    return lines


def oracle(old_top, new_top):
    """The paths that diff's lines of the two sorted lists take away and add."""
    old, new = find_lines(old_top), find_lines(new_top)
    taken = {path for path, line in old.items() if new.get(path) != line}
    added = {path for path, line in new.items() if old.get(path) != line}
    return taken, added


def path_of(change, key):
    if key + "_bytes" in change:
        path = urllib.parse.unquote_to_bytes(change[key + "_bytes"])
    else:
        path = change[key].encode()
    return path.rstrip(b"/")


def reported(document):
    """The paths of the report as diff's lines would take them away and add."""
    taken, added = set(), set()
    for change in document["changes"]:
        kind = change["change"]
        if kind in ("removed", "changed", "moved"):
            taken.add(path_of(change, "path"))
        if kind == "added" or kind == "changed":
            added.add(path_of(change, "path"))
        if kind == "moved":
            added.add(path_of(change, "to"))
    return taken, added


def expressible(path):
    """A path that rclone writes as it is: UTF-8 without control bytes (it
    writes the others in its own encoding: control pictures, U+FFFD)."""
    try:
        text = path.decode()
    except UnicodeDecodeError:
        return False
    marks = ["\ufffd"] + [chr(0x2400 + n) for n in range(34)]
    return not any(ord(c) < 32 or ord(c) == 127 or c in marks for c in text)


class CompareTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp().encode()
        cls.old = os.path.join(cls.work, b"old")
        cls.new = os.path.join(cls.work, b"new")
        make_old(cls.old)
        shutil.copytree(cls.old, cls.new, symlinks=True)
        set_times(cls.new)
        plant_changes(cls.new)
        cls.expected = oracle(cls.old, cls.new)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work)

    def listing(self, name, command):
        path = os.path.join(self.work, name.encode())
        with open(path, "wb") as written:
            result = subprocess.run(command, stdout=written, stderr=subprocess.PIPE)
        self.assertEqual(result.returncode, 0, result.stderr)
        return path

    def kestrova_listing(self, name, top, *form):
        path = os.path.join(self.work, name.encode())
        result = run("-R", "--checksum", "sha256", *form, "-o", path, top)
        self.assertEqual(result.returncode, 0, result.stderr)
        return path

    def compare(self, old, new, *more, code=1):
        result = run("--compare", old, "--format", "json", *more, new)
        self.assertEqual(result.returncode, code, result.stderr)
        return json.loads(result.stdout)

    def check_against_diff(self, document, keep=lambda path: True):
        taken, added = reported(document)
        expected_taken, expected_added = self.expected
        self.assertEqual(sorted(p for p in taken if keep(p)), sorted(p for p in expected_taken if keep(p)))
        self.assertEqual(sorted(p for p in added if keep(p)), sorted(p for p in expected_added if keep(p)))

    def test_two_folders_with_every_kind_of_change(self):
        document = self.compare(self.old, self.new, "--checksum", "sha256")
        self.check_against_diff(document)
        by_path = {path_of(change, "path"): change for change in document["changes"]}
        self.assertEqual(by_path[b"plain/grows.txt"]["what"], ["size", "content"])
        self.assertEqual(by_path[b"plain/touched.txt"]["what"], ["time"])
        self.assertEqual(by_path[b"plain/becomes-folder"]["what"], ["kind"])
        self.assertEqual(by_path[b"plain/mover.bin"]["change"], "moved")
        self.assertEqual(path_of(by_path[b"plain/mover.bin"], "to"), b"sub/moved.bin")
        self.assertEqual(by_path[b"new\xff folder/added\x01.txt"]["change"], "added")
        self.assertEqual(document["totals"]["moved"], 1)
        self.assertEqual(document["totals"]["kind_changed"], 1)
        # The text form: one line per change, names escaped, then the counts.
        text = run("--compare", self.old, "--checksum", "sha256", self.new)
        self.assertEqual(text.returncode, 1, text.stderr)
        lines = text.stdout.split(b"\n")[:-1]
        self.assertEqual(len(lines), len(document["changes"]) + 1)
        self.assertIn(b"> plain/mover.bin -> sub/moved.bin", lines)
        self.assertIn(b"~ plain/grows.txt (size 5 -> 8, sha256)", lines)
        self.assertIn(b"+ new\xff folder/added\\001.txt", lines)
        self.assertEqual(lines[-1], b"2 added, 3 removed, 5 changed (1 of kind), 1 moved")
        self.assertFalse(any(byte < 32 and byte != 10 for byte in text.stdout))
        # Without checksums the move is a removal and an addition.
        plain = self.compare(self.old, self.new)
        self.check_against_diff(plain)
        self.assertEqual(plain["totals"]["moved"], 0)

    def test_a_side_compared_with_itself_is_the_same(self):
        for side in (self.old, self.kestrova_listing("self.json", self.old, "--format", "json")):
            result = run("--compare", side, self.old)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertEqual(result.stdout, b"0 added, 0 removed, 0 changed, 0 moved\n")

    def test_listings_of_every_kind_against_each_other_and_the_folder(self):
        tree = ["tree", "-J", "-a", "-N", "-s", "-D", "--timefmt", "%s"]
        kinds = {
            "json": lambda top, name: self.kestrova_listing(name, top, "--format", "json"),
            "catalog": lambda top, name: self.kestrova_listing(name + ".html", top, "--format", "catalog"),
            "tree-json": lambda top, name: self.listing(name, tree + [top]),
            "ncdu": lambda top, name: self.listing(name, ["ncdu", "-e", "-0", "-o", "-", top]),
            "rclone": lambda top, name: self.listing(name, ["rclone", "lsjson", "-R", "--hash", "--hash-type",
                                                            "sha256", top]),
        }
        for kind, make in kinds.items():
            with self.subTest(kind=kind):
                old = make(self.old, kind + "-old")
                new = make(self.new, kind + "-new")
                keep = expressible if kind == "rclone" else (lambda path: True)
                document = self.compare(old, new)
                self.assertEqual(document["old"]["kind"], kind)
                self.check_against_diff(document, keep)
                if kind in ("json", "rclone"):  # with their sha256 checksums
                    self.assertEqual(document["totals"]["moved"], 1)
                if kind != "rclone":
                    across = self.compare(old, self.new)
                    self.assertEqual(across["new"]["kind"], "folder")
                    self.check_against_diff(across)

    def test_a_malformed_or_missing_side_fails_and_writes_nothing(self):
        whole = self.kestrova_listing("whole.json", self.old, "--format", "json")
        with open(whole, "rb") as read:
            content = read.read()
        broken = os.path.join(self.work, b"broken.json")
        with open(broken, "wb") as written:
            written.write(content[: len(content) // 2])
        output = os.path.join(self.work, b"report.json")
        result = run("--compare", broken, "-o", output, self.new)
        self.assertEqual(result.returncode, 2)
        self.assertRegex(result.stderr, rb"broken\.json: line \d+, column \d+: ")
        self.assertFalse(os.path.exists(output))
        missing = run("--compare", os.path.join(self.work, b"nothing here"), "-o", output, self.new)
        self.assertEqual(missing.returncode, 2)
        self.assertIn(b"no such file or folder", missing.stderr)
        self.assertFalse(os.path.exists(output))
        inside = run("--compare", whole, "-o", os.path.join(self.new, b"report.json"), self.new)
        self.assertEqual(inside.returncode, 2)
        self.assertFalse(os.path.exists(os.path.join(self.new, b"report.json")))

    def test_the_page_is_a_standards_page_without_script(self):
        output = os.path.join(self.work, b"changes.html")
        result = run("--compare", self.old, "--checksum", "sha256", "-o", output, self.new)
        self.assertEqual(result.returncode, 1, result.stderr)
        with open(output, "rb") as read:
            page = read.read()
        self.assertIn(b"Content-Security-Policy", page)
        self.assertNotIn(b"<script", page)
        for anchor in (b'id="added"', b'id="removed"', b'id="changed"', b'id="moved"', b'id="folders"'):
            self.assertIn(anchor, page)
        self.assertIn(b"sub/moved.bin", page)
        if PAGE_TOOLS is not None and os.path.isdir(os.path.join(PAGE_TOOLS, "html-validate")):
            script = ("const {HtmlValidate} = require(%s); const v = new HtmlValidate({extends: "
                      "['html-validate:standard']}); const r = v.validateFileSync(%s); "
                      "if (!r.valid) { console.log(JSON.stringify(r.results, null, 1)); process.exit(1); }"
                      % (json.dumps(os.path.join(PAGE_TOOLS, "html-validate")), json.dumps(output.decode())))
            checked = subprocess.run(["node", "-e", script], capture_output=True)
            self.assertEqual(checked.returncode, 0, checked.stdout + checked.stderr)


if __name__ == "__main__":
    PROGRAM, HOSTILE_NAMES_FILE = sys.argv[1], sys.argv[2]
    PAGE_TOOLS = sys.argv[3] if len(sys.argv) > 3 else None
    unittest.main(argv=sys.argv[:1])
