// constants.cpp: #constant, #CONST and #DATA definitions.
//
// Each definition becomes a symbol-table entry, which the lexer then puts in
// place of the name: a number, a string, another name, a macro's text, or a
// data table's address. Tables also go into the code image at once, at
// origin, one after the other with nothing in between; the names in word
// tables are patched after the second pass.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/nameindex.h"
#include "codegen/codegen.h"
#include "directives/directives.h"
#include "front/front.h"

namespace tavo {

// Bit 15 marks a table's value as a code-image address.
constexpr int CODEADDRESS = 0x8000;

static int defined(const NameKey& name) {
  int k = lookupK(name);
  return k >= 0 && k < NSYM;
}

// Adds the entry name at symtop with its kind, text and value; the caller
// counts it. Returns 0 after reporting a full table.
static int newEntry(const NameKey& name, int type, const char* alias, int value) {
  if (appendK(name) < 0) {
    error("too many constants and data tables (max 5000)");
    trash();
    return 0;
  }
  symtab[symtop].type = type;
  symtab[symtop].alias = alias ? keeptext(alias) : nullptr;
  symtab[symtop].value = value;
  return 1;
}

// The raw rest of the line after a '$', blanks included, the line end not.
// Returns its length; at most MAXMACROTEXT characters are kept in text.
static int macroText(char (&text)[MAXMACROTEXT + 1]) {
  int n = 0;
  while (nextchar != '\n' && nextchar != -1) {
    int c = next();
    if (n < MAXMACROTEXT) text[n] = static_cast<char>(c);
    n++;
  }
  text[n < MAXMACROTEXT ? n : MAXMACROTEXT] = 0;
  return n;
}

// The index's definition of the constant or macro e, named at occurrence occ.
static void indexConstant(int occ, const constant& e) {
  if (!nameindex.active) return;
  NameDefinition d{e.type == TOK_MACRO ? NAME_MACRO : NAME_CONSTANT, e.name};
  d.value = e.value;
  d.tokenKind = e.type;
  d.text = e.alias ? e.alias : "";
  defineName(occ, d);
}

// NAME value, with token at the name. The value is a number, a string,
// another name, or '$' and the rest of the line. On success token is left at
// the value (or '$') and the lookahead at the line end.
void addConstant() {
  char cname[MAXSYM];
  copytext(cname, sizeof cname, ident);
  int occ = lastName();
  NameKey name = namekey(cname);
  if (defined(name)) {
    error("re-definition of constant");
    trash();
    return;
  }
  if (token != TOK_NAME) {
    error("a name was expected for the constant definition");
    trash();
    return;
  }
  token = getlex();
  switch (token) {
    case TOK_DOLLAR: {
      char text[MAXMACROTEXT + 1];
      if (macroText(text) > MAXMACROTEXT) {
        error("macro text too long (max 199 characters)");
        return;
      }
      if (!newEntry(name, TOK_MACRO, text, 0)) return;
      break;
    }
    case TOK_NAME:
      if (std::strcmp(ident, cname) == 0) {
        error("Superfluous definition discarded");
        token = getlex();
        return;
      }
      if (!newEntry(name, TOK_NAME, ident, lexval)) return;
      break;
    case TOK_STRING:
    case TOK_CONST:
      if (std::strcmp(symbol, cname) == 0) {
        error("Superfluous definition discarded");
        token = getlex();
        return;
      }
      if (!newEntry(name, token, symbol, lexval)) return;
      break;
    default:
      error("Improper argument for #constant");
      trash();
      return;
  }
  indexConstant(occ, symtab[symtop]);
  symtop++;
  expectEOL();
}

// Word items: numbers, or names patched after the second pass. Returns the
// number of items placed.
static int wordItems() {
  int count = 0;
  do {
    if (token == TOK_CONST) {
      checkoperand(lexval, tokline, tokcol);
      emitword(lexval);
    } else if (token == TOK_NAME) {
      int before = patchptr;
      xpatchAddress(ident, lexval, TOK_NAME);
      if (patchptr == before) break;   // the patch table is full
    } else {
      error("Data must be a resolved constant or number");
      break;
    }
    count++;
    token = getlex();
  } while (match(','));
  return count;
}

// Dword items: numbers only, four bytes each, least significant first.
static int dwordItems() {
  int count = 0;
  do {
    if (token != TOK_CONST) {
      error("Data must be a resolved constant or number");
      break;
    }
    unsigned v = static_cast<unsigned>(lexval);
    for (int i = 0; i < 4; i++) emitdata(static_cast<int>((v >> (8 * i)) & 0xFF));
    count++;
    token = getlex();
  } while (match(','));
  return count;
}

// TYPE NAME item, item, ... with token at the type keyword. The table is
// appended at origin; its entry is made before the items are read, so a
// table whose items fail keeps its entry and the bytes already placed.
// token is left at the first token after the last item.
void addData() {
  if (dataStart == 0) dataStart = origin;
  int type = token;
  if (type != KW_BYTE && type != KW_WORD && type != KW_DWORD) {
    error("Data type must be byte, word or dword for #data");
    trash();
    return;
  }
  token = getlex();
  if (token != TOK_NAME) {
    error("Bad name for #data");
    trash();
    return;
  }
  NameKey name = namekey(ident);
  if (defined(name)) {
    error("re-definition of name");
    trash();
    return;
  }
  int address = origin;
  int occ = lastName();
  if (!newEntry(name, 0, nullptr, address + CODEADDRESS)) return;
  int k = symtop++;
  token = getlex();

  const char* format;
  int size;
  if (type == KW_BYTE) {
    size = loadBytes2Codestream();
    format = "byte table at prog[%d], %d bytes used";
  } else if (type == KW_WORD) {
    size = 2 * wordItems();
    format = "word table at prog[%d], %d bytes used";
  } else {
    size = 4 * dwordItems();
    format = "dword table at prog[%d], %d bytes used";
  }
  char alias[100];
  std::snprintf(alias, sizeof alias, format, address, size);
  symtab[k].type = type;
  symtab[k].alias = keeptext(alias);
  if (nameindex.active) {
    NameDefinition d{NAME_TABLE, symtab[k].name};
    d.value = address;
    d.size = size;
    d.tokenKind = type;
    d.text = alias;
    defineName(occ, d);
  }
}

// One definition on the directive's own line, or a block of them, one per
// line, up to #END. The block runs only while no error has been reported.
static void definitions(void (*define)()) {
  if (thisline == currline) {
    define();
    return;
  }
  while (!match(TOK_HASH) && ecount == 0) {
    define();
    if (nextchar == '\n') token = getlex();
  }
  expectToken(KW_END);
}

// #CONST, with token at the token after CONST.
void addConstBlock() { definitions(addConstant); }

// #DATA in the source, with token at the token after DATA. The first such
// directive starts the data area.
void addDataBlock() {
  if (dataStart == 0) dataStart = origin;
  definitions(addData);
}

}  // namespace tavo
