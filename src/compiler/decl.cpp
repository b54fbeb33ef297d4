// decl.cpp: the top level of the second pass.
//
// parse reads the source again from its start and compiles global
// declarations and function definitions straight into the tables and the
// code image; directive lines, already carried out by the first pass, are
// passed over. Globals live in data memory, cells counted from 1; functions
// follow the data tables in the code image, each at the origin where its
// definition begins.
#include <cstdint>
#include <cstring>

#include "base/nameindex.h"
#include "codegen/codegen.h"
#include "compiler/compiler.h"
#include "directives/directives.h"
#include "front/front.h"

namespace tavo {

int globids[NGLOB];
int globoffs[NGLOB];
int globscalar[NGLOB];
Declared globDecl[NGLOB];
int nglob;
int curgloboffs;
int funids[NFUN];
int funoffs[NFUN];
int funargcnt[NFUN];
int nfun;
int argids[NARG];
Declared argDecl[NARG];
int infunc;

// The first entry of each name in globids and funids, by pool index, plus
// one (0: none). Names are resolved once per use, so with thousands of
// globals and functions a search of the tables would dominate a compilation.
// The index catches up with the table when it is consulted, and an entry
// counts only while it still points at that name within the count.
constexpr int NAMEINDEXSIZE = NAMESIZE / 2 + 1;   // more names than the pool holds
static_assert(NGLOB < UINT16_MAX && NFUN < UINT16_MAX);

namespace {

struct FirstIndex {
  uint16_t first[NAMEINDEXSIZE];   // two bytes hold NGLOB and NFUN: half the pages
  int indexed;   // table entries taken into account so far

  int valid(const int* ids, int count, int id) const {
    int i = first[id] - 1;
    return i >= 0 && i < count && ids[i] == id ? i : -1;
  }
  int find(const int* ids, int count, int id) {
    if (indexed > count) indexed = count;
    for (; indexed < count; indexed++) {
      int k = ids[indexed];
      if (k < 0 || k >= NAMEINDEXSIZE) continue;
      if (valid(ids, indexed, k) < 0) first[k] = static_cast<uint16_t>(indexed + 1);
    }
    return id >= 0 && id < NAMEINDEXSIZE ? valid(ids, count, id) : -1;
  }
};

FirstIndex globfirst, funfirst;

}  // namespace

int findglobal(int id) { return globfirst.find(globids, nglob, id); }
int findfunction(int id) { return funfirst.find(funids, nfun, id); }

const char* hiddenBy(int id) {
  if (findglobal(id) >= 0) return "global variable";
  if (findfunction(id) >= 0) return "function";
  if (id >= RESERVEDNAMES && id < RESERVEDNAMES + SYSTEMCALLS) return "platform function";
  return nullptr;
}

// What a function definition tells parse to do next.
enum { GO_ON, STOP, FAIL };

// ---------------------------------------------------------------------------
// Function definitions.

// A variable in the index of names: an argument or a local of the function
// being compiled (value: its index), or a global (value: its address).
void indexVariable(int occ, NameKind kind, const char* text, int value, int size) {
  if (!nameindex.active) return;
  NameDefinition d{kind, text};
  d.value = value;
  d.size = size;
  if (kind != NAME_GLOBAL) d.scope = nameindex.function;
  if (kind == NAME_ARGUMENT && d.scope >= 0) {
    nameindex.defs[d.scope].argNames.push_back(text);
    nameindex.defs[d.scope].args++;
  }
  defineName(occ, d);
}

// ( [var [*] ARG {, var [*] ARG}] ): each argument's pool index in argids.
// Returns 0 when the argument table is full.
static int arguments() {
  narg = 0;
  if (match(')')) {
    auxline("Function requires no arguments\n");
    return 1;
  }
  do {
    type();
    char argname[MAXSYM];   // as read, whatever the token after it is
    copytext(argname, sizeof argname, ident);
    int line = tokline, col = tokcol;
    int occ = lastName();
    int id = name();
    if (narg >= NARG) {
      error("too many arguments (max 50)");
      return 0;
    }
    if (const char* hidden = lintOn[LINT_SHADOW] ? hiddenBy(id) : nullptr)
      lint(LINT_SHADOW, line, col, "argument '%s' hides the %s of that name", argname, hidden);
    argDecl[narg] = {line, col, false};
    argids[narg++] = id;
    auxline("ARG ", narg, " is \"", argname, "\"\n");
    indexVariable(occ, NAME_ARGUMENT, argname, narg - 1, 0);
  } while (match(','));
  expect(')');
  return 1;
}

// The lints of a function at its endfunc (at line, col): the value of its
// own calls when it returns none, an end it can run off, and the names
// nothing used.
static void lintbody(int line, int col) {
  if (!hasreturn && selfvalueLine)
    lint(LINT_VOID_VALUE, selfvalueLine, selfvalueCol,
         "'%s' returns no value, but its value is used", currentFunctionName);
  if (hasreturn && lastop == C_RETURN && reachable)
    lint(LINT_MISSING_RETURN, line, col,
         "'%s' returns a value but can reach endfunc without return; it then runs on into the "
         "code that follows",
         currentFunctionName);
  for (int i = 0; i < nlocal && i < NLOCAL; i++)
    if (!localDecl[i].used)
      lint(LINT_UNUSED_LOCAL, localDecl[i].line, localDecl[i].col, "local '%s' is never used",
           poolname(localids[i]));
  for (int i = 0; i < narg && i < NARG; i++)
    if (!argDecl[i].used)
      lint(LINT_UNUSED_ARGUMENT, argDecl[i].line, argDecl[i].col, "argument '%s' of '%s' is never used",
           poolname(argids[i]), currentFunctionName);
}

// What is left open at endfunc, and the closing return: added when the
// body's last instruction is not one, which a function returning a value
// must not need.
static void endbody(int details, int line, int col) {
  infunc = 0;
  if (details >= 0) FunctionReturns[details] = hasreturn ? 1 : 0;
  endFunction(hasreturn ? 1 : 0);
  if (ecount == 0) {
    if (oldtoken != KW_ENDFUNC) error("error in function before ENDFUNC");
    if (indo)
      error("DO loop could not be completed");
    else if (inwhile)
      error("WHILE loop could not be completed");
    else if (inif)
      error("missing ENDIF before ENDFUNC");
  }
  resolveLocalJumps();
  destroyLocalJumps();
  destroyLocalLabels();
  auxline("END FUNCTION\n");
  lintbody(line, col);
  if (lastop != C_RETURN) {
    emit(C_RETURN);
    if (hasreturn)
      error("the function already returns a value, should return a value prior to endfunc");
  }
  if (hasreturn && retvoid) error("the function has conflicting returns prior to endfunc");
}

// func NAME ( args )            the body starts on a later line
//   locals, statements
// endfunc
// 'func' is consumed. The name must be new to the pool; the function is
// known (funids, function details) from its own body on.
static int funcdef() {
  nlabel = 0;
  njump = 0;
  nlocal = 0;
  infunc = 1;
  char fname[MAXSYM];   // as read, whatever the token after it is
  copytext(fname, sizeof fname, ident);
  int occ = lastName();
  int id = name();
  hasreturn = 0;
  retvoid = 0;
  auxline("\n[COMPILED] ", fname, " address=", origin, "\n");
  if (found) {
    error("function name used elsewhere");
    return STOP;
  }
  copytext(currentFunctionName, sizeof currentFunctionName, fname);
  int address = origin;
  expect('(');
  thisline = currline;   // the line of the token after '('
  if (nfun >= NFUN) {
    error("too many functions (max 3000)");
    return STOP;
  }
  funids[nfun] = id;
  funoffs[nfun] = address;
  if (nameindex.active) {
    NameDefinition d{NAME_FUNCTION, fname};
    d.value = address;
    beginFunction(defineName(occ, d));
  }
  if (!arguments()) return STOP;
  int details = InstallFunctionDetails(currentFunctionName, address, narg, 0);
  if (details < 0) return STOP;
  funargcnt[nfun] = narg;
  nfun++;
  if (currline == thisline) {
    error("function has extraneous information");
    next();
    return FAIL;
  }
  startBody();
  decloc();
  lastop = -1;
  while (token != KW_ENDFUNC && token != TOK_EOF && ecount == 0) block();
  int line = tokline, col = tokcol;   // of endfunc
  match(KW_ENDFUNC);
  endbody(details, line, col);
  return GO_ON;
}

// ---------------------------------------------------------------------------
// Global declarations.

// A number for an array size or multiplier; its value is taken before the
// lexer reads on.
static int number() {
  int v = lexval;
  expectToken(TOK_CONST);
  return v;
}

// var [*] NAME [{N}] [[SIZE]] {, NAME [{N}] [[SIZE]]} ;
// A scalar takes one cell, an array SIZE cells, times N when given.
static void globals() {
  type();
  do {
    auxline("\n[GLOBAL] ", ident, " address=", curgloboffs, " \n");
    int line = tokline, col = tokcol;
    char gname[MAXSYM];
    copytext(gname, sizeof gname, ident);
    int occ = lastName();
    int id = name();
    if (found == 1) {
      error("multiple definition of variable");
      found = 0;
    }
    if (nglob >= NGLOB) {
      error("too many global variables (max 3000)");
      return;
    }
    globoffs[nglob] = curgloboffs;
    globDecl[nglob] = {line, col, false};
    int multiplier = 1;
    if (match('{')) {
      multiplier = number();
      expect('}');
    }
    // Cell counts are signed 32-bit and wrap, as all arithmetic on
    // numbers does; unsigned arithmetic gives the wrap without overflow.
    unsigned cells = 1;
    if (match('[')) {
      cells = static_cast<unsigned>(number()) * static_cast<unsigned>(multiplier);
      expect(']');
      globscalar[nglob] = 0;
    } else {
      globscalar[nglob] = 1;
    }
    indexVariable(occ, NAME_GLOBAL, gname, globoffs[nglob], globscalar[nglob] ? 0 : static_cast<int>(cells));
    curgloboffs = static_cast<int>(static_cast<unsigned>(curgloboffs) + cells);
    globids[nglob] = id;
    nglob++;
  } while (match(','));
  expect(';');
}

// ---------------------------------------------------------------------------
// Directives, passed over.

// Skips lines up to the '#' of a block's #END, then demands END.
static void skipblock() {
  while (token != TOK_HASH && token != TOK_EOF) {
    trash();
    token = getlex();
  }
  match(TOK_HASH);
  expectToken(KW_END);
}

// '#' is current. A one-line #CONST or #DATA keeps the names met on its
// line in the pool; everything else skipped gives them back.
static void directive() {
  thisline = currline;
  int saved = namecount;
  token = getlex();
  if (token == KW_CONST || token == KW_DATA) {
    int isconst = token == KW_CONST;
    token = getlex();
    if (isconst) saved = namecount;
    if (currline == thisline) {
      trash();
      token = getlex();
      return;
    }
    skipblock();
  } else {
    trash();
    token = getlex();
  }
  namecount = saved;
}

// ---------------------------------------------------------------------------
// The pass.

// Compiles the whole source. Returns 1 only when the compilation must stop
// with no outputs ("function has extraneous information"); ecount tells of
// any other error.
int parse() {
  curgloboffs = 1;
  rewindSource();
  nextchar = readchar();
  token = getlex();
  ecount = 0;
  inif = inwhile = indo = 0;
  parenCount = 0;
  while (ecount == 0 && token >= 0) {
    switch (token) {
      case TOK_CONST:
        token = getlex();
        error("Line numbers are not supported");
        ecount = 1;
        break;
      case KW_FUNC: {
        token = getlex();
        int r = funcdef();
        if (r == FAIL) return 1;
        if (r == STOP) return 0;
        break;
      }
      case KW_VAR: globals(); break;
      case KW_OBJECT: token = getlex(); break;
      case TOK_HASH: directive(); break;
      default: error("unknown command"); break;
    }
  }
  return 0;
}

void resetDeclarations() {
  for (int i = 0; i < NGLOB; i++) globids[i] = globoffs[i] = globscalar[i] = 0;
  for (Declared& d : globDecl) d = {};
  for (Declared& d : argDecl) d = {};
  nglob = 0;
  curgloboffs = 0;
  for (int i = 0; i < NFUN; i++) funids[i] = funoffs[i] = funargcnt[i] = 0;
  nfun = 0;
  for (int& a : argids) a = 0;
  narg = 0;
  infunc = 0;
  globfirst = funfirst = FirstIndex{};
}

// ---------------------------------------------------------------------------
// The lints of the whole program, once every use of a name is known.

// The pool index of "main", or -1 when no name of the program is main.
static int findmain() {
  for (int i = 0; i < namecount; i++)
    if (std::strcmp(poolname(i), "main") == 0) return i;
  return -1;
}

void lintProgram() {
  for (int i = 0; i < nglob; i++)
    if (!globDecl[i].used && findglobal(globids[i]) == i)
      lint(LINT_UNUSED_GLOBAL, globDecl[i].line, globDecl[i].col, "global '%s' is never used",
           poolname(globids[i]));
  int id = findmain();
  if (id < 0) {
    lint(LINT_LIBRARY, 0, 0, "no main: the image is a library");
  } else if (int g = findfunction(id) < 0 ? findglobal(id) : -1; g >= 0) {
    lint(LINT_MAIN, globDecl[g].line, globDecl[g].col,
         "'main' is a global variable, not a function; the start-up code calls address %d",
         globoffs[g]);
  }
}

// Every global of the second pass back to its load-time state.
void resetCompiler() {
  resetExpressions();
  resetStatements();
  resetDeclarations();
  resetLabels();
  wordnames = 0;
}

}  // namespace tavo
