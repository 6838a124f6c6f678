#!/usr/bin/env python3
"""The forms for programs as their readers meet them.

kestrova-cli lists a real folder that holds every name of the hostile list
(but those the file system refuses) in the json, csv and names forms, and
the readers people use take the documents back: Python's json and csv
modules and jq. Every name must come back as the exact bytes on disk, and
sizes and times as the file system has them.

  cli_forms_test.py PROGRAM HOSTILE_NAMES_FILE
"""

import csv
import datetime
import io
import json
import os
import re
import subprocess
import sys
import tempfile
import unittest
import urllib.parse

import cli_support

PROGRAM = None
HOSTILE_NAMES_FILE = None

# 2024-03-05 14:07:09 UTC and a day earlier, as nanoseconds.
KNOWN_MODIFIED_NS = 1709647629 * 10**9 + 123456789
KNOWN_ACCESSED_NS = KNOWN_MODIFIED_NS - 86400 * 10**9


def hostile_names():
    return cli_support.hostile_names(HOSTILE_NAMES_FILE)


def iso_utc(seconds):
    return datetime.datetime.fromtimestamp(seconds, datetime.timezone.utc).strftime("%Y-%m-%dT%H:%M:%SZ")


def name_escaped(name):
    """The escape of the names form, as the manual page documents it: ls -b's, blanks standing."""
    letters = {7: b"a", 8: b"b", 9: b"t", 10: b"n", 11: b"v", 12: b"f", 13: b"r"}
    escaped = b""
    at = 0
    while at < len(name):
        byte = name[at]
        if byte == ord("\\"):
            escaped += b"\\\\"
        elif byte in letters:
            escaped += b"\\" + letters[byte]
        elif byte < 32 or byte == 127:
            escaped += b"\\%03o" % byte
        elif byte < 128:
            escaped += bytes([byte])
        else:
            character = next((name[at:at + n] for n in (2, 3, 4) if utf8_character(name[at:at + n])), None)
            if character is None or "\x80" <= character.decode() <= "\x9f" or character.decode() in "\u2028\u2029":
                character = character or name[at:at + 1]
                escaped += b"".join(b"\\%03o" % b for b in character)
            else:
                escaped += character
            at += len(character)
            continue
        at += 1
    return escaped


def utf8_character(part):
    """True when the bytes are one well-formed UTF-8 character."""
    try:
        return len(part.decode("utf-8")) == 1
    except UnicodeDecodeError:
        return False


def ls_escaped(folder):
    """The names of the folder as GNU ls -b writes them in a UTF-8 locale, one a line, its "\\ " read as
    the blank the names form leaves standing."""
    listed = subprocess.run(["ls", "-b", "-1", "-A", "-U", folder], env=dict(os.environ, LC_ALL="C.UTF-8"),
                            capture_output=True, check=True).stdout
    return sorted(re.sub(rb"\\(.)", lambda m: m.group(1) if m.group(1) == b" " else m.group(0), line)
                  for line in listed.split(b"\n")[:-1])


def run(*arguments, status=0):
    done = subprocess.run([PROGRAM, "-q", *arguments], capture_output=True, check=False)
    if done.returncode != status:
        raise AssertionError(
            "kestrova-cli %s exited %d, not %d: %r" % (" ".join(arguments), done.returncode, status, done.stderr)
        )
    return done


class FormsOnAHostileFolder(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.TemporaryDirectory()
        cls.folder = os.path.join(cls.work.name, "hostile folder")
        os.mkdir(cls.folder)
        folder = os.fsencode(cls.folder)
        cls.names = []
        cls.refused = []
        for index, name in enumerate(hostile_names()):
            path = os.path.join(folder, name)
            try:
                with open(path, "wb") as created:
                    created.write(b"x" * index)
            except OSError:
                cls.refused.append(name)
                continue
            cls.names.append(name)
        for folder_name in (b"sub folder", b"=folder", b"nl\nfolder"):
            os.mkdir(os.path.join(folder, folder_name))
            cls.names.append(folder_name)
        with open(os.path.join(folder, b"data.json"), "wb") as data:
            data.write(b"{}")
        cls.names.append(b"data.json")
        os.utime(os.path.join(folder, b"data.json"), ns=(KNOWN_ACCESSED_NS, KNOWN_MODIFIED_NS))
        cls.folders = {b"sub folder", b"=folder", b"nl\nfolder"}

    @classmethod
    def tearDownClass(cls):
        cls.work.cleanup()

    def sorted_names(self):
        """Folders first, each part by its lower-cased bytes (IgnoreCase=1)."""
        key = lambda name: name.lower()
        folders = sorted((n for n in self.names if n in self.folders), key=key)
        files = sorted((n for n in self.names if n not in self.folders), key=key)
        return folders + files

    def disk_stat(self, name):
        return os.stat(os.path.join(os.fsencode(self.folder), name))

    def test_every_hostile_name_but_those_refused_is_on_disk(self):
        self.assertGreater(len(self.names), 35)
        self.assertTrue(all(b"/" in name or name == b"" for name in self.refused), self.refused)

    def entries_name_bytes(self, entries):
        names = []
        for entry in entries:
            if "name_bytes" in entry:
                exact = urllib.parse.unquote_to_bytes(entry["name_bytes"])
                self.assertEqual(exact.decode("utf-8", "replace"), entry["name"], "U+FFFD where UTF-8 fails")
                self.assertRaises(UnicodeDecodeError, exact.decode, "utf-8")
                names.append(exact)
            else:
                names.append(entry["name"].encode("utf-8"))
        return names

    def test_json_parses_strictly_and_round_trips_every_name_with_its_fields(self):
        document = run("--format", "json", self.folder).stdout
        text = document.decode("utf-8")  # strict: the whole document is UTF-8
        self.assertFalse(any(ord(c) < 32 and c != "\n" for c in text), "no raw control character")
        listing = json.loads(text)
        self.assertEqual(list(listing), ["folder", "settings", "totals", "entries"])
        self.assertEqual(listing["folder"], {"path": self.folder, "name": "hostile folder"})
        self.assertEqual(listing["settings"]["sort_by"], "name")
        self.assertIs(listing["settings"]["descending"], False)
        entries = listing["entries"]
        self.assertEqual(self.entries_name_bytes(entries), self.sorted_names())
        files = [e for e in entries if e["kind"] == "file"]
        self.assertEqual(
            listing["totals"],
            {"folders": 3, "files": len(files), "bytes": sum(e["size"] for e in files)},
        )
        inexact = [e for e in entries if "name_bytes" in e]
        self.assertEqual(len(inexact), 3, [e["name"] for e in inexact])
        for entry, name in zip(entries, self.sorted_names()):
            stat = self.disk_stat(name)
            keys = ["name", "kind", "size", "modified", "created", "accessed", "attributes", "type", "mime"]
            if "name_bytes" in entry:
                keys.insert(1, "name_bytes")
            self.assertEqual(list(entry), keys, "every field, in one order")
            self.assertEqual(entry["kind"], "folder" if name in self.folders else "file")
            self.assertEqual(entry["size"], 0 if name in self.folders else stat.st_size)
            self.assertEqual(entry["modified"], iso_utc(stat.st_mtime_ns // 10**9))
            self.assertEqual(entry["accessed"], iso_utc(stat.st_atime_ns // 10**9))
            self.assertRegex(entry["created"], r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ$")
        data = entries[self.sorted_names().index(b"data.json")]
        self.assertEqual(data["modified"], "2024-03-05T14:07:09Z")
        self.assertEqual(data["accessed"], "2024-03-04T14:07:09Z")
        self.assertEqual(data["mime"], "application/json", "the shared-mime-info database's type")
        self.assertIsInstance(data["type"], str)

    def test_jq_reads_the_same_names(self):
        document = run("--format", "json", self.folder).stdout
        subprocess.run(
            ["jq", "-e", ".entries | length == %d" % len(self.names)], input=document, check=True, capture_output=True
        )
        # Each name as jq writes it, behind a mark of where it came from.
        marked = subprocess.run(
            ["jq", "-j", '.entries[] | (if .name_bytes then "%" + .name_bytes else "=" + .name end), "\\u0000"'],
            input=document, check=True, capture_output=True,
        ).stdout.split(b"\0")[:-1]
        names = [urllib.parse.unquote_to_bytes(n[1:]) if n[:1] == b"%" else n[1:] for n in marked]
        self.assertEqual(names, self.sorted_names())
        subprocess.run(["python3", "-m", "json.tool"], input=document, check=True, capture_output=True)

    def test_csv_with_the_byte_order_mark_reads_back_the_same_with_utf_8_sig(self):
        plain = run("--format", "csv", self.folder).stdout
        self.assertFalse(plain.startswith(b"\xef\xbb\xbf"), "no mark by default here")
        path = os.path.join(self.work.name, "for excel.csv")
        run("--bom", self.folder, "-o", path)
        with open(path, "rb") as written:
            marked = written.read()
        self.assertEqual(marked, b"\xef\xbb\xbf" + plain, "the mark, then the same bytes")
        with open(path, encoding="utf-8-sig", errors="surrogateescape", newline="") as read:
            marked_rows = list(csv.reader(read))
        plain_rows = list(csv.reader(io.StringIO(plain.decode("utf-8", "surrogateescape"), newline="")))
        self.assertEqual(marked_rows[0][0], "name", "the first field has no mark in front")
        self.assertEqual(marked_rows, plain_rows)
        tree = run("-R", "--format", "csv", "--bom", self.folder).stdout
        self.assertEqual(tree.count(b"\xef\xbb\xbf"), 1, "one mark, at the start of a tree's document")
        self.assertTrue(tree.startswith(b"\xef\xbb\xbfname,"))

    def test_csv_reads_back_to_the_same_names_and_guards_every_formula(self):
        document = run("--format", "csv", self.folder).stdout
        self.assertTrue(document.endswith(b"\r\n"))
        rows = list(csv.reader(io.StringIO(document.decode("utf-8"), newline="")))
        header = rows[0]
        self.assertEqual(
            header, ["name", "name_bytes", "kind", "size", "modified", "created", "accessed", "attributes", "type",
                     "mime", "target"]
        )
        self.assertTrue(all(len(row) == len(header) for row in rows))
        unguarded = [[cell[1:] if cell.startswith("'") else cell for cell in row] for row in rows[1:]]
        names = [
            urllib.parse.unquote_to_bytes(row[1]) if row[1] else row[0].encode("utf-8") for row in unguarded
        ]
        self.assertEqual(names, self.sorted_names())
        for row, name in zip(unguarded, self.sorted_names()):
            if name not in self.folders:
                self.assertEqual(int(row[3]), self.disk_stat(name).st_size)
        guarded = [n for n in self.names if n[:1] in (b"=", b"+", b"-", b"@", b"\t", b"\r", b"'")]
        self.assertGreaterEqual(len(guarded), 7)
        for name in guarded:
            quoted = b'"\'' + name.replace(b'"', b'""') + b'"'
            self.assertIn(b"\r\n" + quoted + b",", document, name)
        self.assertNotIn(b"\r\n=", document)
        self.assertNotIn(b"\r\n+", document)
        self.assertNotIn(b"\r\n-", document)
        self.assertNotIn(b"\r\n@", document)

    def test_names_lines_are_the_sorted_names_escaped_and_null_gives_them_exactly(self):
        lines = run("--format", "names", self.folder).stdout
        self.assertEqual(lines.split(b"\n")[:-1], [name_escaped(n) for n in self.sorted_names()])
        self.assertTrue(lines.endswith(b"\n"))
        nul_ended = run("--format", "names", "--null", self.folder).stdout
        self.assertEqual(nul_ended.split(b"\0")[:-1], self.sorted_names())
        self.assertTrue(nul_ended.endswith(b"\0"))
        counted = subprocess.run(
            ["xargs", "-0", "-n", "1", "printf", "x\\n"], input=nul_ended, check=True, capture_output=True
        )
        self.assertEqual(counted.stdout.count(b"\n"), len(self.names), "xargs -0 sees every name once")

    def test_names_are_escaped_as_ls_b_escapes_them(self):
        lines = run("--format", "names", self.folder).stdout.split(b"\n")[:-1]
        self.assertEqual(sorted(lines), ls_escaped(self.folder))
        self.assertEqual(len(set(lines)), len(self.names), "no two names read the same")

    def test_the_parent_entry_comes_first_when_asked(self):
        listing = json.loads(run("--format", "json", "--include-parent", self.folder).stdout)
        self.assertEqual(listing["entries"][0]["name"], "..")
        self.assertEqual(listing["totals"]["folders"], 3, "the parent entry is never counted")
        lines = run("--format", "names", "--include-parent", self.folder).stdout.split(b"\n")
        self.assertEqual(lines[0], b"..")


class LinksOnARealFolder(unittest.TestCase):
    """Symbolic links to a folder, to a file, to nothing and to themselves."""

    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.TemporaryDirectory()
        cls.folder = os.path.join(cls.work.name, "links")
        os.mkdir(cls.folder)
        os.mkdir(os.path.join(cls.folder, "real folder"))
        with open(os.path.join(cls.folder, "real.txt"), "wb") as real:
            real.write(b"x" * 1234)
        cls.targets = {"to folder": "real folder", "to file.txt": "real.txt", "dangling": "../nowhere/gone",
                       "self": "self"}
        for name, target in cls.targets.items():
            os.symlink(target, os.path.join(cls.folder, name))

    @classmethod
    def tearDownClass(cls):
        cls.work.cleanup()

    def test_json_and_csv_give_links_their_kind_and_target(self):
        entries = {e["name"]: e for e in json.loads(run("--format", "json", self.folder).stdout)["entries"]}
        for name, target in self.targets.items():
            self.assertEqual(entries[name]["kind"], "link", name)
            self.assertEqual(entries[name]["target"], target, name)
            self.assertEqual(list(entries[name])[-1], "target", "the new field comes last")
        self.assertEqual(entries["to file.txt"]["size"], 1234, "the target's size")
        self.assertEqual(entries["dangling"]["size"], 0)
        self.assertEqual(entries["self"]["size"], 0, "a loop is a broken link")
        self.assertEqual(entries["real folder"]["kind"], "folder")
        self.assertEqual(entries["real.txt"]["kind"], "file")
        self.assertNotIn("target", entries["real folder"])
        self.assertNotIn("target", entries["real.txt"])
        names = list(entries)
        self.assertLess(names.index("to folder"), names.index("real.txt"), "a link to a folder is among the folders")

        rows = list(csv.DictReader(io.StringIO(run("--format", "csv", self.folder).stdout.decode(), newline="")))
        by_name = {row["name"]: row for row in rows}
        for name, target in self.targets.items():
            self.assertEqual((by_name[name]["kind"], by_name[name]["target"]), ("link", target), name)
        self.assertEqual(by_name["real.txt"]["target"], "")

    @staticmethod
    def type_cell(page, name):
        """The text of the cell after the one that names the entry."""
        lower = page.lower()
        cell = lower.index(b"<td", page.index(b">" + name + b"</"))
        return page[page.index(b">", cell) + 1 : lower.index(b"</td>", cell)]

    def test_the_page_shows_links_and_the_classic_page_only_when_asked(self):
        page = run("--format", "page", self.folder).stdout
        shown_types = ((b"to folder", b"Link to folder"), (b"to file.txt", b"Link"), (b"dangling", b"Broken link"),
                       (b"self", b"Broken link"))
        for name, shown in shown_types + ((b"real folder", b"Folder"),):
            self.assertEqual(self.type_cell(page, name), shown, name)
        classic = run("--format", "html", self.folder).stdout
        self.assertNotIn(b"Link", classic, "the classic page keeps its words")
        self.assertEqual(self.type_cell(classic, b"to folder"), b"Folder")
        shown = run("--format", "html", "--show-links", self.folder).stdout
        for name, text in shown_types:
            self.assertEqual(self.type_cell(shown, name), text, name)
        changed = [a for a, b in zip(shown.split(b"\n"), classic.split(b"\n")) if a != b]
        self.assertEqual(len(changed), 4, "the links' rows alone")
        self.assertEqual(run("--format", "html", "--set", "ShowLinks=1", self.folder).stdout, shown)


class FormsChosenOnTheCommandLine(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.TemporaryDirectory()
        self.folder = os.path.join(self.work.name, "folder")
        os.mkdir(self.folder)
        with open(os.path.join(self.folder, "a.txt"), "w") as a:
            a.write("a")

    def tearDown(self):
        self.work.cleanup()

    def test_an_output_file_named_json_or_csv_is_written_in_its_form(self):
        for name, reads in (("list.json", lambda b: json.loads(b)["entries"][0]["name"]),
                            ("list.csv", lambda b: list(csv.reader(io.StringIO(b.decode(), newline="")))[1][0]),
                            ("list.txt", lambda b: "a.txt" if b"Files [*.*]" in b else None)):
            output = os.path.join(self.work.name, name)
            run(self.folder, "-o", output)
            with open(output, "rb") as written:
                self.assertEqual(reads(written.read()), "a.txt", name)
        run("--format", "names", self.folder, "-o", os.path.join(self.work.name, "names.log"))
        with open(os.path.join(self.work.name, "names.log"), "rb") as written:
            self.assertEqual(written.read(), b"a.txt\n", "--format wins over an extension of no form")
        for form, name in (("names", "names.json"), ("json", "other.csv"), ("csv", "other.HTM"), ("page", "other.json")):
            refused = run("--format", form, self.folder, "-o", os.path.join(self.work.name, name), status=2)
            self.assertIn(b"kestrova-cli: cannot write " + form.encode() + b" into ", refused.stderr)
            self.assertFalse(os.path.exists(os.path.join(self.work.name, name)), "a name of another form")

    def test_null_with_another_form_is_refused(self):
        for arguments in (["--format", "json"], ["--text"], ["-o", os.path.join(self.work.name, "x.csv")], []):
            refused = run("--null", *arguments, self.folder, status=2)
            self.assertEqual(refused.stdout, b"")
            self.assertIn(b"kestrova-cli: --null is for the names form (--format names), not for ", refused.stderr)
        self.assertFalse(os.path.exists(os.path.join(self.work.name, "x.csv")), "nothing written")

    def test_a_format_saved_in_settings_round_trips(self):
        for form in ("json", "csv", "names"):
            printed = run("--format", form, self.folder, "--print-settings").stdout.decode()
            self.assertIn("Format=%s\n" % form, printed)
            job = os.path.join(self.work.name, "job.ksv")
            with open(job, "w") as saved:
                saved.write(printed)
            again = run("-s", job, "--print-settings").stdout.decode()
            self.assertEqual(again, printed, form)

    def test_standard_output_named_keeps_the_format_of_the_settings(self):
        job = os.path.join(self.work.name, "job.ksv")
        with open(job, "wb") as saved:
            saved.write(run("--format", "json", self.folder, "--print-settings").stdout)
        self.assertIn(b"Output=1", open(job, "rb").read(), "the classic form that Output names is the text")
        for tree in ([], ["-R"]):
            plain = run("-s", job, *tree).stdout
            named = run("-s", job, "-o", "-", *tree).stdout
            self.assertEqual(named, plain, "-o - asks for no form of its own %s" % tree)
            self.assertEqual(json.loads(named)["entries"][0]["name"], "a.txt")


class ATreeAsOneDocument(unittest.TestCase):
    """-R with a form of one document: every entry of the tree, as find has them."""

    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.TemporaryDirectory()
        cls.top = os.path.join(os.fsencode(cls.work.name), b"tree")
        hostile = [name for name in hostile_names() if name and b"/" not in name][:12]
        folders = [b"a", b"a/deep", b"a/deep/er", b"b c", b"nl\nfolder", b"bad\xff"]
        for folder in folders:
            os.makedirs(os.path.join(cls.top, folder))
        for index, name in enumerate(hostile):
            for folder in (b"", b"a/deep", b"nl\nfolder", b"bad\xff"):
                try:
                    with open(os.path.join(cls.top, folder, name), "wb") as created:
                        created.write(b"x" * index)
                except OSError:
                    pass
        # Listed, never entered: find does not follow it either.
        os.symlink(os.path.join(cls.top, b"a"), os.path.join(cls.top, b"b c", b"to a"))

    @classmethod
    def tearDownClass(cls):
        cls.work.cleanup()

    def found(self, *depth):
        listed = subprocess.run(
            ["find", self.top, "-mindepth", "1", *depth, "-printf", "%P\\0"], capture_output=True, check=True
        ).stdout
        return listed.split(b"\0")[:-1]

    def assert_preorder(self, paths):
        """Each entry after its folder's own, as a walk of the tree writes them."""
        seen = set()
        for path in paths:
            parent = path.rpartition(b"/")[0]
            self.assertTrue(not parent or parent in seen, path)
            seen.add(path)

    @staticmethod
    def exact_name(entry):
        if "name_bytes" in entry:
            return urllib.parse.unquote_to_bytes(entry["name_bytes"])
        return entry["name"].encode("utf-8")

    def json_paths(self, entries, prefix=b""):
        paths = []
        for entry in entries:
            path = prefix + self.exact_name(entry)
            paths.append(path)
            if "entries" in entry:
                self.assertEqual(entry["kind"], "folder")
                paths += self.json_paths(entry["entries"], path + b"/")
        return paths

    def test_json_nests_every_folder_and_holds_what_find_finds(self):
        document = json.loads(run("-R", "--format", "json", self.top).stdout)
        paths = self.json_paths(document["entries"])
        self.assertEqual(sorted(paths), sorted(self.found()))
        self.assert_preorder(paths)
        totals = document["totals"]
        self.assertEqual(totals["folders"] + totals["files"], len(paths))
        jq = subprocess.run(
            ["jq", "-r", "def walk(p): .entries[]? | (p + .name) as $n | $n, (. | walk($n + \"/\")); walk(\"\")"],
            input=run("-R", "--format", "json", self.top).stdout, capture_output=True, check=True,
        ).stdout.decode("utf-8")
        # jq writes a name's line break as one: count the paths by the document's own.
        expected = [path.decode("utf-8", "replace") for path in paths]
        self.assertEqual(jq, "".join(path + "\n" for path in expected))

    def test_depth_limits_the_walk_as_find_maxdepth_does(self):
        document = json.loads(run("-R", "-L", "2", "--format", "json", self.top).stdout)
        self.assertEqual(sorted(self.json_paths(document["entries"])), sorted(self.found("-maxdepth", "2")))

    def test_csv_and_names_give_each_entry_its_path_below_the_top(self):
        rows = list(csv.DictReader(io.StringIO(run("-R", "--format", "csv", self.top).stdout.decode(), newline="")))
        # A field that starts with a quote has the formula guard in front.
        unguarded = lambda field: field[1:] if field.startswith("'") else field
        paths = [urllib.parse.unquote_to_bytes(row["name_bytes"]) if row["name_bytes"]
                 else unguarded(row["name"]).encode() for row in rows]
        self.assertEqual(sorted(paths), sorted(self.found()))
        self.assert_preorder(paths)
        exact = run("-R", "--format", "names", "--null", self.top).stdout.split(b"\0")[:-1]
        self.assertEqual(exact, paths, "names in the order of the csv rows")
        lines = run("-R", "--format", "names", self.top).stdout.split(b"\n")[:-1]
        self.assertEqual(lines, [name_escaped(path) for path in paths])

    def test_the_document_never_lists_itself(self):
        output = os.path.join(self.top, b"a", b"deep", b"all.json")
        run("-R", self.top, "-o", output)
        with open(output, "rb") as written:
            paths = self.json_paths(json.load(written)["entries"])
        self.assertNotIn(b"a/deep/all.json", paths)
        os.remove(output)


if __name__ == "__main__":
    PROGRAM, HOSTILE_NAMES_FILE = sys.argv[1], sys.argv[2]
    unittest.main(argv=[sys.argv[0]], verbosity=2)
