// testutil.h: helpers shared by the unit tests.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "base/tavomain.h"
#include "driver/driver.h"
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

// The outputs of one whole compilation.
struct Result {
  std::string err, bin, aux, lst;
  bool stx = false;   // "o.stx" written: the outputs were
  int ecount = 0;
  std::string firstLine() const { return err.substr(0, err.find('\n')); }
};

inline std::string slurp(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void spill(const std::filesystem::path& p, const std::string& text) {
  std::ofstream out(p, std::ios::binary);
  out << text;
}

// One compilation of src with mainOrv in a fresh directory, with an "o.fun"
// and function files under Include/ when given, and with the listing when
// listing is set.
inline Result compile(const std::string& src, const std::string& fun = "",
                      const std::vector<std::pair<std::string, std::string>>& include = {},
                      bool listing = false) {
  namespace fs = std::filesystem;
  char tmpl[] = "/tmp/tavo_test.XXXXXX";
  if (!mkdtemp(tmpl)) ADD_FAILURE() << "mkdtemp failed";
  fs::path dir = tmpl;
  spill(dir / "o.src", src);
  if (!fun.empty()) spill(dir / "o.fun", fun);
  if (!include.empty()) fs::create_directory(dir / "Include");
  for (const auto& [name, text] : include) spill(dir / "Include" / name, text);
  if (listing) spill(dir / "dev.tvo", "");
  fs::path back = fs::current_path();
  fs::current_path(dir);
  resetAll();
  mainOrv();
  Result r;
  r.ecount = ecount;
  fs::current_path(back);
  r.err = slurp(dir / "o.err");
  r.bin = slurp(dir / "o.bin");
  r.aux = slurp(dir / "o.aux");
  r.lst = slurp(dir / "o.lst");
  r.stx = fs::exists(dir / "o.stx");
  fs::remove_all(dir);
  return r;
}

}  // namespace tavo::test
