// words.cpp: what the server says about words: reserved words, the names a
// program may take, and each kind of definition shown in a hover.
#include <cstdio>

#include "lsp.h"

namespace tavolsp {

namespace {

struct Reserved {
  const char* word;
  const char* meaning;
};

// The reserved words in the compiler's order, each with what it does.
const Reserved kReserved[] = {
    {"if", "`if (cond)` ... [`else` ...] `endif`: runs a block when the condition is not zero"},
    {"else", "starts the block an `if` runs when its condition is zero"},
    {"endif", "ends an `if`"},
    {"while", "`while (cond)` ... `wend`: repeats a block while the condition is not zero"},
    {"wend", "ends a `while` loop"},
    {"repeat", "`repeat` ... `until (cond)` or `forever`: a loop tested at its end"},
    {"until", "ends a `repeat` loop once the condition is not zero"},
    {"forever", "ends a `repeat` loop that only `break` or `return` leaves"},
    {"endfunc", "ends a function"},
    {"return", "leaves the function, with a value when one follows"},
    {"break", "leaves the innermost loop"},
    {"continue", "goes on with the next round of the innermost loop"},
    {"byte", "a data table of bytes (`#DATA byte NAME ...`)"},
    {"word", "a data table of 16-bit words (`#DATA word NAME ...`)"},
    {"dword", "a data table of 32-bit words (`#DATA dword NAME ...`)"},
    {"var", "declares variables: globals at the top level, locals at a function's start"},
    {"object", "accepted at the top level and passed over"},
    {"func", "`func NAME(var a, ...)` ... `endfunc`: defines a function"},
    {"inherit", "`#inherit \"FILE\"`: loads a platform function file from Include/"},
    {"platform", "reserved"},
    {"include", "reserved"},
    {"constant", "`#constant NAME value`: a number, string, name or `$` macro"},
    {"optimize", "`#optimize`: a directive the compiler accepts"},
    {"print", "`print(item, ...)`: prints numbers and strings"},
    {"CONST", "`#CONST` ... `#END`: a block of constant definitions"},
    {"DATA", "`#DATA`: a data table, or a block of them up to `#END`"},
    {"END", "ends a `#CONST` or `#DATA` block"},
    {"STACK", "`#STACK n`: the stack size of `main`"},
    {"goto", "`goto LABEL;` jumps to a label of the same function"},
    {"gosub",
     "`gosub LABEL` runs the code at a label up to `endsub`; `gosub (i), (L1, ...)` picks one"},
    {"endsub", "returns from a `gosub`"},
    {"lookup8", "`lookup8(value, a, b, ...)`: the index of value among byte-sized items"},
    {"lookup16", "`lookup16(value, a, b, ...)`: the index of value among word-sized items"},
};

std::string number(int v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%d (0x%X)", v,
                static_cast<unsigned>(v) & (v >= 0 && v <= 0xFFFF ? 0xFFFFu : 0xFFFFFFFFu));
  return buf;
}

std::string code(const std::string& s) { return "```tavo\n" + s + "\n```\n"; }

}  // namespace

const char* reservedMeaning(std::string_view word) {
  for (const Reserved& r : kReserved)
    if (word == r.word) return r.meaning;
  return nullptr;
}

const std::vector<std::string>& reservedWords() {
  static const std::vector<std::string> words = [] {
    std::vector<std::string> v;
    for (const Reserved& r : kReserved) v.push_back(r.word);
    return v;
  }();
  return words;
}

// A name as the lexer reads one: a letter or '_' first, then letters,
// digits and '_', at most 69 characters, and no reserved word.
bool validName(std::string_view name) {
  if (name.empty() || name.size() > 69 || reservedMeaning(name)) return false;
  if (!(std::isalpha(static_cast<unsigned char>(name[0])) || name[0] == '_')) return false;
  for (char c : name)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
  return true;
}

std::string signature(const tavo_definition& d) {
  std::string s = std::string(d.name) + "(";
  for (size_t i = 0; i < d.arg_name_count; i++) s += (i ? ", " : "") + std::string(d.arg_names[i]);
  if (d.arg_name_count == 0 && d.args > 0)
    for (int i = 0; i < d.args; i++) s += (i ? ", arg" : "arg") + std::to_string(i + 1);
  return s + ")";
}

std::string describe(const Compiled& c, const tavo_definition& d) {
  std::string name = d.name;
  auto owner = [&] {
    const tavo_definition* f = c.def(d.scope);
    return f ? std::string(f->name) : "?";
  };
  auto returns = [&] { return d.returns ? "returns a value" : "returns no value"; };
  switch (d.kind) {
    case TAVO_FUNCTION:
      return code("func " + signature(d)) + "function at address " + number(d.value) + ", " +
             std::to_string(d.args) + " argument" + (d.args == 1 ? "" : "s") + ", " + returns();
    case TAVO_ARGUMENT:
      return code("var " + name) + "argument " + std::to_string(d.value + 1) + " of `" + owner() +
             "`";
    case TAVO_LOCAL:
      return code("var " + name) + "local variable of `" + owner() + "`, slot " +
             std::to_string(d.value);
    case TAVO_GLOBAL:
      return code("var " + name) + "global variable at address " + number(d.value) +
             (d.size ? ", array of " + std::to_string(d.size) + " cells" : "");
    case TAVO_CONSTANT:
      if (d.token_kind == 0x2001)
        return code("#constant " + name + " " + d.text) + "constant " + number(d.value);
      if (d.token_kind == 0x2002)
        return code("#constant " + name + " \"" + d.text + "\"") + "string constant";
      return code("#constant " + name + " " + d.text) + "another name for `" + d.text + "`";
    case TAVO_MACRO:
      return code("#constant " + name + " $" + d.text) + "macro";
    case TAVO_TABLE:
      return code(name) + d.text + "; address " + number(d.value);
    case TAVO_LABEL:
      return code(name + ":") + "label of `" + owner() + "` at address " + number(d.value);
    case TAVO_PLATFORM: {
      std::string where =
          *d.file ? std::string("declared in ") + d.file + " line " + std::to_string(d.line)
                  : "built in";
      return code(signature(d)) + "platform function number " + std::to_string(d.value) + ", " +
             std::to_string(d.args) + " argument" + (d.args == 1 ? "" : "s") + ", " + returns() +
             "; " + where;
    }
  }
  return "";
}

}  // namespace tavolsp
