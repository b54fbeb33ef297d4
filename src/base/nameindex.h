// nameindex.h: the names a compilation defines and uses, for editors.
//
// While nameindex.active is set, the lexer notes every identifier it reads
// from a file (an occurrence: its text, file and position) and the parts of
// the compiler that define a name mark the occurrence that defined it.
// finishNameIndex() then ties every other occurrence to the definition it
// names, by the compiler's own rules of resolution. Nothing here changes
// what a compilation does or writes; with the index off it costs a test.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tavo {

enum NameKind {
  NAME_FUNCTION,  // a function of the program: address, argument count, returns
  NAME_ARGUMENT,  // an argument of a function: its index
  NAME_LOCAL,     // a local of a function: its slot
  NAME_GLOBAL,    // a global: address in data memory, cells
  NAME_CONSTANT,  // a number, string or name constant: value, text
  NAME_MACRO,     // a $ macro: text
  NAME_TABLE,     // a data table: kind (byte/word/dword), address
  NAME_LABEL,     // a label of a function: code address
  NAME_PLATFORM,  // a platform function: number, argument names, returns
};

struct NameDefinition {
  NameDefinition(NameKind k, std::string n) : kind(k), name(std::move(n)) {}
  NameKind kind;
  std::string name;
  std::string file;       // "" for the built-in platform functions
  int line = 0, col = 0;  // of the name's first character; 0 when built in
  int scope = -1;         // the function (definition index) it belongs to, or -1
  int value = 0;          // constant's value; address of function, global, table or label;
                          // platform function's number; argument's or local's index
  int size = 0;           // global's cells (0 for a scalar); table's bytes
  int args = 0;           // function's or platform function's argument count
  int returns = 0;        // 1 when a function returns a value
  int tokenKind = 0;      // constant: TOK_CONST, TOK_STRING or TOK_NAME; table: KW_BYTE, ...
  std::string text;       // constant's or macro's text
  std::vector<std::string> argNames;
};

struct NameOccurrence {
  std::string name;
  std::string file;
  long offset;    // of the name's first character in its file, -1 if unknown
  int line, col;  // from the offset, by finishNameIndex
  int pass;
  int scope;       // the function being compiled when it was read, or -1
  int symbolKind;  // the symbol-table kind it was read as, 0 for none
  int scan;        // which scan of the lexer read it
  int role = 0;    // OCC_*
  int def = -1;    // the definition it defines or names
};
enum { OCC_PLAIN, OCC_DEFINES, OCC_LABEL };

struct IndexOfNames {
  bool active = false;
  int scans = 0;      // scans of the lexer so far
  int function = -1;  // the function being compiled
  std::vector<NameDefinition> defs;
  std::vector<NameOccurrence> occurrences;
};
extern IndexOfNames nameindex;

// The lexer: an identifier read at offset of the file being read.
void noteName(const char* text, size_t len, long offset, int symbolKind);
// The last occurrence noted, or -1: taken while the defining name is current.
int lastName();
// Forgets the occurrences of the token now current (a first-pass line that
// is no directive: the second pass reads it).
void forgetCurrentName();
// Marks occurrence occ (or none, -1) as the definition d; returns its index.
int defineName(int occ, NameDefinition d);
void useLabel(int occ);
void beginFunction(int def);
void endFunction(int returns);
void resetNameIndex(bool active);
// Ties every occurrence to its definition and drops the ones that name none.
void finishNameIndex();

}  // namespace tavo
