// tavorun_fuzz.cpp: a libFuzzer target that runs arbitrary images on the
// model machine.
//
// Input layout:
//   byte 0     bit 0: run the first function of the summary with --call
//                     (its argument count of zeros) instead of main;
//              bit 1: also run the sensitivity mode
//   byte 1     one reading to set: guess byte % count, choice byte / count
//   bytes 2-3  length of the image, low byte first (cut to what follows)
//   then       the image ("o.bin"), then the text of "o.aux"
// Whatever the bytes, a run must end (trap, exit or return) within its step
// limit, without a sanitizer report, with the machine's state in bounds.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/tavomain.h"
#include "tavorun.h"

namespace {

using namespace tavorun;

void check(bool ok) {
  if (!ok) std::abort();
}

void runOnce(const Program& p, const Options& opt, const std::string& call, bool sensitive) {
  Machine m;
  initMachine(m, p, opt);
  std::vector<Word> args;
  const Function* f = call.empty() ? nullptr : findFunction(p, call);
  if (f && f->args > 0) args.assign(std::min(f->args, 256), 0);
  std::string err;
  if (call.empty()) startProgram(m);
  else if (!startCall(m, call, args, err) && !err.empty()) return;
  run(m);
  check(m.end != End::running);
  check(m.steps <= opt.maxSteps);
  check(m.sp >= 0 && m.sp <= NCELLS);
  endLine(m);
  dumpGlobals(m);
  readingsLine(opt.readings, m.touched);
  if (sensitive) sensitivity(p, opt, m, call, args);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  int flags = data[0];
  size_t len = std::min<size_t>(data[2] | data[3] << 8, size - 4);
  len = std::min<size_t>(len, tavo::MAXCODE);
  Program p;
  p.image.assign(data + 4, data + 4 + len);
  std::string aux(reinterpret_cast<const char*>(data + 4 + len), size - 4 - len);
  std::string err;
  if (!parseAux(p, aux, err)) return 0;

  Options opt;
  opt.maxSteps = 20000;
  opt.serialInput = "ab";
  opt.channels[1] = "one";
  int g = data[1] % NGUESS;
  opt.readings.choice[g] = (data[1] / NGUESS) % choiceCount(g);
  std::string call;
  if (flags & 1)
    for (auto& f : p.functions)
      if (f.entry != 0) {
        call = f.name;
        break;
      }
  runOnce(p, opt, call, (flags & 2) != 0);
  return 0;
}
