// readings.cpp: the named guesses of the machine model and their choices.
//
// A reading is written "G3=unsigned". Each guess lists its choices with the
// model's default first (docs/machine.md tells why each default was chosen).
#include <strings.h>

#include "tavorun.h"

namespace tavorun {

struct GuessInfo {
  const char* id;
  const char* subject;
  std::vector<const char*> choices;
};

// ORDER GUESS: one entry per enum Guess value, choices in the order of the
// guess's choice enum.
static const GuessInfo guesses[NGUESS] = {
    {"G1", "putnum format", {"pad", "plain", "zeros"}},
    {"G2", "stack size unit", {"cells", "bytes", "nolink"}},
    {"G3", "comparison, division and right shift signedness", {"signed", "unsigned"}},
    {"G4", "division by zero", {"trap", "zero", "ones", "dividend"}},
    {"G5", "value of a function without a value", {"zero", "top"}},
    {"G6", "value of true", {"one", "minus-one"}},
    {"G7", "initial memory", {"zero", "old"}},
    {"G7b", "translate", {"index", "key", "search"}},
    {"G8", "gosub return addresses", {"apart", "stack"}},
    {"G9", "shift counts of 16 or more", {"wide", "mask"}},
    {"G10", "word width", {"16", "32"}},
    {"G11", "byte loads from code space", {"zero", "sign"}},
    {"G12", "data memory layout", {"upward", "apart"}},
    {"G13", "main's arguments", {"args", "none"}},
    {"G14", "writes to code space", {"trap", "ram"}},
    {"G15", "to() and the print brackets", {"redirect", "timeout"}},
    {"G16", "serin with no byte due", {"block", "poll"}},
    {"G17", "DEREFW on a data cell", {"cell", "pair"}},
    {"G18", "pause unit", {"ms", "cs"}},
    {"G19", "display control characters", {"stream", "text"}},
    {"G20", "putnum and putstr results", {"count", "value"}},
    {"G21", "address pushed for a string", {"tagged", "raw"}},
};

const char* guessId(int g) { return guesses[g].id; }
const char* guessSubject(int g) { return guesses[g].subject; }
int choiceCount(int g) { return static_cast<int>(guesses[g].choices.size()); }
const char* choiceName(int g, int c) { return guesses[g].choices[c]; }

static int findGuess(const std::string& id) {
  for (int g = 0; g < NGUESS; g++)
    if (strcasecmp(guesses[g].id, id.c_str()) == 0) return g;
  return -1;
}

bool setReading(Readings& r, const std::string& text, std::string& err) {
  size_t eq = text.find('=');
  int g = findGuess(text.substr(0, eq));
  if (eq == std::string::npos || g < 0) {
    err = "'" + text + "' is not a reading (write it as G3=unsigned; --readings lists them)";
    return false;
  }
  std::string choice = text.substr(eq + 1);
  for (int c = 0; c < choiceCount(g); c++) {
    if (choice == choiceName(g, c)) {
      r.choice[g] = c;
      return true;
    }
  }
  err = "reading " + std::string(guessId(g)) + " has no choice '" + choice + "'";
  return false;
}

// "readings: G1=pad G6=one", the guesses a run consulted, in guess order.
std::string readingsLine(const Readings& r, const bool touched[NGUESS]) {
  std::string line = "readings:";
  for (int g = 0; g < NGUESS; g++) {
    if (!touched[g]) continue;
    line += ' ';
    line += guessId(g);
    line += '=';
    line += choiceName(g, r.choice[g]);
  }
  if (line == "readings:") line += " none of the model's guesses was consulted";
  return line;
}

void listReadings(std::FILE* fp) {
  for (int g = 0; g < NGUESS; g++) {
    std::fprintf(fp, "%-4s %-50s", guessId(g), guessSubject(g));
    for (int c = 0; c < choiceCount(g); c++)
      std::fprintf(fp, c == 0 ? " %s (default)" : ", %s", choiceName(g, c));
    std::fprintf(fp, "\n");
  }
}

}  // namespace tavorun
