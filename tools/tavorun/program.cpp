// program.cpp: reads what a compilation left in its directory: the image
// "o.bin", the log and summary "o.aux", and "o.err".
//
// From the log: "[GLOBAL] name address=N" per global (an array reaches up to
// the next global, the last one up to mem), "[COMPILED] name address=N" per
// function, "LABEL L: at N", the function details "name=... funcid=...
// funargcnt=... funcreturns=...", and the data tables of the constants
// section ("byte table at prog[N], M bytes used"). From the summary:
// ":PROGRAM" or ":LIBRARY", "mem[N];", "stacksize N;", "argcount N;",
// "retval YES;".
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <tuple>

#include "base/tavomain.h"
#include "tavorun.h"

namespace tavorun {

// The decimal number at s[from], with an optional minus sign, into v;
// false when there is none or it is beyond the model's range.
static bool number(const std::string& s, size_t from, int& v) {
  size_t i = from;
  bool neg = i < s.size() && s[i] == '-';
  if (neg) i++;
  if (i >= s.size() || !std::isdigit(static_cast<unsigned char>(s[i]))) return false;
  long n = 0;
  for (; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); i++) {
    n = n * 10 + (s[i] - '0');
    if (n > 0x7FFFFFF) return false;
  }
  v = static_cast<int>(neg ? -n : n);
  return true;
}

static bool startsWith(const std::string& s, const char* prefix) {
  return s.compare(0, std::strlen(prefix), prefix) == 0;
}

// The number after the first "key" in line, or `none`.
static int field(const std::string& line, const char* key, int none = -1) {
  size_t at = line.find(key);
  int v;
  if (at == std::string::npos || !number(line, at + std::strlen(key), v)) return none;
  return v;
}

// "[GLOBAL] x address=1" and "[COMPILED] f address=7": the name and address.
static bool nameAndAddress(const std::string& line, size_t from, std::string& name, int& a) {
  size_t sp = line.find(' ', from);
  if (sp == std::string::npos) return false;
  name = line.substr(from, sp - from);
  a = field(line, " address=");
  return !name.empty() && a >= 0;
}

// "name=f  funcid=-10  funargcnt=3 funcreturns=0"
static void functionDetails(Program& p, const std::string& line,
                            std::map<std::string, std::pair<int, int>>& counts) {
  size_t end = line.find(' ');
  std::string name = line.substr(5, end == std::string::npos ? end : end - 5);
  int id = field(line, "funcid=", 0);
  int args = field(line, "funargcnt=", 0);
  int returns = field(line, "funcreturns=", 0);
  if (id < 0) p.platform.push_back({name, id, std::max(args, 0), std::max(returns, 0)});
  else counts[name] = {args, returns};
}

// "T   BYTE[]  byte table at prog[16], 5 bytes used"
static void dataTable(Program& p, const std::string& line) {
  int a = field(line, " table at prog[");
  int size = field(line, "], ");
  if (a >= 0 && size >= 0) p.tables.push_back({a, size});
}

static void summaryLine(Program& p, const std::string& line, bool& summary) {
  if (line == ":PROGRAM" || line == ":LIBRARY") {
    summary = true;
    p.library = line == ":LIBRARY";
  } else if (startsWith(line, "mem[")) {
    p.mem = std::clamp(field(line, "mem[", 1), 1, NCELLS);
  } else if (startsWith(line, "stacksize ")) {
    p.stacksize = std::clamp(field(line, "stacksize ", 0), 0, NCELLS);
  } else if (startsWith(line, "argcount ")) {
    p.argcount = std::clamp(field(line, "argcount ", 0), 0, 255);
  } else if (startsWith(line, "retval ")) {
    p.retval = line.compare(7, 3, "YES") == 0;
  }
}

// Function i ends at the next function's entry, at a data table placed
// after its entry, or at the end of the image.
static void setEnds(Program& p) {
  auto& f = p.functions;
  std::sort(f.begin(), f.end(), [](auto& a, auto& b) { return a.entry < b.entry; });
  int size = static_cast<int>(p.image.size());
  for (size_t i = 0; i < f.size(); i++) {
    f[i].end = i + 1 < f.size() ? f[i + 1].entry : size;
    for (auto& [a, n] : p.tables)
      if (n > 0 && a >= f[i].entry && a < f[i].end) f[i].end = a;
    f[i].end = std::clamp(f[i].end, f[i].entry, std::max(size, f[i].entry));
  }
}

// Array extents: each global reaches up to the next one's cell.
static void setExtents(Program& p) {
  auto& g = p.globals;
  std::sort(g.begin(), g.end(), [](auto& a, auto& b) { return a.cell < b.cell; });
  for (size_t i = 0; i < g.size(); i++) {
    int next = i + 1 < g.size() ? g[i + 1].cell : p.mem;
    g[i].size = std::max(1, std::min(next, NCELLS) - g[i].cell);
  }
}

bool parseAux(Program& p, const std::string& text, std::string& err) {
  std::istringstream in(text);
  std::string line, name;
  bool summary = false;
  int a;
  std::map<std::string, std::pair<int, int>> counts;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (startsWith(line, "[GLOBAL] ") && nameAndAddress(line, 9, name, a)) {
      if (a > 0 && a < NCELLS) p.globals.push_back({name, a, 1});
    } else if (startsWith(line, "[COMPILED] ") && nameAndAddress(line, 11, name, a)) {
      if (a < static_cast<int>(p.image.size())) p.functions.push_back({name, a, a, -1, -1});
    } else if (startsWith(line, "LABEL ") && line.find(": at ") != std::string::npos) {
      p.labels.push_back({line.substr(6, line.find(": at ") - 6), field(line, ": at ")});
    } else if (startsWith(line, "name=")) {
      functionDetails(p, line, counts);
    } else if (line.find(" table at prog[") != std::string::npos) {
      dataTable(p, line);
    } else {
      summaryLine(p, line, summary);
    }
  }
  if (!summary) {
    err = "o.aux has no summary (:PROGRAM or :LIBRARY): the compilation did not finish";
    return false;
  }
  for (auto& f : p.functions) {
    auto c = counts.find(f.name);
    if (c != counts.end()) std::tie(f.args, f.returns) = c->second;
  }
  // The start-up header (or a library's seven ENDSUBs) is code of its own.
  if (p.image.size() >= static_cast<size_t>(tavo::CODEOFFSET))
    p.functions.push_back({p.library ? "(library header)" : "(start-up)", 0, 0, 0, 0});
  setEnds(p);
  setExtents(p);
  return true;
}

// The whole file, or false when it cannot be read.
static bool readFile(const std::string& path, std::string& out) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  std::FILE* fp = std::fopen(path.c_str(), "rb");
  if (!fp) return false;
  char buf[8192];
  size_t n;
  out.clear();
  while ((n = std::fread(buf, 1, sizeof buf, fp)) > 0) out.append(buf, n);
  bool ok = !std::ferror(fp);
  std::fclose(fp);
  return ok;
}

// An error line of the compiler ends in "(pass1)" or "(pass2)"; other lines
// of "o.err" are warnings that do not stop a run.
static bool hasErrors(const std::string& err) {
  return err.find("(pass1)") != std::string::npos || err.find("(pass2)") != std::string::npos;
}

bool loadProgram(Program& p, const std::string& dir, std::string& err) {
  std::string bin, aux, errors;
  if (!readFile(dir + "/o.bin", bin)) {
    err = "cannot read " + dir + "/o.bin";
    return false;
  }
  if (bin.size() > static_cast<size_t>(tavo::MAXCODE)) {
    err = dir + "/o.bin is larger than the 12288-byte code image";
    return false;
  }
  if (readFile(dir + "/o.err", errors) && hasErrors(errors)) {
    err = "the compilation reported errors (o.err): " + errors.substr(0, errors.find('\n'));
    return false;
  }
  if (!readFile(dir + "/o.aux", aux)) {
    err = "cannot read " + dir + "/o.aux (the data memory size is in its summary)";
    return false;
  }
  p.image.assign(bin.begin(), bin.end());
  p.warnings = errors;
  return parseAux(p, aux, err);
}

int functionAt(const Program& p, int address) {
  for (size_t i = 0; i < p.functions.size(); i++)
    if (address >= p.functions[i].entry && address < p.functions[i].end) return static_cast<int>(i);
  return -1;
}

const Function* findFunction(const Program& p, const std::string& name) {
  for (auto& f : p.functions)
    if (f.name == name) return &f;
  return nullptr;
}

const PlatformFunction* findPlatform(const Program& p, int number) {
  for (auto& f : p.platform)
    if (f.number == number) return &f;
  return nullptr;
}

}  // namespace tavorun
