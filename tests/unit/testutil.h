// testutil.h: helpers shared by the unit tests.
#pragma once

#include <cstdio>
#include <string>

#include "driver/tavomain.h"
#include "front/front.h"

namespace tavo::test {

// A fresh compiler state with the reserved words and built-ins installed,
// reading text as the source of the given pass.
inline void startSource(const std::string& text, int whichPass = 2) {
  resetAll();
  namecount = 0;
  for (int& b : qhash) b = -1;
  installNames();
  src_fp = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), src_fp);
  rewindSource();
  pass = whichPass;
  currline = 1;
  currcol = 1;
  nextchar = readchar();
}

// Everything written to fp so far; later writes still append.
inline std::string readAll(std::FILE* fp) {
  std::fflush(fp);
  std::rewind(fp);
  std::string s;
  for (int c; (c = std::fgetc(fp)) != EOF;) s += static_cast<char>(c);
  return s;
}

// Captures what the diagnostics write while a test runs.
inline void captureErrors() { err_fp = std::tmpfile(); }

inline std::string errors() { return err_fp ? readAll(err_fp) : ""; }

// The image bytes from address from up to origin (or to), in hex.
inline std::string hexbytes(int from, int to = -1) {
  if (to < 0) to = origin;
  std::string s;
  char buf[4];
  for (int i = from; i < to; i++) {
    std::snprintf(buf, sizeof buf, "%02X", code[i]);
    s += buf;
  }
  return s;
}

}  // namespace tavo::test
