// report.cpp: diagnostics as editors and people read them.
//
// The compiler keeps a record of every line it writes to "o.err". Here the
// first error becomes `PATH:LINE:COL: error: MESSAGE`, in the form GCC and
// Clang use, with the source line and a caret under it; the lines it set off
// become notes that say so, the lines that count no error become warnings,
// and notes explain what the outputs of a failed or partial compilation do
// not tell by themselves.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "base/tavomain.h"
#include "codegen/codegen.h"
#include "tavoc.h"

namespace tavoc {

namespace fs = std::filesystem;

std::string Place::path(const std::string& file) const {
  if (dir.empty() || dir == ".") return file;
  return dir.back() == '/' ? dir + file : dir + "/" + file;
}

static bool exists(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

static bool isLint(const tavo::Diagnostic& d) {
  return d.kind == tavo::DIAG_LINT || d.kind == tavo::DIAG_LINT_NOTE;
}

bool warned() {
  for (const tavo::Diagnostic& d : tavo::diagnostics)
    if (d.kind == tavo::DIAG_LINT) return true;
  return false;
}

// The compiler's own records: the first error, what followed from it, and
// the warnings, each with the note that explains it. The lints are
// warnings (errors with werror) or notes.
static void recorded(const Place& at, std::vector<Message>& out, bool werror) {
  bool errorSeen = false;
  for (const tavo::Diagnostic& d : tavo::diagnostics) {
    Message m{Kind::Error, at.path(d.file.empty() ? "o.src" : d.file), d.line, d.col, d.message};
    if (isLint(d)) {
      m.name = d.name;
      if (d.kind == tavo::DIAG_LINT_NOTE) m.kind = Kind::Note;
      else if (!werror) m.kind = Kind::Warning;
    } else if (d.kind == tavo::DIAG_WARNING) {
      m.kind = Kind::Warning;
    } else if (errorSeen) {
      m.kind = Kind::Note;
      m.text += " (follows from the error above)";
    }
    errorSeen |= d.kind == tavo::DIAG_ERROR;
    out.push_back(m);
    if (!d.note.empty()) out.push_back({Kind::Note, m.path, 0, 0, d.note});
    if (d.pass == 0 && d.file == "o.src")
      out.push_back({Kind::Note, m.path, 0, 0,
                     "there is no readable o.src in " +
                         (at.dir.empty() ? std::string("the current directory")
                                         : "the directory '" + at.dir + "'")});
  }
}

// The pass of the first error, or 0.
static int errorPass() {
  for (const tavo::Diagnostic& d : tavo::diagnostics)
    if (d.kind == tavo::DIAG_ERROR) return d.pass;
  return 0;
}

std::vector<Message> collectMessages(const Place& at, bool devfile, bool outputsLeft,
                                     bool werror) {
  std::vector<Message> out;
  recorded(at, out, werror);
  if (tavo::codefull)
    out.push_back({Kind::Error, at.path("o.src"), 0, 0,
                   "code image full (" + std::to_string(tavo::MAXCODE) + " bytes)"});
  if (outputsLeft && errorPass() == 2)
    out.push_back({Kind::Note, at.path("o.bin"), 0, 0,
                   "holds only the code compiled before the error"});
  if (!devfile) {
    for (const char* file : {"o.lst", "o.hex"})
      if (exists(at.path(file)))
        out.push_back({Kind::Note, at.path(file), 0, 0,
                       "belongs to an earlier compilation: without dev.tvo none is written"});
  }
  return out;
}

bool stderrWantsColour(const std::string& choice) {
  if (choice == "always") return true;
  if (choice == "never") return false;
  const char* no = std::getenv("NO_COLOR");
  return isatty(STDERR_FILENO) && !(no && *no);
}

// The source lines that the messages show, by file and line number, read
// in one pass over each file and nothing else kept: a program of a few
// hundred kilobytes with a warning on every function must not take longer
// to report than to compile. A line that is not there has no entry.
using SourceLines = std::map<std::string, std::map<int, std::string>>;

// Fills in the lines that `lines` asks for from fp, 8 KB at a time;
// erases the ones the file does not have.
static void readLines(std::FILE* fp, std::map<int, std::string>& lines) {
  char buf[8192];   // small: every page first touched costs a fault
  auto next = lines.begin();
  int at = 1;   // the line the next byte belongs to
  size_t n;
  while (next != lines.end() && (n = std::fread(buf, 1, sizeof buf, fp)) > 0) {
    for (const char *p = buf, *end = buf + n; p < end && next != lines.end();) {
      auto nl = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
      if (at == next->first) next->second.append(p, nl ? nl : end);
      if (!nl) break;
      if (at == next->first) ++next;
      at++;
      p = nl + 1;
    }
  }
  if (next != lines.end() && next->first == at && !next->second.empty()) ++next;   // no line end
  lines.erase(next, lines.end());
  for (auto& [number, text] : lines)
    if (!text.empty() && text.back() == '\r') text.pop_back();
}

static SourceLines sourceLines(const std::vector<Message>& messages) {
  SourceLines want;
  for (const Message& m : messages)
    if (m.line > 0) want[m.path][m.line];
  for (auto& [path, lines] : want) {
    std::FILE* fp = std::fopen(path.c_str(), "rb");
    if (fp) {
      readLines(fp, lines);
      std::fclose(fp);
    } else {
      lines.clear();
    }
  }
  return want;
}

namespace {

struct Style {
  const char *bold, *kind, *caret, *reset;
};

Style styleFor(Kind k, bool colour) {
  if (!colour) return {"", "", "", ""};
  const char* kind = k == Kind::Error ? "\033[1;31m" : k == Kind::Warning ? "\033[1;35m" : "\033[1;36m";
  return {"\033[1m", kind, "\033[1;32m", "\033[m"};
}

const char* kindName(Kind k) {
  return k == Kind::Error ? "error" : k == Kind::Warning ? "warning" : "note";
}

}  // namespace

// The line, and a caret under the column; a tab before the column stays a
// tab under it, so the caret lines up however wide the terminal shows tabs.
static void showSource(const Message& m, const Style& s, const SourceLines& source,
                       std::string& out) {
  auto file = source.find(m.path);
  if (m.line <= 0 || file == source.end() || !file->second.count(m.line)) return;
  const std::string& text = file->second.at(m.line);
  char number[16];
  std::snprintf(number, sizeof number, "%5d | ", m.line);
  out += number + text + "\n";
  if (m.col <= 0) return;
  out += "      | ";
  for (size_t i = 0; i + 1 < static_cast<size_t>(m.col); i++)
    out += i < text.size() && text[i] == '\t' ? '\t' : ' ';
  out += s.caret;
  out += "^";
  out += s.reset;
  out += "\n";
}

// The messages are put together and written 8 KB at a time: standard
// error is unbuffered, and a write for every piece of a hundred warnings
// costs as much as a compilation.
void printMessages(const std::vector<Message>& messages, bool colour) {
  std::string out;
  SourceLines source = sourceLines(messages);
  for (const Message& m : messages) {
    Style s = styleFor(m.kind, colour);
    std::string where = m.path;
    if (m.line > 0) where += ":" + std::to_string(m.line);
    if (m.line > 0 && m.col > 0) where += ":" + std::to_string(m.col);
    std::string text = m.text;
    if (!m.name.empty())
      text += (m.kind == Kind::Error ? " [-Werror=" : " [-W") + m.name + "]";
    out += std::string(s.bold) + where + ":" + s.reset + " " + s.kind + kindName(m.kind) + ":" +
           s.reset + " " + text + "\n";
    showSource(m, s, source, out);
    if (out.size() >= 8192) {   // written in pieces, the buffer used again
      std::fwrite(out.data(), 1, out.size(), stderr);
      out.clear();
    }
  }
  std::fwrite(out.data(), 1, out.size(), stderr);
}

nlohmann::ordered_json messagesJson(const std::vector<Message>& messages) {
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const Message& m : messages) {
    nlohmann::ordered_json j = {{"kind", kindName(m.kind)}, {"message", m.text}, {"file", m.path}};
    j["line"] = m.line > 0 ? nlohmann::ordered_json(m.line) : nlohmann::ordered_json(nullptr);
    j["column"] = m.line > 0 && m.col > 0 ? nlohmann::ordered_json(m.col) : nlohmann::ordered_json(nullptr);
    j["name"] = m.name.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(m.name);
    list.push_back(j);
  }
  return list;
}

void printFailures(const Place& at) {
  for (const tavo::FileFailure& f : tavo::filefailures)
    std::fprintf(stderr, "tavoc: cannot %s %s: %s\n", f.writing ? "write" : "read",
                 at.path(f.file).c_str(), std::strerror(f.err));
}

nlohmann::ordered_json failuresJson(const Place& at) {
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const tavo::FileFailure& f : tavo::filefailures)
    list.push_back({{"file", at.path(f.file)},
                    {"action", f.writing ? "write" : "read"},
                    {"reason", std::strerror(f.err)}});
  return list;
}

}  // namespace tavoc
