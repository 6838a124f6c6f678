#!/usr/bin/env python3
"""--verify against the tools that define checksums.

kestrova-cli writes JSON, CSV, sums and a catalog of a tree of hostile names
(at the top and two levels down), and --verify finds the tree unchanged in
each; then one file's content changes at the same size and time, one grows,
one goes, one comes, one cannot be read and one becomes a folder, and each
is reported once with its word. Sums files that sha256sum, md5sum and
xxhsum -H2 write verify the same, and the files that sha256sum -c calls
FAILED are those --verify calls changed by their digest. Malformed listings
stop with their line and column; a report is never written into FOLDER.

  cli_verify_test.py PROGRAM HOSTILE_NAMES_FILE
"""

import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

import cli_support

PROGRAM = None
HOSTILE_NAMES_FILE = None
NOBODY = 65534
TOOLS = {"sha256": ["sha256sum"], "md5": ["md5sum"], "xxh128": ["xxhsum", "-H2"]}
LETTERS = {7: "a", 8: "b", 9: "t", 10: "n", 11: "v", 12: "f", 13: "r"}


def hostile_names():
    return cli_support.hostile_names(HOSTILE_NAMES_FILE)


def run(*arguments, user=None, cwd=None):
    return cli_support.run_program([PROGRAM, *arguments], user=user, cwd=cwd)


def shown(path):
    """A path as the program's messages show it: control bytes escaped, and
    then backslashes doubled."""
    if not any(byte < 32 or byte == 127 for byte in path):
        return path
    out = b""
    for byte in path:
        if byte == 0x5C:
            out += b"\\\\"
        elif byte < 32 or byte == 127:
            out += ("\\" + LETTERS[byte] if byte in LETTERS else "\\%03o" % byte).encode()
        else:
            out += bytes([byte])
    return out


def make_tree(top):
    """The hostile names at the top, in a/ and a/deep/; the paths of the
    files below top."""
    files = []
    for folder in (b"", b"a", os.path.join(b"a", b"deep")):
        os.makedirs(os.path.join(top, folder), exist_ok=True)
        for index, name in enumerate(hostile_names()):
            relative = os.path.join(folder, name)
            try:
                with open(os.path.join(top, relative), "xb") as written:
                    written.write(name * (index + 1))
            except OSError:
                continue
            files.append(relative)
    for relative, content in ((b"same size", b"0123456789"), (b"a/grows", b"12345"), (b"a/deep/goes", b"x"),
                              (b"locked", b"secret"), (b"a/becomes folder", b"file")):
        with open(os.path.join(top, relative), "wb") as written:
            written.write(content)
        files.append(relative)
    for folder, _, names in os.walk(top):
        os.chmod(folder, 0o755)
        for name in names:
            os.chmod(os.path.join(folder, name), 0o644)
    return files


def change_tree(top):
    """Each kind of difference once; the lines --verify gives for them, by
    which listings tell them (all, or only those with sizes)."""
    same = os.path.join(top, b"same size")
    times = os.stat(same)
    with open(same, "wb") as written:
        written.write(b"9876543210")
    os.utime(same, ns=(times.st_atime_ns, times.st_mtime_ns))
    with open(os.path.join(top, b"a/grows"), "ab") as written:
        written.write(b"678")
    os.remove(os.path.join(top, b"a/deep/goes"))
    with open(os.path.join(top, b"a/deep/comes"), "wb") as written:
        written.write(b"new")
    os.chmod(os.path.join(top, b"a/deep/comes"), 0o644)
    os.chmod(os.path.join(top, b"locked"), 0o600)
    os.remove(os.path.join(top, b"a/becomes folder"))
    os.mkdir(os.path.join(top, b"a/becomes folder"), 0o755)


class Verify(unittest.TestCase):
    def setUp(self):
        self.temporary = tempfile.TemporaryDirectory()
        os.chmod(self.temporary.name, 0o755)
        self.base = os.fsencode(self.temporary.name)
        self.top = os.path.join(self.base, b"top")
        self.files = make_tree(self.top)

    def tearDown(self):
        self.temporary.cleanup()

    def listing(self, form, *extra):
        path = os.path.join(self.base, b"listing." + form.encode())
        done = run("-R", "--format", form, *extra, "-o", path, self.top)
        self.assertEqual(done.returncode, 0, done.stderr)
        os.chmod(path, 0o644)
        return path

    def own_listings(self):
        return {form: self.listing(form, "--checksum", "sha256")
                for form in ("json", "csv", "sums")} | {"catalog": self.listing("catalog")}

    def tool_sums(self, algorithm):
        # xxhsum writes a name as it is, a line break too, which no reader
        # can tell from the line's end
        files = [name for name in self.files if algorithm != "xxh128" or not re.search(b"[\r\n]", name)]
        done = subprocess.run(TOOLS[algorithm] + ["--", *files], cwd=self.top, capture_output=True, check=True)
        path = os.path.join(self.base, b"tool." + algorithm.encode())
        with open(path, "wb") as written:
            written.write(done.stdout)
        os.chmod(path, 0o644)
        return path

    def verify(self, listing, *extra, user=NOBODY):
        return run("--verify", listing, *extra, self.top, user=user)

    def test_every_listing_of_an_unchanged_tree_verifies_without_a_line(self):
        listings = self.own_listings()
        listings.update({"sha256sum": self.tool_sums("sha256"), "md5sum": self.tool_sums("md5")})
        for name, path in listings.items():
            done = self.verify(path)
            self.assertEqual((done.returncode, done.stdout), (0, b""), (name, done.stderr))
            self.assertRegex(done.stderr, rb"^kestrova-cli: verified \d+ files: 0 changed, 0 missing, 0 new, "
                                          rb"0 unreadable\n$")
            self.assertEqual(self.verify(path, "-q").stderr, b"", name)
        xxh128 = self.tool_sums("xxh128")
        for relative in self.files:
            if re.search(b"[\r\n]", relative):
                os.remove(os.path.join(self.top, relative))
        done = self.verify(xxh128, "--checksum", "xxh128")
        self.assertEqual((done.returncode, done.stdout), (0, b""), done.stderr)

    def test_each_change_is_reported_once_with_its_word(self):
        listings = self.own_listings()
        listings["sha256sum"] = self.tool_sums("sha256")
        change_tree(self.top)
        by_digest = {b"changed: same size (sha256)"}
        always = {b"missing: a/deep/goes", b"new: a/deep/comes", b"unreadable: locked (Permission denied)",
                  b"changed: a/becomes folder/ (kind file -> folder)"}
        for name, path in listings.items():
            done = self.verify(path)
            self.assertEqual(done.returncode, 1, (name, done.stderr))
            lines = done.stdout.splitlines()
            self.assertEqual(len(lines), len(set(lines)), name)
            grown = [line for line in lines if line.startswith(b"changed: a/grows ")]
            if name in ("json", "csv", "catalog"):
                self.assertEqual(len(grown), 1, lines)
                self.assertTrue(grown[0].startswith(b"changed: a/grows (size 5 -> 8"), grown)
            else:
                self.assertEqual(grown, [b"changed: a/grows (sha256)"], name)
            rest = set(lines) - set(grown)
            if name == "catalog" and not rest >= by_digest:
                # a catalog without checksums tells no content, and reads no file
                self.assertEqual(rest, always - {b"unreadable: locked (Permission denied)"}, name)
            else:
                self.assertEqual(rest, always | by_digest, name)
            self.assertIn(b"verified", done.stderr)

    def test_a_listing_names_what_differs_in_json_for_scripts(self):
        path = self.listing("json", "--checksum", "sha256", "--checksum", "md5")
        change_tree(self.top)
        done = self.verify(path, "--format", "json")
        self.assertEqual(done.returncode, 1, done.stderr)
        report = json.loads(done.stdout)
        self.assertEqual(report["folder"], self.top.decode())
        states = {entry["path"]: entry for entry in report["differences"]}
        self.assertEqual(states["same size"]["what"], ["sha256", "md5"])
        self.assertEqual(states["a/grows"]["listed"]["size"], 5)
        self.assertEqual(states["a/grows"]["found"]["size"], 8)
        self.assertEqual(states["locked"]["reason"], "Permission denied")
        self.assertEqual(report["totals"], {"files": len(self.files), "changed": 3, "missing": 1, "new": 1,
                                            "unreadable": 1})

    def test_the_tools_failures_are_the_files_changed_by_digest(self):
        sums = self.tool_sums("sha256")
        change_tree(self.top)
        tool = subprocess.run(["setpriv", "--reuid=%d" % NOBODY, "--regid=%d" % NOBODY, "--clear-groups",
                               "sha256sum", "-c", sums], cwd=self.top, capture_output=True)
        tool_failed = set()
        for line in tool.stdout.splitlines():
            if line.endswith(b": FAILED"):
                name = line[:-len(b": FAILED")]
                tool_failed.add(name[1:] if name.startswith(b"\\") else name)
        done = self.verify(sums)
        ours = {line[len(b"changed: "):-len(b" (sha256)")] for line in done.stdout.splitlines()
                if line.endswith(b" (sha256)")}
        self.assertEqual(ours, tool_failed)
        self.assertEqual(ours, {b"same size", b"a/grows"})

    def test_names_that_need_escapes_are_shown_escaped(self):
        path = self.listing("sums")
        tricky = [name for name in self.files if b"\n" in name or b"\\" in name]
        self.assertTrue(tricky)
        for relative in tricky:
            os.remove(os.path.join(self.top, relative))
        done = self.verify(path)
        self.assertEqual(sorted(done.stdout.splitlines()),
                         sorted(b"missing: " + shown(relative) for relative in tricky))

    def test_a_malformed_listing_stops_at_its_line_and_column(self):
        cases = {
            b"json": (b'{\n  "entries": [\n    {"name": "a", "kind": "file", "size": x}\n  ]\n}\n', b"line 3, column 43"),
            b"csv": (b'name,kind,size\r\na,file,3\r\n"b,file,4\r\n', b"line 3, column 1"),
            b"sums": (b"%s  a\nzz  b\n" % (b"0" * 64), b"line 2, column 1"),
        }
        for suffix, (content, where) in cases.items():
            path = os.path.join(self.base, b"bad." + suffix)
            with open(path, "wb") as written:
                written.write(content)
            os.chmod(path, 0o644)
            done = self.verify(path)
            self.assertEqual(done.returncode, 2, suffix)
            self.assertEqual(done.stdout, b"")
            self.assertIn(where, done.stderr, suffix)

    def test_a_report_is_never_written_into_the_folder(self):
        path = self.listing("sums")
        before = sorted(os.listdir(self.top))
        for inside in (os.path.join(self.top, b"report.txt"), os.path.join(self.top, b"a", b"report.txt")):
            done = self.verify(path, "-o", inside, user=None)
            self.assertEqual(done.returncode, 2)
            self.assertIn(b"writes nothing into the folder", done.stderr)
        self.assertEqual(sorted(os.listdir(self.top)), before)
        self.assertFalse(os.path.exists(os.path.join(self.top, b"a", b"report.txt")))
        outside = os.path.join(self.base, b"report.json")
        done = self.verify(path, "-o", outside, user=None)
        self.assertEqual(done.returncode, 0, done.stderr)
        with open(outside, "rb") as report:
            self.assertEqual(json.load(report)["differences"], [])

    def test_options_that_do_not_fit_are_refused(self):
        path = self.listing("sums")
        for extra in (["--format", "page"], ["--from", path], ["--output-dir", self.base]):
            done = run("--verify", path, *extra, self.top)
            self.assertEqual(done.returncode, 2, extra)
        done = run("--verify", path, os.path.join(self.base, b"nowhere"))
        self.assertEqual(done.returncode, 2)
        self.assertIn(b"no such folder", done.stderr)


if __name__ == "__main__":
    PROGRAM, HOSTILE_NAMES_FILE = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1])
