#!/usr/bin/env python3
"""Compiles the Tavo examples of the documentation and checks what they show.

  check_docs.py TAVOC doc FILE.md        every example of one document
  check_docs.py TAVOC examples DIR       one program folder of examples/
  check_docs.py messages SRC MESSAGES.md every message of the compiler's
                                         sources has a section, and each
                                         section's example gives it

Markup of a document (fenced code blocks; the first word of the info string
is the kind, the other words are options):

  ```tavo                 a whole program: it becomes o.src and is compiled,
                          with dev.tvo present, in a fresh directory
  ```tavo mkdir=NAME      ... after a directory NAME was made there (an output
                          file that cannot be created)
  ```KIND file=PATH       not compiled: a file (a function file, o.fun) put
                          beside the next program; KIND is free
  <!-- tavo nosource -->  a compilation in a directory without o.src
  <!-- tavo generate: EXPR -->
                          a program too long to show: the Python expression
                          EXPR (with range) gives its text; with file=PATH
                          the text is a file beside the next program

The blocks that follow a compilation, up to the next one, show what it left:

  ```listing              exactly what `tavoc --list o.bin` prints
  ```o.err                the whole of o.err; without such a block o.err
                          must be empty
  ```o.lst ```o.hex ```o.aux ```o.stx
                          the whole file; with the option `end`, its end;
                          with `noeol`, the file has no final line end

In messages.md each message is a heading `### `TEXT`` with TEXT exactly as
the compiler's sources write it (printf formats included); every o.err block
of that section must hold a line that TEXT produces, unless the section says
`<!-- not reachable -->` (a check that no program reaches; its o.err blocks
then show what such a program gets instead).
"""
import difflib
import os
import re
import shutil
import subprocess
import sys
import tempfile

OUTPUTS = ("o.err", "o.lst", "o.hex", "o.aux", "o.stx")


class Block:
    def __init__(self, kind, opts, text, line):
        self.kind, self.opts, self.text, self.line = kind, opts, text, line

    def opt(self, name):
        for o in self.opts:
            if o == name:
                return True
            if o.startswith(name + "="):
                return o[len(name) + 1:]
        return None

    def all(self, name):
        return [o[len(name) + 1:] for o in self.opts if o.startswith(name + "=")]


def blocks(path):
    """The fenced blocks and tavo comments of a Markdown file, in order."""
    out, lines = [], open(path, encoding="utf-8").read().split("\n")
    i = 0
    while i < len(lines):
        line = lines[i]
        m = re.match(r"^<!--\s*tavo\s+(.*?)\s*-->\s*$", line)
        if m:
            opts, _, expr = m.group(1).partition("generate:")
            text = eval(expr, {"__builtins__": {}, "range": range}) if expr else None
            out.append(Block("tavo", opts.split(), text, i + 1))
        m = re.match(r"^(`{3,})\s*(\S*)\s*(.*)$", line)
        if m:
            fence, start = m.group(1), i
            body = []
            i += 1
            while i < len(lines) and not lines[i].startswith(fence):
                body.append(lines[i])
                i += 1
            text = "\n".join(body) + "\n" if body else ""
            out.append(Block(m.group(2), m.group(3).split(), text, start + 1))
        i += 1
    return out


class Run:
    """One compilation in a directory of its own."""

    def __init__(self, tavoc, block, files):
        self.block, self.dir = block, tempfile.mkdtemp(prefix="tavodoc")
        self.seen_err = False
        for path, text in files.items():
            full = os.path.join(self.dir, path)
            os.makedirs(os.path.dirname(full), exist_ok=True)
            with open(full, "w", encoding="utf-8", newline="") as f:
                f.write(text)
        open(os.path.join(self.dir, "dev.tvo"), "w").close()
        for d in block.all("mkdir"):
            os.makedirs(os.path.join(self.dir, d))
        if block.text is not None and not block.opt("nosource"):
            with open(os.path.join(self.dir, "o.src"), "w", encoding="utf-8", newline="") as f:
                f.write(block.text)
        subprocess.run([tavoc, self.dir], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=False)
        self.tavoc = tavoc

    def read(self, name):
        path = os.path.join(self.dir, name)
        if not os.path.isfile(path):
            return None
        with open(path, encoding="latin-1", newline="") as f:
            return f.read()

    def listing(self):
        r = subprocess.run([self.tavoc, "--list", os.path.join(self.dir, "o.bin")],
                           capture_output=True, check=False)
        return r.stdout.decode("latin-1")

    def close(self):
        shutil.rmtree(self.dir, ignore_errors=True)


def compare(doc, block, want, got, what):
    if got == want:
        return []
    diff = difflib.unified_diff(want.splitlines(True), (got or "").splitlines(True),
                                "shown", "compiler")
    return [f"{doc}:{block.line}: {what} differs from what the compiler gives\n"
            + "".join(diff)]


def check_expectation(doc, run, b):
    if b.kind == "listing":
        return compare(doc, b, b.text, run.listing(), "listing")
    got = run.read(b.kind)
    if got is None:
        return [f"{doc}:{b.line}: the compilation left no {b.kind}"]
    want = b.text
    if b.kind == "o.err":
        run.seen_err = True
    if b.opt("noeol"):
        want = want[:-1]
    if b.opt("end"):
        if got.endswith(want):
            return []
        got = got[-len(want):]
    return compare(doc, b, want, got, b.kind)


def finish(doc, run):
    if run is None:
        return []
    fails = []
    if not run.seen_err and run.read("o.err"):
        fails.append(f"{doc}:{run.block.line}: this program gives an error, and no o.err "
                     f"block shows it:\n  " + run.read("o.err").rstrip("\n"))
    run.close()
    return fails


def check_doc(tavoc, doc):
    fails, run, files, count = [], None, {}, 0
    for b in blocks(doc):
        if b.opt("file"):
            files[b.opt("file")] = b.text
        elif b.kind == "tavo":
            fails += finish(doc, run)
            run, files = Run(tavoc, b, files), {}
            count += 1
        elif b.kind == "listing" or b.kind in OUTPUTS:
            if run is None:
                fails.append(f"{doc}:{b.line}: a {b.kind} block with no program before it")
            else:
                fails += check_expectation(doc, run, b)
    fails += finish(doc, run)
    return fails, count


def check_example(tavoc, folder):
    work = tempfile.mkdtemp(prefix="tavoex")
    try:
        for name in os.listdir(folder):
            src = os.path.join(folder, name)
            (shutil.copytree if os.path.isdir(src) else shutil.copy)(src, os.path.join(work, name))
        subprocess.run([tavoc, work], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       check=False)
        err = open(os.path.join(work, "o.err"), encoding="latin-1").read()
        size = os.path.getsize(os.path.join(work, "o.bin"))
        if err:
            return [f"{folder}: compiling gives\n  {err.rstrip()}"]
        if size <= 7:
            return [f"{folder}: the image holds no code"]
        return []
    finally:
        shutil.rmtree(work, ignore_errors=True)


# --- messages ---------------------------------------------------------------

CALLS = re.compile(r"\b(?:(?:error|errorf|baderror|fatal_error|closer|refuse|create|warning)\s*\(|"
                   r"fprintf\s*\(\s*err_fp\s*,)")
CODE = re.compile(r'("(?:[^"\\\n]|\\.)*")|//[^\n]*|/\*.*?\*/', re.S)
LITERAL = re.compile(r'"((?:[^"\\\n]|\\.)*)"')
MODES = re.compile(r"^[rwab+]{1,3}$")


def unescape(s):
    return re.sub(r"\\(.)", lambda m: {"n": "\n", "t": "\t"}.get(m.group(1), m.group(1)), s)


def source_messages(srcdir):
    """Every message text that the sources hand to the error file."""
    found = {}
    for root, _, names in os.walk(srcdir):
        for name in sorted(names):
            if not name.endswith((".cpp", ".h")):
                continue
            path = os.path.join(root, name)
            text = CODE.sub(lambda m: m.group(1) or re.sub(r"[^\n]", " ", m.group(0)),
                            open(path, encoding="utf-8").read())
            for m in CALLS.finditer(text):
                depth, j = 1, m.end()
                while j < len(text) and depth:
                    depth += {"(": 1, ")": -1}.get(text[j], 0)
                    j += 1
                args = text[m.end():j - 1]
                lits = [x for x in LITERAL.findall(args)
                        if not MODES.match(x) and re.search("[A-Za-z]", x.replace("%c", ""))]
                if lits:
                    line = text.count("\n", 0, m.start()) + 1
                    found.setdefault(unescape(lits[0]).rstrip("\n"), f"{path}:{line}")
    return found


def template_regex(t):
    out = ""
    for part in re.split(r"(%-?\d*[sdcX])", t):
        if re.fullmatch(r"%-?\d*[sdcX]", part):
            out += {"s": ".*", "d": r"-?\d+", "c": ".", "X": "[0-9A-F]+"}[part[-1]]
        else:
            out += re.escape(part)
    return re.compile("^" + out + r"( in line \d+(, column \d+)? \(pass[12]\))?$")


def check_messages(srcdir, doc):
    fails, sections, current, unreachable = [], {}, None, set()
    for i, line in enumerate(open(doc, encoding="utf-8").read().split("\n"), 1):
        m = re.match(r"^### `(.*)`\s*$", line)
        if m:
            current = m.group(1)
            if current in sections:
                fails.append(f"{doc}:{i}: a second section for `{current}`")
            sections[current] = (i, [])
        elif current and line.strip() == "<!-- not reachable -->":
            unreachable.add(current)
        elif line.startswith("## "):
            current = None
    for b in blocks(doc):
        owner = None
        for t, (start, errs) in sections.items():
            if start < b.line and (owner is None or sections[owner][0] < start):
                owner = t
        if owner and b.kind == "o.err":
            nxt = [s for s, _ in sections.values() if s > sections[owner][0]]
            if not nxt or b.line < min(nxt):
                sections[owner][1].append(b)
    have = source_messages(srcdir)
    for t, where in sorted(have.items()):
        if t not in sections:
            fails.append(f"{where}: the message `{t}` has no section in {doc}")
    for t, (line, errs) in sections.items():
        if t not in have:
            fails.append(f"{doc}:{line}: `{t}` is no message of the compiler")
        if not errs:
            fails.append(f"{doc}:{line}: `{t}` shows no o.err")
        rx = template_regex(t)
        for b in errs if t not in unreachable else []:
            if not any(rx.match(x) for x in b.text.split("\n")):
                fails.append(f"{doc}:{b.line}: no line of this o.err is the message `{t}`")
    return fails, len(have)


def main(argv):
    if len(argv) == 4 and argv[1] == "messages":
        fails, n = check_messages(argv[2], argv[3])
        what = f"{n} messages"
    elif len(argv) == 4 and argv[2] == "doc":
        fails, n = check_doc(argv[1], argv[3])
        what = f"{n} programs of {argv[3]}"
    elif len(argv) == 4 and argv[2] == "examples":
        fails, what = check_example(argv[1], argv[3]), argv[3]
    else:
        print(__doc__)
        return 2
    for f in fails:
        print("FAIL: " + f)
    if not fails:
        print("ok: " + what)
    return 1 if fails else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
