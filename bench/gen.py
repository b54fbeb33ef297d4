#!/usr/bin/env python3
"""Writes Tavo programs of named shapes for timing the compiler.

    gen.py SHAPE DIR [--size BYTES] [--seed N]

Shapes:
  typical  functions with loops, conditions, prints, calls and tables,
           filling the code image to its last byte
  limits   every table at its limit: 5000 constants and tables, 3000
           globals, 2991 functions (with the nine built-ins, 3000), a name
           pool of exactly 70000 characters, 1000 names in word tables, a
           function with 50 arguments, one with 50 locals, one with 50
           labels and 50 jumps, and an image filled to its last byte
  bucket   thousands of constants, globals and functions whose names all
           fall into one bucket of the symbol table (same first and last
           character, same length)
  big      a source of --size bytes (default 16 MiB) of comments, object
           lines and constant definitions around a small program

DIR receives o.src. Every program compiles without an error; the generator
counts the bytes each construct compiles to so that the image stays within
its 12287 usable bytes.
"""

import argparse
import os
import random

MAXORIGIN = 12287          # origin after the last byte the image takes
CODEOFFSET = 7
NAMESIZE = 70000
RESERVED = ["if", "else", "endif", "while", "wend", "repeat", "until", "forever",
            "endfunc", "return", "break", "continue", "byte", "word", "dword", "var",
            "object", "func", "inherit", "platform", "include", "constant", "optimize",
            "print", "CONST", "DATA", "END", "STACK", "goto", "gosub", "endsub",
            "lookup8", "lookup16"]
BUILTINS = ["serin", "putch", "serout", "setbaud", "to", "pause", "putnum", "translate",
            "putstr"]


# ---------------------------------------------------------------------------
# Sizes of the code that constructs compile to.

def opsize(operand):
    """A long instruction: one operand byte when bits 8 to 15 are zero."""
    return 2 if (operand & 0xFF00) == 0 else 3


class Func:
    """A function being written: its lines and the bytes they compile to."""

    def __init__(self, name, args, locals_):
        self.name = name
        self.args = args
        self.locals = locals_
        self.lines = []
        self.size = 2 if len(locals_) > 4 else 0      # C_ALLOC n
        self.ends_with_return = False

    def add(self, text, size, indent=1, returns=False):
        self.lines.append("    " * indent + text)
        self.size += size
        self.ends_with_return = returns

    def total(self):
        return self.size + (0 if self.ends_with_return else 1)

    def text(self):
        head = f"func {self.name}(" + ", ".join(f"var {a}" for a in self.args) + ")"
        decl = []
        if self.locals:
            decl = ["    var " + ", ".join(self.locals) + ";"]
        return "\n".join([head] + decl + self.lines + ["endfunc", ""])


class Program:
    """Names and addresses the code refers to, with the sizes of operands."""

    def __init__(self, rng):
        self.rng = rng
        self.globals = []          # (name, address) of scalars
        self.arrays = []           # (name, address, cells)
        self.cells = 1             # next global address
        self.constants = []        # (name, value)
        self.funcs = []            # (name, address, nargs)
        self.origin = CODEOFFSET

    def add_global(self, name):
        self.globals.append((name, self.cells))
        self.cells += 1

    def add_array(self, name, cells):
        self.arrays.append((name, self.cells, cells))
        self.cells += cells

    # Operands: each returns (text, bytes as a value).
    def g(self):
        name, addr = self.rng.choice(self.globals)
        return name, addr

    def value(self, f):
        """A random operand as a value: global, argument, local or constant."""
        kinds = ["g", "c"] + (["a"] if f.args else []) + (["l"] if f.locals else [])
        k = self.rng.choice(kinds)
        if k == "g":
            name, addr = self.g()
            return name, opsize(addr) + 1
        if k == "c":
            name, v = self.rng.choice(self.constants)
            return name, opsize(v)
        if k == "a":
            return self.rng.choice(f.args), 3
        return self.rng.choice(f.locals), 3

    def expr(self, f, depth=2):
        """An expression of a few operands and its size."""
        text, size = self.value(f)
        for _ in range(self.rng.randint(0, depth)):
            op = self.rng.choice(["+", "-", "*", "&", "|", "^", "<<", ">>"])
            t, s = self.value(f)
            text, size = f"{text} {op} {t}", size + s + 1
        return text, size

    def target(self, f):
        """An assignable variable: its text and the size of pushing its address."""
        kinds = ["g"] + (["l"] if f.locals else []) + (["a"] if f.args else [])
        k = self.rng.choice(kinds)
        if k == "g":
            name, addr = self.g()
            return name, opsize(addr)
        if k == "l":
            return self.rng.choice(f.locals), 2
        return self.rng.choice(f.args), 2

    def statement(self, f, indent, depth):
        """Adds one statement of a random kind to f."""
        r = self.rng.random()
        if r < 0.30 or depth == 0:
            t, ts = self.target(f)
            e, es = self.expr(f)
            f.add(f"{t} := {e};", ts + es + 2, indent)
        elif r < 0.40:
            t, ts = self.target(f)
            f.add(f"{t}++;", ts + 2, indent)
        elif r < 0.50 and self.arrays:
            name, addr, cells = self.rng.choice(self.arrays)
            i, isz = self.value(f)
            e, es = self.expr(f, 1)
            f.add(f"{name}[{i}] := {e};", opsize(addr) + isz + 1 + es + 2, indent)
        elif r < 0.60 and self.funcs:
            name, addr, nargs = self.rng.choice(self.funcs)
            args = [self.value(f) for _ in range(nargs)]
            f.add(f"{name}(" + ", ".join(a for a, _ in args) + ");",
                  opsize(addr) + sum(s for _, s in args) + 3, indent)
        elif r < 0.70:
            text = "v=" if self.rng.random() < 0.5 else "value is "
            v, vs = self.value(f)
            f.add(f'print("{text}", {v}, "\\n");',
                  1 + (3 + 2 + len(text) + 1 + 3) + (3 + 3 + vs + 3) + (3 + 2 + 2 + 3) + 1,
                  indent)
        elif r < 0.82:
            c, cs = self.expr(f, 1)
            f.add(f"while ({c} < 100)", cs + opsize(100) + 1 + 3, indent)
            for _ in range(self.rng.randint(1, 3)):
                self.statement(f, indent + 1, depth - 1)
            f.add("wend", 3, indent)
        elif r < 0.94:
            c, cs = self.expr(f, 1)
            f.add(f"if ({c})", cs + 3, indent)
            for _ in range(self.rng.randint(1, 3)):
                self.statement(f, indent + 1, depth - 1)
            if self.rng.random() < 0.5:
                f.add("else", 3, indent)
                for _ in range(self.rng.randint(1, 2)):
                    self.statement(f, indent + 1, depth - 1)
            f.add("endif", 0, indent)
        else:
            f.lines.append("    " * indent + "// keep the running total in range")
            t, ts = self.target(f)
            f.add(f"{t} := {t} % 1000;", ts + ts + 1 + opsize(1000) + 1 + 2, indent)

    def function(self, name, args, locals_, nstmts):
        f = Func(name, args, locals_)
        for _ in range(nstmts):
            self.statement(f, 1, 2)
        if self.rng.random() < 0.3:
            e, es = self.expr(f, 1)
            f.add(f"return {e};", es + 1, returns=True)
        return f

    def place(self, f):
        """Records f at the current origin and moves past its code."""
        self.funcs.append((f.name, self.origin, len(f.args)))
        self.origin += f.total()


def fill_statements(remainder, var):
    """Statements on a global scalar below address 256 compiling to exactly
    `remainder` bytes (0 or at least 4): x++ is 4, -x 5, x := 1 6, x := 300 7."""
    assert remainder == 0 or remainder >= 4, remainder
    forms = {4: f"{var}++;", 5: f"-{var};", 6: f"{var} := 1;", 7: f"{var} := 300;"}
    out = []
    while remainder > 7:
        n = 7 if remainder - 7 >= 4 or remainder - 7 == 0 else 4
        out.append(forms[n])
        remainder -= n
    if remainder:
        out.append(forms[remainder])
    return out


# ---------------------------------------------------------------------------
# Shapes.

def typical(rng):
    p = Program(rng)
    out = ["// A program of the usual kind: constants, tables, globals and many",
           "// small functions that call the ones before them.", "", "#CONST"]
    for i in range(120):
        name = f"LIMIT_{i}" if i % 3 else f"MASK{i}"
        v = rng.choice([rng.randint(0, 255), rng.randint(256, 30000)])
        p.constants.append((name, v))
        out.append(f"{name} {v}")
    out += ["#END", "", "#STACK 400", "", "#DATA"]
    for t in range(6):
        items = [str(rng.randint(0, 255)) for _ in range(24)]
        out.append(f"byte table{t} " + ", ".join(items))
        p.origin += 24
    out += ["#END", ""]
    for i in range(60):
        p.add_global(f"count{i}")
    for i in range(8):
        p.add_array(f"buffer{i}", 16)
    for i in range(140):
        p.add_global(f"state_{i}")
    for i in range(0, 60, 6):
        out.append("var " + ", ".join(n for n, _ in p.globals[i:i + 6]) + ";")
    for name, _, cells in p.arrays:
        out.append(f"var {name}[{cells}];")
    for i in range(60, 200, 10):
        out.append("var " + ", ".join(n for n, _ in p.globals[i:i + 10]) + ";")
    out.append("")
    k = 0
    # Leave room for main, which fills the image to its last byte.
    while True:
        name = f"step{k}"
        f = p.function(name, [f"a{name}_{i}" for i in range(rng.randint(0, 3))],
                       [f"l{name}_{i}" for i in range(rng.randint(0, 6))], rng.randint(3, 12))
        if p.origin + f.total() > MAXORIGIN - 400:
            break
        out.append(f"// step{k}: one stage of the work")
        out.append(f.text())
        p.place(f)
        k += 1
    m = Func("main", [], ["l0", "l1"])
    m.add("l0 := 0;", 2 + 2 + 2)
    m.add("repeat", 0)
    for name, addr, nargs in p.funcs[-40:]:
        m.add(f"{name}(" + ", ".join(["l0"] * nargs) + ");", opsize(addr) + 3 * nargs + 3, 2)
    m.add("l0++;", 4, 2)
    m.add("until (l0 == 10)", 3 + 2 + 1 + 3)
    room = MAXORIGIN - p.origin - m.total()
    for s in fill_statements(room, p.globals[0][0]):
        m.add(s, 0)
    m.size += room
    out.append(m.text())
    p.place(m)
    return "\n".join(out) + "\n"


def limits(rng):
    nfuncs = 3000 - len(BUILTINS)
    out = ["// Every table at its limit.", ""]
    # Symbol table: constants and data tables, 5000 entries.
    ndata = 12
    out.append("#CONST")
    for i in range(5000 - ndata):
        out.append(f"K{i} {i % 997}")
    out += ["#END", "", "#DATA"]
    origin = CODEOFFSET
    # The last function is main: the driver looks main up after the pass,
    # which would otherwise add it to a full pool.
    fnames = [f"f{i}" for i in range(nfuncs - 1)] + ["main"]
    # 1000 names in word tables, the patch table's limit.
    out.append("word jumps " + ",\n    ".join(", ".join(fnames[j:j + 20]) for j in range(0, 1000, 20)))
    origin += 2000
    for t in range(ndata - 1):
        out.append(f"byte bytes{t} " + ", ".join(str((t * 7 + j) % 256) for j in range(100)))
        origin += 100
    out += ["#END", ""]

    # Names of the second pass: they must fill the pool exactly.
    used = sum(len(n) + 1 for n in RESERVED + BUILTINS)
    args50 = [f"p{i}" for i in range(50)]
    locs50 = [f"q{i}" for i in range(50)]
    used += sum(len(n) + 1 for n in fnames + args50 + locs50)
    nglob = 3000
    # Base names g0..g2999, lengthened until the pool holds 70000 characters.
    gnames = [f"g{i}" for i in range(nglob)]
    room = NAMESIZE - used - sum(len(n) + 1 for n in gnames)
    i = 0
    while room > 0:
        add = min(room, 69 - len(gnames[i]))
        gnames[i] = gnames[i] + "_" + "x" * (add - 1) if add > 1 else gnames[i] + "_"
        room -= add
        i += 1
    for j in range(0, nglob, 10):
        out.append("var " + ", ".join(gnames[j:j + 10]) + ";")
    out.append("")

    # Globals below address 256 push with one operand byte.
    small = gnames[5]
    # Functions: f0 with 50 arguments, f1 with 50 locals, f2 with 50 labels
    # and 50 jumps, the rest empty, the last one filling the image.
    bodies = {}
    bodies[0] = ("func f0(" + ", ".join(f"var {a}" for a in args50) + ")\n"
                 f"    {args50[49]} := {args50[0]};\nendfunc\n", 2 + 3 + 2 + 1)
    bodies[1] = ("func f1()\n    var " + ", ".join(locs50) + ";\n"
                 f"    {locs50[49]} := 1;\nendfunc\n", 2 + (2 + 2 + 2) + 1)
    lab = []
    for i in range(50):
        lab.append(f"L{i}:\n    goto L{49 - i};")
    bodies[2] = ("func f2()\n" + "\n".join(lab) + "\nendfunc\n", 50 * 3 + 1)
    for i, f in enumerate(fnames[:-1]):
        text, size = bodies.get(i, (f"func {f}()\nendfunc\n", 1))
        out.append(text)
        origin += size
    last = fnames[-1]
    remainder = MAXORIGIN - origin - 1
    out.append(f"func {last}()")
    out += ["    " + s for s in fill_statements(remainder, small)]
    out.append("endfunc")
    return "\n".join(out) + "\n"


def bucket(rng):
    """Names q + five characters + q: one length, one first and last
    character, so one bucket of the symbol table."""
    def qname(tag, i):
        return f"q{tag}{i:04d}q"
    p = Program(rng)
    out = ["// Every name in one bucket of the symbol table.", "", "#CONST"]
    for i in range(4500):
        name = qname("k", i)
        v = rng.randint(0, 255) if i % 2 else rng.randint(256, 30000)
        p.constants.append((name, v))
        out.append(f"{name} {v}")
    out += ["#END", ""]
    for i in range(2500):
        p.add_global(qname("g", i))
    for j in range(0, 2500, 10):
        out.append("var " + ", ".join(n for n, _ in p.globals[j:j + 10]) + ";")
    out.append("")
    k = 0
    while True:
        # arguments qa0000q, qb0000q; locals ql0000q, qm0000q, qn0000q
        f = p.function(qname("f", k), [f"q{c}{k:04d}q" for c in "ab"[:rng.randint(0, 2)]],
                       [f"q{c}{k:04d}q" for c in "lmn"[:rng.randint(0, 3)]], rng.randint(2, 8))
        if p.origin + f.total() > MAXORIGIN - 50:
            break
        out.append(f.text())
        p.place(f)
        k += 1
    return "\n".join(out) + "\n"


FILLER_COMMENT = ("// The display module redraws the status line every cycle; the values "
                  "below only document the screen layout.")


def big(rng, size):
    """Comments, object lines and constant definitions around a small program."""
    nconst = min(4900, size // 4200)
    small = ["var shown, total;", "",
             "func show(var v)",
             "    print(\"total \", v, \"\\n\");",
             "endfunc", "",
             "func main()",
             "    total := 0;",
             "    while (total < LIMIT_9)",
             "        total := total + 1;",
             "        show(total);",
             "    wend",
             "endfunc"]
    chunks = []
    written = 0
    c = 0
    half = False
    block = ["/* layout of the screen, row by row:"] + \
            [f"   row {r}: column 0 to 79 hold the text of field {r}" for r in range(12)] + ["*/"]
    block_text = "\n".join(block) + "\n"
    i = 0
    while written < size:
        if not half and written >= size // 2:
            piece = "#constant LIMIT_9 200\n" + "\n".join(small) + "\n"
            half = True
        else:
            r = i % 10
            if r < 6:
                piece = FILLER_COMMENT + f" ({i})\n"
            elif r == 6:
                piece = block_text
            elif r == 7:
                piece = "object\n"
            elif c < nconst and i % 20 == 8:
                piece = f"#constant FIELD{c} {c * 3 % 65536}\n"
                c += 1
            else:
                piece = "    // " + "-" * 60 + "\n"
        chunks.append(piece)
        written += len(piece)
        i += 1
    chunks.append("object\n")   # a line comment may not end the source
    return "".join(chunks)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("shape", choices=["typical", "limits", "bucket", "big"])
    ap.add_argument("dir")
    ap.add_argument("--size", type=int, default=16 << 20, help="bytes of the big shape")
    ap.add_argument("--seed", type=int, default=1)
    a = ap.parse_args()
    rng = random.Random(a.seed)
    if a.shape == "big":
        text = big(rng, a.size)
    else:
        text = {"typical": typical, "limits": limits, "bucket": bucket}[a.shape](rng)
    os.makedirs(a.dir, exist_ok=True)
    with open(os.path.join(a.dir, "o.src"), "w", newline="\n") as fp:
        fp.write(text)


if __name__ == "__main__":
    main()
