// report.cpp: what a run tells at its end (the globals, the closing line)
// and the sensitivity mode, which reruns a program under the alternatives
// of every guess the first run consulted.
#include <algorithm>

#include "tavorun.h"

namespace tavorun {

// "name = v" per scalar, "name[n] = v0 v1 ..." per array, signed.
std::string dumpGlobals(const Machine& m) {
  std::string out;
  for (auto& g : m.prog->globals) {
    out += g.name;
    if (g.size > 1) out += "[" + std::to_string(g.size) + "]";
    out += " =";
    for (int i = 0; i < g.size && g.cell + i < NCELLS; i++) out += " " + std::to_string(m.cell[g.cell + i]);
    out += "\n";
  }
  return out;
}

// Steps, virtual time, and the stack's high-water mark with its margin.
static std::string counts(const Machine& m) {
  return "after " + std::to_string(m.steps) + " steps, " + std::to_string(m.clock) + " ms; stack " +
         std::to_string(m.highWater) + " of " + std::to_string(m.stackCells) + " cells (" +
         std::to_string(std::max(0, m.stackCells - m.highWater)) + " to spare)";
}

std::string endLine(const Machine& m) {
  switch (m.end) {
    case End::exit: return "end: exit value " + std::to_string(m.result) + " " + counts(m);
    case End::returned: return "end: returned " + std::to_string(m.result) + " " + counts(m);
    case End::trap: return "trap " + m.trapMessage + "; " + counts(m);
    default: return "running " + counts(m);
  }
}

int exitStatus(const Machine& m) { return m.end == End::trap ? 1 : 0; }

// Starts a run as the first one started: main, or the --call.
static bool start(Machine& m, const std::string& call, const std::vector<Word>& args) {
  std::string err;
  if (call.empty()) {
    startProgram(m);
    return true;
  }
  return startCall(m, call, args, err);
}

// The first byte where two outputs differ.
static size_t firstDifference(const std::string& a, const std::string& b) {
  auto d = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
  return static_cast<size_t>(d.first - a.begin());
}

// What differs between the base run and an alternative one, or "".
static std::string differences(const Machine& base, const Machine& alt) {
  std::string out;
  std::map<std::string, std::string> all = base.outputs;
  for (auto& [sink, bytes] : alt.outputs) all.emplace(sink, "");
  for (auto& [sink, bytes] : all) {
    auto a = alt.outputs.find(sink);
    const std::string& other = a == alt.outputs.end() ? std::string() : a->second;
    auto b = base.outputs.find(sink);
    const std::string& mine = b == base.outputs.end() ? std::string() : b->second;
    if (mine != other)
      out += "; output" + (sink == "-" ? std::string() : " to " + sink) + " from byte " +
             std::to_string(firstDifference(mine, other));
  }
  if (base.end != alt.end || base.trapMessage != alt.trapMessage) out += "; the end (" + endLine(alt) + ")";
  else if (base.result != alt.result) out += "; the value (" + std::to_string(alt.result) + ")";
  std::string names;
  for (auto& g : base.prog->globals)
    for (int i = 0; i < g.size && g.cell + i < NCELLS; i++)
      if (base.cell[g.cell + i] != alt.cell[g.cell + i]) {
        names += (names.empty() ? "" : ", ") + g.name;
        break;
      }
  if (!names.empty()) out += "; final globals " + names;
  return out.empty() ? out : out.substr(2);
}

std::vector<std::string> sensitivity(const Program& p, const Options& opt, const Machine& base,
                                     const std::string& call, const std::vector<Word>& args) {
  std::vector<std::string> lines;
  for (int g = 0; g < NGUESS; g++) {
    if (!base.touched[g]) continue;
    for (int c = 0; c < choiceCount(g); c++) {
      if (c == opt.readings.choice[g]) continue;
      Options o = opt;
      o.readings.choice[g] = c;
      o.diag = nullptr;
      o.trace = false;
      Machine alt;
      initMachine(alt, p, o);
      if (start(alt, call, args)) run(alt);
      std::string d = differences(base, alt);
      lines.push_back(std::string(guessId(g)) + "=" + choiceName(g, c) + " (" + guessSubject(g) +
                      "): " + (d.empty() ? "no change" : "changes " + d));
    }
  }
  return lines;
}

}  // namespace tavorun
