// tavomain.h: what every part of the Tavo compiler shares.
//
// The compiler is a set of plain procedures over fixed-size global tables.
// This header holds the limits, the token codes, the P-code opcodes and the
// state that three or more folders touch. Each folder's own header declares
// what that folder offers the others; a global is defined in exactly one
// source file, its owner.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tavo {

// ---------------------------------------------------------------------------
// Limits. Every table refuses the entry that would overflow it with an error
// of the shape "too many ... (max N)"; nothing is ever written past a table.

constexpr int MAXCODE = 12288;      // bytes in the code image
constexpr int CODEOFFSET = 7;       // start-up header: push main, call, exit
constexpr int NSYM = 5000;          // symbol-table entries (constants, tables)
constexpr int NHASH = 512;          // symbol-table hash buckets
constexpr int HP1 = 7;              // hash multiplier of the first+last sum
constexpr int HP2 = 2;              // hash multiplier of the length
constexpr int NAMESIZE = 70000;     // characters in the name pool
constexpr int MAXSYM = 70;          // name and number buffers, NUL included
constexpr int MAXNAMELEN = MAXSYM - 1;   // longest name or number kept
constexpr int MAXSTRLEN = 255;      // longest string or character constant
constexpr int MACROBUFSIZE = 15000; // text of the macro being expanded
constexpr int MAXMACROTEXT = 199;   // longest text of a $ definition
constexpr int MAXMACRODEPTH = 64;   // expansions one scan may make
constexpr int NEWFUNCSIZE = 30000;  // inherited names, each after a space
constexpr int NGLOB = 3000;         // global variables
constexpr int NFUN = 3000;          // functions (details table and funids)
constexpr int NARG = 50;            // arguments of one function
constexpr int NLOCAL = 50;          // locals of one function
constexpr int NLABELS = 50;         // labels, and jumps to labels, per function
constexpr int MAXNEST = 10;         // open ifs, whiles or repeats of one kind
constexpr int NLOOPS = 2 * MAXNEST; // loop stack: whiles and repeats together
constexpr int PATCHTABLESIZE = 1000;  // names in word tables
constexpr int MAXERRORS = 1;        // the compiler stops at the first error
constexpr int DEFSTK = 4;           // local slots a function gets for free
constexpr int SHORTCODES = 32;      // opcodes below this take no operand
constexpr int FILENAMESIZE = 256;   // buffers of the fixed file names
constexpr int FUNCNAMESIZE = 3000;  // currentFunctionName

// ---------------------------------------------------------------------------
// P-code opcodes. Short instructions are one byte. A long instruction's
// value is its operation; it is emitted as value + 4 with a one-byte operand
// or value + 8 with a two-byte operand, low byte first.

constexpr int C_ENDSUB = 0x00;   // end of a gosub subroutine
constexpr int C_ASSIGN = 0x01;   // address, value -> value
constexpr int C_PLOCK = 0x02;    // print redirect, brackets a print list
constexpr int C_OROR = 0x02;     // the same byte under its operator name
constexpr int C_DEREFW = 0x03;   // address -> word value
constexpr int C_OR = 0x04;       // a, b -> a | b
constexpr int C_AND = 0x05;      // a, b -> a & b
constexpr int C_EQ = 0x06;       // a, b -> a == b
constexpr int C_NE = 0x07;       // a, b -> a != b
constexpr int C_LT = 0x08;       // a, b -> a < b
constexpr int C_GOSUB = 0x09;    // address -> (runs the subroutine)
constexpr int C_RETURN = 0x0A;   // return from a function
constexpr int C_GE = 0x0B;       // a, b -> a >= b
constexpr int C_ADD = 0x0C;      // a, b -> a + b
constexpr int C_SUB = 0x0D;      // a, b -> a - b
constexpr int C_MUL = 0x0E;      // a, b -> a * b
constexpr int C_DIV = 0x0F;      // a, b -> a / b
constexpr int C_MOD = 0x10;      // a, b -> a % b
constexpr int C_NOT = 0x11;      // a -> !a
constexpr int C_NEG = 0x12;      // a -> -a
constexpr int C_LSH = 0x13;      // a, b -> a << b
constexpr int C_POSTINC = 0x14;  // address -> old value, variable + 1
constexpr int C_POSTDEC = 0x15;  // address -> old value, variable - 1
constexpr int C_POP = 0x16;      // a ->
constexpr int C_DEREF = 0x17;    // address -> value
constexpr int C_LE = 0x18;       // a, b -> a <= b
constexpr int C_DUP = 0x19;      // a -> a, a
constexpr int C_GT = 0x1A;       // a, b -> a > b
constexpr int C_INCVAL = 0x1B;   // set index offset (never emitted)
constexpr int C_XOR = 0x1C;      // a, b -> a ^ b
constexpr int C_PREINC = 0x1D;   // address -> new value
constexpr int C_PREDEC = 0x1E;   // address -> new value
constexpr int C_RSH = 0x1F;      // a, b -> a >> b

constexpr int C_CALL = 0x20;     // operand: argument count
constexpr int C_PUSHS = 0x30;    // operand: inline byte count, bytes follow
constexpr int C_ALLOC = 0x40;    // operand: local slots; 0 is the exit
constexpr int C_PUSHC = 0x50;    // operand: constant
constexpr int C_PUSHAC = 0x60;   // operand: code address or -function number
constexpr int C_PUSHAL = 0x70;   // operand: local index, pushes its address
constexpr int C_PUSHL = 0x80;    // operand: local index (never emitted)
constexpr int C_PUSHAA = 0x90;   // operand: argument index, pushes address
constexpr int C_PUSHA = 0xA0;    // operand: argument index (never emitted)
constexpr int C_PUSHAG = 0xB0;   // operand: global address, pushes it
constexpr int C_PUSHG = 0xC0;    // operand: global address (never emitted)
constexpr int C_JUMP = 0xD0;     // operand: target address
constexpr int C_JFALSE = 0xE0;   // operand: target; pops, jumps if zero
constexpr int C_JTRUE = 0xF0;    // operand: target; pops, jumps if not zero

// ---------------------------------------------------------------------------
// Tokens. An operator token carries its infix precedence in the high byte
// and the opcode it compiles to in the low byte. Punctuation is its own
// character code, reserved words are KEYWORDBASE + their pool index, and the
// lexical classes start at 0x2000, above everything else. -1 ends the input.

constexpr int TOK_ASSIGN = 0x0101;   // :=
constexpr int TOK_OROR = 0x0302;     // ||  (compiled as a short circuit)
constexpr int TOK_ANDAND = 0x0403;   // &&  (compiled as a short circuit)
constexpr int TOK_OR = 0x0504;       // |
constexpr int TOK_AND = 0x0605;      // &
constexpr int TOK_XOR = 0x071C;      // ^
constexpr int TOK_EQ = 0x0806;       // ==
constexpr int TOK_NE = 0x0807;       // !=
constexpr int TOK_LT = 0x0808;       // <
constexpr int TOK_GE = 0x080B;       // >=
constexpr int TOK_LE = 0x0818;       // <=
constexpr int TOK_GT = 0x081A;       // >
constexpr int TOK_ADD = 0x0A0C;      // +
constexpr int TOK_SUB = 0x0A0D;      // -
constexpr int TOK_MUL = 0x0B0E;      // *
constexpr int TOK_DIV = 0x0B0F;      // /
constexpr int TOK_MOD = 0x0B10;      // %
constexpr int TOK_NOT = 0x0C11;      // !
constexpr int TOK_LSH = 0x0C13;      // <<
constexpr int TOK_POSTINC = 0x0C14;  // ++
constexpr int TOK_POSTDEC = 0x0C15;  // --
constexpr int TOK_RSH = 0x0C1F;      // >>

static_assert((TOK_ASSIGN & 0xFF) == C_ASSIGN, "operator token carries its opcode");
static_assert((TOK_OR & 0xFF) == C_OR && (TOK_AND & 0xFF) == C_AND);
static_assert((TOK_XOR & 0xFF) == C_XOR && (TOK_EQ & 0xFF) == C_EQ);
static_assert((TOK_NE & 0xFF) == C_NE && (TOK_LT & 0xFF) == C_LT);
static_assert((TOK_GE & 0xFF) == C_GE && (TOK_LE & 0xFF) == C_LE);
static_assert((TOK_GT & 0xFF) == C_GT && (TOK_ADD & 0xFF) == C_ADD);
static_assert((TOK_SUB & 0xFF) == C_SUB && (TOK_MUL & 0xFF) == C_MUL);
static_assert((TOK_DIV & 0xFF) == C_DIV && (TOK_MOD & 0xFF) == C_MOD);
static_assert((TOK_NOT & 0xFF) == C_NOT && (TOK_LSH & 0xFF) == C_LSH);
static_assert((TOK_POSTINC & 0xFF) == C_POSTINC && (TOK_POSTDEC & 0xFF) == C_POSTDEC);
static_assert((TOK_RSH & 0xFF) == C_RSH);

constexpr int TOK_NAME = 0x2000;     // identifier (pool index in lexval)
constexpr int TOK_CONST = 0x2001;    // number, character or numeric constant
constexpr int TOK_STRING = 0x2002;   // "text" (in symbol, strsize with NUL)
constexpr int TOK_DOLLAR = 0x2003;   // $
constexpr int TOK_HASH = 0x2004;     // #
constexpr int TOK_MACRO = 0x2005;    // symbol kind of a $ macro, never a token
constexpr int TOK_LABEL = 0x2006;    // : not followed by =
constexpr int TOK_EOF = -1;

// Reserved words: token = KEYWORDBASE + index in the name pool, where the
// driver enters them in exactly this order (reservedWords in driver.cpp).
constexpr int KEYWORDBASE = 200;
constexpr int KW_IF = 200;
constexpr int KW_ELSE = 201;
constexpr int KW_ENDIF = 202;
constexpr int KW_WHILE = 203;
constexpr int KW_WEND = 204;
constexpr int KW_REPEAT = 205;
constexpr int KW_UNTIL = 206;
constexpr int KW_FOREVER = 207;
constexpr int KW_ENDFUNC = 208;
constexpr int KW_RETURN = 209;
constexpr int KW_BREAK = 210;
constexpr int KW_CONTINUE = 211;
constexpr int KW_BYTE = 212;      // also the token of a byte table's name
constexpr int KW_WORD = 213;      // also the token of a word table's name
constexpr int KW_DWORD = 214;     // also the token of a dword table's name
constexpr int KW_VAR = 215;
constexpr int KW_OBJECT = 216;
constexpr int KW_FUNC = 217;
constexpr int KW_INHERIT = 218;
constexpr int KW_PLATFORM = 219;
constexpr int KW_INCLUDE = 220;
constexpr int KW_CONSTANT = 221;
constexpr int KW_OPTIMIZE = 222;
constexpr int KW_PRINT = 223;
constexpr int KW_CONST = 224;
constexpr int KW_DATA = 225;
constexpr int KW_END = 226;
constexpr int KW_STACK = 227;
constexpr int KW_GOTO = 228;
constexpr int KW_GOSUB = 229;
constexpr int KW_ENDSUB = 230;
constexpr int KW_LOOKUP8 = 231;
constexpr int KW_LOOKUP16 = 232;
constexpr int NRESERVED = 33;
constexpr int NBUILTINS = 9;
static_assert(KW_LOOKUP16 == KEYWORDBASE + NRESERVED - 1, "33 reserved words");

// ---------------------------------------------------------------------------
// Shared state.

// state.cpp: the compilation as a whole, set up by the driver
extern int pass;                 // 1 in the directive pass, 2 in the second
extern int RESERVEDNAMES;        // set at run time: pool size after the words
extern int INHERENTNAMES;        // set at run time: ... after the built-ins
extern int LASTNAME;             // set at run time: ... after inherited names
extern int SYSTEMCALLS;          // set at run time: LASTNAME - RESERVEDNAMES
extern int hasMain;              // 1 when "main" is in the pool after pass 2
extern int codesize;             // image size, header included
extern int main_argcount;        // taken from main's function details
extern int main_hasret;
extern int controlfile;          // 1 when "dev.tvo" exists
extern std::FILE* src_fp;
extern std::FILE* err_fp;
extern std::FILE* list_fp;
extern std::FILE* hex_fp;
extern std::FILE* sym_fp;
extern std::FILE* aux_fp;
extern std::FILE* map_fp;
extern std::FILE* bin_fp;
extern char in_filename[FILENAMESIZE];
extern char list_filename[FILENAMESIZE];
extern char hex_filename[FILENAMESIZE];
extern char sym_filename[FILENAMESIZE];
extern char err_filename[FILENAMESIZE];
extern char aux_filename[FILENAMESIZE];
extern char map_filename[FILENAMESIZE];
extern char bin_filename[FILENAMESIZE];
extern char cntrl_filename[FILENAMESIZE];
extern char fun_filename[FILENAMESIZE];
extern char currentFunctionName[FUNCNAMESIZE];  // function being read
extern int thisline;             // line saved at the start of a construct
extern int narg;                 // arguments of the function being read

// diagnostics.cpp: the error file
extern int ecount;               // errors so far, never above MAXERRORS
extern int errline;              // position that error() reports
extern int errcol;               // 0: the report names the line only

// emit.cpp: the code image
extern unsigned char code[MAXCODE];
extern int origin;               // next free byte of code

// lexer.cpp: the current token and the reader's position
extern int token;
extern int lexval;
extern int genpop;               // set by ':' so a label statement pops nothing
extern int nextchar;             // lookahead character; -1 is the end of input
extern int currline;             // line of the lookahead, from 1
extern int currcol;              // characters consumed on the current line
int next();                      // moves the reader on by one character

// files.cpp
std::FILE* openInput(const char* path);  // a directory counts as absent
std::FILE* openOutput(const char* path, const char* mode);  // "wb"/"w+b", emptied
void closeOutput(std::FILE*& fp, const char* name);   // notes a failure to write name
struct FileFailure {     // a file that could not be written or read completely
  std::string file;
  bool writing;
  int err;               // the system's reason (errno)
};
extern std::vector<FileFailure> filefailures;
void notefailure(const char* file, bool writing, int err);
void resetFiles();

// memfiles.cpp: the compilation's directory in memory. While memfiles is
// set, openInput and openOutput use its tables instead of the current
// directory: paths are relative to its top ("o.src", "Include/NAME").
struct MemoryFiles {
  std::map<std::string, std::string> inputs;    // by path
  std::map<std::string, std::string> outputs;   // every output opened, as written
};
extern MemoryFiles* memfiles;
bool memoryFilesSupported();     // false where the C library has no custom streams
bool memoryPath(const char* path, std::string& out);   // the table's path a path names
std::FILE* memoryInput(const char* path);
std::FILE* memoryOutput(const char* path, const char* mode);
// The bytes behind an input stream opened from memory (null for any other
// stream); they stay put while the stream is open.
const std::string* memoryBytes(std::FILE* fp);

// textstore.cpp: copies of names and texts kept until resetTextStore()
char* keeptext(const char* s);
char* keeptext(const char* s, size_t len);
void resetTextStore();

// Copies src into dst of `size` bytes, cut to fit, always terminated.
inline void copytext(char* dst, size_t size, const char* src) {
  size_t n = src ? std::strlen(src) : 0;
  if (n >= size) n = size - 1;
  std::memcpy(dst, src ? src : "", n);
  dst[n] = 0;
}

// auxlog.cpp: lines of "o.aux", put together from pieces (texts, numbers,
// texts in a field of spaces), buffered until auxflush() or the close: the
// log of a program at the tables' limits runs to 730 KB, and each write to
// the file is a system call.
constexpr size_t AUXBUFSIZE = 1 << 16;
extern char auxbuf[AUXBUFSIZE];
extern size_t auxlen;
void auxspill(const char* s, size_t n);   // s when the buffer cannot take it
void auxflush();                 // writes what is buffered; drops it when aux_fp is closed

struct Field {   // text, left-aligned in width characters (pushed right when longer)
  std::string_view text;
  size_t width;
};

inline void auxpiece(std::string_view s) {
  if (s.size() > AUXBUFSIZE - auxlen) return auxspill(s.data(), s.size());
  std::memcpy(auxbuf + auxlen, s.data(), s.size());
  auxlen += s.size();
}
void auxpiece(int v);            // in decimal
void auxpiece(const Field& f);

// Writes one line (or several, or part of one) of the log, when it is open.
template <typename... Pieces>
void auxline(const Pieces&... pieces) {
  if (aux_fp) (auxpiece(pieces), ...);
}

// diagnostics.cpp. Every report to "o.err" is also kept as a record, for
// hosts that show diagnostics themselves (tavoc's messages, JSON); the
// records never change what "o.err" holds.
// The lints (lint.cpp) are records only: "o.err" never sees them.
enum DiagKind {
  DIAG_ERROR,       // an "o.err" line that counts an error
  DIAG_WARNING,     // an "o.err" line that counts none
  DIAG_LINT,        // a warning about what compiles but is likely a mistake
  DIAG_LINT_NOTE,   // a lint that only tells, as a note (a library)
};
struct Diagnostic {
  DiagKind kind;
  std::string message;   // as "o.err" has it, without position or line end
  std::string file;      // the file being read, as the directory names it
  int line, col;         // 0 when the report names none
  int pass;              // 0 before the passes (a file that cannot be opened)
  std::string note;      // what a number or placeholder in the message means
  std::string name;      // a lint's name ("overflow"), "" for the others
};
extern std::vector<Diagnostic> diagnostics;
extern std::string readingFile;   // "o.src", or the function file being read
// An "o.err" line that counts no error; the format ends with its line end.
void warning(bool positioned, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
void diagnote(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

std::string formatted(const char* fmt, va_list ap);   // a printf format filled in

int eputchar(int c);
void eputstr(const char* s);
void SetErrorPos();
void error(const char* s);
void errorf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void baderror(const char* s);
void fatal_error(const char* reason, int errorcode);
void resetDiagnostics();

// lint.cpp: warnings about what the language accepts in silence, found
// while compiling. Each has a name (-Wname in tavoc) and is reported only
// while switched on; none is reported once an error is counted.
enum Lint {
  LINT_OVERFLOW,          // a constant that 16 bits cannot hold
  LINT_VOID_VALUE,        // the value of a function that returns none
  LINT_MISSING_RETURN,    // a value-returning function that can run off its end
  LINT_LIBRARY,           // no main (a note)
  LINT_MAIN,              // main that the start-up code cannot call as a function
  LINT_UNUSED_LOCAL,
  LINT_UNUSED_ARGUMENT,
  LINT_UNUSED_GLOBAL,
  LINT_UNUSED_VALUE,      // an expression statement that does nothing
  LINT_SHADOW,            // a local or argument hiding another name
  LINT_UNREACHABLE,       // a statement that can never run
  NLINTS
};
struct LintInfo {
  const char* name;
  bool byDefault;       // on unless switched off
  bool note;            // reported as a note, never an error under -Werror
  const char* example;  // a line that draws it
  const char* says;     // what it reports, for --help
};
extern const LintInfo lints[NLINTS];
extern bool lintOn[NLINTS];   // which are reported: a host's setting, kept by resetAll()
int findLint(std::string_view name);   // its index, or -1
void lint(Lint which, int line, int col, const char* fmt, ...)
    __attribute__((format(printf, 4, 5)));
void resetLints();   // lintOn back to the defaults

}  // namespace tavo
