// platform.cpp: function files.
//
// A function file tells the compiler which functions the module's firmware
// offers beyond the nine built-ins, with the constants and data tables that
// go with them. It is read with the source's lexer: while inheriting is 1
// the characters come from fnc_fp. The k-th function inherited gets the
// number -(10 + k); the driver re-enters the names, in the same order, into
// the name pool right after the built-ins, so that a name's pool index gives
// back its number in the second pass.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/nameindex.h"
#include "directives/directives.h"
#include "front/front.h"

namespace tavo {

char newfuncs[NEWFUNCSIZE];
int newcount;
int toknum;

// Longest piece of a line of "o.fun", its line end included.
constexpr int FUNLINESIZE = 98;
// Longest path of a function file.
constexpr int FULLPATHSIZE = 299;

// 1 when s names a built-in or an already inherited function.
static int inuse(const char* s) {
  for (int i = 0; i < FunctionCount && FunctionNumber[i] < 0; i++)
    if (std::strcmp(FunctionName[i], s) == 0) return 1;
  return 0;
}

// Appends " name" to newfuncs; returns 0 when it would not fit.
static int recordName(const char* s) {
  size_t used = std::strlen(newfuncs);
  size_t len = std::strlen(s);
  if (used + 1 + len + 1 > sizeof newfuncs) return 0;
  newfuncs[used] = ' ';
  std::memcpy(newfuncs + used + 1, s, len + 1);
  return 1;
}

// func NAME ( "arg", ... ) , COUNT ;   with token at NAME.
// The argument strings are only logged. The entry is installed, and numbered,
// even when its list is faulty; a name that is no name or is taken already
// is refused before anything is logged. A name that no longer fits the list
// of inherited names is logged before it is refused.
void InheritFunction() {
  if (token != TOK_NAME) {
    error("name expected");
    return;
  }
  if (inuse(ident)) {
    errorf("function name '%s' is already in use", ident);
    return;
  }
  auxline("\n[INHERITED] ", ident, ", TOKEN ", toknum, "\n");
  if (!recordName(ident)) {
    error("too many platform functions");
    return;
  }
  NameDefinition def{NAME_PLATFORM, ident};
  int occ = lastName();
  copytext(currentFunctionName, sizeof currentFunctionName, ident);
  newcount++;
  token = getlex();

  expect('(');
  narg = 0;
  int returns = 0;
  if (match(')')) {
    auxline("Function requires no arguments\n");
  } else {
    do {
      if (token == TOK_STRING) {
        char text[MAXSTRLEN + 1];   // before the next token can replace it
        copytext(text, sizeof text, symbol);
        token = getlex();
        narg++;
        auxline("ARG ", narg, " is \"", text, "\"\n");
        if (nameindex.active) def.argNames.push_back(text);
      } else {
        expectToken(TOK_STRING);
      }
    } while (match(','));
    expect(')');
  }

  expect(',');
  if (token == TOK_CONST) {
    returns = lexval;
    if (returns == 0)
      auxline("Function returns no value\n");
    else
      auxline("Function returns ", returns, " parameter\n");
    token = getlex();
  } else {
    error("expected function return count 0 or 1");
  }
  expect(';');

  InstallFunctionDetails(currentFunctionName, toknum, narg, returns);
  def.value = toknum;
  def.args = narg;
  def.returns = returns;
  defineName(occ, def);
  toknum--;
}

// One item of a function file whose '#' is the current token.
static void fileDirective(const char* fname) {
  match(TOK_HASH);
  if (token == KW_CONST) {
    match(KW_CONST);
    int oneline = thisline == currline;
    addConstBlock();
    if (oneline) token = getlex();   // a block has read past its #END already
  } else if (token == KW_DATA) {
    match(KW_DATA);
    addData();
  } else if (token == KW_CONSTANT) {
    match(KW_CONSTANT);
    addConstant();
    token = getlex();
  } else {
    errorf("* In %s - unrecognized # directive", fname);
    trash();
    token = getlex();
  }
}

// Reads the function file fpath + fname, then resumes the source where it
// stood: the next source character becomes the lookahead (the one current
// when the file was opened is dropped) and the next token is read. Neither
// switch empties the macro buffer: characters a macro still has to deliver
// come right after the new lookahead, before the rest of the new file.
void LoadFunctionFile(const char* fpath, const char* fname) {
  char name[MAXSTRLEN + 1];   // fname may be the lexer's own buffer
  copytext(name, sizeof name, fname);
  int savedline = currline;
  char fullpath[FULLPATHSIZE + 1];
  std::snprintf(fullpath, sizeof fullpath, "%s%s", fpath, name);
  auxline("\n    inheriting \"", fullpath, "\"\n");

  fnc_fp = openInput(fullpath);
  if (!fnc_fp) {
    errorf("File '%s' not found", fullpath);
  } else {
    std::string sourcefile = readingFile;
    readingFile = fullpath[0] == '.' && fullpath[1] == '/' ? fullpath + 2 : fullpath;
    resetFunctionReader();
    currline = 1;
    currcol = 1;
    inheriting = 1;
    nextchar = readchar();   // what a macro has left follows it
    token = getlex();
    while (ecount == 0 && token != TOK_EOF) {
      thisline = currline;
      if (token == TOK_HASH) {
        fileDirective(name);
      } else if (token == KW_FUNC) {
        match(KW_FUNC);
        InheritFunction();
      } else {
        errorf("* In %s - Syntax error", name);
        trash();
        token = getlex();
      }
    }
    std::fclose(fnc_fp);
    fnc_fp = nullptr;
    resetFunctionReader();
    readingFile = sourcefile;
  }

  currline = savedline;
  currcol = 0;
  inheriting = 0;
  nextchar = readchar();   // what a macro has left follows it
  token = getlex();
}

// One raw character of the list file; a CR right before an LF is dropped.
static int funchar(std::FILE* fp) {
  int c = std::fgetc(fp);
  if (c == '\r') {
    int d = std::fgetc(fp);
    if (d == '\n') return '\n';
    if (d != EOF) std::ungetc(d, fp);
  }
  return c;
}

// Loads every function file that "o.fun" names, one name per line. Lines are
// read in pieces of at most 98 characters, line end included, and each piece
// loses its last character; a last line without its line end is not used,
// nor are empty lines. No "o.fun" is no error.
void PreloadPersonalityFiles() {
  std::FILE* fp = openInput(fun_filename);
  if (!fp) return;
  for (;;) {
    char line[FUNLINESIZE + 1];
    int n = 0;
    int c = 0;
    while (n < FUNLINESIZE && (c = funchar(fp)) != EOF) {
      line[n++] = static_cast<char>(c);
      if (c == '\n') break;
    }
    if (c == EOF) {
      if (std::ferror(fp)) notefailure(fun_filename, false, errno);
      break;
    }
    line[n] = 0;
    size_t len = std::strlen(line);
    if (len > 1) {
      line[len - 1] = 0;
      LoadFunctionFile("./Include/", line);
    }
  }
  std::fclose(fp);
}

void resetPlatform() {
  newfuncs[0] = 0;
  newcount = 0;
  toknum = 0;
}

}  // namespace tavo
