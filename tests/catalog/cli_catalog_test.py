#!/usr/bin/env python3
"""The catalog's data against find and --du, and read back with --from.

On a tree holding every name of the hostile list (files and folders, two
levels, bytes that are not UTF-8 included), links and a folder that cannot be
read: the data that the catalog page carries, decoded by catalog_data.py (a
reader written from the format's description alone), equals find's list of the
tree (path bytes, kind, size, time to the second, link target); every
folder's totals equal those of -R --du --format json; --from writes the same
JSON, CSV and names as the disk gives (times it does not keep aside); links
follow where the catalog is written; damaged catalogs are refused with nothing
written.

  cli_catalog_test.py PROGRAM HOSTILE_NAMES
"""

import hashlib
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import catalog_data  # noqa: E402

PROGRAM = None
HOSTILE = None
NOBODY = 65534


def run(*arguments, user=None, check=True, cwd=None):
    command = [PROGRAM, *arguments]
    if user is not None:
        command = ["setpriv", "--reuid=%d" % user, "--regid=%d" % user, "--clear-groups", *command]
    done = subprocess.run(command, capture_output=True, cwd=cwd)
    if check and done.returncode != 0:
        raise AssertionError("%s exited %d: %s" % (command, done.returncode, done.stderr.decode()))
    return done


def read_bytes(path):
    with open(path, "rb") as file:
        return file.read()


def write_bytes(path, data):
    with open(path, "wb") as file:
        file.write(data)


def hostile_names():
    names = []
    for line in read_bytes(HOSTILE).split(b"\n"):
        if line and not line.startswith(b"#"):
            decoded = bytearray()
            at = 0
            while at < len(line):
                if line[at:at + 1] == b"%" and len(line) >= at + 3:
                    decoded.append(int(line[at + 1:at + 3], 16))
                    at += 3
                else:
                    decoded += line[at:at + 1]
                    at += 1
            if b"/" not in decoded and bytes(decoded) not in (b".", b".."):
                names.append(bytes(decoded))
    return names


def make_tree(top):
    """Every hostile name as a file at the top and in a sub-folder, and with
    "~" as a folder; links to a file, to a folder and to nowhere; a file
    past 4 GiB (sparse); times before 1970 and far ahead."""
    os.makedirs(top)
    inner = os.path.join(top, b"inner folder")
    os.mkdir(inner)
    for index, name in enumerate(hostile_names()):
        for folder in (top, inner):
            path = os.path.join(folder, name)
            with open(path, "wb") as written:
                written.write(b"x" * (index * 7 % 300))
            os.utime(path, (1700000000 + index * 3601, 1700000000 + index * 3601))
        os.mkdir(os.path.join(top, name + b"~"))
        with open(os.path.join(top, name + b"~", b"inside"), "wb") as written:
            written.write(b"y" * index)
    big = os.path.join(inner, b"big.bin")
    with open(big, "wb") as written:
        written.truncate(5 * 1024 ** 3 + 7)
    os.utime(big, (-86400 * 400, -86400 * 400))
    future = os.path.join(inner, b"future.txt")
    open(future, "wb").close()
    os.utime(future, (4102444800, 4102444800))
    os.symlink(b"big.bin", os.path.join(inner, b"to-big"))
    os.symlink(b"inner folder", os.path.join(top, b"to-inner"))
    os.symlink(b"nowhere", os.path.join(top, b"dangling"))
    return top


def find_list(top):
    """Path below top -> (kind, size, modified seconds, target), as find
    -printf tells them (links followed as the listing follows them)."""
    done = subprocess.run(["find", top, "-mindepth", "1", "-printf", r"%P\0%y\0%Y\0%s\0%T@\0%l\0"],
                          capture_output=True, check=True)
    fields = done.stdout.split(b"\0")[:-1]
    listed = {}
    for at in range(0, len(fields), 6):
        path, own, followed, size, time, target = fields[at:at + 6]
        kind = {b"d": "folder", b"l": "link"}.get(own, "file")
        if own == b"l" and followed == b"d":
            size = b"0"
        seconds = int(float(time.decode()) // 1)
        listed[path] = (kind, int(size) if kind != "folder" else 0, seconds, target)
    return listed


def kind_of(attributes):
    return "link" if attributes & 1024 else "folder" if attributes & 16 else "file"


class CatalogTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.mkdtemp()
        os.chmod(cls.scratch, 0o755)
        cls.top = make_tree(os.path.join(cls.scratch.encode(), b"hostile <tree>"))
        cls.page = os.path.join(cls.scratch.encode(), b"tree.catalog.html")
        run("--format", "catalog", "-a", cls.top, "-o", cls.page)
        cls.catalog = catalog_data.read_catalog(read_bytes(cls.page))

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.scratch)

    def test_the_data_is_finds_list_of_the_tree(self):
        paths, _ = catalog_data.paths_of(self.catalog)
        listed = {}
        for path, entry in zip(paths, self.catalog["entries"]):
            listed[path] = (kind_of(entry["attributes"]), entry["size"], entry["modified"],
                            entry.get("target", b""))
        expected = find_list(self.top)
        # Links to folders are listed, not entered: find's paths through them are none of the tree's.
        self.assertEqual(sorted(listed), sorted(expected))
        for path in expected:
            kind, size, time, target = expected[path]
            got = listed[path]
            self.assertEqual(got[0], kind, path)
            self.assertEqual(got[3], target, path)
            if kind == "link" and target == b"nowhere":
                continue
            self.assertEqual(got[2], time if kind != "link" else os.stat(os.path.join(self.top, path)).st_mtime // 1,
                             path)
            if kind == "file":
                self.assertEqual(got[1], size, path)
        self.assertEqual(self.catalog["header"]["top_path"], self.top)

    def test_each_folders_totals_are_what_os_walk_adds_up(self):
        def totals(folder):
            seen, files, folders, size = set(), 0, 0, 0
            for where, names, others in os.walk(folder):
                for name in names:
                    if not os.path.islink(os.path.join(where, name)):
                        folders += 1
                for name in others:
                    status = os.lstat(os.path.join(where, name))
                    if os.path.islink(os.path.join(where, name)) or (status.st_dev, status.st_ino) in seen:
                        continue
                    seen.add((status.st_dev, status.st_ino))
                    files += 1
                    size += status.st_size
            return files, folders, size
        _, folder_paths = catalog_data.paths_of(self.catalog)
        for number, row in enumerate(self.catalog["folders"]):
            path = os.path.join(self.top, folder_paths[number])
            self.assertEqual((row["files"], row["folders"], row["bytes"]), totals(path), path)
            self.assertEqual(row["state"], 0)
        # And those that --du gives each folder of the JSON document.
        document = json.loads(run("-q", "-R", "--du", "-a", "--format", "json", self.top).stdout)
        du = {}

        def visit(entries, prefix):
            for entry in entries:
                if "entries" in entry:
                    name = entry["name"].encode("utf-8")
                    if "name_bytes" in entry:
                        name = urllib.parse.unquote_to_bytes(entry["name_bytes"])
                    du[prefix + name + b"/"] = (entry["files"], entry["folders"], entry["size"])
                    visit(entry["entries"], prefix + name + b"/")
        visit(document["entries"], b"")
        rows = {folder_paths[number]: (row["files"], row["folders"], row["bytes"])
                for number, row in enumerate(self.catalog["folders"]) if number > 0}
        self.assertEqual(rows, du)

    def test_from_the_catalog_every_document_is_the_disks(self):
        def without_unkept_times(text):
            document = json.loads(text)

            def strip(entries):
                for entry in entries:
                    entry.pop("created", None)
                    entry.pop("accessed", None)
                    strip(entry.get("entries", []))
            strip(document["entries"])
            return document
        for form in (["--format", "json"], ["-R", "--du", "--format", "json"], ["-R", "--format", "json"]):
            disk = run("-q", "-a", *form, self.top).stdout
            read_back = run("-q", "-a", *form, "--from", self.page).stdout
            self.assertEqual(without_unkept_times(read_back), without_unkept_times(disk), form)
        for form in (["-R", "--format", "names"], ["-R", "--format", "names", "--null"]):
            self.assertEqual(run("-q", "-a", *form, "--from", self.page).stdout,
                             run("-q", "-a", *form, self.top).stdout, form)
        # A catalog of the catalog holds the same data.
        again = os.path.join(self.scratch.encode(), b"again.catalog.html")
        run("-q", "-a", "--from", self.page, "-o", again)
        copy = catalog_data.read_catalog(read_bytes(again))
        self.assertEqual(copy["entries"], self.catalog["entries"])
        self.assertEqual(copy["folders"], self.catalog["folders"])
        self.assertEqual(copy["types"], self.catalog["types"])

    def test_checksums_are_the_tools_and_come_back_from_the_catalog(self):
        top = os.path.join(self.scratch.encode(), b"summed")
        os.makedirs(os.path.join(top, b"deeper"))
        files = {}
        for index, name in enumerate(hostile_names()[:40]):
            relative = os.path.join(b"deeper" if index % 2 else b"", name)
            write_bytes(os.path.join(top, relative), name * (index + 1))
            files[relative] = hashlib.sha256(name * (index + 1)).hexdigest()
        os.symlink(b"deeper", os.path.join(top, b"link"))
        os.mkfifo(os.path.join(top, b"pipe"))
        page = os.path.join(self.scratch.encode(), b"summed.catalog.html")
        asked = ["--no-checksum-cache", "--checksum", "sha256", "--checksum", "xxh128"]
        run("-q", *asked, top, "-o", page)
        catalog = catalog_data.read_catalog(read_bytes(page))
        paths, _ = catalog_data.paths_of(catalog)
        summed = {path: entry.get("checksums") for path, entry in zip(paths, catalog["entries"])}
        for relative, digest in files.items():
            self.assertEqual(summed[relative]["sha256"], digest, relative)
            self.assertEqual(len(summed[relative]["xxh128"]), 32, relative)
        for relative in (b"deeper", b"link", b"pipe"):
            self.assertIsNone(summed[relative], relative)
        # Read back, every form has them as the disk gives them, and no file is read for them.
        disk = json.loads(run("-q", "-R", "--format", "json", *asked, top).stdout)
        read_back = json.loads(run("-q", "-R", "--format", "json", "--from", page).stdout)
        self.assertEqual([entry.get("checksums") for entry in read_back["entries"]],
                         [entry.get("checksums") for entry in disk["entries"]])
        self.assertEqual(run("-q", "-R", "--format", "sums", "--from", page).stdout,
                         run("-q", "-R", "--format", "sums", *asked[:3], top).stdout)
        refused = run("-R", "--format", "json", "--checksum", "md5", "--from", page, check=False)
        self.assertEqual(refused.returncode, 2)
        self.assertIn(b"holds no md5 checksums", refused.stderr)

    def test_damaged_catalogs_are_refused_and_nothing_is_written(self):
        page = read_bytes(self.page)
        start = page.index(catalog_data.START) + len(catalog_data.START)
        end = page.index(b"</script>", start)
        damaged = {
            b"cut": page[:start + (end - start) // 2] + page[end:],
            b"flipped": page[:start + 100] + (b"A" if page[start + 100:start + 101] != b"A" else b"B") +
            page[start + 101:],
            b"none": b"<!DOCTYPE html><title>x</title>",
            b"bad-char": page[:start + 10] + b"*" + page[start + 11:],
        }
        for name, bytes_ in damaged.items():
            path = os.path.join(self.scratch.encode(), name + b".html")
            write_bytes(path, bytes_)
            output = os.path.join(self.scratch.encode(), name + b".json")
            done = run("--from", path, "-o", output, check=False)
            self.assertEqual(done.returncode, 2, name)
            self.assertIn(b"cannot read", done.stderr, name)
            self.assertFalse(os.path.exists(output), name)
        self.assertNotEqual(run("--from", self.page, self.top, check=False).returncode, 0)
        self.assertNotEqual(run("--from", self.page, "-R", "--format", "page", check=False).returncode, 0)

    def test_links_follow_where_the_catalog_is_written(self):
        def header(*arguments, cwd=None):
            out = os.path.join(self.scratch.encode(), b"links.catalog.html")
            run("-q", *arguments, "-o", out, cwd=cwd)
            found = catalog_data.read_catalog(read_bytes(out))["header"]
            return found["link_mode"], found["link_base"]
        inner = os.path.join(self.top, b"inner folder")
        # Above the tree: the way down to it.
        self.assertEqual(header("--format", "catalog", inner), (1, b"hostile%20%3Ctree%3E/inner%20folder/"))
        out_inside = os.path.join(inner, b"in.catalog.html")
        before = os.stat(inner)
        run("-q", "--format", "catalog", self.top, "-o", out_inside)
        inside = catalog_data.read_catalog(read_bytes(out_inside))
        os.unlink(out_inside)
        os.utime(inner, ns=(before.st_atime_ns, before.st_mtime_ns))
        self.assertEqual((inside["header"]["link_mode"], inside["header"]["link_base"]), (1, b"../"))
        # Apart from the tree: names only, unless a base URL is given.
        apart = tempfile.mkdtemp()
        try:
            out = os.path.join(apart.encode(), b"x.catalog.html")
            run("-q", "--format", "catalog", inner, "-o", out)
            self.assertEqual(catalog_data.read_catalog(read_bytes(out))["header"]["link_mode"], 0)
            run("-q", "--format", "catalog", inner, "-o", out, "--base-url", "https://example.org/files")
            self.assertEqual(catalog_data.read_catalog(read_bytes(out))["header"]["link_base"],
                             b"https://example.org/files/")
        finally:
            shutil.rmtree(apart)

    def test_a_folder_that_cannot_be_read_is_marked_with_the_reason(self):
        top = os.path.join(self.scratch.encode(), b"locked tree")
        os.makedirs(os.path.join(top, b"open", b"shut"))
        write_bytes(os.path.join(top, b"open", b"shut", b"secret"), b"123")
        write_bytes(os.path.join(top, b"open", b"f"), b"12345")
        os.chmod(os.path.join(top, b"open", b"shut"), 0)
        out_folder = os.path.join(self.scratch.encode(), b"out")
        os.makedirs(out_folder, exist_ok=True)
        os.chmod(out_folder, 0o777)
        out = os.path.join(out_folder, b"locked.catalog.html")
        done = run("-q", "--format", "catalog", top, "-o", out, user=NOBODY, check=False)
        self.assertEqual(done.returncode, 1, done.stderr)
        catalog = catalog_data.read_catalog(read_bytes(out))
        _, folder_paths = catalog_data.paths_of(catalog)
        states = {folder_paths[number]: row for number, row in enumerate(catalog["folders"])}
        self.assertEqual(states[b"open/shut/"]["state"], 1)
        self.assertIn(b"ermission", states[b"open/shut/"]["reason"])
        self.assertEqual(states[b"open/"]["state"], 2)
        self.assertEqual(states[b"open/"]["bytes"], 5)
        # Read back, the folder fails again with its reason.
        done = run("-q", "-R", "--format", "names", "--from", out, check=False)
        self.assertEqual(done.returncode, 1)
        self.assertIn(b"ermission", done.stderr)


if __name__ == "__main__":
    PROGRAM, HOSTILE = os.path.abspath(sys.argv[1]), sys.argv[2]
    unittest.main(argv=sys.argv[:1])
