// tavo_api_fuzz.cpp: a libFuzzer target for compiling from memory.
//
// Each input (in the format of tavo_fuzz.cpp) is compiled in a private
// directory with mainOrv and then through tavo_compile. Both must leave the
// same files byte for byte, the same error count, and the index of names
// must agree with the text it indexes: every use names a definition, and
// the text at its place is that definition's name. A second call must give
// the same again.
#include <iterator>
#include <tuple>

#include "entry/tavoapi.h"
#include "fuzz_common.h"

namespace {

bool madeDir(const Layout& l, const std::string& p) {
  return std::find(l.dirs.begin(), l.dirs.end(), p) != l.dirs.end();
}

// The layout as a host gives it to the API. False when the API cannot say
// the same: a folder inside Include/ stands for nothing in memory, and a
// path two folders up leaves the private directory.
bool toInput(const Layout& l, std::vector<tavo_file>& files, tavo_input& in) {
  for (const std::string& d : l.dirs)
    if (d.rfind("Include/", 0) == 0) return false;
  for (const std::string* t : {&l.src, &l.fun})
    if (t->find("../..") != std::string::npos) return false;
  for (const auto& [name, text] : l.includes)
    if (text.find("../..") != std::string::npos) return false;
  in = tavo_input{};
  if (!madeDir(l, "o.src")) {
    in.source = l.src.data();
    in.source_size = l.src.size();
  }
  in.has_fun = l.hasFun && !madeDir(l, "o.fun");
  in.fun = l.fun.data();
  in.fun_size = l.fun.size();
  in.dev_tvo = l.devtvo && !madeDir(l, "dev.tvo");
  for (const auto& [name, text] : l.includes)
    files.push_back({name.c_str(), text.data(), text.size()});
  in.function_files = files.data();
  in.function_file_count = files.size();
  return true;
}

Files outputsOf(const tavo_result* r) {
  Files f;
  for (size_t i = 0; i < tavo_output_count(r); i++) {
    const tavo_file* o = tavo_output(r, i);
    f[o->name] = std::string(o->data, o->size);
  }
  return f;
}

// The index against the texts it was made from.
void checkIndex(const tavo_result* r, const Files& inputs) {
  size_t ndefs = tavo_definition_count(r);
  const tavo_use* last = nullptr;
  for (size_t i = 0; i < tavo_use_count(r); i++) {
    const tavo_use* u = tavo_use_at(r, i);
    if (u->definition < 0 || static_cast<size_t>(u->definition) >= ndefs)
      fail("a use names no definition");
    const tavo_definition* d = tavo_definition_at(r, u->definition);
    if (u->length != static_cast<int>(std::strlen(d->name)))
      fail("a use is not as long as its name", d->name);
    auto text = inputs.find(u->file);
    if (text == inputs.end()) fail("a use lies in no input file", u->file);
    size_t at = 0;
    for (int line = 1; line < u->line && at != std::string::npos; line++) {
      at = text->second.find('\n', at);
      if (at != std::string::npos) at++;
    }
    if (at == std::string::npos || u->col < 1 ||
        text->second.compare(at + u->col - 1, u->length, d->name) != 0)
      fail("the text at a use is not its name", d->name);
    if (u->is_definition &&
        (u->line != d->line || u->col != d->col || std::strcmp(u->file, d->file) != 0))
      fail("a definition's place is not where its use defines it", d->name);
    if (last && std::make_tuple(std::string(last->file), last->line, last->col) >=
                    std::make_tuple(std::string(u->file), u->line, u->col))
      fail("uses are not in order, or two share a place");
    last = u;
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) { return initWorkdir(); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Layout l = splitInput(std::string_view(reinterpret_cast<const char*>(data), size));
  std::vector<tavo_file> files;
  tavo_input in;
  if (!toInput(l, files, in)) return 0;
  int ecount, full;
  Files directory = compileOnce(l, &ecount, &full);
  checkOutputs(l, directory, ecount, full);
  Files inputs;
  if (in.source) inputs["o.src"] = l.src;
  for (const auto& [name, text] : l.includes) inputs["Include/" + name] = text;
  for (const char* name : {"o.src", "o.fun", "dev.tvo"}) directory.erase(name);
  for (auto it = directory.begin(); it != directory.end();)
    it = it->first.rfind("Include/", 0) == 0 ? directory.erase(it) : std::next(it);

  tavo_result* first = tavo_compile(&in);
  if (!first) fail("tavo_compile gave no result");
  Files memory = outputsOf(first);
  if (memory != directory) {
    for (const auto& [name, text] : directory)
      if (!memory.count(name) || memory[name] != text) fail("the API left another", name);
    fail("the API left a file the directory does not have");
  }
  if (tavo_error_count(first) != ecount) fail("the API counted errors differently");
  checkIndex(first, inputs);
  tavo_result* second = tavo_compile(&in);
  if (!second || outputsOf(second) != memory || tavo_use_count(second) != tavo_use_count(first) ||
      tavo_definition_count(second) != tavo_definition_count(first))
    fail("a second call gave another result");
  tavo_free(first);
  tavo_free(second);
  return 0;
}
