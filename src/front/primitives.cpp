// primitives.cpp: the small steps every parsing routine takes.
//
// match tests and advances; expect and expectToken demand a token and
// report when it is missing; expectEOL demands the end of a line; type and
// name read declarations. None stops the compilation by itself.
#include "front/front.h"

namespace tavo {

int oldtoken;

// Advances past t when it is the current token.
int match(int t) {
  if (token != t) return 0;
  oldtoken = t;
  token = getlex();
  return 1;
}

// Demands a punctuation token; a missing one is reported at the reader.
void expect(int t) {
  SetErrorPos();
  if (match(t)) return;
  errorf("Expected a '%c'", t);
  next();
}

// Demands a keyword or a lexical class. A keyword is named by its word,
// anything else by its number.
void expectToken(int t) {
  if (match(t)) return;
  if (t >= KEYWORDBASE && t < KEYWORDBASE + namecount)
    errorf("Expected keyword '%s'", poolname(t - KEYWORDBASE));
  else
    errorf("Expected token %d", t);
  if (t == TOK_NAME) diagnote("token %d is a name", t);
  if (t == TOK_CONST) diagnote("token %d is a number or a numeric constant", t);
  if (t == TOK_STRING) diagnote("token %d is a quoted string", t);
  next();
}

static int isblank(int c) { return c == ' ' || c == '\t'; }

// A block comment whose '*' is the lookahead: consumed through its "*/",
// or to the end of input.
static void skipblock() {
  while (nextchar != -1) {
    int c = next();
    if (c == '*' && nextchar == '/') {
      next();
      return;
    }
  }
}

// What may follow a '/' at the end of a line: a line or a block comment.
static void comment() {
  if (nextchar == '/')
    trash();
  else if (nextchar == '*')
    skipblock();
}

// Only blanks and comments may follow on the line; the newline stays the
// lookahead.
void expectEOL() {
  while (isblank(nextchar)) next();
  if (nextchar == '/') {
    next();
    comment();
    while (isblank(nextchar)) {
      next();
      comment();
    }
  }
  if (nextchar != '\n') {
    error("Unexpected parameters at EOL");
    trash();
  }
}

// var, with an optional '*' that means nothing.
void type() {
  if (token != KW_VAR) error("expected VAR");
  expectToken(KW_VAR);
  match(TOK_MUL);
}

// Reads a name; returns its pool index (a stale one after an error).
int name() {
  if (token != TOK_NAME) error("name expected");
  int index = lexval;
  token = getlex();
  return index;
}

void resetPrimitives() { oldtoken = 0; }

}  // namespace tavo
