// listing.cpp: the P-code listing "o.lst", a readable decoding of the
// finished image.
//
// One line per instruction: the address in a field of 5, ": ", the
// instruction's 1 to 3 bytes in hex padded to column 16, and from column 17
// its text. A program gets an empty line before address 7, setting its
// start-up header apart; the source's data area is one "[DATA]" line; every
// RETURN is followed by an empty line, since its text ends in a line end.
#include <string>

#include "directives/directives.h"
#include "output/output.h"

namespace tavo {

// Texts of the short instructions, indexed by the opcode byte 0x00..0x1F.
static const char* const shortText[SHORTCODES] = {
    "ENDSUB",  "ASSIGN",  "PRINT REDIRECT", "DEREFW",     "OR",      "AND",
    "TEST EQ", "TEST NE", "TEST LT",        "GOSUB",      "RETURN\n", "TEST GE",
    "ADD",     "SUB",     "MUL",            "DIV",        "MOD",     "NOT",
    "NEG",     "LEFT SHIFT", "POSTINC",     "POSTDEC",    "DROP",    "DEREF",
    "TEST LE", "DUP",     "TEST GT",        "SET INDEX OFFSET", "XOR", "PREINC",
    "PREDEC",  "RIGHT SHIFT"};
static_assert(sizeof shortText / sizeof shortText[0] == SHORTCODES, "one text per short opcode");

// Formats of the long instructions, indexed by the high nibble 2..15 less 2.
// C_PUSHS, C_ALLOC and C_PUSHAC have texts of their own (longText below).
static const char* const longFormat[16 - 2] = {
    "CALL [%d]",                 // 0x20 C_CALL: argument count
    "PUSH STRING %d \"",         // 0x30 C_PUSHS: inline bytes follow
    "ALLOCATE STACK SPACE %d",   // 0x40 C_ALLOC: 0 is the exit
    "PUSH CONST %d",             // 0x50 C_PUSHC
    "PUSH FUNCTION ADDRESS %d",  // 0x60 C_PUSHAC: or a platform function
    "PUSH ADDRESS OF LOCAL %d",  // 0x70 C_PUSHAL
    "PUSH LOCAL %d",             // 0x80 C_PUSHL
    "PUSH ARG PTR %d",           // 0x90 C_PUSHAA
    "PUSH ARG %d",               // 0xA0 C_PUSHA
    "PUSH ADDRESS OF GLOBAL %d", // 0xB0 C_PUSHAG
    "PUSH GLOBAL %d",            // 0xC0 C_PUSHG
    "JUMP %d",                   // 0xD0 C_JUMP
    "JFALSE %d",                 // 0xE0 C_JFALSE
    "JTRUE %d"};                 // 0xF0 C_JTRUE

// The three heading lines; the third is followed by an empty line.
void listheading(std::FILE* fp, int size) {
  std::fprintf(fp, "Tavo Compiler V0.1\n");
  std::fprintf(fp, "P-code Listing\n");
  std::fprintf(fp, "codesize = %d\n\n", size);
}

// The byte at a. An instruction cut short by the end of the image (a long
// opcode in the last byte, a C_PUSHS whose count runs past it) is decoded
// with the bytes the code array holds beyond it, and the walk then stops.
// Those are zero bytes, except where a jump at the very end of a full image
// had its operand patched: the patch writes the array past the last byte
// stored. Past the array the bytes are taken as zero.
static int byteAt(int a) { return a >= 0 && a < MAXCODE ? code[a] : 0; }

static std::string format(const char* fmt, int n) {
  char buf[64];
  std::snprintf(buf, sizeof buf, fmt, n);
  return buf;
}

// Text of the long instruction family op (high nibble) with operand n.
static std::string longText(int op, int n) {
  if (op == C_ALLOC && n == 0) return "EXIT";
  if (op == C_PUSHAC && n >= 0x7FFF) return format("PUSH FUNCTION TOKEN %d", n - 65536);
  return format(longFormat[(op >> 4) - 2], n);
}

// Decodes the instruction at a: fills its bytes column and text and returns
// its length, inline bytes of a string included.
static int decode(int a, std::string& bytes, std::string& text) {
  int op = byteAt(a);
  int len = 1;
  int n = op & 0x0F;   // the operand-in-nibble form
  if (op >= SHORTCODES && (op & 0x0F) == 4) {
    n = byteAt(a + 1);
    len = 2;
  } else if (op >= SHORTCODES && (op & 0x0F) == 8) {
    n = byteAt(a + 1) | byteAt(a + 2) << 8;
    len = 3;
  }
  bytes.clear();
  for (int i = 0; i < len; i++) bytes += format("%02X", byteAt(a + i));
  if (op < SHORTCODES) {
    text = shortText[op];
    return len;
  }
  text = longText(op & 0xF0, n);
  if ((op & 0xF0) != C_PUSHS) return len;
  // The inline bytes: printable ones as themselves, others as a full stop;
  // the last one (a string's terminating zero) gives way to the closing
  // quote, which with no bytes at all replaces the opening quote itself.
  for (int i = 0; i < n; i++) {
    int c = byteAt(a + len + i);
    text += c >= 0x20 && c <= 0x7F ? static_cast<char>(c) : '.';
  }
  text.back() = '"';
  return len + n;
}

// The listing's bytes column and text of the instruction at a, for tools
// that decode an image held in the code array; returns its length.
int listinstr(int a, std::string& bytes, std::string& text) { return decode(a, bytes, text); }

// Lists the instructions from address from up to (not including) to.
void dumpcode(std::FILE* fp, int from, int to) {
  if (from < 0) from = 0;
  if (to > MAXCODE) to = MAXCODE;
  std::string bytes, text;
  for (int a = from; a < to;) {
    if (hasMain == 1 && a == CODEOFFSET) std::fprintf(fp, "\n");
    if (a >= dataStart && a < dataEnd) {
      std::fprintf(fp, "%-5d: [DATA]   %d bytes\n", a, dataEnd - dataStart);
      a = dataEnd;
      continue;
    }
    int len = decode(a, bytes, text);
    std::fprintf(fp, "%-5d: %-9s%s\n", a, bytes.c_str(), text.c_str());
    a += len;
  }
}

}  // namespace tavo
