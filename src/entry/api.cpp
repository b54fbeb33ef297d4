// api.cpp: compiling from memory (tavoapi.h).
//
// A call lays the input out as a folder in memory (memfiles), runs the
// same mainOrv as every other host, from the load-time state, with the
// index of names switched on, and copies out what the compilation left.
#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

#include "base/nameindex.h"
#include "base/tavomain.h"
#include "driver/driver.h"
#include "entry/tavoapi.h"

struct tavo_result {
  std::vector<std::pair<std::string, std::string>> files;
  std::vector<tavo_file> outputs;
  std::vector<tavo::Diagnostic> diagnostics;
  std::vector<tavo_diagnostic> cdiagnostics;
  std::vector<tavo::NameDefinition> defs;
  std::vector<std::vector<const char*>> argNames;
  std::vector<tavo_definition> cdefs;
  std::vector<tavo::NameOccurrence> occurrences;
  std::vector<tavo_use> uses;
  int errors = 0;
};

// A diagnostic's kind is given as the compiler numbers it.
static_assert(int{TAVO_ERROR} == int{tavo::DIAG_ERROR} &&
              int{TAVO_WARNING} == int{tavo::DIAG_WARNING} &&
              int{TAVO_LINT} == int{tavo::DIAG_LINT} &&
              int{TAVO_LINT_NOTE} == int{tavo::DIAG_LINT_NOTE});

namespace {

std::mutex compiling;

std::string bytes(const char* data, size_t size) {
  return data ? std::string(data, size) : std::string();
}

// A path of names, none of them empty, "." or "..".
bool plainPath(const char* name) {
  if (!name) return false;
  std::string_view rest(name);
  for (;;) {
    size_t slash = rest.find('/');
    std::string_view part = rest.substr(0, slash);
    if (part.empty() || part == "." || part == "..") return false;
    if (slash == std::string_view::npos) return true;
    rest.remove_prefix(slash + 1);
  }
}

tavo::MemoryFiles layout(const tavo_input& in) {
  tavo::MemoryFiles files;
  if (in.source) files.inputs["o.src"] = bytes(in.source, in.source_size);
  if (in.has_fun) files.inputs["o.fun"] = bytes(in.fun, in.fun_size);
  if (in.dev_tvo) files.inputs["dev.tvo"];
  for (size_t i = 0; i < in.function_file_count; i++) {
    const tavo_file& f = in.function_files[i];
    if (!plainPath(f.name)) continue;  // no such file can lie in Include/
    files.inputs[std::string("Include/") + f.name] = bytes(f.data, f.size);
  }
  return files;
}

// The C views of what the result holds; its vectors no longer change.
void view(tavo_result& r) {
  for (auto& [name, data] : r.files) r.outputs.push_back({name.c_str(), data.data(), data.size()});
  for (auto& d : r.diagnostics)
    r.cdiagnostics.push_back({static_cast<int>(d.kind), d.message.c_str(), d.file.c_str(), d.line,
                              d.col, d.pass, d.note.c_str(), d.name.c_str()});
  for (auto& d : r.defs) {
    auto& names = r.argNames.emplace_back();
    for (auto& a : d.argNames) names.push_back(a.c_str());
  }
  for (size_t i = 0; i < r.defs.size(); i++) {
    auto& d = r.defs[i];
    r.cdefs.push_back({d.kind, d.name.c_str(), d.file.c_str(), d.line, d.col, d.scope, d.value,
                       d.size, d.args, d.returns, d.tokenKind, d.text.c_str(), r.argNames[i].data(),
                       r.argNames[i].size()});
  }
  for (auto& o : r.occurrences)
    r.uses.push_back({o.def, o.file.c_str(), o.line, o.col, static_cast<int>(o.name.size()),
                      o.role == tavo::OCC_DEFINES});
}

void compile(const tavo_input& in, tavo_result& r) {
  std::lock_guard<std::mutex> lock(compiling);
  tavo::MemoryFiles files = layout(in);
  tavo::resetAll();
  tavo::resetNameIndex(true);
  tavo::memfiles = &files;
  tavo::mainOrv();
  tavo::finishNameIndex();
  tavo::memfiles = nullptr;
  r.errors = tavo::ecount;
  r.diagnostics = tavo::diagnostics;
  r.defs = std::move(tavo::nameindex.defs);
  r.occurrences = std::move(tavo::nameindex.occurrences);
  tavo::resetAll();  // the tables let go of what they hold, the index is off
  for (auto& [name, data] : files.outputs) r.files.emplace_back(name, std::move(data));
  std::sort(r.occurrences.begin(), r.occurrences.end(), [](const auto& a, const auto& b) {
    return std::tie(a.file, a.line, a.col) < std::tie(b.file, b.line, b.col);
  });
}

}  // namespace

extern "C" {

tavo_result* tavo_compile(const tavo_input* in) {
  if (!tavo::memoryFilesSupported()) return nullptr;
  tavo_input none{};
  try {
    auto r = std::make_unique<tavo_result>();
    compile(in ? *in : none, *r);
    view(*r);
    return r.release();
  } catch (...) {  // memory ran out: nothing may cross the C interface
    tavo::memfiles = nullptr;
    tavo::resetNameIndex(false);
    return nullptr;
  }
}

void tavo_free(tavo_result* r) { delete r; }

size_t tavo_output_count(const tavo_result* r) { return r ? r->outputs.size() : 0; }
const tavo_file* tavo_output(const tavo_result* r, size_t i) {
  return r && i < r->outputs.size() ? &r->outputs[i] : nullptr;
}
const tavo_file* tavo_output_named(const tavo_result* r, const char* name) {
  if (!r || !name) return nullptr;
  for (const tavo_file& f : r->outputs)
    if (std::string_view(f.name) == name) return &f;
  return nullptr;
}

int tavo_error_count(const tavo_result* r) { return r ? r->errors : 0; }
size_t tavo_diagnostic_count(const tavo_result* r) { return r ? r->cdiagnostics.size() : 0; }
const tavo_diagnostic* tavo_diagnostic_at(const tavo_result* r, size_t i) {
  return r && i < r->cdiagnostics.size() ? &r->cdiagnostics[i] : nullptr;
}
size_t tavo_definition_count(const tavo_result* r) { return r ? r->cdefs.size() : 0; }
const tavo_definition* tavo_definition_at(const tavo_result* r, size_t i) {
  return r && i < r->cdefs.size() ? &r->cdefs[i] : nullptr;
}
size_t tavo_use_count(const tavo_result* r) { return r ? r->uses.size() : 0; }
const tavo_use* tavo_use_at(const tavo_result* r, size_t i) {
  return r && i < r->uses.size() ? &r->uses[i] : nullptr;
}

}  // extern "C"
