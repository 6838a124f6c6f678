#!/usr/bin/env python3
"""--from reads other tools' listings.

tree -J, ncdu -e -o and rclone lsjson list a tree of hostile names with
sub-folders, links and an empty folder; kestrova-cli --from each writes the
same JSON document as it writes from the disk, in every field the tool
holds. Truncated and malformed listings stop with their line and column,
exit 2 and write nothing; standard input, --from-kind, Everything's file
lists and a listing without sizes are read as such.

  cli_sources_test.py PROGRAM HOSTILE_NAMES_FILE
"""

import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import urllib.parse

import cli_support

PROGRAM = None
HOSTILE_NAMES_FILE = None


def run(*arguments, stdin=None, cwd=None):
    environment = dict(os.environ, XDG_CACHE_HOME=cli_support.CACHE_HOME.name)
    return subprocess.run([PROGRAM, "-q", *arguments], capture_output=True, input=stdin, env=environment,
                          cwd=cwd)


def make_tree(top):
    """The hostile names at the top and in sub/deep/, a link to a file, a
    dangling link and an empty folder."""
    cli_support.write_hostile_tree(top, HOSTILE_NAMES_FILE)
    os.mkdir(os.path.join(top, b"empty"))
    os.symlink(b"sub", os.path.join(top, b"link to folder"))
    os.symlink(b"nowhere", os.path.join(top, b"dangling"))
    with open(os.path.join(top, b"sub", b"plain.txt"), "wb") as written:
        written.write(b"plain\n")
    os.symlink(b"plain.txt", os.path.join(top, b"sub", b"link to file"))
    for folder, folders, files in os.walk(top):
        for name in files + folders + [b"."]:
            path = os.path.join(folder, name)
            os.utime(path, ns=(1_700_000_000_123_456_789, 1_700_000_000_123_456_789), follow_symlinks=False)


def flattened(document):
    """Every entry of a JSON document by its path (bytes) below the top."""
    entries = {}

    def walk(listed, prefix):
        for entry in listed:
            if "name_bytes" in entry:
                name = urllib.parse.unquote_to_bytes(entry["name_bytes"])
            else:
                name = entry["name"].encode()
            entries[prefix + name] = entry
            walk(entry.get("entries", []), prefix + name + b"/")

    walk(document["entries"], b"")
    return entries


class SourcesTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp()
        cls.top = os.path.join(cls.work.encode(), b"top")
        make_tree(cls.top)
        disk = run("-R", "--format", "json", "--checksum", "sha256", "--checksum", "md5", "-o", "-",
                   cls.top)
        assert disk.returncode == 0, disk.stderr
        cls.disk = flattened(json.loads(disk.stdout))

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work)

    def tool(self, name, command, cwd=None):
        """The tool's listing, written to a file of the work folder."""
        path = os.path.join(self.work, name)
        with open(path, "wb") as written:
            result = subprocess.run(command, stdout=written, stderr=subprocess.PIPE, cwd=cwd)
        self.assertEqual(result.returncode, 0, result.stderr)
        return path

    def read_back(self, listing, *more):
        result = run("--from", listing, "-R", "--format", "json", "-o", "-", *more)
        self.assertEqual(result.returncode, 0, result.stderr)
        return flattened(json.loads(result.stdout))

    def compare(self, read, fields, left_out=()):
        """Each entry the disk has, with the fields the tool holds; none more."""
        expected = {path: entry for path, entry in self.disk.items()
                    if not any(part in left_out for part in path.split(b"/"))}
        self.assertEqual(sorted(read), sorted(expected))
        for path, entry in expected.items():
            for field in fields:
                if field == "size" and entry["kind"] != "file":
                    continue
                self.assertEqual(read[path].get(field), entry.get(field), (path, field))

    def test_tree_json_gives_names_kinds_sizes_times_and_targets(self):
        listing = self.tool("tree.json", ["tree", "-J", "-a", "-N", "-s", "-D", "--timefmt", "%s", self.top])
        read = self.read_back(listing)
        # tree does not enter a link to a folder without -l.
        self.compare(read, ["kind", "size", "modified", "target"])

    def test_ncdu_gives_names_kinds_apparent_sizes_and_times(self):
        listing = self.tool("ncdu.json", ["ncdu", "-e", "-0", "-o", "-", self.top])
        read = self.read_back(listing)
        self.compare(read, ["kind", "size", "modified"])
        # With -e it tells the mode: read-only and hidden as the disk has them
        # (links aside, whose targets it does not look at).
        links = {b"link to folder", b"dangling", b"link to file"}
        self.compare({path: entry for path, entry in read.items() if not set(path.split(b"/")) & links},
                     ["attributes"], left_out=links)

    def test_rclone_gives_names_sizes_times_and_checksums(self):
        listing = self.tool("rclone.json", ["rclone", "lsjson", "-R", "--hash", "--hash-type", "sha256",
                                            "--hash-type", "md5", self.top])
        # rclone skips links, and writes names with control bytes or bytes
        # that are not UTF-8 in its own encoding (control pictures, U+FFFD).
        read = {path: entry for path, entry in self.read_back(listing).items()
                if not any(mark in path.decode() for mark in ["\ufffd"] + [chr(0x2400 + n) for n in range(34)])}
        unexpressed = {name for name in self.disk_names()
                       if any(byte < 32 or byte == 127 for byte in name) or not is_utf8(name)}
        unexpressed |= {b"link to folder", b"dangling", b"link to file"}
        self.compare(read, ["kind", "size", "modified", "checksums"], left_out=unexpressed)
        # Its sums file is what sha256sum says of the same files.
        sums = run("--from", listing, "-R", "--format", "sums", "-o", "-")
        self.assertEqual(sums.returncode, 0, sums.stderr)
        # (Leaving out the names rclone wrote in its own encoding.)
        lines = [line for line in sums.stdout.split(b"\n") if line and not line.startswith(b"\\")
                 and os.path.exists(os.path.join(self.top, line.split(b"  ", 1)[1]))]
        paths = [line.split(b"  ", 1)[1] for line in lines]
        self.assertGreater(len(paths), 20)
        oracle = subprocess.run(["sha256sum", "--", *paths], cwd=self.top, capture_output=True)
        self.assertEqual(sorted(lines), sorted(oracle.stdout.split(b"\n")[:-1]))

    def disk_names(self):
        return {name for path in self.disk for name in path.split(b"/")}

    def test_standard_input_and_the_kind_named(self):
        listing = self.tool("tree-stdin.json", ["tree", "-J", "-a", "-N", "-s", "-D", "--timefmt", "%s", self.top])
        with open(listing, "rb") as read:
            content = read.read()
        result = run("--from", "-", "-R", "--format", "json", "-o", "-", stdin=content)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(sorted(flattened(json.loads(result.stdout))), sorted(self.disk))
        # An rclone listing whose first member is "type" looks like tree's:
        # --from-kind rclone reads it as it is.
        odd = b'[{"type":"x","Path":"a","Name":"a","Size":1,"IsDir":false}]'
        self.assertEqual(run("--from", "-", "--format", "names", "-o", "-", stdin=odd).returncode, 2)
        forced = run("--from", "-", "--from-kind", "rclone", "--format", "names", "-o", "-", stdin=odd)
        self.assertEqual(forced.returncode, 0, forced.stderr)
        self.assertEqual(forced.stdout.split(), [b"a"])
        # tree's listing of "." names no folder: it is shown by the file's name.
        dotted = self.tool("dotted.json", ["tree", "-J", "-a", "-N", "-s", "."], cwd=os.path.join(self.top, b"sub"))
        named = run("--from", dotted, "--format", "page", "-o", "-")
        self.assertEqual(named.returncode, 0, named.stderr)
        self.assertIn(b"<h1>Content of dotted</h1>", named.stdout)
        # A listing that names no folder, from standard input, is shown as that.
        site = os.path.join(self.work, "from-stdin")
        paged = run("--from", "-", "--from-kind", "rclone", "-R", "--format", "page", "--output-dir", site,
                    stdin=odd)
        self.assertEqual(paged.returncode, 0, paged.stderr)
        with open(os.path.join(site, "index.html"), "rb") as read:
            self.assertIn(b"<h1>Content of standard input</h1>", read.read())
        wrong = run("--from-kind", "tree", "--from", "-", stdin=odd)
        self.assertEqual(wrong.returncode, 2)
        self.assertIn(b"tree-json", wrong.stderr)

    def test_broken_listings_are_refused_with_their_place_and_write_nothing(self):
        sources = {
            "tree": ["tree", "-J", "-a", "-N", "-s", self.top],
            "ncdu": ["ncdu", "-0", "-o", "-", self.top],
            "rclone": ["rclone", "lsjson", "-R", self.top],
        }
        for name, command in sources.items():
            with open(self.tool(name + "-whole.json", command), "rb") as read:
                whole = read.read()
            malformed = whole.replace(b"\"name\"" if name != "rclone" else b"\"Path\"", b"\"name\":,", 1)
            self.assertNotEqual(malformed, whole)
            for broken in (whole[: len(whole) // 2], malformed):
                path = os.path.join(self.work, name + "-broken.json")
                with open(path, "wb") as written:
                    written.write(broken)
                output = os.path.join(self.work, name + "-out.json")
                result = run("--from", path, "-R", "--format", "json", "-o", output)
                self.assertEqual(result.returncode, 2, (name, result.stderr))
                self.assertRegex(result.stderr, rb"line \d+, column \d+: ")
                self.assertFalse(os.path.exists(output))

    def test_everything_file_list_with_times_and_without_sizes(self):
        efu = ("Filename,Size,Date Modified,Date Created,Attributes\r\n"
               "\"C:\\Users\\Ann\\Photos\",,133444736000000000,133444736000000000,16\r\n"
               "\"C:\\Users\\Ann\\Photos\\caf\u00e9, \"\"1\"\".jpg\",5368709120,133444736000000000,"
               "133444735990000000,32\r\n"
               "\"C:\\Users\\Ann\\notes.txt\",12,,,33\r\n").encode("utf-8")
        path = os.path.join(self.work, "list.efu")
        with open(path, "wb") as written:
            written.write(efu)
        result = run("--from", path, "-R", "--format", "json", "-o", "-")
        self.assertEqual(result.returncode, 0, result.stderr)
        document = json.loads(result.stdout)
        self.assertEqual(document["folder"]["path"], "C:\\Users\\Ann")
        read = flattened(document)
        self.assertEqual(sorted(read), [b"Photos", "Photos/caf\u00e9, \"1\".jpg".encode(), b"notes.txt"])
        photo = read["Photos/caf\u00e9, \"1\".jpg".encode()]
        self.assertEqual(photo["size"], 5368709120)
        self.assertEqual(photo["modified"], "2023-11-14T22:13:20Z")
        self.assertEqual(photo["created"], "2023-11-14T22:13:19Z")
        self.assertIsNone(read[b"notes.txt"]["modified"])
        broken = run("--from", "-", "--format", "json", "-o", "-",
                     stdin=b"Filename,Size,Date Modified\r\nC:\\a\\b,1,yesterday\r\n")
        self.assertEqual(broken.returncode, 2)
        self.assertIn(b"line 2, column 10: ", broken.stderr)

    def test_sizes_a_listing_lacks_are_null_in_json_and_empty_in_csv(self):
        listing = self.tool("tree-nosize.json", ["tree", "-J", "-a", "-N", os.path.join(self.top, b"sub")])
        document = json.loads(run("--from", listing, "-R", "--format", "json", "-o", "-").stdout)
        plain = flattened(document)[b"plain.txt"]
        self.assertIn("size", plain)
        self.assertIsNone(plain["size"])
        self.assertIsNone(document["totals"]["bytes"])
        csv = run("--from", listing, "-R", "--format", "csv", "-o", "-").stdout.decode("utf-8", "replace")
        self.assertIn("\nplain.txt,,file,,", csv)
        # Nor does it hold checksums for a sums file.
        refused = run("--from", listing, "--format", "sums", "-o", os.path.join(self.work, "none.sums"))
        self.assertEqual(refused.returncode, 2)
        self.assertIn(b"holds no checksums", refused.stderr)
        self.assertFalse(os.path.exists(os.path.join(self.work, "none.sums")))


class OwnDocumentsAndPagesTest(unittest.TestCase):
    """Kestrova's own JSON and CSV read back lose nothing, and pages in every
    folder written from a listing are those written from the disk."""

    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp()
        cls.top = os.path.join(cls.work.encode(), b"top")
        make_tree(cls.top)
        # A document tells a link's target, not whether it leads anywhere.
        os.unlink(os.path.join(cls.top, b"dangling"))
        os.chmod(os.path.join(cls.top, b"sub", b"plain.txt"), 0o444)
        os.makedirs(os.path.join(cls.top, b".hidden", b"in"))
        for folder, folders, files in os.walk(cls.top):
            os.utime(folder, ns=(1_700_000_000_123_456_789, 1_600_000_000_000_000_000 + len(folder)))
        cls.listings = {}
        for form in ("json", "csv", "catalog"):
            # A CSV document does not name its top: it is named as the file is.
            path = os.path.join(cls.work, "top." + ("catalog.html" if form == "catalog" else form))
            result = run("-R", "--format", form, "-o", path, cls.top)
            assert result.returncode == 0, result.stderr
            cls.listings[form] = path

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work)

    def test_json_and_csv_read_back_are_written_again_byte_for_byte(self):
        for form in ("json", "csv"):
            with open(self.listings[form], "rb") as read:
                written = read.read()
            again = run("--from", self.listings[form], "-R", "--format", form, "-o", "-")
            self.assertEqual(again.returncode, 0, again.stderr)
            if form == "json":
                # The folder's path is the one the document names; the rest
                # (times, attributes, types, link targets) is the disk's.
                self.assertEqual(json.loads(again.stdout), json.loads(written))
            else:
                self.assertEqual(again.stdout, written)

    def pages(self, name, *arguments):
        folder = os.path.join(self.work, name)
        # From the work folder, the top is shown as "top", as a listing names it.
        result = run("-R", "--format", "page", "--output-dir", folder, "--base-url", "https://files.example/",
                     "--columns", "size,modified,attributes,type", *arguments, cwd=self.work)
        self.assertEqual(result.returncode, 0, result.stderr)
        return pages_below(folder)

    def test_pages_from_a_listing_are_the_pages_from_the_disk(self):
        disk = self.pages("from-disk", "--title", "T", "top")
        written = {}
        self.assertGreater(len(disk), 3)
        for form in ("json", "csv", "catalog"):
            read = self.pages("from-" + form, "--title", "T", "--from", self.listings[form])
            written[form] = read
            self.assertEqual(sorted(read), sorted(disk), form)
            for page, content in disk.items():
                if form == "catalog":
                    # A catalog keeps times to the second, and no attributes.
                    continue
                if page.count("/") == 1:
                    # A document keeps no time of the top itself, which ".."
                    # stands for on the pages below it: its cell is empty.
                    parent = re.compile(rb'(<tr><td><a href="../">..</a></td><td>Folder</td><td></td>)<td>.*?</td>')
                    self.assertEqual(len(parent.findall(content)), 1)
                    content = parent.sub(rb"\1<td></td>", content)
                self.assertTrue(read[page] == content, (form, page, first_difference(read[page], content)))
        # A rerun from the listing leaves every page as it is.
        folder = os.path.join(self.work, "from-json")
        times = {page: os.stat(os.path.join(folder, page)).st_mtime_ns for page in disk}
        self.assertEqual(self.pages("from-json", "--title", "T", "--from", self.listings["json"]), written["json"])
        self.assertEqual({page: os.stat(os.path.join(folder, page)).st_mtime_ns for page in disk}, times)

    def test_pages_from_a_listing_need_a_folder_of_their_own(self):
        result = run("-R", "--format", "page", "--from", self.listings["json"])
        self.assertEqual(result.returncode, 2)
        self.assertIn(b"--output-dir", result.stderr)
        # Without a base URL, each page links its files beside it.
        folder = os.path.join(self.work, "beside")
        self.assertEqual(run("-R", "--format", "page", "--output-dir", folder, "--from",
                             self.listings["json"]).returncode, 0)
        with open(os.path.join(folder, "sub", "index.html"), "rb") as read:
            self.assertIn(b'href="plain.txt"', read.read())


class ToolPagesTest(unittest.TestCase):
    """Pages in every folder written from tree's and ncdu's listings are the
    pages written from the disk, in the columns those listings hold."""

    def test_pages_from_tree_and_ncdu_are_the_pages_from_the_disk(self):
        work = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, work)
        top = os.path.join(work.encode(), b"top")
        make_tree(top)
        # Neither tool tells a link to a folder from one to a file.
        for link in (b"link to folder", b"dangling", os.path.join(b"sub", b"link to file")):
            os.unlink(os.path.join(top, link))
        listings = {"tree": ["tree", "-J", "-a", "-N", "-s", "-D", "--timefmt", "%s", "top"],
                    "ncdu": ["ncdu", "-e", "-0", "-o", "-", "top"]}
        columns = ("--columns", "size,modified", "--title", "T", "--base-url", "https://files.example/")
        run("-R", "--format", "page", "--output-dir", os.path.join(work, "disk"), *columns, "top", cwd=work)
        disk = pages_below(os.path.join(work, "disk"))
        self.assertGreater(len(disk), 3)
        for tool, command in listings.items():
            listing = os.path.join(work, tool + ".json")
            with open(listing, "wb") as written:
                self.assertEqual(subprocess.run(command, stdout=written, cwd=work).returncode, 0)
            folder = os.path.join(work, tool)
            result = run("--from", listing, "-R", "--format", "page", "--output-dir", folder, *columns)
            self.assertEqual(result.returncode, 0, result.stderr)
            read = pages_below(folder)
            self.assertEqual(sorted(read), sorted(disk), tool)
            for page, content in disk.items():
                self.assertTrue(read[page] == content, (tool, page, first_difference(read[page], content)))


def pages_below(folder):
    pages = {}
    for below, folders, files in os.walk(folder):
        for file in files:
            with open(os.path.join(below, file), "rb") as read:
                pages[os.path.relpath(os.path.join(below, file), folder)] = read.read()
    return pages


def first_difference(a, b):
    at = next((i for i in range(min(len(a), len(b))) if a[i] != b[i]), min(len(a), len(b)))
    return a[max(0, at - 80):at + 80], b[max(0, at - 80):at + 80]


def is_utf8(name):
    try:
        name.decode("utf-8")
        return True
    except UnicodeDecodeError:
        return False


if __name__ == "__main__":
    PROGRAM, HOSTILE_NAMES_FILE = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1])
