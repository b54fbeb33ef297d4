// check.cpp: compiling without touching the directory (--check).
//
// The compilation runs in a scratch directory that holds a link to every
// entry of the real one except the compiler's outputs; Include/ is a real
// directory of links, so that a function file that names "../o.map" meets
// the scratch directory's fresh outputs as a compilation in place would.
// The outputs land in the scratch directory, which goes afterwards.
#include <stdlib.h>

#include <filesystem>
#include <set>

#include "tavoc.h"

namespace tavoc {

namespace fs = std::filesystem;

static const std::set<std::string> outputs = {"o.bin", "o.hex", "o.lst", "o.aux",
                                              "o.err", "o.stx", "o.sym", "o.map"};

// Links every entry of `from` into `to`, but the ones `skip` names.
static bool linkEntries(const fs::path& from, const fs::path& to, const std::set<std::string>& skip) {
  std::error_code ec;
  for (const fs::directory_entry& e : fs::directory_iterator(from, ec)) {
    std::string name = e.path().filename().string();
    if (skip.count(name)) continue;
    fs::create_symlink(fs::absolute(e.path()), to / name, ec);
    if (ec) return false;
  }
  return !ec;
}

std::string makeScratch(const std::string& dir) {
  fs::path real = dir.empty() ? fs::path(".") : fs::path(dir);
  std::string pattern = (fs::temp_directory_path() / "tavoc-check-XXXXXX").string();
  if (!mkdtemp(pattern.data())) return "";
  fs::path scratch = pattern;
  std::error_code ec;
  bool ok = linkEntries(real, scratch, [&] {
    auto skip = outputs;
    skip.insert("Include");
    return skip;
  }());
  if (ok && fs::is_directory(real / "Include", ec)) {
    ok = fs::create_directory(scratch / "Include", ec) && linkEntries(real / "Include", scratch / "Include", {});
  }
  if (!ok) {
    removeScratch(scratch.string());
    return "";
  }
  return scratch.string();
}

void removeScratch(const std::string& scratch) {
  std::error_code ec;
  if (!scratch.empty()) fs::remove_all(scratch, ec);   // links go, never what they name
}

}  // namespace tavoc
