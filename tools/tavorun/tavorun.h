// tavorun.h: the simulator of the module's machine, shared by its files.
//
// tavorun runs the code image a compilation left ("o.bin") on a model of the
// machine described in docs/machine.md. What the compiled code does not pin
// down is a named reading (G1 ... G21) with a default and alternatives; the
// machine records which readings a run consulted, so that the run can name
// them and the sensitivity mode can try their alternatives.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace tavorun {

using Word = int32_t;   // a value, normalised to the word width (G10)

// ---------------------------------------------------------------------------
// readings.cpp: the guesses of the model. ORDER GUESS: the table of names
// and choices in readings.cpp follows this order.

enum Guess {
  G1, G2, G3, G4, G5, G6, G7, G7B, G8, G9, G10, G11, G12, G13, G14, G15, G16,
  G17, G18, G19, G20, G21, NGUESS
};

// The choices of each guess, in the order of its table entry; 0 is the
// model's default.
enum { G1_PAD, G1_PLAIN, G1_ZEROS };              // putnum's format word
enum { G2_CELLS, G2_BYTES, G2_NOLINK };           // what stacksize counts
enum { G3_SIGNED, G3_UNSIGNED };                  // < <= > >= / % >>
enum { G4_TRAP, G4_ZERO, G4_ONES, G4_DIVIDEND };  // division by zero
enum { G5_ZERO, G5_TOP };                         // value of a bare return
enum { G6_ONE, G6_MINUS_ONE };                    // value of true
enum { G7_ZERO, G7_OLD };                         // initial memory
enum { G7B_INDEX, G7B_KEY, G7B_SEARCH };          // translate
enum { G8_APART, G8_STACK };                      // gosub return addresses
enum { G9_WIDE, G9_MASK };                        // shift counts >= 16
enum { G10_16, G10_32 };                          // word width
enum { G11_ZERO, G11_SIGN };                      // byte loads from code space
enum { G12_UPWARD, G12_APART };                   // where the stack lies
enum { G13_ARGS, G13_NONE };                      // main's arguments
enum { G14_TRAP, G14_RAM };                       // writes to code space
enum { G15_REDIRECT, G15_TIMEOUT };               // to(ch) and the print brackets
enum { G16_BLOCK, G16_POLL };                     // serin with no byte due
enum { G17_CELL, G17_PAIR };                      // DEREFW on a data cell
enum { G18_MS, G18_CS };                          // pause's unit
enum { G19_STREAM, G19_TEXT };                    // display control characters
enum { G20_COUNT, G20_VALUE };                    // putnum/putstr results
enum { G21_TAGGED, G21_RAW };                     // the address PUSH STRING pushes

struct Readings {
  int choice[NGUESS] = {};
};

const char* guessId(int g);             // "G7b"
const char* guessSubject(int g);        // what it is about
int choiceCount(int g);
const char* choiceName(int g, int c);
bool setReading(Readings& r, const std::string& text, std::string& err);  // "G3=unsigned"
std::string readingsLine(const Readings& r, const bool touched[NGUESS]);
void listReadings(std::FILE* fp);

// ---------------------------------------------------------------------------
// program.cpp: what a compilation left in its directory.

struct Function {
  std::string name;
  int entry = 0, end = 0;  // its code: entry up to (not including) end
  int args = -1;           // from the function details; -1 unknown
  int returns = -1;
};

struct Global {
  std::string name;
  int cell = 0, size = 1;
};

struct Label {
  std::string name;
  int address = 0;
};

struct PlatformFunction {
  std::string name;
  int number = 0, args = 0, returns = 0;
};

struct Program {
  std::vector<uint8_t> image;
  bool library = false;
  int mem = 1;                // data cells of the globals, cell 0 included
  int stacksize = 200;        // cells
  int argcount = 0;           // main's
  bool retval = false;
  std::vector<Function> functions;   // by entry; the start-up code first
  std::vector<Global> globals;
  std::vector<Label> labels;
  std::vector<PlatformFunction> platform;
  std::vector<std::pair<int, int>> tables;   // data tables: address, size
  std::string warnings;       // lines of o.err that are not errors
};

// Reads the summary and log of "o.aux" into p (image already set) and works
// out where every function ends. Returns false with a message when the text
// has no summary.
bool parseAux(Program& p, const std::string& text, std::string& err);
// Loads DIR/o.bin and DIR/o.aux; refuses a compilation that reported errors.
bool loadProgram(Program& p, const std::string& dir, std::string& err);
int functionAt(const Program& p, int address);   // index, or -1
const Function* findFunction(const Program& p, const std::string& name);
const PlatformFunction* findPlatform(const Program& p, int number);

// ---------------------------------------------------------------------------
// machine.cpp: the machine and its run.

constexpr int NCELLS = 0x8000;      // data addresses below bit 15
constexpr int CODEBIT = 0x8000;     // a code-space address carries bit 15
constexpr int GOSUBDEPTH = 64;      // nesting of gosub subroutines (G8)
constexpr int HOSTRETURN = -1;      // return address of a call made by --call

struct Options {
  Readings readings;
  long long maxSteps = 5'000'000;
  std::vector<Word> mainArgs;                          // --arg
  std::map<std::string, std::vector<std::string>> rets;  // --ret NAME=V,V...
  std::string serialInput;                             // bytes due at time 0 ...
  std::vector<std::pair<uint64_t, std::string>> schedule;  // ... or at times
  bool serialFromStdin = false;                        // read at the first serin
  std::string serialOut = "-";                         // sink names; "-" is stdout
  std::map<int, std::string> channels;                 // to(N) -> sink
  bool trace = false;
  std::string traceFunction;                           // empty: all
  std::FILE* diag = nullptr;                           // warnings and traces
};

struct Frame {
  int ret;                  // code address to return to (HOSTRETURN: the host)
  int fp;                   // this frame's first local
  int callerFp, callerNl;
  int nargs;
  int function;             // index in Program::functions
  std::vector<int> gosubs;  // return addresses of open subroutines (G8)
};

enum class End { running, exit, returned, trap };

struct Machine {
  const Program* prog = nullptr;
  Options opt;
  std::vector<uint8_t> image;      // a copy: under G14=ram it may be written
  std::vector<Word> cell;          // data memory
  std::vector<uint8_t> written;    // per cell: stored to since the start
  int pc = 0, at = 0;              // next instruction, and the running one
  int sp = 0, fp = 0, nl = 0;
  int stackBase = 0, stackCells = 0;
  int highWater = 0;
  std::vector<Frame> frames;
  int mainFunction = -1;           // for the start-up code

  bool inPrint = false;            // print bracket state
  size_t printDepth = 0;           // frames when the bracket opened
  int channel = -1;                // to(ch); -1: the display
  std::vector<std::pair<uint64_t, uint8_t>> input;  // serial bytes and when due
  size_t inputPos = 0;
  bool inputLoaded = false;
  uint64_t clock = 0;              // virtual milliseconds
  std::map<std::string, size_t> retIndex;

  End end = End::running;
  std::string trapMessage;
  bool overflowed = false;         // the trap was a stack overflow
  Word result = 0;                 // exit value of main, or the --call result
  long long steps = 0;
  bool touched[NGUESS] = {};
  std::map<std::string, std::string> outputs;  // sink name -> bytes
  std::map<std::string, int> warned;           // warnings given, by text

  int reading(Guess g) { touched[g] = true; return opt.readings.choice[g]; }
};

void initMachine(Machine& m, const Program& p, const Options& opt);
void startProgram(Machine& m);
bool startCall(Machine& m, const std::string& name, const std::vector<Word>& args,
               std::string& err);
void run(Machine& m);

// Helpers the platform functions share with the machine.
Word norm(Machine& m, int64_t v);          // to the word width (G10)
uint32_t unsignedOf(const Machine& m, Word v);
Word flag(Machine& m, bool b);             // true as G6 reads it
Word loadByte(Machine& m, Word address);   // C_DEREF's load
Word loadWord(Machine& m, Word address);   // C_DEREFW's load
void trap(Machine& m, const std::string& what);
void warn(Machine& m, const std::string& what);
std::string where(const Machine& m, int address);   // "at 22 (CALL [1]) in down"

// ---------------------------------------------------------------------------
// platform.cpp: the platform functions on the host.

Word callPlatform(Machine& m, int number, const Word* args, int n);
void emit(Machine& m, const std::string& sink, const std::string& bytes);
std::string formatNumber(Machine& m, Word control, Word value);   // putnum's text

// ---------------------------------------------------------------------------
// report.cpp: what a run tells at its end.

std::string dumpGlobals(const Machine& m);
std::string endLine(const Machine& m);
// Reruns with each alternative of every guess the first run touched; one
// line per alternative.
std::vector<std::string> sensitivity(const Program& p, const Options& opt, const Machine& base,
                                     const std::string& call, const std::vector<Word>& args);
int exitStatus(const Machine& m);   // 0 normal end, 1 trap

}  // namespace tavorun
