// tavoc.h: the command-line compiler's parts. main.cpp takes the options
// apart and runs one compilation; the others turn what the compilation left
// in the compiler's state into what a person or a tool reads.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace tavoc {

// Exit statuses.
constexpr int EXIT_CLEAN = 0;     // no error
constexpr int EXIT_ERRORS = 1;    // the compilation reported an error
constexpr int EXIT_USAGE = 2;     // the command line or a file named on it
constexpr int EXIT_FILES = 3;     // an output could not be written, or an input read

// How one diagnostic is shown.
enum class Kind { Error, Warning, Note };

struct Message {
  Kind kind;
  std::string path;      // as the user opens it from the current directory
  int line = 0, col = 0; // 0 when there is none
  std::string text;
  std::string name = {}; // a warning's name, shown as [-Wname]
};

// Where the compilation ran, as the user named it ("" for the current one).
struct Place {
  std::string dir;
  std::string path(const std::string& file) const;   // dir joined with file
};

// report.cpp: the compiler's records, and what tavoc adds to them, as
// messages in order.
// With outputsLeft, notes on what the files left in the directory hold.
// With werror, warnings become errors.
std::vector<Message> collectMessages(const Place& at, bool devfile, bool outputsLeft,
                                     bool werror);
void printMessages(const std::vector<Message>& messages, bool colour);
nlohmann::ordered_json messagesJson(const std::vector<Message>& messages);
bool stderrWantsColour(const std::string& choice);   // --color=always|never|auto
// The files that could not be written or read, with the system's reason.
void printFailures(const Place& at);
nlohmann::ordered_json failuresJson(const Place& at);

// size.cpp: the budget of the image and the tables.
void printSize(const Place& at);
nlohmann::ordered_json sizeJson();

// check.cpp: a scratch directory that sees the inputs of `dir` and keeps
// every output away from it. Returns "" when it cannot be made.
std::string makeScratch(const std::string& dir);
void removeScratch(const std::string& scratch);

// warnings.cpp: -W options, taken out of argv (what is left goes to rest)
// and applied to tavo::lintOn. Returns EXIT_USAGE for an unknown one.
struct WarningOptions {
  bool error = false;   // -Werror
};
int takeWarningOptions(int argc, char** argv, std::vector<char*>& rest, WarningOptions& w);
std::string warningHelp();   // every warning, with an example
bool warned();               // a warning (not a note) was reported

// list.cpp: --list FILE. Returns the exit status.
int listImage(const char* path);

}  // namespace tavoc
