// machine.cpp: the decode/execute loop of the model machine.
//
// Data memory is word-addressed: one cell holds one value. Cell 0 is never
// a global, the globals take cells 1 .. mem-1, and the stack grows upward
// from mem (G12). Code space is the image, byte-addressed behind bit 15: a
// value 0x8000 + a addresses byte a of the image.
//
// A call's frame, from lower cells to higher:
//
//   F  a1 .. an  ret  caller-FP  n  l0 l1 l2 l3 [l4 ...]  temporaries
//                                   ^ FP
//
// F is the function slot the caller pushed; argument k (0 = the last one)
// is at FP - 4 - k, local i at FP + i. The three link cells are written for
// the program to see, but the machine returns through its own frame record,
// so a program can never corrupt a return: writing a link cell traps.
//
// Where a device would do something undefined (fall into the next function,
// overflow the stack, divide by zero ...) the machine traps: it stops and
// names the instruction.
#include <algorithm>
#include <cstring>

#include "base/tavomain.h"
#include "output/output.h"
#include "tavorun.h"

namespace tavorun {

using namespace tavo;   // the opcodes

// Fills unwritten memory under G7=old: what a device might have left there.
constexpr Word OLDFILL = 0x5A5A;

// ---------------------------------------------------------------------------
// Words, flags and diagnostics

Word norm(Machine& m, int64_t v) {
  int64_t narrow = static_cast<int16_t>(static_cast<uint16_t>(v & 0xFFFF));
  if (narrow == v) return static_cast<Word>(v);
  if (m.reading(G10) == G10_16) return static_cast<Word>(narrow);
  return static_cast<Word>(static_cast<uint32_t>(v));
}

uint32_t unsignedOf(const Machine& m, Word v) {
  if (m.opt.readings.choice[G10] == G10_16) return static_cast<uint32_t>(v) & 0xFFFF;
  return static_cast<uint32_t>(v);
}

Word flag(Machine& m, bool b) {
  if (!b) return 0;
  return m.reading(G6) == G6_ONE ? 1 : -1;
}

// The name of the function at address a, for messages.
static std::string functionName(const Program& p, int a) {
  int f = functionAt(p, a);
  if (f >= 0) return p.functions[f].name;
  for (auto& [t, n] : p.tables)
    if (a >= t && a < t + n) return "a data table";
  return a >= static_cast<int>(p.image.size()) ? "the end of the image" : "no function";
}

// The nearest label at or before a inside a's function, or "".
static std::string labelBefore(const Program& p, int a) {
  int f = functionAt(p, a);
  const Label* best = nullptr;
  for (auto& l : p.labels)
    if (f >= 0 && l.address <= a && l.address >= p.functions[f].entry &&
        (!best || l.address > best->address))
      best = &l;
  return best ? ", after label " + best->name : "";
}

// The instruction at a as the listing shows it (the code array holds the
// image; see initMachine).
static std::string listingText(int a) {
  std::string bytes, text;
  if (a < 0 || a >= MAXCODE) return "outside the image";
  listinstr(a, bytes, text);
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

std::string where(const Machine& m, int a) {
  if (a < 0 || a >= static_cast<int>(m.image.size())) return "at " + std::to_string(a) + " (outside the image)";
  return "at " + std::to_string(a) + " (" + listingText(a) + ") in " + functionName(*m.prog, a) +
         labelBefore(*m.prog, a);
}

void trap(Machine& m, const std::string& what) {
  if (m.end != End::running) return;
  m.end = End::trap;
  m.trapMessage = where(m, m.at) + ": " + what;
}

// Each warning once per instruction.
void warn(Machine& m, const std::string& what) {
  if (m.warned[std::to_string(m.at) + what]++ != 0 || !m.opt.diag) return;
  std::fprintf(m.opt.diag, "tavorun: warning %s: %s\n", where(m, m.at).c_str(), what.c_str());
}

// ---------------------------------------------------------------------------
// The stack

// The lowest cell the running code may pop: its frame's first temporary.
static int stackFloor(const Machine& m) { return m.frames.empty() ? m.stackBase : m.fp + m.nl; }

// Cells of the stack in use as the stack size counts them (G2).
static int stackUsed(const Machine& m) {
  int used = m.sp - m.stackBase;
  if (m.opt.readings.choice[G2] == G2_NOLINK) used -= 3 * static_cast<int>(m.frames.size());
  return used;
}

static void push(Machine& m, Word v) {
  if (stackUsed(m) >= m.stackCells || m.sp >= NCELLS) {
    trap(m, "stack overflow (stack size " + std::to_string(m.prog->stacksize) + ")");
    m.overflowed = true;
    return;
  }
  m.cell[m.sp] = v;
  m.written[m.sp] = 1;
  m.sp++;
  m.highWater = std::max(m.highWater, stackUsed(m));
}

static Word pop(Machine& m) {
  if (m.sp <= stackFloor(m)) {
    trap(m, "stack underflow: no value to take");
    return 0;
  }
  return m.cell[--m.sp];
}

static Word top(Machine& m) {
  if (m.sp <= stackFloor(m)) {
    trap(m, "stack underflow: no value to take");
    return 0;
  }
  return m.cell[m.sp - 1];
}

// ---------------------------------------------------------------------------
// Data memory and code space

// The cell a data address names, checked; -1 when there is none (after a
// trap, or for cell 0, which reads 0 and ignores writes).
static int cellAt(Machine& m, int a, bool write) {
  if (a == 0) {
    m.reading(G12);
    warn(m, write ? "write to cell 0 (a null pointer?): ignored" : "read of cell 0 (a null pointer?): 0");
    return -1;
  }
  bool global = a < m.prog->mem;
  bool stack = a >= m.stackBase && (a < m.stackBase + m.stackCells || a < m.sp);
  if (!global && !stack) {
    m.reading(G12);
    trap(m, "address " + std::to_string(a) + " outside data memory");
    return -1;
  }
  if (stack && a >= m.sp) {
    m.reading(G12);
    warn(m, "dead stack cell " + std::to_string(a) +
                " (a pointer to a local of a function that returned?)");
  }
  return a;
}

static Word loadCell(Machine& m, int a) {
  int i = cellAt(m, a, false);
  if (i < 0) return 0;
  if (!m.written[i]) {
    m.reading(G7);
    if (i >= m.stackBase) warn(m, "cell " + std::to_string(i) + " is read before it is written");
  }
  return m.cell[i];
}

// The offset in the image of a code-space address, checked; -1 after a trap.
static int codeOffset(Machine& m, int a, int bytes) {
  int o = a - CODEBIT;
  if (o + bytes > static_cast<int>(m.image.size())) {
    trap(m, "address " + std::to_string(a) + " outside the image");
    return -1;
  }
  return o;
}

Word loadByte(Machine& m, Word address) {
  int a = address & 0xFFFF;
  if (!(a & CODEBIT)) return loadCell(m, a);
  int o = codeOffset(m, a, 1);
  if (o < 0) return 0;
  int b = m.image[o];
  if (b >= 0x80 && m.reading(G11) == G11_SIGN) return b - 0x100;
  return b;
}

Word loadWord(Machine& m, Word address) {
  int a = address & 0xFFFF;
  if (a & CODEBIT) {
    int o = codeOffset(m, a, 2);
    return o < 0 ? 0 : norm(m, m.image[o] | m.image[o + 1] << 8);
  }
  if (m.reading(G17) == G17_CELL) return loadCell(m, a);
  Word lo = loadCell(m, a) & 0xFF;
  return lo | (loadCell(m, (a + 1) & 0x7FFF) & 0xFF) << 8;
}

// True when cell a is one of the link cells of an active frame.
static bool isLink(const Machine& m, int a) {
  for (auto& f : m.frames)
    if (a >= f.fp - 3 && a < f.fp) return true;
  return false;
}

static void store(Machine& m, Word address, Word v) {
  int a = address & 0xFFFF;
  if (a & CODEBIT) {
    if (m.reading(G14) == G14_TRAP) return trap(m, "write to code space (address " + std::to_string(a) + ")");
    int o = codeOffset(m, a, 1);
    if (o >= 0) m.image[o] = code[o] = static_cast<uint8_t>(v);
    return;
  }
  int i = cellAt(m, a, true);
  if (i < 0) return;
  if (isLink(m, i)) return trap(m, "write to a frame link (cell " + std::to_string(i) + ")");
  m.cell[i] = v;
  m.written[i] = 1;
}

// ---------------------------------------------------------------------------
// Operators

static Word compare(Machine& m, int op, Word a, Word b) {
  int64_t x = a, y = b;
  if ((a < 0 || b < 0) && m.reading(G3) == G3_UNSIGNED) {
    x = unsignedOf(m, a);
    y = unsignedOf(m, b);
  }
  switch (op) {
    case C_LT: return flag(m, x < y);
    case C_LE: return flag(m, x <= y);
    case C_GT: return flag(m, x > y);
    default: return flag(m, x >= y);
  }
}

static Word divide(Machine& m, int op, Word a, Word b) {
  if (b == 0) {
    switch (m.reading(G4)) {
      case G4_TRAP: trap(m, "division by zero"); return 0;
      case G4_ZERO: return 0;
      case G4_ONES: return -1;
      default: return a;
    }
  }
  int64_t x = a, y = b;
  if ((a < 0 || b < 0) && m.reading(G3) == G3_UNSIGNED) {
    x = unsignedOf(m, a);
    y = unsignedOf(m, b);
  }
  return norm(m, op == C_DIV ? x / y : x % y);
}

static int wordBits(const Machine& m) { return m.opt.readings.choice[G10] == G10_16 ? 16 : 32; }

// The shift count b, or -1 when the shift empties the word (G9).
static int shiftCount(Machine& m, Word b) {
  uint32_t n = unsignedOf(m, b);
  int bits = wordBits(m);
  if (n < static_cast<uint32_t>(bits)) return static_cast<int>(n);
  return m.reading(G9) == G9_WIDE ? -1 : static_cast<int>(n & (bits - 1));
}

static Word shiftLeft(Machine& m, Word a, Word b) {
  int n = shiftCount(m, b);
  return n < 0 ? 0 : norm(m, static_cast<int64_t>(static_cast<uint64_t>(unsignedOf(m, a)) << n));
}

static Word shiftRight(Machine& m, Word a, Word b) {
  bool logical = a < 0 && m.reading(G3) == G3_UNSIGNED;
  int n = shiftCount(m, b);
  if (n < 0) return a < 0 && !logical ? -1 : 0;
  return logical ? norm(m, unsignedOf(m, a) >> n) : a >> n;
}

static Word binary(Machine& m, int op, Word a, Word b) {
  switch (op) {
    case C_OR: return a | b;
    case C_AND: return a & b;
    case C_XOR: return a ^ b;
    case C_EQ: return flag(m, a == b);
    case C_NE: return flag(m, a != b);
    case C_ADD: return norm(m, int64_t{a} + b);
    case C_SUB: return norm(m, int64_t{a} - b);
    case C_MUL: return norm(m, int64_t{a} * b);
    case C_DIV: case C_MOD: return divide(m, op, a, b);
    case C_LSH: return shiftLeft(m, a, b);
    case C_RSH: return shiftRight(m, a, b);
    default: return compare(m, op, a, b);
  }
}

// POSTINC POSTDEC PREINC PREDEC: address -> old or new value.
static void step1(Machine& m, int op) {
  Word a = pop(m);
  Word old = loadByte(m, a);
  Word now = norm(m, int64_t{old} + (op == C_POSTINC || op == C_PREINC ? 1 : -1));
  store(m, a, now);
  push(m, op == C_POSTINC || op == C_POSTDEC ? old : now);
}

// ---------------------------------------------------------------------------
// Calls, returns, gosub

static int currentFunction(const Machine& m) {
  return m.frames.empty() ? m.mainFunction : m.frames.back().function;
}

// True when the instruction at the return address uses the value: neither
// a DROP nor the start-up code's exit, which only reports it.
static bool valueUsed(const Machine& m, int ret) {
  if (ret == HOSTRETURN) return true;
  if (ret < 0 || ret + 1 >= static_cast<int>(m.image.size())) return true;
  bool exit = m.image[ret] == (C_ALLOC | 4) && m.image[ret + 1] == 0;
  return m.image[ret] != C_POP && !exit;
}

// Makes the frame of a call to target with n arguments; returns false when
// the call traps.
static bool enterFunction(Machine& m, int target, int n, int ret) {
  if (target == 0) return trap(m, "call to address 0 (an unresolved name?)"), false;
  int fi = functionAt(*m.prog, target);
  if (fi < 0 || m.prog->functions[fi].entry == 0)
    return trap(m, "call to " + std::to_string(target) + ", which lies in " +
                       functionName(*m.prog, target)), false;
  const Function& f = m.prog->functions[fi];
  if (target != f.entry) warn(m, "call to " + std::to_string(target) + ", not the entry of " + f.name);
  if (f.args >= 0 && f.args != n)
    warn(m, f.name + " takes " + std::to_string(f.args) + " arguments; called with " + std::to_string(n));
  push(m, ret);
  push(m, m.fp);
  push(m, n);
  if (m.end != End::running) return false;
  m.frames.push_back({ret, m.sp, m.fp, m.nl, n, fi, {}});
  m.fp = m.sp;
  m.nl = 0;
  for (int i = 0; i < DEFSTK; i++) {
    Word old = m.sp < NCELLS ? m.cell[m.sp] : 0;
    push(m, m.opt.readings.choice[G7] == G7_ZERO ? 0 : old);
    if (m.end == End::running) m.written[m.sp - 1] = 0;
  }
  m.nl = DEFSTK;
  m.pc = target;
  return m.end == End::running;
}

// The start-up code's CALL [0] passes main none of its arguments; under G13
// the machine pushes those of --arg and calls with main's count.
static int mainArguments(Machine& m, int n) {
  if (!m.frames.empty() || m.prog->library || m.at != 3 || m.prog->argcount == 0) return n;
  if (m.reading(G13) == G13_NONE) return n;
  warn(m, "main takes " + std::to_string(m.prog->argcount) +
              " arguments: they come from --arg, a convention of this simulator");
  for (int i = 0; i < m.prog->argcount; i++)
    push(m, i < static_cast<int>(m.opt.mainArgs.size()) ? norm(m, m.opt.mainArgs[i]) : 0);
  return m.prog->argcount;
}

// CALL [n]: the function address lies below the n arguments.
static bool callOp(Machine& m, int n) {
  n = mainArguments(m, n);
  int slot = m.sp - 1 - n;
  if (slot < stackFloor(m)) return trap(m, "stack underflow: CALL without its function and arguments"), true;
  int target = m.cell[slot] & 0xFFFF;
  if (!(target & CODEBIT)) return enterFunction(m, target, n, m.pc), true;
  std::vector<Word> args(m.cell.begin() + slot + 1, m.cell.begin() + m.sp);
  Word r = callPlatform(m, target - 0x10000, args.data(), n);
  m.sp = slot;
  push(m, r);
  return false;
}

static void returnOp(Machine& m) {
  if (m.frames.empty()) return trap(m, "RETURN without a call to return from");
  Frame f = m.frames.back();
  Word v = 0;
  if (m.sp > m.fp + m.nl) {
    v = m.cell[--m.sp];
  } else if (valueUsed(m, f.ret)) {
    if (m.reading(G5) == G5_TOP) v = m.sp > 0 ? m.cell[m.sp - 1] : 0;
    warn(m, "the value of " + m.prog->functions[f.function].name + ", which returned none, is used");
  }
  if (!f.gosubs.empty()) {
    m.reading(G8);
    warn(m, "return inside a gosub subroutine");
  }
  m.frames.pop_back();
  m.sp = f.fp - 3 - f.nargs - 1;
  m.fp = f.callerFp;
  m.nl = f.callerNl;
  push(m, v);
  if (f.ret == HOSTRETURN) {
    m.result = v;
    if (m.end == End::running) m.end = End::returned;
  } else {
    m.pc = f.ret;
  }
}

static void gosubOp(Machine& m) {
  int t = pop(m) & 0xFFFF;
  int fi = currentFunction(m);
  if (m.frames.empty() || fi < 0) return trap(m, "gosub outside a function");
  const Function& f = m.prog->functions[fi];
  if (t < f.entry || t >= f.end)
    return trap(m, "gosub target " + std::to_string(t) + " outside the function " + f.name);
  if (m.reading(G8) == G8_STACK) {
    push(m, m.pc);
  } else {
    auto& g = m.frames.back().gosubs;
    if (g.size() >= GOSUBDEPTH)
      return trap(m, "gosub nesting deeper than 64 (a subroutine left by goto?)");
    g.push_back(m.pc);
  }
  m.pc = t;
}

static void endsubOp(Machine& m) {
  if (m.reading(G8) == G8_STACK) {
    if (m.sp <= stackFloor(m)) return trap(m, "endsub without gosub");
    m.pc = pop(m) & 0xFFFF;
    return;
  }
  if (m.frames.empty() || m.frames.back().gosubs.empty()) return trap(m, "endsub without gosub");
  m.pc = m.frames.back().gosubs.back();
  m.frames.back().gosubs.pop_back();
}

// PLOCK: the brackets of a print list are one byte, so the machine can only
// toggle. Closing resets the channel to(ch) chose (G15).
static void printBracket(Machine& m) {
  m.inPrint = !m.inPrint;
  if (m.inPrint) {
    m.printDepth = m.frames.size();
    return;
  }
  if (m.frames.size() != m.printDepth) warn(m, "print brackets interleave (a print item that prints?)");
  if (m.channel != -1 && m.reading(G15) == G15_REDIRECT) m.channel = -1;
}

// ---------------------------------------------------------------------------
// Decoding and the loop

struct Instr {
  int op;        // the byte; for a long instruction its high nibble
  int operand;
  int len;       // bytes, inline ones of PUSH STRING included
  int head;      // bytes before the inline ones
};

// A byte below 0x20 is a short instruction. Above, the low nibble 4 means a
// one-byte operand, 8 a two-byte operand (low byte first), anything else is
// the operand itself.
static bool decode(Machine& m, int a, Instr& in) {
  int size = static_cast<int>(m.image.size());
  int b = m.image[a];
  in = {b, 0, 1, 1};
  if (b >= SHORTCODES) {
    in.op = b & 0xF0;
    int nib = b & 0x0F;
    in.operand = nib;
    if (nib == 4 && a + 1 < size) in.operand = m.image[a + 1];
    if (nib == 8 && a + 2 < size) in.operand = m.image[a + 1] | m.image[a + 2] << 8;
    in.head = in.len = nib == 4 ? 2 : nib == 8 ? 3 : 1;
    if (in.op == C_PUSHS) in.len += in.operand;
  }
  if (a + in.len > size) return trap(m, "instruction cut short by the end of the image"), false;
  return true;
}

// Local i or argument k of the running frame, checked; -1 after a trap.
static int localCell(Machine& m, int i) {
  if (m.frames.empty()) return trap(m, "no frame: not inside a function"), -1;
  if (i >= m.nl)
    return trap(m, "local " + std::to_string(i) + " of a frame with " + std::to_string(m.nl) + " slots"), -1;
  return m.fp + i;
}

static int argumentCell(Machine& m, int k) {
  if (m.frames.empty()) return trap(m, "no frame: not inside a function"), -1;
  int n = m.frames.back().nargs;
  if (k >= n) return trap(m, "argument " + std::to_string(k) + " of a call with " + std::to_string(n)), -1;
  return m.fp - 4 - k;
}

// ALLOCATE STACK SPACE m: the running function needs m local slots; the
// ones beyond the first four start as G7 reads them.
static void allocate(Machine& m, int slots) {
  bool zero = m.opt.readings.choice[G7] == G7_ZERO;
  m.sp = m.fp + std::min(m.nl, slots);
  while (m.sp < m.fp + slots && m.end == End::running) {
    Word old = m.sp < NCELLS ? m.cell[m.sp] : 0;
    push(m, zero ? 0 : old);
    if (m.end == End::running) m.written[m.sp - 1] = 0;
  }
  if (m.end == End::running) m.nl = slots;
}

static void exitOp(Machine& m) {
  m.result = m.sp > m.stackBase ? m.cell[m.sp - 1] : 0;
  m.end = End::exit;
}

// Runs the decoded instruction; returns true when control left the running
// function the way calls and returns do (no check of the new PC).
static bool execute(Machine& m, const Instr& in) {
  int n = in.operand;
  Word a, b;
  int c;
  switch (in.op) {
    case C_ENDSUB: endsubOp(m); return false;
    case C_ASSIGN: b = pop(m); a = pop(m); store(m, a, b); push(m, b); return false;
    case C_PLOCK: printBracket(m); return false;
    case C_DEREFW: push(m, loadWord(m, pop(m))); return false;
    case C_GOSUB: gosubOp(m); return false;
    case C_RETURN: returnOp(m); return true;
    case C_NOT: push(m, flag(m, pop(m) == 0)); return false;
    case C_NEG: push(m, norm(m, -int64_t{pop(m)})); return false;
    case C_POSTINC: case C_POSTDEC: case C_PREINC: case C_PREDEC: step1(m, in.op); return false;
    case C_POP: pop(m); return false;
    case C_DEREF: push(m, loadByte(m, pop(m))); return false;
    case C_DUP: push(m, top(m)); return false;
    case C_INCVAL: trap(m, "SET INDEX OFFSET, an instruction the compiler never produces"); return false;
    case C_CALL: return callOp(m, n);
    case C_PUSHS:
      c = in.head + m.at + (m.reading(G21) == G21_TAGGED ? CODEBIT : 0);
      push(m, static_cast<int16_t>(c));
      return false;
    case C_ALLOC:
      if (n == 0) return exitOp(m), true;
      if (m.frames.empty()) return trap(m, "ALLOCATE STACK SPACE outside a function"), false;
      allocate(m, n);
      return false;
    case C_PUSHC: push(m, norm(m, n)); return false;
    case C_PUSHAC: push(m, static_cast<int16_t>(n)); return false;
    case C_PUSHAL: if ((c = localCell(m, n)) >= 0) push(m, c); return false;
    case C_PUSHL: if ((c = localCell(m, n)) >= 0) push(m, loadCell(m, c)); return false;
    case C_PUSHAA: if ((c = argumentCell(m, n)) >= 0) push(m, c); return false;
    case C_PUSHA: if ((c = argumentCell(m, n)) >= 0) push(m, loadCell(m, c)); return false;
    case C_PUSHAG: push(m, norm(m, n)); return false;
    case C_PUSHG: push(m, loadByte(m, norm(m, n))); return false;
    case C_JUMP: m.pc = n; return false;
    case C_JFALSE: if (pop(m) == 0) m.pc = n; return false;
    case C_JTRUE: if (pop(m) != 0) m.pc = n; return false;
    default:   // the two-operand operators
      b = pop(m);
      a = pop(m);
      push(m, binary(m, in.op, a, b));
      return false;
  }
}

// Every jump, branch and fall-through stays inside the running function's
// code; only calls, returns and the exit leave it.
static void checkFlow(Machine& m, int fi) {
  if (fi < 0) return;
  const Function& f = m.prog->functions[fi];
  if (m.pc >= f.entry && m.pc < f.end) return;
  if (m.pc == f.end)
    return trap(m, "ran off the end of " + f.name + " into " + functionName(*m.prog, m.pc));
  trap(m, "jump to " + std::to_string(m.pc) + ", outside " + f.name);
}

// One line: the instruction as the listing shows it, the function it lies
// in, and the top of the stack after it (rightmost on top).
static void traceLine(Machine& m, int fi) {
  if (!m.opt.diag) return;
  std::string name = fi >= 0 ? m.prog->functions[fi].name : "?";
  if (!m.opt.traceFunction.empty() && name != m.opt.traceFunction) return;
  std::string bytes, text;
  listinstr(m.at, bytes, text);
  if (!text.empty() && text.back() == '\n') text.pop_back();
  std::string stack;
  for (int i = std::max(stackFloor(m), m.sp - 3); i < m.sp; i++) stack += " " + std::to_string(m.cell[i]);
  std::fprintf(m.opt.diag, "%-5d: %-9s%-30s %-12s |%s\n", m.at, bytes.c_str(), text.c_str(),
               name.c_str(), stack.c_str());
}

static void step(Machine& m) {
  m.at = m.pc;
  if (m.pc < 0 || m.pc >= static_cast<int>(m.image.size())) return trap(m, "ran off the end of the image");
  int fi = currentFunction(m);
  Instr in;
  if (!decode(m, m.at, in)) return;
  m.steps++;
  m.pc = m.at + in.len;
  bool left = execute(m, in);
  if (m.end == End::running && !left) checkFlow(m, fi);
  if (m.opt.trace) traceLine(m, fi);
}

void run(Machine& m) {
  while (m.end == End::running) {
    if (m.steps >= m.opt.maxSteps) {
      m.at = m.pc;
      trap(m, "step limit of " + std::to_string(m.opt.maxSteps) + " instructions (--max-steps)");
      break;
    }
    step(m);
  }
  if (m.overflowed || m.highWater * 2 > m.prog->stacksize) m.touched[G2] = true;
  if (m.inPrint && m.end != End::trap) warn(m, "a print bracket is left open at the end");
}

// The serial input: bytes due at time 0, then the schedule's.
static void scheduleInput(Machine& m) {
  for (unsigned char c : m.opt.serialInput) m.input.push_back({0, c});
  auto sched = m.opt.schedule;
  std::stable_sort(sched.begin(), sched.end(), [](auto& a, auto& b) { return a.first < b.first; });
  for (auto& [t, bytes] : sched)
    for (unsigned char c : bytes) m.input.push_back({t, c});
}

void initMachine(Machine& m, const Program& p, const Options& opt) {
  m = Machine{};
  m.prog = &p;
  m.opt = opt;
  m.image = p.image;
  std::memset(code, 0, sizeof code);
  if (!p.image.empty()) std::memcpy(code, p.image.data(), std::min(p.image.size(), sizeof code));
  bool old = opt.readings.choice[G7] == G7_OLD;
  m.cell.assign(NCELLS, old ? OLDFILL : 0);
  m.written.assign(NCELLS, 0);
  m.cell[0] = 0;
  m.stackBase = p.mem;
  if (opt.readings.choice[G12] == G12_APART) m.stackBase = std::max(p.mem, NCELLS / 2);
  m.stackCells = opt.readings.choice[G2] == G2_BYTES ? p.stacksize / 2 : p.stacksize;
  m.stackCells = std::min(m.stackCells, NCELLS - m.stackBase);
  m.sp = m.fp = m.stackBase;
  for (size_t i = 0; i < p.functions.size(); i++)
    if (p.functions[i].entry == 0) m.mainFunction = static_cast<int>(i);
  scheduleInput(m);
}

void startProgram(Machine& m) { m.pc = 0; }

bool startCall(Machine& m, const std::string& name, const std::vector<Word>& args, std::string& err) {
  const Function* f = findFunction(*m.prog, name);
  if (!f || f->entry == 0) {
    err = "no function '" + name + "' in the program (o.aux lists its functions)";
    return false;
  }
  if (f->args >= 0 && f->args != static_cast<int>(args.size())) {
    err = name + " takes " + std::to_string(f->args) + " arguments, not " + std::to_string(args.size());
    return false;
  }
  m.at = m.pc = f->entry;
  push(m, f->entry);
  for (Word a : args) push(m, norm(m, a));
  return enterFunction(m, f->entry, static_cast<int>(args.size()), HOSTRETURN);
}

}  // namespace tavorun
