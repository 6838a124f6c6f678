#!/usr/bin/env python3
"""Folder sizes and ignore files against the tools that define them.

--du: every folder's total, and its numbers of files and folders, equal what
a walk with os.walk adds up (each file with several names once below a
folder, symbolic links as nothing, excluded names left out), on generated
trees with hard links, links and excludes, and, run as another user, with a
folder that cannot be read (the total a lower bound, marked as such).

--gitignore: the names listed are exactly those that git check-ignore does
not ignore, on generated repositories with rules at every level, in
info/exclude and in the user's excludes file; --ignore-file NAME the same
outside git.

  cli_tree_oracles_test.py PROGRAM
"""

import csv
import io
import json
import os
import random
import shutil
import subprocess
import sys
import tempfile
import unittest

PROGRAM = None
NOBODY = 65534


def run(*arguments, user=None, check=True):
    command = [PROGRAM, *arguments]
    if user is not None:
        command = ["setpriv", "--reuid=%d" % user, "--regid=%d" % user, "--clear-groups", *command]
    done = subprocess.run(command, capture_output=True)
    if check and done.returncode != 0:
        raise AssertionError("%s exited %d: %s" % (command, done.returncode, done.stderr.decode()))
    return done


def make_tree(top, seed, links=True):
    """A tree of folders and files of known sizes; some files with two names,
    in one folder and across folders; links to files and to folders."""
    rng = random.Random(seed)
    folders = [top]
    files = []
    for index in range(40):
        parent = rng.choice(folders)
        name = rng.choice(["a", "b", "data", "img", "skip", "x y", ".hidden"]) + str(index)
        folder = os.path.join(parent, name)
        os.mkdir(folder)
        folders.append(folder)
    for index in range(160):
        folder = rng.choice(folders)
        name = rng.choice(["f", "log", "skip", "n"]) + str(index) + rng.choice([".txt", ".tmp", ".bin", ""])
        path = os.path.join(folder, name)
        with open(path, "wb") as written:
            written.write(b"x" * rng.randrange(0, 5000))
        files.append(path)
    for index in range(25):
        source = rng.choice(files)
        os.link(source, os.path.join(rng.choice(folders), "hard%d" % index))
    if links:
        for index in range(8):
            target = rng.choice(files + folders)
            os.symlink(target, os.path.join(rng.choice(folders), "link%d" % index))
    return folders


def excluded(name, patterns):
    import fnmatch
    return any(fnmatch.fnmatchcase(name, pattern) for pattern in patterns)


def oracle_totals(folder, patterns=(), unreadable=()):
    """Bytes, files and folders below each folder, by its path, as os.walk
    finds them: a file with several names once below any folder, links as
    nothing, excluded names and what lies below them left out; a folder in
    unreadable adds nothing and makes every total above it incomplete."""
    totals = {}

    def walk(path):
        seen = {}
        folders = 0
        incomplete = False
        for entry in os.scandir(path):
            if excluded(entry.name, patterns) or entry.is_symlink():
                continue
            if entry.is_dir():
                folders += 1
                if entry.path in unreadable:
                    incomplete = True
                    continue
                below_seen, below_folders, below_incomplete = walk(entry.path)
                seen.update(below_seen)
                folders += below_folders
                incomplete = incomplete or below_incomplete
            else:
                info = entry.stat()
                seen[(info.st_dev, info.st_ino)] = info.st_size
        totals[path] = (sum(seen.values()), len(seen), folders, incomplete)
        return seen, folders, incomplete

    walk(folder)
    return totals


def listed_totals(top, *arguments, user=None):
    """Each folder's total as the JSON document of the tree gives it."""
    document = json.loads(run(top, "-R", "--du", "--format", "json", "-q", *arguments, user=user,
                              check=False).stdout)
    totals = {}

    def visit(path, entries):
        for entry in entries:
            if entry["kind"] != "folder" or "entries" not in entry:
                continue
            below = os.path.join(path, entry["name"])
            totals[below] = (entry["size"], entry["files"], entry["folders"], entry.get("size_incomplete", False))
            visit(below, entry["entries"])

    visit(top, document["entries"])
    return totals, document


class FolderSizes(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="kestrova-sizes-")

    def tearDown(self):
        subprocess.run(["chmod", "-R", "u+rwx", self.work])
        shutil.rmtree(self.work)

    def test_totals_are_those_of_a_walk_with_hard_links_links_and_excludes(self):
        for seed in range(4):
            top = os.path.join(self.work, "tree%d" % seed)
            os.mkdir(top)
            make_tree(top, seed)
            expected = oracle_totals(top, patterns=["skip*", "*.tmp"])
            listed, document = listed_totals(top, "-I", "skip*", "-I", "*.tmp")
            del expected[top]
            self.assertEqual(expected, listed, "seed %d" % seed)
            # A folder's own JSON object holds the same total as its row in
            # a listing of its parent alone, and its page.
            folder = sorted(listed)[len(listed) // 2]
            alone = json.loads(run(os.path.dirname(folder), "--du", "-I", "skip*", "-I", "*.tmp", "--format",
                                   "json", "-q").stdout)
            row = [entry for entry in alone["entries"] if entry["name"] == os.path.basename(folder)][0]
            self.assertEqual((row["size"], row["files"], row["folders"]), listed[folder][:3])

    def test_a_folder_that_cannot_be_read_makes_the_totals_above_it_lower_bounds(self):
        if os.getuid() != 0:
            self.skipTest("needs root to act as another user")
        top = os.path.join(self.work, "tree")
        os.mkdir(top)
        folders = make_tree(top, 7, links=False)
        locked = sorted(folder for folder in folders if folder.count(os.sep) > top.count(os.sep) + 1)[0]
        subprocess.run(["chmod", "-R", "a+rwX", self.work], check=True)
        os.chmod(locked, 0o700)
        listed, _ = listed_totals(top, "--hidden", user=NOBODY)
        expected = oracle_totals(top, unreadable={locked})
        del expected[top]
        self.assertEqual(expected, listed)
        above = os.path.dirname(locked)
        self.assertTrue(listed[above][3], "marked a lower bound")
        page = run(top, "--du", "--hidden", user=NOBODY, check=False)
        self.assertIn(b"cannot list " + locked.encode(), page.stderr)

    def test_every_form_shows_the_same_totals(self):
        top = os.path.join(self.work, "tree")
        os.mkdir(top)
        make_tree(top, 11)
        expected = oracle_totals(top)
        csv_document = run(top, "-R", "--du", "--format", "csv", "-q").stdout.decode("utf-8")
        rows = {row["name"]: row for row in csv.DictReader(io.StringIO(csv_document))}
        pages = os.path.join(self.work, "site")
        run(top, "-R", "-q", "--hidden", "--output-dir", pages)
        for folder, (size, files, folders, _) in expected.items():
            if folder == top:
                continue
            relative = os.path.relpath(folder, top)
            self.assertEqual((int(rows[relative]["size"]), int(rows[relative]["files"]),
                              int(rows[relative]["folders"])), (size, files, folders), relative)
            parent_page = os.path.join(pages, os.path.dirname(relative), "index.html")
            with open(parent_page, encoding="utf-8") as page:
                html = page.read()
            name = os.path.basename(relative).replace("&", "&amp;")
            at = html.find(">" + name + "</a>")
            self.assertNotEqual(at, -1, relative)
            self.assertIn('data-bytes="%d"' % size, html[at:html.find("</tr>", at)], relative)


def git(repository, *arguments, **keywords):
    environment = dict(os.environ, HOME=repository + "-home", XDG_CONFIG_HOME=repository + "-home/.config",
                       GIT_CONFIG_NOSYSTEM="1")
    return subprocess.run(["git", "-C", repository, *arguments], env=environment, check=True,
                          capture_output=True, **keywords)


def listed_paths(top, *arguments, environment=None):
    done = subprocess.run([PROGRAM, top, "-R", "--hidden", "--format", "names", "--null", "-q", *arguments],
                          capture_output=True, env=environment, check=True)
    return {path for path in done.stdout.decode("utf-8").split("\0") if path}


def oracle_paths(top, ignored):
    """Every path below top, folders pruned where ignored says so."""
    paths = set()
    for folder, folders, files in os.walk(top):
        relative = os.path.relpath(folder, top)
        for name in list(folders):
            path = os.path.normpath(os.path.join(relative, name))
            if ignored(path, True):
                folders.remove(name)
            else:
                paths.add(path)
        for name in files:
            path = os.path.normpath(os.path.join(relative, name))
            if not ignored(path, False):
                paths.add(path)
    return paths


class IgnoreFiles(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="kestrova-ignore-")

    def tearDown(self):
        shutil.rmtree(self.work)

    def make_repository(self, seed):
        rng = random.Random(seed)
        repository = os.path.join(self.work, "repo%d" % seed)
        home = repository + "-home"
        os.makedirs(os.path.join(home, ".config", "git"))
        os.mkdir(repository)
        git(repository, "init", "-q")
        folders = [""]
        words = ["src", "build", "doc", "a b", "#x", "!y", "[z]", "cache", "deep", "é"]
        for index in range(30):
            folders.append(os.path.join(rng.choice(folders), rng.choice(words) + str(index % 4)))
            os.makedirs(os.path.join(repository, folders[-1]), exist_ok=True)
        for index in range(120):
            name = rng.choice(["main", "x", "log", "a b", "#c", "!d", "e[1]", ".env"]) + rng.choice(
                [".c", ".o", ".log", ".txt", "", ".tmp"])
            with open(os.path.join(repository, rng.choice(folders), name), "w") as written:
                written.write("x")
        patterns = ["*.o", "*.log", "build/", "/cache*", "!keep.log", "deep*/**/x*", "**/e[0-9]*", "\\#c*",
                    "\\!d*", "a\\ b*", "src*/*.tmp", "!src0/*.tmp", "doc?/", "*.txt", "!main.txt", "[!a-m]*.c",
                    "**/build*/", ".env*", "/x"]
        for folder in folders:
            if rng.random() < 0.5:
                with open(os.path.join(repository, folder, ".gitignore"), "w") as rules:
                    rules.write("\n".join(rng.sample(patterns, 4)) + "\n")
        with open(os.path.join(repository, ".git", "info", "exclude"), "a") as rules:
            rules.write("*.tmp\n")
        with open(os.path.join(home, ".config", "git", "ignore"), "w") as rules:
            rules.write("#c*\n*.bak\n")
        return repository

    def test_what_is_listed_is_what_git_does_not_ignore(self):
        for seed in range(6):
            repository = self.make_repository(seed)
            home = repository + "-home"
            environment = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"))
            paths = []
            for folder, folders, files in os.walk(repository):
                folders[:] = [name for name in folders if name != ".git"]
                relative = os.path.relpath(folder, repository)
                paths += [os.path.normpath(os.path.join(relative, name)) + "/" for name in folders]
                paths += [os.path.normpath(os.path.join(relative, name)) for name in files]
            answer = git(repository, "check-ignore", "--no-index", "--stdin", "-z",
                         input="\0".join(paths).encode() + b"\0").stdout.decode() if paths else ""
            ignored_paths = {path.rstrip("/") for path in answer.split("\0") if path}
            expected = oracle_paths(repository, lambda path, folder: path in ignored_paths or path == ".git")
            self.assertEqual(expected, listed_paths(repository, "--gitignore", environment=environment),
                             "seed %d" % seed)

    def test_an_ignore_file_of_any_name_works_outside_git(self):
        top = os.path.join(self.work, "plain")
        for folder in ["a", "a/b", "c"]:
            os.makedirs(os.path.join(top, folder))
        for path in ["x.log", "a/y.log", "a/keep.log", "a/b/z.txt", "c/w.txt", "c/v.log"]:
            open(os.path.join(top, path), "w").close()
        with open(os.path.join(top, ".kestrovaignore"), "w") as rules:
            rules.write("*.log\nb/\n")
        with open(os.path.join(top, "a", ".kestrovaignore"), "w") as rules:
            rules.write("!keep.log\n")
        listed = listed_paths(top, "--ignore-file", ".kestrovaignore")
        self.assertEqual(listed, {".kestrovaignore", "a", "a/.kestrovaignore", "a/keep.log", "c", "c/w.txt"})


if __name__ == "__main__":
    PROGRAM = sys.argv.pop(1)
    unittest.main()
