// lint.cpp: warnings about what the language accepts in silence.
//
// The compiler notices these while it compiles, from its own tables; each
// part reports what it owns (expr.cpp values, decl.cpp declarations, ...).
// A lint is a record in `diagnostics` and nothing else: the files a
// compilation leaves are the same whether lints are on or off.
#include "base/tavomain.h"

namespace tavo {

// ORDER LINT: one entry per enum Lint value, in its order.
const LintInfo lints[NLINTS] = {
    {"overflow", true, false, "i := 70000;",
     "a number or constant that does not fit in the 16 bits of an operand"},
    {"void-value", true, false, "i := show();",
     "the value of a function that returns none, used in an expression"},
    {"missing-return", true, false, "if (c) return 1;  (the last line before endfunc)",
     "a function that returns a value but can reach endfunc and run on"},
    {"library", true, true, "a program without func main()",
     "no main: the image is a library (a note)"},
    {"main", true, false, "var main;",
     "main that is not a function: the start-up code calls it all the same"},
    {"unused-local", true, false, "var tmp;  (never used)",
     "a local variable that nothing uses"},
    {"unused-argument", true, false, "func f(var a)  (a never used)",
     "an argument that nothing uses"},
    {"unused-global", false, false, "var total;  (never used)",
     "a global variable that nothing uses, in code or in a word table"},
    {"unused-value", true, false, "x == 1;",
     "an expression statement that has no effect"},
    {"shadow", false, false, "var x;  (a local in func f(var x))",
     "a local or argument that hides an argument, global or function"},
    {"unreachable", false, false, "return 1; x := 2;",
     "a statement that can never run"},
};

bool lintOn[NLINTS] = {};

int findLint(std::string_view name) {
  for (int i = 0; i < NLINTS; i++)
    if (name == lints[i].name) return i;
  return -1;
}

// Positions come from the reader, which counts the columns of a file's
// first line from 2: the first character there is column 1 in the record.
void lint(Lint which, int line, int col, const char* fmt, ...) {
  if (!lintOn[which] || ecount != 0) return;
  va_list ap;
  va_start(ap, fmt);
  std::string message = formatted(fmt, ap);
  va_end(ap);
  if (line == 1 && col > 1) col--;
  DiagKind kind = lints[which].note ? DIAG_LINT_NOTE : DIAG_LINT;
  diagnostics.push_back({kind, message, readingFile, line, col, pass, {}, lints[which].name});
}

void resetLints() {
  for (int i = 0; i < NLINTS; i++) lintOn[i] = lints[i].byDefault;
}

// The defaults hold from the load of the library on.
static const bool defaultsSet = (resetLints(), true);

}  // namespace tavo
