// stmt.cpp: statements and blocks.
//
// A function body is its local declarations (decloc) and then statements.
// Control statements place two-byte jumps and patch them as soon as their
// target is reached, so the body is compiled in one pass. An if, else or
// while whose controlled statement starts on the same source line takes one
// statement and needs no closing keyword; otherwise a block follows.
#include "codegen/codegen.h"
#include "compiler/compiler.h"
#include "front/front.h"

namespace tavo {

int inif, inwhile, indo;
int nestindex;
int hasreturn, retvoid;
int localids[NLOCAL];
Declared localDecl[NLOCAL];
int nlocal;

// The outermost statement being compiled where no code can be run, and
// whether the function has had its report of one.
static int deadstmt, deadreported;

// The loop stack, one level per open while or repeat: the target of
// continue, and the pending break jumps. A level beyond NLOOPS (reachable
// only after a nesting error) keeps no entry.
static int contstack[NLOOPS];

// Pending breaks of every open loop, each with its level. A break takes
// three bytes of code, so the image cannot hold more than this.
constexpr int MAXBREAKS = MAXCODE / 3 + 1;
static int breakaddr[MAXBREAKS];    // operand index of the break's jump
static int breaklevel[MAXBREAKS];   // loop level it leaves
static int nbreak;

// ---------------------------------------------------------------------------
// The loop stack.

// Drops the pending breaks of a level, patching them to target when it is
// not -1. Patching at a loop's exit thus also empties the list.
static void flushbreaks(int level, int target) {
  int kept = 0;
  for (int i = 0; i < nbreak; i++) {
    if (breaklevel[i] == level) {
      if (target != -1) patchjump(breakaddr[i], target);
    } else {
      breakaddr[kept] = breakaddr[i];
      breaklevel[kept++] = breaklevel[i];
    }
  }
  nbreak = kept;
}

// A loop takes the next level: its break list is emptied, continue goes to
// top.
static void openloop(int top) {
  if (nestindex < NLOOPS) {
    flushbreaks(nestindex, -1);
    contstack[nestindex] = top;
  }
  nestindex++;
}

// ---------------------------------------------------------------------------
// Local declarations.

// The lint for a local named id that hides an argument or something global.
static void lintshadow(int id, int line, int col) {
  const char* hidden = hiddenBy(id);
  for (int i = 0; i < narg; i++)
    if (argids[i] == id) hidden = "argument";
  if (hidden) lint(LINT_SHADOW, line, col, "local '%s' hides the %s of that name", poolname(id), hidden);
}

// var [*] NAME {, NAME} ;  ... as many lines as open the body. Each local
// takes one slot, numbered from 0; more than DEFSTK slots need C_ALLOC.
void decloc() {
  nlocal = 0;
  int n = 0;
  while (token == KW_VAR) {
    SetErrorPos();
    type();
    do {
      int line = tokline, col = tokcol;
      char lname[MAXSYM];
      copytext(lname, sizeof lname, ident);
      int occ = lastName();
      int id = name();
      if (nlocal >= NLOCAL) {
        error("too many local variables (max 50)");
        return;
      }
      localids[nlocal] = id;
      localDecl[nlocal] = {line, col, false};
      if (lintOn[LINT_SHADOW]) lintshadow(id, line, col);
      indexVariable(occ, NAME_LOCAL, lname, nlocal, 0);
      if (match('[')) error("Local arrays not supported in this release of the compiler");
      n++;
      nlocal++;
    } while (match(','));
    expect(';');
  }
  if (n > DEFSTK) emitop(C_ALLOC, static_cast<unsigned>(n));
}

// ---------------------------------------------------------------------------
// Blocks.

// Tokens that end a block; they stay current for the construct that ends.
static int closes(int t) {
  switch (t) {
    case TOK_EOF: case KW_ENDIF: case KW_ELSE: case KW_WEND: case KW_UNTIL:
    case KW_FOREVER: case KW_RETURN: case KW_ENDFUNC:
      return 1;
    default:
      return 0;
  }
}

// Tokens that begin the next statement directly.
static int begins(int t) {
  switch (t) {
    case TOK_NAME: case KW_IF: case KW_WHILE: case TOK_LABEL: case KW_GOTO:
    case KW_PRINT: case KW_REPEAT:
      return 1;
    default:
      return 0;
  }
}

// Statements up to a closing keyword, the end of input or an error. The
// first statement is compiled whatever its token; a return after another
// statement ends the block.
void block() {
  while (ecount == 0 && token != TOK_EOF) {
    SetErrorPos();
    stmt();
    if (parenCount != 0) error("Incomplete expression");
    if (ecount >= 1 || closes(token)) break;
    if (!begins(token)) match(';');
  }
}

// ---------------------------------------------------------------------------
// Control statements.

// if (cond) stmt [else stmt]            all on the if's line
// if (cond) ... [else ...] endif        as blocks
// if (cond) ... else stmt               a statement on the else line
// cond JFALSE L1 then [JUMP L2] L1: [else L2:]
static void ifstmt() {
  int mark = currline;
  token = getlex();
  if (++inif > MAXNEST) error("IF's nested too deeply");
  pexpr();
  int j1 = placejump(C_JFALSE, 0);
  if (currline == mark) {
    stmt();
    int fallsout = reachable;   // the then-part runs on past its end
    patchjump(j1, origin);
    if (currline == mark && token == KW_ELSE) {
      reachable = fallsout;   // the patch above is moved past the jump below
      expectToken(KW_ELSE);
      int j2 = placejump(C_JUMP, 0);
      patchjump(j1, origin);
      stmt();
      patchjump(j2, origin);
    }
  } else {
    block();
    mark = currline;   // the line of the closing keyword
    if (match(KW_ELSE)) {
      int j2 = placejump(C_JUMP, 0);
      patchjump(j1, origin);
      if (currline == mark) {
        stmt();
      } else {
        block();
        expectToken(KW_ENDIF);
      }
      patchjump(j2, origin);
    } else {
      block();   // a return that ended the first block, and what follows it
      patchjump(j1, origin);
      expectToken(KW_ENDIF);
    }
  }
  inif--;
}

// while (cond) stmt       on one line
// while (cond);           no body
// while (cond) ... wend   as a block
// top: cond JFALSE exit body JUMP top exit:    continue: top; break: exit
static void whilestmt() {
  token = getlex();
  int mark = currline;
  int line = currline, col = currcol;
  if (inwhile++ >= MAXNEST) {
    error("WHILE's nested too deeply");
    trash();
    return;
  }
  int top = origin;
  openloop(top);
  pexpr();
  int j1 = placejump(C_JFALSE, 0);
  if (match(';')) {
    inwhile--;
    nestindex--;
  } else if (currline == mark) {
    stmt();
    inwhile--;
    nestindex--;
  } else {
    block();
    if (match(KW_WEND)) {
      inwhile--;
      nestindex--;
    } else {
      errline = line;
      errcol = col;
      error("no matching WEND for WHILE");
    }
  }
  placejump(C_JUMP, top);
  patchjump(j1, origin);
  flushbreaks(nestindex, origin);
}

// repeat ... until (cond)    top: body cond JFALSE top exit:
// repeat ... forever         top: body JUMP top exit:
// continue jumps to top, the body's start; break to exit.
static void repeatstmt() {
  int line = currline, col = currcol;
  token = getlex();
  if (++indo > MAXNEST) error("DO's nested too deeply");
  int top = origin;
  openloop(top);
  block();
  if (match(KW_UNTIL) || match(KW_FOREVER)) {
    indo--;
    nestindex--;
  } else {
    errline = line;
    errcol = col;
    error("REPEAT has no matching UNTIL or FOREVER");
  }
  if (oldtoken == KW_UNTIL) {
    pexpr();
    placejump(C_JFALSE, top);   // repeats while the condition is false
  } else {
    placejump(C_JUMP, top);
  }
  flushbreaks(nestindex, origin);
}

// break ;   a jump to the innermost loop's exit, patched there.
static void breakstmt() {
  if (nestindex == 0) {
    error("Unexpected break");
  } else {
    int at = placejump(C_JUMP, 0);
    if (nestindex - 1 < NLOOPS && nbreak < MAXBREAKS) {
      breakaddr[nbreak] = at;
      breaklevel[nbreak++] = nestindex - 1;
    }
  }
  token = getlex();
  expect(';');
}

// continue ;   a jump back to the innermost loop's top.
static void continuestmt() {
  if (nestindex == 0)
    error("Unexpected continue");
  else
    placejump(C_JUMP, nestindex - 1 < NLOOPS ? contstack[nestindex - 1] : 0);
  token = getlex();
  expect(';');
}

// return expr ;   the value, C_RETURN
// return ;        C_RETURN
static void returnstmt() {
  token = getlex();
  if (token != ';') {
    auxline("RETURNS VALUE\n");
    expr(1, 0);
    hasreturn++;
    emit(C_RETURN);
    reachable = 0;
    expect(';');
  } else {
    emit(C_RETURN);
    reachable = 0;
    expect(';');
    retvoid++;
    if (hasreturn)
      error("the function already returns a value, should return a value here as well");
  }
}

// goto NAME ;   JUMP to the label, patched at endfunc.
static void gotostmt() {
  token = getlex();
  if (token != TOK_NAME) {
    error("Expected a GOTO label");
    return;
  }
  labeltarget();
  declLocalJump(placejump(C_JUMP, 0));
  expect(';');
}

// The lint for an expression, begun at line, col, whose value is dropped
// and that assigned, called and incremented nothing since `before`.
static void linteffect(int before, int from, int line, int col) {
  if (genpop || effects != before || origin == from) return;
  if (lastop == C_EQ)
    lint(LINT_UNUSED_VALUE, line, col, "the result of '==' is dropped; did you mean ':='?");
  else
    lint(LINT_UNUSED_VALUE, line, col, "this statement has no effect");
}

// expr {, expr}   each value dropped, except after a label declaration.
static void exprstmt() {
  do {
    int before = effects, from = origin, line = tokline, col = tokcol;
    valueunused = 1;
    expr(1, 0);
    valueunused = 0;
    linteffect(before, from, line, col);
    if (!genpop) emit(C_POP);
    genpop = 0;
  } while (match(','));
}

// A closing keyword met where none is open is consumed and reported; one
// that closes an open construct is left to that construct.
static void closer(int open, const char* message) {
  if (open) return;
  token = getlex();
  error(message);
}

// Illegal at the start of a statement: consumed and reported.
static void refuse(const char* message) {
  token = getlex();
  error(message);
  ecount = 1;
}

// One statement at the current token; one ';' after it is consumed.
// Returns 1 for an expression statement.
int stmt() {
  if (!nestdeeper()) return 0;
  int isexpr = 0;
  int line = tokline, col = tokcol, from = origin;
  int dead = !reachable && !deadstmt;
  if (dead) deadstmt = 1;
  switch (token) {
    case '{': case '}': error("Syntax Error"); break;
    case TOK_EOF: case ';': break;
    case TOK_LABEL: error("Unxpected label terminator"); break;
    case TOK_CONST: case TOK_STRING: case KW_BYTE: case KW_WORD: case KW_DWORD:
      refuse("Illegal value for left hand side of expression");
      break;
    case KW_VAR: refuse("All variable must be declared prior to any code generation"); break;
    case KW_PRINT: token = getlex(); VM_Print(); break;
    case KW_GOTO: gotostmt(); break;
    case KW_GOSUB: token = getlex(); Gosub(); break;
    case KW_ENDSUB: token = getlex(); emit(C_ENDSUB); reachable = 0; break;
    case KW_ELSE: closer(inif, "ELSE without matching IF"); break;
    case KW_ENDIF: closer(inif, "ENDIF without matching IF"); break;
    case KW_WEND: closer(inwhile, "WEND without matching WHILE"); break;
    case KW_UNTIL: closer(indo, "UNTIL without matching REPEAT"); break;
    case KW_FOREVER: closer(indo, "FOREVER without matching REPEAT"); break;
    case KW_ENDFUNC: closer(infunc, "ENDFUNC without matching FUNC"); break;
    case KW_BREAK: breakstmt(); break;
    case KW_CONTINUE: continuestmt(); break;
    case KW_RETURN: returnstmt(); break;
    case KW_IF: ifstmt(); break;
    case KW_WHILE: whilestmt(); break;
    case KW_REPEAT: repeatstmt(); break;
    default: exprstmt(); isexpr = 1; break;
  }
  match(';');
  if (dead) {
    deadstmt = 0;
    if (origin > from && !deadreported) {
      deadreported = 1;
      lint(LINT_UNREACHABLE, line, col, "this statement can never run");
    }
  }
  nestback();
  return isexpr;
}

void startBody() {
  reachable = 1;
  deadstmt = deadreported = 0;
  selfvalueLine = selfvalueCol = 0;
}

void resetStatements() {
  inif = inwhile = indo = 0;
  nestindex = 0;
  hasreturn = retvoid = 0;
  for (int& id : localids) id = 0;
  for (Declared& d : localDecl) d = {};
  nlocal = 0;
  deadstmt = deadreported = 0;
  for (int& c : contstack) c = 0;
  nbreak = 0;
}

}  // namespace tavo
