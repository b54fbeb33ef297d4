// front.h: the name pool and symbol table, the lexer and the parser
// primitives.
#pragma once

#include <cstdint>
#include <cstdio>

#include "base/tavomain.h"

namespace tavo {

// ---------------------------------------------------------------------------
// symbols.cpp: the name pool and the symbol table of defined names.

// One defined constant, macro or data table.
struct constant {
  char* name;      // copy of the defined name (keeptext)
  char* alias;     // the entry's text; its meaning depends on type
  int value;       // number, table address + 0x8000, or the alias's pool index
  int16_t type;    // kind: a token code (TOK_CONST, TOK_STRING, KW_BYTE, ...)
  int16_t link;    // next entry of the same hash bucket, -1 ends the chain
};
static_assert(NSYM <= INT16_MAX && KEYWORDBASE + NRESERVED <= INT16_MAX);

// symbol table; full: "too many constants and data tables (max 5000)"
extern constant symtab[NSYM];
extern int qhash[NHASH];       // first entry of each bucket, -1 when empty
extern int symtop;             // entries in use

// name pool; full: "name pool is full (70000 characters)"
extern char names[NAMESIZE];   // the names, each ended by a NUL
extern int namecount;          // names in the pool; cut back by assignment
extern int found;              // set by lookup: 1 when the name was there

int hash(const char* s, unsigned l);
int appendK(const char* s);
int lookupK(const char* s);
int lookup(const char* name);

// A name with its length and hash: looked up in the symbol table and then
// in the name pool, or looked up and then defined, it is hashed once.
struct NameKey {
  const char* text;
  size_t len;
  uint32_t hash;
};
NameKey namekey(const char* s);
NameKey namekey(const char* s, size_t len);
int appendK(const NameKey& name);
int lookupK(const NameKey& name);
int lookup(const NameKey& name);
int eqstr(const char* p, const char* q);
const char* poolname(int index);   // the pool's name at index, "" if none
int poolchars();                   // characters the pool's names take
void resetSymbols();

// ---------------------------------------------------------------------------
// lexer.cpp: characters and tokens.

extern std::FILE* fnc_fp;      // the function file being inherited
extern int inheriting;         // 1 while characters come from fnc_fp
extern char macrobuffer[MACROBUFSIZE];
extern int macroptr;           // index of the lookahead in macrobuffer
extern int macrosize;          // characters still to deliver; 0: not in use
extern char symbol[MAXSTRLEN + 1];  // text of the last number/string/constant
extern char ident[MAXSYM];     // text of the last identifier
extern int strsize;            // string length with its terminator
extern int stringsize;         // string length without it
extern int tokline, tokcol;    // where the last token scanned begins

int digit(int c);
int letter(int c);
int xdigit(int c);
int getnext();
void trash();
int promote(int t, int yes, int no);
int getstring(int delim);
int getlex();
int readchar();                // raw character of the current input file
void rewindSource();           // back to the start of "o.src", buffer emptied
void resetFunctionReader();    // forget buffered characters of fnc_fp
void releaseInput();           // let go of the files' buffers (before they close)
void resetLexer();

// ---------------------------------------------------------------------------
// primitives.cpp: matching tokens.

extern int oldtoken;           // the token the last successful match consumed

int match(int t);
void expect(int t);
void expectToken(int t);
void expectEOL();
void type();
int name();
void resetPrimitives();

}  // namespace tavo
