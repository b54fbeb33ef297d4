// tavo_fuzz.cpp: a libFuzzer target that runs whole compilations.
//
// One input is split into the files a host lays out (see splitInput below),
// written into a private directory, and compiled twice with mainOrv, each
// time after resetAll has returned every global to its load-time state.
// Whatever the files hold, a compilation must end cleanly and leave outputs
// that agree with each other and with "o.err"; the checks below abort on the
// first disagreement, which libFuzzer then reports with the input.
//
// Input format, line oriented. Everything before the first marker line is
// "o.src". A marker line begins with "%%" at the start of the input or right
// after a newline, and starts a section that runs to the next marker:
//   %%o.fun            the section is "o.fun"
//   %%Include/NAME     the section is the function file Include/NAME (the
//                      first two such sections only)
//   %%no dev.tvo       no "dev.tvo": the listing and HEX file are off
//   %%dir PATH         PATH (o.src, o.fun, dev.tvo or Include/NAME) is made a
//                      directory, which the compiler must treat as absent
// The newline before a marker belongs to the section it ends; a marker
// written "%%~..." removes it, so that a file can end without a line end.
// Without a "%%no dev.tvo" line, "dev.tvo" exists (empty).
#include "fuzz_common.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) { return initWorkdir(); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Layout l = splitInput(std::string_view(reinterpret_cast<const char*>(data), size));
  int ecount1, full1, ecount2, full2;
  Files first = compileOnce(l, &ecount1, &full1);
  checkOutputs(l, first, ecount1, full1);
  // The same files again: resetAll must leave nothing of the last
  // compilation behind, so the outputs must be the same byte for byte.
  Files second = compileOnce(l, &ecount2, &full2);
  if (ecount1 != ecount2) fail("a second compilation counted errors differently");
  for (const auto& [name, text] : first) {
    auto it = second.find(name);
    if (it == second.end()) fail("a second compilation did not write", name);
    if (it->second != text) fail("a second compilation wrote another", name);
  }
  if (second.size() != first.size()) fail("a second compilation wrote other files");
  return 0;
}
