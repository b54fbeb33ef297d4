// fuzz_common.h: what the fuzz targets share: the input format (described
// in tavo_fuzz.cpp), the private directory they compile in, and the checks
// of the files a compilation leaves.
#pragma once

#include <dirent.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "base/tavomain.h"
#include "codegen/codegen.h"
#include "driver/driver.h"

namespace {

// ---------------------------------------------------------------------------
// The input's files.

struct Layout {
  std::string src;
  bool hasFun = false;
  std::string fun;
  std::vector<std::pair<std::string, std::string>> includes;  // name, text
  bool devtvo = true;
  std::vector<std::string> dirs;   // paths made directories
};

constexpr size_t kMaxIncludes = 2;

// A file name under Include/: printable ASCII without slashes, not "." or
// "..", so that nothing is written outside the private directory.
bool safeName(std::string_view n) {
  if (n.empty() || n.size() > 64 || n == "." || n == "..") return false;
  for (char c : n)
    if (c < 0x20 || c > 0x7E || c == '/' || c == '\\') return false;
  return true;
}

bool safeDirPath(std::string_view p) {
  if (p == "o.src" || p == "o.fun" || p == "dev.tvo") return true;
  return p.substr(0, 8) == "Include/" && safeName(p.substr(8));
}

Layout splitInput(std::string_view in) {
  Layout l;
  std::string* cur = &l.src;
  std::string ignored;
  size_t pos = 0;
  while (pos <= in.size()) {
    size_t eol = in.find('\n', pos);
    bool lastLine = eol == std::string_view::npos;
    std::string_view line = in.substr(pos, lastLine ? std::string_view::npos : eol - pos);
    if (line.substr(0, 2) == "%%") {
      std::string_view m = line.substr(2);
      if (!m.empty() && m.back() == '\r') m.remove_suffix(1);   // a CR LF input
      if (!m.empty() && m[0] == '~') {
        m.remove_prefix(1);
        if (!cur->empty() && cur->back() == '\n') cur->pop_back();
      }
      ignored.clear();
      cur = &ignored;
      if (m == "o.fun" && !l.hasFun) {
        l.hasFun = true;
        cur = &l.fun;
      } else if (m.substr(0, 8) == "Include/" && safeName(m.substr(8)) &&
                 l.includes.size() < kMaxIncludes) {
        l.includes.emplace_back(std::string(m.substr(8)), std::string());
        cur = &l.includes.back().second;
      } else if (m == "no dev.tvo") {
        l.devtvo = false;
      } else if (m.substr(0, 4) == "dir " && safeDirPath(m.substr(4))) {
        l.dirs.emplace_back(m.substr(4));
      }
    } else {
      cur->append(line);
      if (!lastLine) cur->push_back('\n');
    }
    if (lastLine) break;
    pos = eol + 1;
  }
  return l;
}

// ---------------------------------------------------------------------------
// The private directory.

std::string workdir;

[[noreturn]] void fail(const char* what, const std::string& detail = "") {
  std::fprintf(stderr, "\n*** tavo_fuzz: %s%s%s\n", what, detail.empty() ? "" : ": ",
               detail.c_str());
  std::abort();
}

int removeEntry(const char* path, const struct stat*, int, struct FTW* ftw) {
  if (ftw->level == 0) return 0;   // keep the directory itself
  if (std::remove(path) != 0) fail("cannot clean the work directory", path);
  return 0;
}

void cleanWorkdir() { nftw(workdir.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS); }

void writeFile(const std::string& path, const std::string& text) {
  std::FILE* fp = std::fopen(path.c_str(), "wb");
  if (!fp) fail("cannot write an input file", path);
  std::fwrite(text.data(), 1, text.size(), fp);
  std::fclose(fp);
}

void layOut(const Layout& l) {
  cleanWorkdir();
  for (const std::string& d : l.dirs) {
    if (d.rfind("Include/", 0) == 0) mkdir("Include", 0755);
    mkdir(d.c_str(), 0755);
  }
  struct stat st;
  auto isDir = [&](const std::string& p) { return stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode); };
  if (!isDir("o.src")) writeFile("o.src", l.src);
  if (l.hasFun && !isDir("o.fun")) writeFile("o.fun", l.fun);
  if (l.devtvo && !isDir("dev.tvo")) writeFile("dev.tvo", "");
  if (!l.includes.empty()) mkdir("Include", 0755);
  for (const auto& [name, text] : l.includes)
    if (!isDir("Include/" + name)) writeFile("Include/" + name, text);
}

// Every regular file of the directory (Include/ included), by relative path.
using Files = std::map<std::string, std::string>;

std::string readFile(const std::string& path) {
  std::string s;
  std::FILE* fp = std::fopen(path.c_str(), "rb");
  if (!fp) return s;
  char buf[8192];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, fp)) > 0) s.append(buf, n);
  std::fclose(fp);
  return s;
}

void collect(const std::string& dir, const std::string& prefix, Files& out) {
  DIR* d = opendir(dir.c_str());
  if (!d) return;
  while (dirent* e = readdir(d)) {
    std::string n = e->d_name;
    if (n == "." || n == "..") continue;
    std::string path = dir + "/" + n;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode))
      collect(path, prefix + n + "/", out);
    else
      out[prefix + n] = readFile(path);
  }
  closedir(d);
}

int openFds() {
  int n = 0;
  if (DIR* d = opendir("/proc/self/fd")) {
    while (readdir(d)) n++;
    closedir(d);
  }
  return n;
}

// ---------------------------------------------------------------------------
// Checks.

int hexval(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;   // lower case is no valid digit here: the file uses upper case
}

// Decodes "o.hex": data records of 16 bytes from address 0 without gaps (the
// last one shorter), then the end record. Returns false when the text is not
// of that form; otherwise *image holds the bytes.
bool decodeHex(const std::string& hex, std::string* image) {
  image->clear();
  size_t pos = 0;
  bool ended = false;
  while (pos < hex.size()) {
    if (ended) return false;   // text after the end record
    size_t eol = hex.find('\n', pos);
    if (eol == std::string::npos) return false;
    std::string_view rec(hex.data() + pos, eol - pos);
    pos = eol + 1;
    if (rec.size() < 11 || rec[0] != ':' || rec.size() % 2 == 0) return false;
    std::vector<int> b;
    for (size_t i = 1; i < rec.size(); i += 2) {
      int hi = hexval(rec[i]), lo = hexval(rec[i + 1]);
      if (hi < 0 || lo < 0) return false;
      b.push_back(hi * 16 + lo);
    }
    int sum = 0;
    for (int v : b) sum += v;
    if (sum % 256 != 0) return false;   // checksum
    int len = b[0], addr = b[1] * 256 + b[2], typ = b[3];
    if (static_cast<size_t>(len) + 5 != b.size()) return false;
    if (typ == 1) {
      if (len != 0 || addr != 0) return false;
      ended = true;
      continue;
    }
    if (typ != 0 || len == 0 || len > 16) return false;
    if (static_cast<size_t>(addr) != image->size()) return false;
    if (image->size() % 16 != 0) return false;   // only the last record is short
    for (int i = 0; i < len; i++) image->push_back(static_cast<char>(b[4 + i]));
  }
  return ended;
}

// The last text of "o.aux": the program or library block. Returns the
// code size it states, or -1 when the file does not end with such a block.
long closingBlock(const std::string& aux, bool* program) {
  size_t at = aux.rfind("\n:PROGRAM\n");
  size_t lib = aux.rfind("\n:LIBRARY\n");
  if (at == std::string::npos && lib == std::string::npos) return -1;
  *program = at != std::string::npos && (lib == std::string::npos || at > lib);
  std::string tail = aux.substr((*program ? at : lib) + 10);
  long codeN = -1, mem = -1, args = -1, stack = -1;
  char ret[4] = {0};
  int used = -1;
  if (*program) {
    if (std::sscanf(tail.c_str(), "code[%ld];\nmem[%ld];\nargcount %ld;\nretval %3[A-Z];\nstacksize %ld;\n%n",
                    &codeN, &mem, &args, ret, &stack, &used) != 5)
      return -1;
    if (std::strcmp(ret, "YES") != 0 && std::strcmp(ret, "NO") != 0) return -1;
  } else {
    if (std::sscanf(tail.c_str(), "code[%ld];\nmem[%ld];\n%n", &codeN, &mem, &used) != 2) return -1;
  }
  if (used < 0 || static_cast<size_t>(used) != tail.size()) return -1;   // mem may wrap
  return codeN;
}

// Lines that reach "o.err" without counting as an error.
bool isWarningLine(std::string_view l) {
  return l.rfind("Warning, constant is truncated to 8 bit, value was ", 0) == 0 ||
         l.rfind("could not resolve ", 0) == 0 || l.rfind("Constant \"", 0) == 0;
}

void checkOutputs(const Layout& l, const Files& f, int ecount, int codefull) {
  static const char* const known[] = {"o.src", "o.fun", "dev.tvo", "o.err", "o.bin", "o.hex",
                                      "o.lst", "o.aux", "o.stx", "o.sym", "o.map"};
  for (const auto& [name, text] : f) {
    bool ok = name.rfind("Include/", 0) == 0;
    for (const char* k : known) ok = ok || name == k;
    if (!ok) fail("an unexpected file was written", name);
  }
  // A source that cannot be opened (a directory counts as absent) ends the
  // compilation before any other output is created: "o.err" holds the reason
  // alone, without a position or line end.
  if (std::find(l.dirs.begin(), l.dirs.end(), "o.src") != l.dirs.end()) {
    if (ecount != 1) fail("no error counted although o.src cannot be opened");
    auto err = f.find("o.err");
    if (err == f.end() || err->second != "Can't open source file o.src")
      fail("o.err does not say that o.src cannot be opened");
    for (const char* never : {"o.bin", "o.hex", "o.lst", "o.aux", "o.stx", "o.sym", "o.map"})
      if (f.count(never)) fail("an output was created although o.src cannot be opened", never);
    return;
  }
  for (const char* must : {"o.err", "o.bin", "o.aux", "o.sym", "o.map"})
    if (!f.count(must)) fail("an output file is missing", must);
  const std::string& err = f.at("o.err");
  const std::string& bin = f.at("o.bin");
  const std::string& aux = f.at("o.aux");

  if (bin.size() > static_cast<size_t>(tavo::MAXCODE - 1))
    fail("o.bin is larger than the image can be", std::to_string(bin.size()));
  if (!f.at("o.sym").empty() || !f.at("o.map").empty()) fail("o.sym or o.map is not empty");

  // The summary, the syntax file and a non-empty image come together.
  bool program = false;
  long stated = closingBlock(aux, &program);
  bool summary = stated >= 0;
  if (summary != (f.count("o.stx") != 0)) fail("o.stx and the summary of o.aux disagree");
  if (ecount == 0 && !summary) fail("no error, but o.aux does not end with :PROGRAM or :LIBRARY");
  if (aux.rfind("\n========= First Pass =========\n", 0) != 0) fail("o.aux does not begin with the first pass");
  if (summary) {
    // The syntax file begins with the reserved words and built-in names.
    static const char* const words =
        "if else endif while wend repeat until forever endfunc return break continue byte word "
        "dword var object func inherit platform include constant optimize print CONST DATA END "
        "STACK goto gosub endsub lookup8 lookup16 serin putch serout setbaud to pause putnum "
        "translate putstr ";
    if (f.at("o.stx").rfind(words, 0) != 0) fail("o.stx does not begin with the reserved names");
    if (aux.find("\n[COMPLETED]\n") == std::string::npos) fail("o.aux has no [COMPLETED] line");
    if (stated != static_cast<long>(bin.size()))
      fail("o.aux states another code size than o.bin has", std::to_string(stated));
    if (bin.size() < static_cast<size_t>(tavo::CODEOFFSET)) fail("o.bin lacks the start-up header");
    // A library leaves the seven bytes zero. A program's header pushes
    // whatever the name main resolves to (a function's address, or a
    // variable's, since the name is only looked up) in the two-byte form,
    // calls it and exits; after an error in resolving it, no more is sure.
    static const char hdr[] = "\x24\x00\x44\x00";
    bool looksProgram = (bin[0] & 0x0F) == 8 && std::memcmp(bin.data() + 3, hdr, 4) == 0;
    bool looksLibrary = bin.compare(0, 7, std::string(7, '\0')) == 0;
    if (program ? ecount == 0 && !looksProgram : !looksLibrary)
      fail("the start of o.bin contradicts the :PROGRAM/:LIBRARY block");
  } else if (!bin.empty()) {
    fail("o.bin was written although the compilation produced no outputs");
  }

  // "o.err" tells an error exactly when one was counted; a full image is the
  // one error that writes nothing.
  if (ecount == 0) {
    size_t pos = 0;
    while (pos < err.size()) {
      size_t eol = err.find('\n', pos);
      if (eol == std::string::npos) fail("o.err ends without a line end although no error counted");
      if (!isWarningLine(std::string_view(err).substr(pos, eol - pos)))
        fail("o.err holds an error although none was counted", err.substr(pos, eol - pos));
      pos = eol + 1;
    }
  } else if (err.find(" (pass1)\n") == std::string::npos &&
             err.find(" (pass2)\n") == std::string::npos && !codefull) {
    fail("an error was counted but o.err reports none", err);
  }

  // The listing and HEX file exist exactly with "dev.tvo"; the HEX file
  // holds the image byte for byte.
  bool dev = l.devtvo && std::find(l.dirs.begin(), l.dirs.end(), "dev.tvo") == l.dirs.end();
  if (!dev) {
    if (f.count("o.hex") || f.count("o.lst")) fail("o.hex or o.lst written without dev.tvo");
    return;
  }
  if (!f.count("o.hex") || !f.count("o.lst")) fail("o.hex or o.lst missing although dev.tvo exists");
  const std::string& hex = f.at("o.hex");
  const std::string& lst = f.at("o.lst");
  if (!summary) {
    if (!hex.empty() || !lst.empty()) fail("o.hex or o.lst written although no outputs are");
    return;
  }
  std::string image;
  if (!decodeHex(hex, &image)) fail("o.hex is no well-formed Intel HEX file");
  if (image != bin) fail("o.hex does not hold the bytes of o.bin");
  std::string head = "Tavo Compiler V0.1\nP-code Listing\ncodesize = " + std::to_string(bin.size()) + "\n\n";
  if (lst.compare(0, head.size(), head) != 0) fail("o.lst does not begin with its heading");
}

// One compilation of the laid-out files; returns what it left.
Files compileOnce(const Layout& l, int* ecount, int* codefull) {
  layOut(l);
  int fds = openFds();
  tavo::resetAll();
  tavo::mainOrv();
  if (openFds() > fds) fail("a file was left open");
  *ecount = tavo::ecount;
  *codefull = tavo::codefull;
  Files f;
  collect(".", "", f);
  return f;
}


// TAVO_FUZZ_DIR=DIR compiles in DIR and leaves the files of the last
// compilation there, to look at what an input did.
int initWorkdir() {
  if (const char* keep = std::getenv("TAVO_FUZZ_DIR")) {
    mkdir(keep, 0755);
    workdir = keep;
    if (chdir(keep) != 0) fail("cannot enter the work directory", workdir);
    return 0;
  }
  const char* base = std::getenv("TMPDIR");
  struct stat st;
  std::string root = base && *base ? base : (stat("/dev/shm", &st) == 0 ? "/dev/shm" : "/tmp");
  std::string tmpl = root + "/tavo_fuzz.XXXXXX";
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back(0);
  if (!mkdtemp(buf.data())) fail("cannot make the work directory", tmpl);
  workdir = buf.data();
  if (chdir(workdir.c_str()) != 0) fail("cannot enter the work directory", workdir);
  std::atexit([] {
    cleanWorkdir();
    rmdir(workdir.c_str());
  });
  return 0;
}

}  // namespace
