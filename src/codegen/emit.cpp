// emit.cpp: the emitter, the only way code enters the image.
//
// A short instruction is one byte. A long one is its operation + 4 and one
// operand byte, or + 8 and two operand bytes, low byte first. Jumps always
// take two bytes, so a forward jump can be patched in place once its target
// is known and nothing after it moves.
//
// The image holds MAXCODE bytes, but the last byte stored is at 12286: a
// byte that would land at 12287 or above stops the compilation instead, with
// no message: ecount becomes 1 and the lookahead the end of input, so every
// loop of the passes ends at its next test.
#include <cstdint>

#include "codegen/codegen.h"
#include "front/front.h"

namespace tavo {

unsigned char code[MAXCODE];
int origin;
int lastop;
int force16;
int codefull;
int reachable;

// For each jump placed, by its operand index: whether it can be run. One
// bit each, so that a program touches one page of it, not three.
static unsigned char livejump[MAXCODE / 8 + 1];

constexpr int LASTBYTE = MAXCODE - 2;   // 12286: the last index stored

static void overflow() {
  ecount = 1;
  nextchar = -1;
  codefull = 1;
}

// Stores one byte at origin, unless the image is full.
static void store(int byte) {
  if (origin > LASTBYTE) {
    overflow();
    return;
  }
  code[origin++] = static_cast<unsigned char>(byte);
}

void emitdata(int opc) { store(opc); }

void emitword(int w) {
  store(w);
  store(w >> 8);
}

// A short instruction, or the opcode byte of a long one.
void emit(int opc) {
  lastop = opc & 0xFF;
  store(opc);
}

// A long instruction; returns the index of its first operand byte. The
// one-byte form serves operands whose bits 8 to 15 are clear, except for
// jumps and right after force16 was set.
int emitop(int op, unsigned operand) {
  if (!force16 && op < C_JUMP && (operand & 0xFF00) == 0) {
    emit(op + 4);
    int at = origin;
    store(static_cast<int>(operand));
    force16 = 0;
    return at;
  }
  emit(op + 8);
  int at = origin;
  if (origin >= LASTBYTE) {
    overflow();
  } else {
    code[origin++] = static_cast<unsigned char>(operand);
    code[origin++] = static_cast<unsigned char>(operand >> 8);
  }
  force16 = 0;
  return at;
}

// A jump (or a push to be patched later) with a two-byte operand; returns
// the operand's index.
int placejump(int jumptype, int address) {
  emit(jumptype + 8);
  int at = origin;
  bool jump = jumptype == C_JUMP || jumptype == C_JFALSE || jumptype == C_JTRUE;
  if (at < MAXCODE) {
    unsigned char bit = static_cast<unsigned char>(1u << (at % 8));
    livejump[at / 8] = static_cast<unsigned char>(jump && reachable ? livejump[at / 8] | bit
                                                                     : livejump[at / 8] & ~bit);
  }
  if (jumptype == C_JUMP) reachable = 0;
  emitdata(address);
  emitdata(address >> 8);
  return at;
}

void checkoperand(int value, int line, int col) {
  if (value >= -32768 && value <= 65535) return;
  int kept = value & 0xFFFF;
  if (value < 0) kept = static_cast<int16_t>(kept);   // a negative number stays one
  lint(LINT_OVERFLOW, line, col, "%d does not fit in 16 bits; the module gets %d", value, kept);
}

// Writes c into the two-byte operand at a. Index 0 means no jump was
// recorded: no operand can start there, since code begins at address 7.
void patchjump(int a, int c) {
  if (a == 0) return;
  if (c == origin && a >= 0 && a < MAXCODE && (livejump[a / 8] >> (a % 8) & 1)) reachable = 1;
  if (a >= 0 && a < MAXCODE) code[a] = static_cast<unsigned char>(c);
  if (a + 1 >= 0 && a + 1 < MAXCODE) code[a + 1] = static_cast<unsigned char>(c >> 8);
}

void resetEmitter() {
  for (unsigned char& b : code) b = 0;
  origin = 0;
  lastop = 0;
  force16 = 0;
  codefull = 0;
  reachable = 0;
  for (unsigned char& j : livejump) j = 0;
}

// Byte items, numbers or strings separated by commas, appended to the image;
// returns the number of bytes. A number above 255 keeps its low byte, with a
// warning that is no error.
int loadBytes2Codestream() {
  int count = 0;
  do {
    if (token == TOK_STRING) {
      for (int i = 0; i < stringsize; i++, count++) emit(symbol[i]);
    } else if (token == TOK_CONST) {
      if (lexval > 255)
        warning(true, "Warning, constant is truncated to 8 bit, value was %d\n", lexval);
      emit(lexval);
      count++;
    } else {
      error("Data must be a resolved constant, number or string");
      return count;
    }
    token = getlex();
  } while (match(','));
  return count;
}

}  // namespace tavo
