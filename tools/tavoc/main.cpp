// tavoc: the command-line compiler. It does what a load of the library does,
// one compilation in a directory with the results in files, and tells a
// person or a tool what happened: diagnostics in the form editors read, a
// JSON document, the size of the program, or a check that leaves the
// directory as it was.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "base/tavomain.h"
#include "codegen/codegen.h"
#include "driver/driver.h"
#include "tavoc.h"

namespace tavoc {

namespace fs = std::filesystem;

constexpr const char* VERSION = "tavoc 0.1";

struct Options {
  std::string dir;
  std::string list;
  std::string format = "text";
  std::string color = "auto";
  std::string diagnostics = "gnu";
  bool size = false;
  bool check = false;
  WarningOptions warnings;
};

constexpr const char* ABOUT =
    "Compiles DIR/o.src (DIR defaults to the current directory) and leaves o.bin,\n"
    "o.aux, o.err, o.stx, o.sym and o.map there, and o.lst and o.hex when\n"
    "DIR/dev.tvo exists. Diagnostics go to standard error as PATH:LINE:COL: error:\n"
    "MESSAGE, with the source line and a caret.";

constexpr const char* FOOTER =
    "Exit status: 0 no error, 1 the compilation reported an error (or the\n"
    "12288-byte code image filled up), 2 a usage problem, 3 an output file could\n"
    "not be written completely (it is then removed) or an input not read.\n"
    "--list FILE prints the listing of the code image FILE to standard output, as\n"
    "o.lst shows it but without a data line (the image alone does not tell where\n"
    "data lies). A file that begins with the start-up header (68 xx xx 24 00 44 00)\n"
    "is listed as a program; an instruction cut short by the end of the file is\n"
    "shown as if zero bytes followed; files larger than the image are refused.";

// --diagnostics=original: "o.err" as it stands, then the full image, which
// the compiler reports only by stopping.
void copyErrors(const std::string& workdir) {
  if (std::FILE* fp = std::fopen(Place{workdir}.path("o.err").c_str(), "rb")) {
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, fp)) > 0) std::fwrite(buf, 1, n, stderr);
    std::fclose(fp);
  }
  if (tavo::codefull) std::fprintf(stderr, "tavoc: code image full (%d bytes)\n", tavo::MAXCODE);
}

// Runs the compilation in `workdir` and comes back. Returns false when the
// directory cannot be entered.
bool compileIn(const std::string& workdir) {
  std::error_code ec;
  fs::path back = fs::current_path(ec);
  if (!workdir.empty() && chdir(workdir.c_str()) != 0) return false;
  tavo::mainOrv();
  if (!workdir.empty() && chdir(back.c_str()) != 0) return false;
  return true;
}

int compile(const Options& o) {
  std::error_code ec;
  if (!o.dir.empty() && !fs::is_directory(o.dir, ec)) {
    std::fprintf(stderr, "tavoc: '%s' is not a directory\n", o.dir.c_str());
    return EXIT_USAGE;
  }
  std::string workdir = o.dir;
  if (o.check) {
    workdir = makeScratch(o.dir);
    if (workdir.empty()) {
      std::fprintf(stderr, "tavoc: cannot make a scratch directory for --check\n");
      return EXIT_USAGE;
    }
  }
  if (!compileIn(workdir)) {
    std::fprintf(stderr, "tavoc: cannot enter '%s'\n", workdir.c_str());
    removeScratch(o.check ? workdir : "");
    return EXIT_USAGE;
  }
  Place at{o.dir};
  auto messages = collectMessages(at, tavo::controlfile != 0, !o.check, o.warnings.error);
  bool failed = tavo::ecount != 0 || tavo::codefull || (o.warnings.error && warned());
  int status = failed ? EXIT_ERRORS : EXIT_CLEAN;
  if (!tavo::filefailures.empty()) status = EXIT_FILES;

  if (o.format == "json") {
    nlohmann::ordered_json doc = {{"status", status}, {"diagnostics", messagesJson(messages)}};
    if (!tavo::filefailures.empty()) doc["file_failures"] = failuresJson(at);
    if (o.size) doc["size"] = sizeJson();
    std::cout << doc.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
  } else {
    if (o.diagnostics == "original") {
      copyErrors(workdir);
    } else {
      printMessages(messages, stderrWantsColour(o.color));
    }
    printFailures(at);
    if (o.size) printSize(at);
  }
  if (o.check) removeScratch(workdir);
  return status;
}

}  // namespace tavoc

int main(int argc, char** argv) {
  using namespace tavoc;
  Options o;
  std::vector<char*> args;
  if (takeWarningOptions(argc, argv, args, o.warnings) != EXIT_CLEAN) return EXIT_USAGE;
  argc = static_cast<int>(args.size());
  argv = args.data();
  CLI::App app{ABOUT, "tavoc"};
  app.footer([] { return std::string(FOOTER) + "\n\n" + warningHelp(); });
  app.get_formatter()->column_width(24);
  app.set_version_flag("--version", VERSION);
  app.add_option("DIR", o.dir, "the directory of o.src (default: the current one)");
  app.add_option("--list", o.list, "print the listing of the image FILE and stop")
                   ->option_text("FILE");
  app.add_flag("--size", o.size, "report the size of the image, the data and every table");
  app.add_flag("--check", o.check, "compile and report, leave the directory exactly as it was");
  app.add_option("--format", o.format, "text (default) or json: one JSON document on standard output")
      ->check(CLI::IsMember({"text", "json"}));
  app.add_option("--color", o.color, "colour the diagnostics: always, never or auto (default)")
      ->check(CLI::IsMember({"always", "never", "auto"}));
  app.add_option("--diagnostics", o.diagnostics,
                 "gnu (default), or original: the lines of o.err exactly, no warnings")
      ->check(CLI::IsMember({"gnu", "original"}));
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e) == 0 ? EXIT_CLEAN : EXIT_USAGE;
  } catch (const CLI::CallForVersion& e) {
    app.exit(e);
    return EXIT_CLEAN;
  } catch (const CLI::ParseError& e) {
    std::fprintf(stderr, "tavoc: %s\nTry 'tavoc --help'.\n", e.what());
    return EXIT_USAGE;
  }
  if (!o.list.empty()) {
    if (argc > 3 || !o.dir.empty()) {   // --list FILE or --list=FILE, nothing else
      std::fprintf(stderr, "tavoc: --list takes one FILE and nothing else\n");
      return EXIT_USAGE;
    }
    return listImage(o.list.c_str());
  }
  return compile(o);
}
