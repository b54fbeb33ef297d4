// compiler.h: the second pass: expressions, statements, declarations, print,
// labels, goto, gosub and the lookup tables.
#pragma once

#include "base/nameindex.h"
#include "base/tavomain.h"

namespace tavo {

// ---------------------------------------------------------------------------
// expr.cpp: expressions.
extern int pushop;       // long opcode chosen by the last name search
extern int pusharg;      // operand found by it
extern int parenCount;   // open parentheses of primary ( expressions

int expr(int needval, int precedence);
void pexpr();
int pushval(int staged);
int pushloop(int tok, int max, const int* arr);
void pderef(int l, int tok);
// Nesting of expr and stmt together: nestdeeper opens a level, or reports
// and ends the input when the limit is reached; nestback closes it.
int nestdeeper();
void nestback();
void resetExpressions();
// For the lints: an expression statement sets valueunused before its expr;
// effects counts the assignments, calls and increments compiled; a call of
// the function being compiled whose value was used, while it is not known
// whether that function returns one (selfvalueLine 0: none).
extern int valueunused;
extern int effects;
extern int selfvalueLine, selfvalueCol;

// Where a local, argument or global is declared, and whether a name was
// resolved to it since (for the lints; one entry, so one page, for all three).
struct Declared {
  int line, col;
  bool used;
};

// ---------------------------------------------------------------------------
// stmt.cpp: statements and blocks.
extern int inif, inwhile, indo;    // open ifs, whiles, repeats
extern int nestindex;              // open loops: next free loop-stack entry
extern int hasreturn, retvoid;     // returns with and without a value
// locals of the current function; full: "too many local variables (max 50)"
extern int localids[NLOCAL];       // name-pool index; the slot is the index
extern Declared localDecl[NLOCAL];
extern int nlocal;

void decloc();
void block();
int stmt();
void startBody();   // a function's code begins: what the lints follow
void resetStatements();

// ---------------------------------------------------------------------------
// decl.cpp: the top level.
// global variables; full: "too many global variables (max 3000)"
extern int globids[NGLOB];         // name-pool index
extern int globoffs[NGLOB];        // data-memory address, from 1
extern int globscalar[NGLOB];      // 1 scalar, 0 array
extern Declared globDecl[NGLOB];
extern int nglob;
extern int curgloboffs;            // next free data-memory address
// the program's functions; full: "too many functions (max 3000)"
extern int funids[NFUN];           // name-pool index
extern int funoffs[NFUN];          // code address
extern int funargcnt[NFUN];        // argument count
extern int nfun;
// arguments of the current function; full: "too many arguments (max 50)"
extern int argids[NARG];
extern Declared argDecl[NARG];
extern int infunc;                 // 1 inside a function body

int parse();
// The first index of a name in globids or funids, as a search from index 0
// would find it; -1 when it is not there.
int findglobal(int id);
int findfunction(int id);
void resetDeclarations();
// What a local or argument named id would hide ("global variable", ...),
// or nullptr.
const char* hiddenBy(int id);
void lintProgram();      // the lints of the whole program, after the patches
// The index of names: a variable defined at occurrence occ.
void indexVariable(int occ, NameKind kind, const char* text, int value, int size);
void xapply_patches();   // names in word tables, after the second pass
extern int wordnames;    // how many there were

void resetCompiler();   // every reset of this folder

// ---------------------------------------------------------------------------
// print.cpp
void VM_Print();

// ---------------------------------------------------------------------------
// labels.cpp: labels, goto, gosub and lookups.
// labels; full: "too many labels (max 50)"
extern char* labelids[NLABELS];
extern int labeladdr[NLABELS];
extern int labelLine[NLABELS];
extern int nlabel;
// jumps to labels; full: "too many jumps to labels (max 50)"
extern char* jumpids[NLABELS];
extern int jumpaddr[NLABELS];
extern int jumpLine[NLABELS];
extern int njump;

void declLocalLabel(int org);
int findLocalLabel(const char* id);
void labeltarget();   // consumes a jump's target name for declLocalJump
void declLocalJump(int patch);
void resolveLocalJumps();
void destroyLocalJumps();
void destroyLocalLabels();
void Gosub();
void lookup8();
void lookup16();
void resetLabels();

}  // namespace tavo
