// diagnostics.cpp: the error file "o.err" and the error count.
//
// A report is one line: the message, then " in line L, column C (passP)".
// The compiler stops at the first error: every pass loop tests ecount, so
// the construct in hand unwinds and the pass ends. Nothing here throws or
// exits; reports made while no error file is open are dropped.
#include <cstdarg>
#include <string>

#include "base/tavomain.h"

namespace tavo {

int ecount;
int errline;
int errcol;
std::vector<Diagnostic> diagnostics;
std::string readingFile = "o.src";

// Writes one character to the error file; returns it, or 0 without a file.
int eputchar(int c) {
  if (!err_fp) return 0;
  std::fprintf(err_fp, "%c", c);
  return c;
}

void eputstr(const char* s) {
  while (*s) eputchar(static_cast<unsigned char>(*s++));
}

// The position of the reader becomes the position of the next report.
void SetErrorPos() {
  errline = currline;
  errcol = currcol;
}

// The standard report. It also drops the lookahead character, so a loop
// that reports and tries again always moves on.
void error(const char* s) {
  if (ecount < MAXERRORS) ecount++;
  diagnostics.push_back({DIAG_ERROR, s, readingFile, errline, errcol, pass, {}, {}});
  eputstr(s);
  char buf[200];
  if (errcol == 0)
    std::snprintf(buf, sizeof buf, " in line %d (pass%d)\n", errline, pass);
  else
    std::snprintf(buf, sizeof buf, " in line %d, column %d (pass%d)\n", errline, errcol, pass);
  eputstr(buf);
  next();
}

// A printf format filled in, never cut short.
std::string formatted(const char* fmt, va_list ap) {
  va_list ap2;
  va_copy(ap2, ap);
  int n = std::vsnprintf(nullptr, 0, fmt, ap);
  std::string msg(n > 0 ? n : 0, '\0');
  std::vsnprintf(msg.data(), msg.size() + 1, fmt, ap2);
  va_end(ap2);
  return msg;
}

// error() with a printf format.
void errorf(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string msg = formatted(fmt, ap);
  va_end(ap);
  error(msg.c_str());
}

// A line of "o.err" that counts no error. With `positioned`, the record
// takes the reader's position.
void warning(bool positioned, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string text = formatted(fmt, ap);
  va_end(ap);
  std::string message = text;
  if (!message.empty() && message.back() == '\n') message.pop_back();
  int line = positioned ? currline : 0, col = positioned ? currcol : 0;
  diagnostics.push_back({DIAG_WARNING, message, readingFile, line, col, pass, {}, {}});
  eputstr(text.c_str());
}

// Explains the last record's number or placeholder.
void diagnote(const char* fmt, ...) {
  if (diagnostics.empty()) return;
  va_list ap;
  va_start(ap, fmt);
  diagnostics.back().note = formatted(fmt, ap);
  va_end(ap);
}

void baderror(const char* s) {
  error(s);
  ecount = 1;
}

// A file could not be opened: the reason alone, no position, no line end.
// The code says which file it was; only the record names it.
void fatal_error(const char* reason, int errorcode) {
  static const char* const files[] = {"", "", "o.src", "o.lst", "o.hex",
                                      "o.sym", "o.aux", "o.map", "o.bin"};
  const char* file = errorcode >= 2 && errorcode <= 8 ? files[errorcode] : "";
  diagnostics.push_back({DIAG_ERROR, reason, file, 0, 0, 0, {}, {}});
  eputstr(reason);
  ecount = 1;
}

void resetDiagnostics() {
  ecount = 0;
  errline = 0;
  errcol = 0;
  diagnostics.clear();
  readingFile = "o.src";
}

}  // namespace tavo
