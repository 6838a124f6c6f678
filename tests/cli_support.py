"""What the whole-program tests of kestrova-cli share: the hostile names,
and a run of the program (as another user where asked) whose checksums are
kept in a cache of the tests' own, never in the user's."""
import os
import subprocess
import tempfile
import urllib.parse

NOBODY = 65534
CACHE_HOME = tempfile.TemporaryDirectory()
os.chmod(CACHE_HOME.name, 0o777)


def hostile_names(listed_file):
    """The names of the list, each line percent-decoded; "#" lines are notes."""
    names = []
    with open(listed_file, "rb") as listed:
        for line in listed.read().split(b"\n"):
            if line and not line.startswith(b"#"):
                names.append(urllib.parse.unquote_to_bytes(line))
    return names


def write_hostile_tree(top, listed_file):
    """A file of each hostile name at the top and in sub/deep/, each holding
    its name as many times as its place in the list; names the file system
    refuses are left out."""
    names = hostile_names(listed_file)
    for folder in (b"", os.path.join(b"sub", b"deep")):
        os.makedirs(os.path.join(top, folder), exist_ok=True)
        for index, name in enumerate(names):
            try:
                with open(os.path.join(top, folder, name), "xb") as written:
                    written.write(name * (index + 1))
            except OSError:
                continue


def run_program(command, user=None, cwd=None, cache_home=None):
    """The finished run of the command (the program and its arguments)."""
    if user is not None:
        command = ["setpriv", "--reuid=%d" % user, "--regid=%d" % user, "--clear-groups", *command]
    environment = dict(os.environ, XDG_CACHE_HOME=cache_home or CACHE_HOME.name)
    return subprocess.run(command, capture_output=True, cwd=cwd, env=environment)
