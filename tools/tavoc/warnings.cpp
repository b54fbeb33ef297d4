// warnings.cpp: the warning options, which CLI11 does not take in the form
// GCC and Clang give them (-Wall, -Wno-NAME, -w, -Werror), and their help.
//
// They are taken out of the command line before CLI11 sees the rest, in
// order: a later option overrides an earlier one, except -w, which silences
// every warning wherever it stands.
#include <cstdio>
#include <cstring>
#include <string>

#include "base/tavomain.h"
#include "tavoc.h"

namespace tavoc {

// Switches the warnings that `name` names: one lint, or the group
// "unused" (every unused-*). False when nothing has that name.
static bool setWarning(const std::string& name, bool on) {
  bool any = false;
  for (int i = 0; i < tavo::NLINTS; i++) {
    std::string n = tavo::lints[i].name;
    if (n == name || (name == "unused" && n.rfind("unused-", 0) == 0)) {
      tavo::lintOn[i] = on;
      any = true;
    }
  }
  return any;
}

// One argument; false when it is a -W option that names no warning.
static bool takeOne(const std::string& a, WarningOptions& w) {
  if (a == "-Wall") {
    for (bool& on : tavo::lintOn) on = true;
  } else if (a == "-Werror" || a == "-Wno-error") {
    w.error = a == "-Werror";
  } else if (a.rfind("-Wno-", 0) == 0) {
    return setWarning(a.substr(5), false);
  } else {
    return setWarning(a.substr(2), true);
  }
  return true;
}

int takeWarningOptions(int argc, char** argv, std::vector<char*>& rest, WarningOptions& w) {
  bool silent = false;
  for (int i = 0; i < argc; i++) {
    std::string a = argv[i];
    if (i == 0 || a.size() < 2 || a[0] != '-' || (a[1] != 'W' && a != "-w")) {
      rest.push_back(argv[i]);
    } else if (a == "-w") {
      silent = true;
    } else if (!takeOne(a, w)) {
      std::fprintf(stderr, "tavoc: unknown warning option '%s'\nTry 'tavoc --help'.\n", a.c_str());
      return EXIT_USAGE;
    }
  }
  if (silent)
    for (bool& on : tavo::lintOn) on = false;
  return EXIT_CLEAN;
}

std::string warningHelp() {
  std::string s =
      "Warnings: what compiles but is likely a mistake. They go to standard error\n"
      "(PATH:LINE:COL: warning: MESSAGE [-WNAME]) and to the JSON, never into a file.\n"
      "-WNAME turns one on, -Wno-NAME off, -Wunused every unused-*, -Wall all of them,\n"
      "-w none; -Werror makes any warning fail the compilation (exit status 1, the\n"
      "files written all the same). Each, with a line that draws it:\n";
  for (const tavo::LintInfo& l : tavo::lints) {
    char line[300];
    std::snprintf(line, sizeof line, "  -W%-16s %s%s\n  %-18s e.g. %s\n", l.name, l.says,
                  l.byDefault ? "" : " (off by default)", "", l.example);
    s += line;
  }
  return s;
}

}  // namespace tavoc
