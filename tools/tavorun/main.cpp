// tavorun: runs the program a compilation left in a directory on a model of
// the module's machine (docs/machine.md), on the host.
//
// Program output goes to standard output (or the files the options name);
// warnings, traces and the closing lines go to standard error. The last line
// names the readings of the model's guesses that the run consulted.
// Exit status: 0 normal end, 1 trap, 2 usage problem (options, files, or a
// program that cannot be started).
#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>
#include <vector>

#include "tavorun.h"

namespace {

using namespace tavorun;

struct Settings {
  std::string dir = ".";
  std::vector<std::string> call;   // NAME ARGS...
  std::vector<std::string> readings, rets, channels;
  std::vector<long long> args;
  std::string serialIn, serialInAt;
  bool dump = false, sensitivity = false;
};

int usageError(const std::string& what) {
  std::fprintf(stderr, "tavorun: %s\n", what.c_str());
  return 2;
}

bool readFile(const std::string& path, std::string& out) {
  std::FILE* fp = std::fopen(path.c_str(), "rb");
  if (!fp) return false;
  char buf[8192];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, fp)) > 0) out.append(buf, n);
  bool ok = !std::ferror(fp);
  std::fclose(fp);
  return ok;
}

// A whole decimal (or 0x hex) number, or false.
bool toNumber(const std::string& s, long long& v) {
  if (s.empty()) return false;
  char* end = nullptr;
  v = std::strtoll(s.c_str(), &end, 0);
  return *end == 0;
}

// --ret NAME=V,V,...: only for a function of a function file with a result.
bool addReturns(const Program& p, Options& o, const std::string& arg, std::string& err) {
  size_t eq = arg.find('=');
  std::string name = arg.substr(0, eq);
  const PlatformFunction* f = nullptr;
  for (auto& pf : p.platform)
    if (pf.name == name && pf.number <= -10) f = &pf;
  if (eq == std::string::npos || !f) {
    err = "--ret " + arg + ": no function '" + name + "' from a function file";
    return false;
  }
  if (f->returns == 0) {
    err = "--ret " + arg + ": " + name + " returns no value";
    return false;
  }
  std::vector<std::string> values;
  std::string rest = arg.substr(eq + 1) + ",";
  for (size_t at = 0, comma; (comma = rest.find(',', at)) != std::string::npos; at = comma + 1) {
    std::string v = rest.substr(at, comma - at);
    long long n;
    if (v != "@clock" && v != "@serin" && !toNumber(v, n)) {
      err = "--ret " + arg + ": '" + v + "' is not a number, @clock or @serin";
      return false;
    }
    values.push_back(v);
  }
  o.rets[name] = values;
  return true;
}

// --serial-in-at "0:ab;500:q": bytes due at virtual times in ms.
bool parseSchedule(const std::string& text, Options& o, std::string& err) {
  std::string rest = text + ";";
  for (size_t at = 0, semi; (semi = rest.find(';', at)) != std::string::npos; at = semi + 1) {
    std::string item = rest.substr(at, semi - at);
    if (item.empty()) continue;
    size_t colon = item.find(':');
    long long t;
    if (colon == std::string::npos || !toNumber(item.substr(0, colon), t) || t < 0) {
      err = "--serial-in-at: '" + item + "' is not TIME:BYTES";
      return false;
    }
    o.schedule.push_back({static_cast<uint64_t>(t), item.substr(colon + 1)});
  }
  return true;
}

// --channel N=FILE
bool addChannel(Options& o, const std::string& arg, std::string& err) {
  size_t eq = arg.find('=');
  long long n;
  if (eq == std::string::npos || eq + 1 == arg.size() || !toNumber(arg.substr(0, eq), n)) {
    err = "--channel " + arg + ": write it as N=FILE";
    return false;
  }
  o.channels[static_cast<int>(n)] = arg.substr(eq + 1);
  return true;
}

// The options that depend on the program; false with a message.
bool configure(const Settings& s, const Program& p, Options& o, std::string& err) {
  for (auto& r : s.readings)
    if (!setReading(o.readings, r, err)) return false;
  for (auto& r : s.rets)
    if (!addReturns(p, o, r, err)) return false;
  for (auto& c : s.channels)
    if (!addChannel(o, c, err)) return false;
  for (long long a : s.args) o.mainArgs.push_back(static_cast<Word>(a));
  if (!s.serialInAt.empty() && !parseSchedule(s.serialInAt, o, err)) return false;
  if (!s.serialIn.empty() && !readFile(s.serialIn, o.serialInput)) {
    err = "cannot read " + s.serialIn;
    return false;
  }
  o.serialFromStdin = s.serialIn.empty() && s.serialInAt.empty();
  return true;
}

// Writes each output to its file or standard output.
bool writeOutputs(const Machine& m) {
  bool ok = true;
  for (auto& [sink, bytes] : m.outputs) {
    if (sink == "-") {
      std::fwrite(bytes.data(), 1, bytes.size(), stdout);
      continue;
    }
    std::FILE* fp = std::fopen(sink.c_str(), "wb");
    if (!fp || std::fwrite(bytes.data(), 1, bytes.size(), fp) != bytes.size()) ok = false;
    if (fp) std::fclose(fp);
    if (!ok) std::fprintf(stderr, "tavorun: cannot write %s\n", sink.c_str());
  }
  return ok;
}

void addOptions(CLI::App& app, Settings& s, Options& o) {
  app.add_option("DIR", s.dir, "directory of the compilation (o.bin, o.aux, o.err); default .");
  app.add_option("--call", s.call, "run the function NAME with the ARGS and print its result")
      ->expected(1, 255);
  app.add_flag("--dump", s.dump, "print the globals by name at the end");
  app.add_option("--reading", s.readings, "a reading of a guess, e.g. G3=unsigned (repeatable)")
      ->allow_extra_args(false);
  app.add_flag("--sensitivity", s.sensitivity,
               "rerun under each alternative of every guess the run consulted");
  app.add_flag("--trace", o.trace, "one line per instruction on standard error");
  app.add_option("--trace-function", o.traceFunction, "trace only the instructions of NAME");
  app.add_option("--max-steps", o.maxSteps, "stop with a trap after N instructions")
      ->check(CLI::PositiveNumber);
  app.add_option("--arg", s.args, "an argument of main (repeatable)")->allow_extra_args(false);
  app.add_option("--ret", s.rets, "NAME=V,V,...: results of a function-file function (repeatable)")
      ->allow_extra_args(false);
  app.add_option("--serial-in", s.serialIn, "serial input from FILE (default standard input)");
  app.add_option("--serial-in-at", s.serialInAt, "serial input due at times: \"0:ab;500:q\"");
  app.add_option("--serial-out", o.serialOut, "serial output to FILE (default standard output)");
  app.add_option("--channel", s.channels, "N=FILE: output after to(N) goes to FILE (repeatable)")
      ->allow_extra_args(false);
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"tavorun: runs a compiled Tavo program on a model of the module's machine.\n"
               "It models the machine; it is not the device. Exit status: 0 normal end,\n"
               "1 trap, 2 usage problem."};
  Settings s;
  Options opt;
  opt.diag = stderr;
  addOptions(app, s, opt);
  bool listOnly = false;
  app.add_flag("--readings", listOnly, "list the guesses and their choices, and stop");
  app.set_version_flag("--version", "tavorun 0.1");
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return 2;
  }
  if (listOnly) return listReadings(stdout), 0;
  if (!opt.traceFunction.empty()) opt.trace = true;

  Program prog;
  std::string err;
  if (!loadProgram(prog, s.dir, err) || !configure(s, prog, opt, err)) return usageError(err);
  if (!prog.warnings.empty())
    std::fprintf(stderr, "tavorun: warning: the compilation warned (o.err): %s", prog.warnings.c_str());
  std::string call = s.call.empty() ? "" : s.call[0];
  std::vector<Word> args;
  for (size_t i = 1; i < s.call.size(); i++) {
    long long v;
    if (!toNumber(s.call[i], v)) return usageError("--call: '" + s.call[i] + "' is not a number");
    args.push_back(static_cast<Word>(v));
  }
  if (call.empty() && prog.library)
    return usageError("a library has no main: run one of its functions with --call NAME ARGS...");

  Machine m;
  initMachine(m, prog, opt);
  if (call.empty()) startProgram(m);
  else if (!startCall(m, call, args, err) && !err.empty()) return usageError(err);
  run(m);

  bool ok = writeOutputs(m);
  std::fflush(stdout);
  if (m.end == End::returned) std::printf("%d\n", m.result);
  if (s.dump) std::fputs(dumpGlobals(m).c_str(), stdout);
  std::fflush(stdout);
  std::fprintf(stderr, "tavorun: %s\n", endLine(m).c_str());
  if (s.sensitivity)
    for (auto& line : sensitivity(prog, opt, m, call, args))
      std::fprintf(stderr, "tavorun: sensitivity: %s\n", line.c_str());
  std::fprintf(stderr, "tavorun: %s\n", readingsLine(opt.readings, m.touched).c_str());
  return ok ? exitStatus(m) : 2;
}
