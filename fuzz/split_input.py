#!/usr/bin/env python3
"""split_input.py INPUT DIR: lays out one tavo_fuzz input as the files of a
compilation in DIR (which must be empty or absent), exactly as tavo_fuzz.cpp
splits it (see the format at the top of that file)."""
import os
import sys

MAX_INCLUDES = 2


def safe_name(n):
    if not n or len(n) > 64 or n in (b".", b".."):
        return False
    return all(0x20 <= c <= 0x7E and c not in b"/\\" for c in n)


def safe_dir_path(p):
    if p in (b"o.src", b"o.fun", b"dev.tvo"):
        return True
    return p[:8] == b"Include/" and safe_name(p[8:])


def split_input(data):
    src, fun, has_fun, devtvo = bytearray(), bytearray(), False, True
    includes, dirs = [], []
    cur, pos = src, 0
    while pos <= len(data):
        eol = data.find(b"\n", pos)
        last = eol < 0
        line = data[pos:] if last else data[pos:eol]
        if line[:2] == b"%%":
            m = line[2:]
            if m.endswith(b"\r"):
                m = m[:-1]
            if m[:1] == b"~":
                m = m[1:]
                if cur and cur[-1] == 0x0A:
                    del cur[-1]
            cur = bytearray()  # ignored unless a section below takes it
            if m == b"o.fun" and not has_fun:
                has_fun, cur = True, fun
            elif m[:8] == b"Include/" and safe_name(m[8:]) and len(includes) < MAX_INCLUDES:
                includes.append((m[8:], bytearray()))
                cur = includes[-1][1]
            elif m == b"no dev.tvo":
                devtvo = False
            elif m[:4] == b"dir " and safe_dir_path(m[4:]):
                dirs.append(m[4:])
        else:
            cur += line
            if not last:
                cur += b"\n"
        if last:
            break
        pos = eol + 1
    return src, (fun if has_fun else None), includes, devtvo, dirs


def lay_out(data, out):
    src, fun, includes, devtvo, dirs = split_input(data)
    os.makedirs(out, exist_ok=True)
    path = lambda p: os.path.join(out, os.fsdecode(p))
    for d in dirs:
        if d.startswith(b"Include/"):
            os.makedirs(path(b"Include"), exist_ok=True)
        os.makedirs(path(d), exist_ok=True)

    def write(p, text):
        if not os.path.isdir(path(p)):
            with open(path(p), "wb") as f:
                f.write(text)

    write(b"o.src", src)
    if fun is not None:
        write(b"o.fun", fun)
    if devtvo:
        write(b"dev.tvo", b"")
    if includes:
        os.makedirs(path(b"Include"), exist_ok=True)
    for name, text in includes:
        write(b"Include/" + name, text)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: split_input.py INPUT DIR")
    with open(sys.argv[1], "rb") as f:
        lay_out(f.read(), sys.argv[2])
