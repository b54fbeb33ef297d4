// expr.cpp: expressions.
//
// One left-to-right pass with no tree: each operand and operator is emitted
// as soon as it has been read. A variable is reached through its address;
// each level of expr keeps an lvalue flag that says whether the address is
// still on the stack, not yet loaded, and loads it (pderef) when a value is
// needed. Binary operators climb by the precedence held in the high byte of
// their token and emit the opcode held in its low byte.
#include <cstdint>
#include <cstring>

#include "codegen/codegen.h"
#include "compiler/compiler.h"
#include "directives/directives.h"
#include "front/front.h"

namespace tavo {

int pushop;
int pusharg;
int parenCount;
int valueunused;
int effects;
int selfvalueLine, selfvalueCol;

// Nesting of expr and stmt calls together: a parenthesis, unary operator,
// call, index or statement inside another (the right operand of a binary
// operator is none, see climb). Each level takes stack, a few hundred bytes,
// so past MAXDEPTH levels the source is treated as ending there, after one
// report: no program nests so deep, and a pathological one cannot exhaust
// even a 1 MB stack.
constexpr int MAXDEPTH = 1000;
static int depth;

int nestdeeper() {
  if (depth >= MAXDEPTH) {
    error("expression or statement nested too deeply (max 1000 levels)");
    nextchar = -1;
    token = TOK_EOF;
    return 0;
  }
  depth++;
  return 1;
}

void nestback() { depth--; }

// Sets pushop to tok and searches arr[0..max-1] for lexval; on the first
// match pusharg becomes the index and the result is 1.
int pushloop(int tok, int max, const int* arr) {
  pushop = tok;
  for (int i = 0; i < max; i++) {
    if (arr[i] == lexval) {
      pusharg = i;
      return 1;
    }
  }
  return 0;
}

// Resolves the name whose pool index is in lexval: locals, arguments,
// globals, compiled functions, then platform functions. Sets pushop and
// pusharg and, unless staged, emits the push. Returns 1 when what is pushed
// is an lvalue (a scalar's address), 0 otherwise.
// Globals and functions are found through their name index rather than a
// search; pushop still ends as the opcode of the last table tried.
int pushval(int staged) {
  int lval, i;
  if (pushloop(C_PUSHAL, nlocal, localids)) {
    localDecl[pusharg].used = true;
    lval = 1;
  } else if (pushloop(C_PUSHAA, narg, argids)) {
    argDecl[pusharg].used = true;
    pusharg = narg - pusharg - 1;   // the last argument is 0
    lval = 1;
  } else if (pushop = C_PUSHAG; (i = findglobal(lexval)) >= 0) {
    globDecl[i].used = true;
    lval = globscalar[i];           // an array's address is its value
    pusharg = globoffs[i];
  } else if (pushop = C_PUSHAC; (i = findfunction(lexval)) >= 0) {
    pusharg = funoffs[i];
    lval = 0;
  } else if (lexval >= RESERVEDNAMES && lexval < RESERVEDNAMES + SYSTEMCALLS) {
    pusharg = -(lexval - RESERVEDNAMES + 1);   // serin -1, putch -2, ...
    lval = 0;
  } else {
    error("undefined variable or function");
    return 0;
  }
  if (!staged) emitop(pushop, static_cast<unsigned>(pusharg) & 0xFFFF);
  return lval;
}

// Loads through the address on the stack when l is set: a word when the
// expression began with a word table's name, a byte or cell otherwise.
void pderef(int l, int tok) {
  if (l) emit(tok == KW_WORD ? C_DEREFW : C_DEREF);
}

// ( expr )
void pexpr() {
  expect('(');
  expr(1, 0);
  expect(')');
}

// ---------------------------------------------------------------------------
// Primaries and postfix operators.

// A string: C_PUSHS with the byte count (terminator included), then the
// bytes inline. The text is taken before the lexer reads on. Kept out of
// primary, which nests: its buffer need not take stack at every level.
[[gnu::noinline]] static void pushstring() {
  char text[MAXSTRLEN + 1];
  int size = strsize;
  std::memcpy(text, symbol, static_cast<size_t>(size));
  token = getlex();
  emitop(C_PUSHS, static_cast<unsigned>(size));
  for (int i = 0; i < size; i++) emitdata(text[i]);
}

// A name: a label declaration when a lone ':' follows, otherwise the push
// that pushval chooses. The pool index is taken before the lexer reads on.
// Returns the lvalue flag; *label is set for a label.
static int pushname(int* funcid, int* label) {
  int id = lexval;
  token = getlex();
  if (token == TOK_LABEL) {
    declLocalLabel(origin);
    *label = 1;
    return 0;
  }
  int following = lexval;   // the value of the token now current
  lexval = id;
  int lval = pushval(0);
  lexval = following;
  *funcid = pusharg;
  return lval;
}

// The argument-count check of a call of the function numbered funcid, na
// arguments given. A callee with no function details is not checked.
// Returns the callee's entry in the function details, or -1.
static int checkargs(int funcid, int na) {
  int k = FindFunctionDetails(funcid);
  if (k < 0 || k >= FunctionCount || FunctionNumber[k] != funcid) return -1;
  const char* fname = FunctionName[k];
  int n = FunctionParameterCount[k];
  if (n > 0 && na == 0)
    errorf("Function '%s' requires %d arguments", fname, n);
  else if (n > 0 && na < n)
    errorf("Insufficient arguments to function '%s' (requires %d, got %d)", fname, n, na);
  else if (n > 0 && na > n)
    errorf("Too many arguments to function '%s' (requires %d, got %d)", fname, n, na);
  else if (n == 0 && na > 0)
    errorf("Function '%s' requires no arguments, got %d", fname, na);
  return k;
}

// callee ( args ): the function address, the arguments left to right,
// C_CALL with their count. '(' is current. Returns the callee's entry in
// the function details, or -1.
static int call(int lval, int tok, int funcid) {
  pderef(lval, tok);   // a variable holding a function address is loaded
  token = getlex();
  int na = 0;
  if (!match(')')) {
    do {
      expr(1, 0);
      na++;
    } while (match(','));
    expect(')');
  }
  int k = checkargs(funcid, na);
  emitop(C_CALL, static_cast<unsigned>(na));
  effects++;
  return k;
}

// What a direct call of the function numbered funcid, entry k of the
// function details, leaves: NOVALUE when the function returns none, SELF
// when it is the function being compiled (whether that returns a value is
// known at its endfunc), VALUE otherwise.
enum { VALUE, NOVALUE, SELF };

static int callvalue(int funcid, int k) {
  if (infunc && nfun > 0 && funcid == funoffs[nfun - 1]) return SELF;
  return k >= 0 && !FunctionReturns[k] ? NOVALUE : VALUE;
}

// The value of a call that callvalue() found to be `what` is used; the call
// was at line, col.
static void usevalue(int what, int k, int line, int col) {
  if (what == NOVALUE) {
    lint(LINT_VOID_VALUE, line, col, "'%s' returns no value, but its value is used",
         FunctionName[k]);
  } else if (what == SELF && selfvalueLine == 0) {
    selfvalueLine = line;
    selfvalueCol = col;
  }
}

// base [ index ]: the base's address (a scalar is loaded: it holds a
// pointer), the index, scaled by 2 for a word table, added. '[' is current.
static void index(int lval, int tok) {
  pderef(lval, tok);
  token = getlex();
  expr(1, 0);
  if (tok == KW_WORD) {
    emitop(C_PUSHC, 2);
    emit(C_MUL);
  }
  emit(C_ADD);
  expect(']');
}

// base . CONST: adds a constant offset to the address. '.' is current.
static void field() {
  token = getlex();
  if (token == TOK_CONST) {
    int v = lexval;
    checkoperand(v, tokline, tokcol);
    token = getlex();
    emitop(C_PUSHC, static_cast<unsigned>(v));
    emit(C_ADD);
  } else {
    error("expected a known label or constant after dot operator");
  }
}

// The primary at the current token. Returns its lvalue flag; *stop is set
// when the expression ends here (a label, or print).
static int primary(int* funcid, int* stop) {
  int lval = 0;
  switch (token) {
    case TOK_CONST:
    case KW_BYTE:
    case KW_WORD:
    case KW_DWORD: {   // a number, or a table's address + 0x8000
      int v = lexval;
      checkoperand(v, tokline, tokcol);
      token = getlex();
      emitop(C_PUSHC, static_cast<unsigned>(v));
      break;
    }
    case TOK_STRING:
      pushstring();
      break;
    case TOK_NAME:
      lval = pushname(funcid, stop);
      break;
    case '(':
      parenCount++;
      token = getlex();
      lval = expr(0, 0);   // parentheses keep an lvalue an lvalue
      expect(')');
      parenCount--;
      break;
    case TOK_AND:   // &x: the address is the value
      token = getlex();
      if (expr(0, 0x100) == 0) baderror("lvalue required");
      break;
    case TOK_MUL:
    case TOK_LSH:
    case TOK_RSH:   // *p: the value is used as an address
      token = getlex();
      expr(1, 0x100);
      lval = 1;
      break;
    case TOK_SUB:
      token = getlex();
      expr(1, 0x100);
      emit(C_NEG);
      break;
    case TOK_NOT:
      token = getlex();
      expr(1, 0x100);
      emit(C_NOT);
      break;
    case TOK_POSTINC:   // ++x: the operand is not checked
      token = getlex();
      expr(0, 0x100);
      emit(C_PREINC);
      effects++;
      break;
    case TOK_POSTDEC:
      token = getlex();
      expr(0, 0x100);
      emit(C_PREDEC);
      effects++;
      break;
    case KW_LOOKUP8:
      token = getlex();
      lookup8();
      break;
    case KW_LOOKUP16:
      token = getlex();
      lookup16();
      break;
    case KW_PRINT:
      *stop = 1;
      break;
    default:
      token = getlex();
      error("syntax error in expression");
      break;
  }
  return lval;
}

// ---------------------------------------------------------------------------
// expr.

// An operator waiting for its right operand (see climb); small, as climb
// keeps room for several at each level of nesting.
struct Waiting {
  int16_t jump;          // && and ||: the jump to patch after it (a code index)
  uint8_t precedence;    // of the expression the operator belongs to (below 0x20)
  uint8_t op;            // any other operator: its opcode, emitted after it
  bool jumps;
};

// The expressions that operators wait in have rising precedences, and a
// token's high byte is at most 0x20: no more than 11 (1, 3 to 8, 10 to 12
// and 0x20) wait at once. The bound is checked all the same.
constexpr int NWAITING = 12;

// a && b:  a DUP JFALSE L POP b L:     a || b:  a DUP NOT JFALSE L POP b L:
// The left value decides and is then itself the result. Emits what comes
// before b and returns the jump to patch after it.
static int shortcircuit() {
  int t = token;
  token = getlex();
  emit(C_DUP);
  if (t == TOK_OROR) emit(C_NOT);
  int j = placejump(C_JFALSE, 0);
  emit(C_POP);
  return j;
}

// A primary and its postfix operators, in an expression that takes binary
// operators above `precedence`. Returns the lvalue flag; *stop is set when
// the expression ends at the primary (a label, or print).
static int operand(int tok, int* stop, int precedence) {
  int funcid = 0;
  int dropped = valueunused;   // an expression statement's: its value is dropped
  valueunused = 0;
  int line = tokline, col = tokcol;
  SetErrorPos();
  int lval = primary(&funcid, stop);
  if (*stop) return 0;
  int named = tok == TOK_NAME && pushop == C_PUSHAC;   // a function, called by name
  int value = VALUE;   // what the last call left, while nothing used it
  int callee = -1;     // its entry in the function details

  for (;; named = 0) {
    if (value != VALUE && (token == '(' || token == '[' || token == '.' ||
                           token == TOK_POSTINC || token == TOK_POSTDEC)) {
      usevalue(value, callee, line, col);
      value = VALUE;
    }
    if (token == '(') {
      callee = call(lval, tok, funcid);
      if (named) value = callvalue(funcid, callee);
      lval = 0;
    } else if (token == '[') {
      index(lval, tok);
      lval = 1;
    } else if (token == '.') {
      field();
    } else if (token == TOK_POSTINC || token == TOK_POSTDEC) {
      int op = token & 0xFF;
      token = getlex();
      if (!lval) error("no lval for post inc/dec");
      emit(op);
      effects++;
      lval = 0;
    } else {
      // A value left by a call and used by what follows (not dropped by a
      // statement, or taken by an operator of this expression).
      if (value != VALUE && (!dropped || token >> 8 > precedence))
        usevalue(value, callee, line, col);
      return lval;
    }
  }
}

// The expression at the current token: an operand, then binary operators
// climbing by precedence. The right operand of an operator is an expression
// of the operator's precedence, compiled here too rather than by recursion:
// the operator waits until that expression ends, so that a chain of rising
// precedences takes no machine stack. An expression that has taken an
// operator is a value (lvalue flag 0), so once its right operand is done
// nothing of it matters but its precedence.
static int climb(int needval, int precedence) {
  Waiting waiting[NWAITING];
  int nwaiting = 0;
  int tok = token;   // the first token decides word access
  int stop = 0;
  int lval = operand(tok, &stop, precedence);
  for (;;) {
    // Any token whose high byte exceeds the limit is taken as an operator.
    int p = token >> 8;
    if (!stop && p > precedence && nwaiting < NWAITING) {
      int op = token & 0xFF;
      if (op == C_ASSIGN && !lval) {
        error("missing LVAL");
        stop = 1;   // this expression ends, with no value of its own
      } else {
        if (op != C_ASSIGN) pderef(lval, tok);
        bool jumps = token == TOK_ANDAND || token == TOK_OROR;
        int jump = 0;
        if (jumps)
          jump = shortcircuit();
        else
          token = getlex();
        waiting[nwaiting++] = Waiting{static_cast<int16_t>(jump), static_cast<uint8_t>(precedence),
                                      static_cast<uint8_t>(op), jumps};
        precedence = p;   // the right operand, a value
        needval = 1;
        tok = token;
        lval = operand(tok, &stop, precedence);
        continue;
      }
    }
    if (stop)
      lval = 0;
    else if (needval) {
      pderef(lval, tok);
      lval = 0;
    }
    if (nwaiting == 0) return lval;
    // The expression was the right operand of the operator below it.
    const Waiting& w = waiting[--nwaiting];
    if (w.jumps) {
      patchjump(w.jump, origin);
    } else {
      emit(w.op);
      if (w.op == C_ASSIGN) effects++;
    }
    precedence = w.precedence;
    lval = 0;
    stop = 0;
  }
}

// Compiles the expression at the current token, absorbing binary operators
// of precedence above `precedence` (0x100 takes a primary with its postfix
// operators only). With needval the result is a value and 0 is returned;
// otherwise an lvalue stays an address and 1 is returned. The token that
// ends the expression stays current. The first token decides word access.
int expr(int needval, int precedence) {
  if (!nestdeeper()) return 0;
  int lval = climb(needval, precedence);
  nestback();
  return lval;
}

void resetExpressions() {
  pushop = pusharg = parenCount = depth = 0;
  valueunused = effects = selfvalueLine = selfvalueCol = 0;
}

}  // namespace tavo
