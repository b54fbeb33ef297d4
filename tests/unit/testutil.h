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

// Captures what the diagnostics write while a test runs.
inline void captureErrors() { err_fp = std::tmpfile(); }

inline std::string errors() {
  if (!err_fp) return "";
  std::fflush(err_fp);
  std::rewind(err_fp);
  std::string s;
  int c;
  while ((c = std::fgetc(err_fp)) != EOF) s += static_cast<char>(c);
  return s;
}

}  // namespace tavo::test
