#!/usr/bin/env python3
"""Builds a tricky tree under FOLDER, scans it with `tessaly scan` in all three formats and checks
every row and every passed-over item against a walk of its own: descriptor-relative, in the order
the file system gives, every exported name decoded back to bytes and compared with the bytes on
disk. Run as an ordinary user (permissions are part of the tree). Prints what differs; exit 1 then.

Usage: independent_walk.py TESSALY FOLDER"""
import errno
import json
import csv
import io
import os
import re
import shutil
import stat
import subprocess
import sys

tessaly, base = sys.argv[1], os.fsencode(sys.argv[2])
tree = os.path.join(base, b"tree")
TEMP_PREFIX = b".tessaly-save-"
WIDE = 200_000
problems = []


def at(dirfd, name):
    """A short path for the entry name of an open folder, however deep the folder lies."""
    return b"/proc/self/fd/%d/" % dirfd + name


def make_file(dirfd, name, streams=(), data=b""):
    fd = os.open(name, os.O_CREAT | os.O_WRONLY | os.O_TRUNC, 0o644, dir_fd=dirfd)
    os.write(fd, data)
    for key, value in streams:
        os.setxattr(fd, b"user." + key, value)
    os.close(fd)


def make_dir(dirfd, name, mode=0o755):
    os.mkdir(name, mode, dir_fd=dirfd)
    return os.open(name, os.O_RDONLY | os.O_DIRECTORY, dir_fd=dirfd)


def build():
    os.mkdir(tree)
    root = os.open(tree, os.O_RDONLY | os.O_DIRECTORY)
    # Names an export could confuse: a line feed and the two characters "\n", a backslash, bytes
    # that are not UTF-8, a bidirectional override; stream names of the same kinds.
    make_file(root, b"new\nline", [(b"s", b"1")])
    make_file(root, b"new\\nline", [(b"s", b"22")])
    make_file(root, b"back\\slash \xff\xfe \xe2\x80\xae \xf3\xa0\x81\x81", [(b"a\\b", b"x"), (b"x\ny", b""), (b"\xff\\x41", b"yy")])
    make_file(root, TEMP_PREFIX + b"a1B2c3", [(b"never", b"listed")])
    make_file(root, b"plain", [], b"no streams")
    # Links: to a file with streams (a row of its own), to a folder and up the tree (never
    # followed), into a loop, to nothing, to devices; a FIFO that would block whoever opened it.
    os.symlink(b"new\nline", b"link to file", dir_fd=root)
    os.symlink(b".", b"loop up", dir_fd=root)
    os.symlink(b"l2", b"l1", dir_fd=root)
    os.symlink(b"l1", b"l2", dir_fd=root)
    os.symlink(b"gone", b"dangling", dir_fd=root)
    os.symlink(b"/dev/null", b"null device", dir_fd=root)
    os.symlink(b"/dev/zero", b"zero device", dir_fd=root)
    os.mkfifo(b"fifo", dir_fd=root)
    # Folders an ordinary user may not read: not at all, listed but not searched, not listed.
    for name, mode in ((b"closed", 0o000), (b"no search", 0o600), (b"no list", 0o300)):
        sub = make_dir(root, name)
        make_file(sub, b"hidden", [(b"s", b"v")])
        os.close(make_dir(sub, b"inner"))
        os.fchmod(sub, mode)
        os.close(sub)
    make_file(root, b"unreadable file", [(b"s", b"v")])
    os.chmod(b"unreadable file", 0, dir_fd=root)
    # Deeper than the longest path the system takes in one call.
    fd = os.dup(root)
    for level in range(25):
        nxt = make_dir(fd, (b"%03d" % level) + b"d" * 197)
        os.close(fd)
        fd = nxt
    make_file(fd, b"deep file", [(b"deep", b"at the bottom")])
    os.close(fd)
    # One folder of many entries, a few of them with streams.
    wide = make_dir(root, b"wide")
    for i in range(WIDE):
        make_file(wide, b"f%06d" % i, [(b"n", b"v" * (i % 7))] if i % 1000 == 7 else ())
    os.close(wide)
    os.close(root)


def walk():
    """What the scan must give: rows (kind, path, size) in walk order and what it passes over."""
    rows, skipped = [], []

    def files(dirfd, name, path):
        where = at(dirfd, name)
        try:
            names = [n for n in os.listxattr(where) if os.fsencode(n).startswith(b"user.")]
            streams = [(os.fsencode(n)[5:], len(os.getxattr(where, n))) for n in names]
        except OSError as e:
            if e.errno in (errno.ENOENT, errno.ELOOP, errno.ENOTDIR, errno.ENOTSUP):
                return
            skipped.append((path, os.strerror(e.errno)))
            return
        if streams:
            rows.append(("parent", path, os.stat(name, dir_fd=dirfd).st_size))
            rows.extend(("stream", path + b":" + n, size) for n, size in streams)

    def leads_to_folder(dirfd, name):
        try:
            return stat.S_ISDIR(os.stat(name, dir_fd=dirfd).st_mode)
        except OSError:
            return False

    def folder(dirfd, path):
        with os.scandir(dirfd) as entries:
            for entry in entries:
                name = os.fsencode(entry.name)
                if name.startswith(TEMP_PREFIX):
                    continue
                if entry.is_dir(follow_symlinks=False):
                    try:
                        sub = os.open(name, os.O_RDONLY | os.O_DIRECTORY | os.O_NOFOLLOW, dir_fd=dirfd)
                    except OSError as e:
                        skipped.append((path + name + b"/", os.strerror(e.errno)))
                        continue
                    folder(sub, path + name + b"/")
                    os.close(sub)
                elif entry.is_symlink() and leads_to_folder(dirfd, name):
                    continue
                else:
                    files(dirfd, name, path + name)

    root = os.open(tree, os.O_RDONLY | os.O_DIRECTORY)
    folder(root, tree + b"/")
    os.close(root)
    return rows, skipped


def decode(text):
    """The bytes an exported name stands for."""
    out = bytearray()
    i = 0
    while i < len(text):
        c = text[i]
        if c != "\\":
            out += c.encode()
            i += 1
            continue
        kind = text[i + 1]
        if kind in "\\nrt":
            out += {"\\": b"\\", "n": b"\n", "r": b"\r", "t": b"\t"}[kind]
            i += 2
        elif kind == "x":
            out.append(int(text[i + 2:i + 4], 16))
            i += 4
        elif kind in "uU":
            digits = 4 if kind == "u" else 8
            out += chr(int(text[i + 2:i + 2 + digits], 16)).encode()
            i += 2 + digits
        else:
            raise ValueError("unknown escape in %r" % text)
    return bytes(out)


def scan(fmt):
    out = os.path.join(base, b"out." + fmt.encode())
    r = subprocess.run([tessaly, "scan", tree, "--format", fmt, "-o", out], capture_output=True)
    lines = [l for l in r.stderr.decode().splitlines() if l]
    if r.returncode != 4 or not all("を読めないため除外しました" in l for l in lines):
        problems.append("%s: exit %d, stderr %r" % (fmt, r.returncode, r.stderr.decode()[:500]))
    text = open(out, "rb").read().decode("utf-8")
    rows, skipped, end = [], [], None
    if fmt == "text":
        *body, end = text.split("\n")[:-1]
        for line in body:
            f = line.split("\t")
            if f[1] == "skipped":
                skipped.append((decode(f[0]), f[2]))
            else:
                rows.append(("parent" if len(f) == 3 else "stream", decode(f[0]), int(f[1])))
        closing = re.fullmatch(r"\(incomplete: (\d+) skipped\)", end)
        end = closing and int(closing[1])
    elif fmt == "csv":
        records = list(csv.reader(io.StringIO(text, newline=""), strict=True))
        if records[0] != ["kind", "name", "size", "modified", "reason"]:
            problems.append("csv header %r" % records[0])
        for kind, name, size, _, reason in records[1:-1]:
            if kind == "skipped":
                skipped.append((decode(name), reason))
            else:
                rows.append((kind, decode(name), int(size)))
        end = records[-1][0] == "incomplete" and len(skipped)
    else:
        doc = json.loads(text)
        for p in doc["parents"]:
            rows.append(("parent", decode(p["path"]), p["size"]))
            rows.extend(("stream", decode(p["path"] + ":" + s["name"]), s["size"]) for s in p["streams"])
        skipped = [(decode(s["path"]), s["reason"]) for s in doc["skipped"]]
        end = doc["complete"] is False and doc["cancelled"] is False and len(skipped)
    return rows, skipped, end, len(lines)


def compare(fmt, got, want):
    rows, skipped, end, errors = got
    want_rows, want_skipped = want
    if rows != want_rows:
        extra = [r for r in rows if r not in want_rows][:5]
        missing = [r for r in want_rows if r not in rows][:5]
        problems.append("%s rows: %d, expected %d; extra %r, missing %r" % (fmt, len(rows), len(want_rows), extra, missing))
    if skipped != want_skipped:
        problems.append("%s skipped %r, expected %r" % (fmt, skipped, want_skipped))
    if end != len(want_skipped) or errors != len(want_skipped):
        problems.append("%s: closing says %r, %d error lines, expected %d" % (fmt, end, errors, len(want_skipped)))


try:
    build()
    want = walk()
    # The tree holds what it should: the case is only as good as its contents.
    paths = [r[1] for r in want[0]]
    for needed in (b"/new\nline", b"/new\\nline", b"/link to file", b"/deep file", b"/wide/f199007"):
        if not any(p.endswith(needed) for p in paths):
            problems.append("the walk itself misses %r" % needed)
    if len(want[1]) != 5:
        problems.append("the walk passes over %r" % want[1])
    for fmt in ("text", "csv", "json"):
        compare(fmt, scan(fmt), want)
finally:
    for dirpath, dirnames, _ in os.walk(tree):
        for d in dirnames:
            try:
                os.chmod(os.path.join(dirpath, d), 0o755, follow_symlinks=False)
            except (OSError, NotImplementedError):
                pass
    shutil.rmtree(tree, ignore_errors=True)

print("\n".join(problems))
sys.exit(1 if problems else 0)
