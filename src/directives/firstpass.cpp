// firstpass.cpp: the directive pass.
//
// The first of the two passes over the source acts only on lines that begin
// with '#' and a directive word; every other line is skipped unread. It loads
// the platform function files, defines the constants, macros and data tables
// (which go into the code image from address 7), and settles the stack size.
// Names that enter the pool during the pass are forgotten at its end; the
// symbol-table entries stay for the second pass.
#include <cstring>

#include "base/nameindex.h"
#include "codegen/codegen.h"
#include "directives/directives.h"
#include "front/front.h"

namespace tavo {

int main_stackSize;
int dataStart;
int dataEnd;

// The lowest and highest stack sizes #STACK accepts.
constexpr int MINSTACK = 20;
constexpr int MAXSTACK = 5000;
constexpr int DEFAULTSTACK = 200;

// #inherit "file": one more function file, read at this place.
static void inheritDirective() {
  token = getlex();
  if (token != TOK_STRING) {
    error("expected a filename");
    return;
  }
  LoadFunctionFile("./Include/", symbol);
}

// #optimize "ON" | "OFF": logged only; the code does not change. The log
// line shows whatever text the lexer last collected.
static void optimizeDirective() {
  token = getlex();
  auxline("OPTIMIZATION ", symbol, "\n");
  if (token == TOK_STRING && (std::strcmp(symbol, "ON") == 0 || std::strcmp(symbol, "OFF") == 0))
    trash();
  else
    error("expected #optimize \"ON\" or #optimize \"OFF\"");
}

// #STACK n, once per program, 20 <= n <= 5000. The directive counts as given
// before its value is checked.
static void stackDirective(int& gotstack) {
  if (gotstack) {
    error("stack size is already declared");
    return;
  }
  gotstack = 1;
  token = getlex();
  if (token != TOK_CONST)
    error("expected a number for stack size");
  else if (lexval < MINSTACK || lexval > MAXSTACK)
    error("bad value for stacksize (min 20, max 5000)");
  else
    main_stackSize = lexval;
}

// One directive; token is the word after '#'. Whatever token is left
// current afterwards, the pass loop discards the rest of its line.
static void directive(int& gotstack) {
  switch (token) {
    case KW_INHERIT: inheritDirective(); break;
    case KW_CONSTANT:
      token = getlex();
      addConstant();
      break;
    case KW_OPTIMIZE: optimizeDirective(); break;
    case KW_CONST:
      token = getlex();
      addConstBlock();
      break;
    case KW_DATA:
      token = getlex();
      addDataBlock();
      break;
    case KW_STACK: stackDirective(gotstack); break;
    default:
      error("unrecognized # directive");
      trash();
      break;
  }
}

// The first pass. Returns the error count: 0 when the second pass may run.
int preprocess() {
  int oldnamecount = namecount;
  int gotstack = 0;
  newfuncs[0] = 0;
  newcount = 0;
  toknum = -10;      // -1 to -9 are the built-in functions
  main_stackSize = DEFAULTSTACK;

  PreloadPersonalityFiles();

  // The loader resumed the source after each file; start it afresh.
  rewindSource();
  currline = 1;
  currcol = 1;
  nextchar = readchar();
  token = getlex();

  while (ecount < 1 && nextchar != -1) {
    if (!match(TOK_HASH)) {   // only a '#' that starts a line counts
      forgetCurrentName();     // the second pass reads this line
      trash();
      token = getlex();
      continue;
    }
    thisline = currline;
    directive(gotstack);
  }

  namecount = oldnamecount;
  if (dataStart != 0) dataEnd = origin;
  return ecount;
}

void resetFirstPass() {
  main_stackSize = 0;
  dataStart = dataEnd = 0;
}

}  // namespace tavo
