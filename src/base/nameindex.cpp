// nameindex.cpp: the definitions and uses of names, noted beside a
// compilation (see nameindex.h).
#include "base/nameindex.h"

#include <algorithm>
#include <map>
#include <tuple>
#include <unordered_map>

#include "base/tavomain.h"

namespace tavo {

IndexOfNames nameindex;

void noteName(const char* text, size_t len, long offset, int symbolKind) {
  nameindex.occurrences.push_back({std::string(text, len), readingFile, offset, 0, 0, pass,
                                   nameindex.function, symbolKind, nameindex.scans});
}

// The name is the current token, or the one before it (a label's name,
// with its ':' current); an older one is not the name being defined.
int lastName() {
  if (!nameindex.active || nameindex.occurrences.empty()) return -1;
  if (nameindex.occurrences.back().scan < nameindex.scans - 1) return -1;
  return static_cast<int>(nameindex.occurrences.size()) - 1;
}

void forgetCurrentName() {
  auto& occ = nameindex.occurrences;
  while (!occ.empty() && occ.back().scan == nameindex.scans) occ.pop_back();
}

int defineName(int occ, NameDefinition d) {
  if (!nameindex.active) return -1;
  int index = static_cast<int>(nameindex.defs.size());
  if (occ >= 0 && nameindex.occurrences[occ].name != d.name) occ = -1;  // not read as written
  if (occ >= 0) {
    NameOccurrence& o = nameindex.occurrences[occ];
    o.role = OCC_DEFINES;
    o.def = index;
    d.file = o.file;  // its line and column once the occurrence is placed
  }
  nameindex.defs.push_back(std::move(d));
  return index;
}

void useLabel(int occ) {
  if (occ >= 0) nameindex.occurrences[occ].role = OCC_LABEL;
}

void beginFunction(int def) {
  if (nameindex.active) nameindex.function = def;
}

void endFunction(int returns) {
  if (!nameindex.active) return;
  if (nameindex.function >= 0) nameindex.defs[nameindex.function].returns = returns;
  nameindex.function = -1;
}

void resetNameIndex(bool active) {
  nameindex = IndexOfNames{};
  nameindex.active = active;
}

namespace {

// The defining occurrence of each definition, to tell what came first.
std::vector<int> definedAt() {
  std::vector<int> at(nameindex.defs.size(), -1);
  for (size_t i = 0; i < nameindex.occurrences.size(); i++)
    if (nameindex.occurrences[i].role == OCC_DEFINES)
      at[nameindex.occurrences[i].def] = static_cast<int>(i);
  return at;
}

// The definition occurrence o names: as the compiler resolves a name,
// constants (read as such by the lexer) first, then the function's locals
// and arguments, globals, the program's functions and platform functions.
// In the second pass a name must be defined before it is used; the first
// pass names globals and functions in word tables, resolved after the end.
using ByName = std::unordered_map<std::string, std::vector<int>>;

int resolve(const NameOccurrence& o, int self, const std::vector<int>& at, const ByName& byName) {
  const auto& defs = nameindex.defs;
  auto named = byName.find(o.name);
  if (named == byName.end()) return -1;
  auto find = [&](NameKind kind, int scope, bool before) {
    for (int d : named->second) {
      if (defs[d].kind != kind || defs[d].scope != scope) continue;
      if (before && at[d] > self) continue;
      return d;
    }
    return -1;
  };
  if (o.role == OCC_LABEL) return o.scope >= 0 ? find(NAME_LABEL, o.scope, false) : -1;
  if (o.symbolKind != 0) {
    for (NameKind k : {NAME_CONSTANT, NAME_MACRO, NAME_TABLE})
      if (int d = find(k, -1, true); d >= 0) return d;
    return -1;
  }
  bool second = o.pass == 2;
  int d = -1;
  if (second && o.scope >= 0) {
    if ((d = find(NAME_LOCAL, o.scope, true)) >= 0) return d;
    if ((d = find(NAME_ARGUMENT, o.scope, true)) >= 0) return d;
  }
  if ((d = find(NAME_GLOBAL, -1, second)) >= 0) return d;
  if ((d = find(NAME_FUNCTION, -1, second)) >= 0) return d;
  return find(NAME_PLATFORM, -1, false);
}

// Lines and columns from the offsets in the files held in memory. A name
// whose offset is unknown, or whose file is not there, has no place.
class Places {
 public:
  bool place(NameOccurrence& o) {
    if (!memfiles || o.offset < 0) return false;
    auto [it, fresh] = files.try_emplace(o.file);
    if (fresh) load(o.file, it->second);
    const File& f = it->second;
    auto at = static_cast<size_t>(o.offset);
    if (!f.bytes || at >= f.bytes->size() || f.bytes->compare(at, o.name.size(), o.name) != 0)
      return false;
    auto line = std::upper_bound(f.starts.begin(), f.starts.end(), at) - 1;
    o.line = static_cast<int>(line - f.starts.begin()) + 1;
    o.col = static_cast<int>(at - *line) + 1;
    o.file = f.path;  // "Include/../o.src" is "o.src"
    return true;
  }

 private:
  struct File {
    std::string path;  // as the table names it
    const std::string* bytes = nullptr;
    std::vector<size_t> starts;  // offset of each line
  };
  std::map<std::string, File> files;

  static void load(const std::string& path, File& f) {
    std::string key;
    if (!memoryPath(path.c_str(), key)) return;
    auto it = memfiles->inputs.find(key);
    if (it == memfiles->inputs.end()) return;
    f.bytes = &it->second;
    f.path = key;
    f.starts.push_back(0);
    for (size_t i = 0; i < f.bytes->size(); i++)
      if ((*f.bytes)[i] == '\n') f.starts.push_back(i + 1);
  }
};

}  // namespace

void finishNameIndex() {
  auto& occ = nameindex.occurrences;
  std::vector<int> at = definedAt();
  ByName byName;
  for (size_t d = 0; d < nameindex.defs.size(); d++)
    byName[nameindex.defs[d].name].push_back(static_cast<int>(d));
  for (size_t i = 0; i < occ.size(); i++)
    if (occ[i].role != OCC_DEFINES) occ[i].def = resolve(occ[i], static_cast<int>(i), at, byName);
  // One occurrence per place: the one that defines, else the later pass.
  std::map<std::tuple<std::string, int, int>, size_t> place;
  std::vector<bool> keep(occ.size(), false);
  Places places;
  for (size_t i = 0; i < occ.size(); i++) {
    if (occ[i].def < 0 || !places.place(occ[i])) continue;
    auto [it, fresh] = place.try_emplace({occ[i].file, occ[i].line, occ[i].col}, i);
    if (!fresh) {
      NameOccurrence& before = occ[it->second];
      if (before.role == OCC_DEFINES || (occ[i].role != OCC_DEFINES && before.pass >= occ[i].pass))
        continue;
      keep[it->second] = false;
      it->second = i;
    }
    keep[i] = true;
  }
  std::vector<NameOccurrence> kept;
  for (size_t i = 0; i < occ.size(); i++) {
    if (!keep[i]) continue;
    if (occ[i].role == OCC_DEFINES) {
      NameDefinition& d = nameindex.defs[occ[i].def];
      d.file = occ[i].file;
      d.line = occ[i].line;
      d.col = occ[i].col;
    }
    kept.push_back(std::move(occ[i]));
  }
  occ = std::move(kept);
}

}  // namespace tavo
