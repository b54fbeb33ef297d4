// driver.cpp: one compilation, from its starting values to its closed files.
//
// mainOrv runs the whole compilation in the current directory and returns
// 0 whatever happened; the outcome is in the files it leaves, above all
// "o.err". It runs once per load of the library: only the values of its
// first step are reset, everything else starts from the load-time zero.
#include <algorithm>
#include <cstring>

#include "base/nameindex.h"
#include "base/tavomain.h"
#include "codegen/codegen.h"
#include "compiler/compiler.h"
#include "directives/directives.h"
#include "driver/driver.h"
#include "front/front.h"
#include "output/output.h"

namespace tavo {

// The reserved words in pool order: keyword token = KEYWORDBASE + index.
static const char* const reservedWords[NRESERVED] = {
    "if",     "else",     "endif",    "while",   "wend",     "repeat",  "until",
    "forever", "endfunc", "return",   "break",   "continue", "byte",    "word",
    "dword",  "var",      "object",   "func",    "inherit",  "platform", "include",
    "constant", "optimize", "print",  "CONST",   "DATA",     "END",     "STACK",
    "goto",   "gosub",    "endsub",   "lookup8", "lookup16"};

// The module's built-in functions, numbered -1 to -9 in this order.
struct Builtin {
  const char* name;
  int args;
  int returns;
};
static const Builtin builtins[NBUILTINS] = {
    {"serin", 0, 1}, {"putch", 1, 0},  {"serout", 1, 0},    {"setbaud", 1, 0}, {"to", 1, 0},
    {"pause", 1, 0}, {"putnum", 2, 1}, {"translate", 4, 1}, {"putstr", 1, 1}};

// Step 1: the starting values of a compilation.
static void startingValues() {
  ecount = 0;
  diagnostics.clear();   // the records of a compilation are its own
  filefailures.clear();
  readingFile = "o.src";
  patchptr = 0;
  origin = CODEOFFSET;
  namecount = 0;
  FunctionCount = 0;
  macrosize = 0;
  symtop = 0;
  for (int& b : qhash) b = -1;
}

static void setFileNames() {
  std::strcpy(in_filename, "o.src");
  std::strcpy(list_filename, "o.lst");
  std::strcpy(hex_filename, "o.hex");
  std::strcpy(sym_filename, "o.sym");
  std::strcpy(err_filename, "o.err");
  std::strcpy(aux_filename, "o.aux");
  std::strcpy(map_filename, "o.map");
  std::strcpy(bin_filename, "o.bin");
  std::strcpy(cntrl_filename, "dev.tvo");
  std::strcpy(fun_filename, "o.fun");
}

static void closeStream(std::FILE*& fp) {
  if (fp) std::fclose(fp);
  fp = nullptr;
}

// Step 18: every open stream, in this order.
static void closeAll() {
  releaseInput();
  closeStream(src_fp);
  closeOutput(err_fp, err_filename);
  closeOutput(list_fp, list_filename);
  closeOutput(sym_fp, sym_filename);
  closeOutput(hex_fp, hex_filename);
  auxflush();   // what the log still holds goes to it first
  closeOutput(aux_fp, aux_filename);
  closeOutput(map_fp, map_filename);
  closeOutput(bin_fp, bin_filename);
}

// After the close. An output that could not be written completely is
// removed, so that no short image passes for a good one; a source or
// function file read only in part takes the image made from it along. Then
// "o.err", when it can still be written, says which file failed: a line of
// the compiler's own, beside the messages of the language.
static void reportFileFailures() {
  if (filefailures.empty()) return;
  bool errfailed = false;
  for (const FileFailure& f : filefailures) {
    if (f.writing) std::remove(f.file.c_str());
    errfailed |= f.writing && f.file == err_filename;
    if (!f.writing) {
      std::remove(bin_filename);
      if (controlfile) std::remove(hex_filename);
    }
  }
  if (errfailed) return;
  std::FILE* fp = std::fopen(err_filename, "ab");
  if (!fp) return;
  for (const FileFailure& f : filefailures)
    std::fprintf(fp, "Can't %s %s\n", f.writing ? "write" : "read", f.file.c_str());
  std::fclose(fp);
}

// Creates one output file; on failure reports why and returns 0.
static int create(std::FILE*& fp, const char* path, const char* mode, const char* why, int code) {
  fp = openOutput(path, mode);
  if (fp) return 1;
  fatal_error(why, code);
  return 0;
}

// Steps 3 to 7: the files, in their order. Returns 0 when the compilation
// cannot go on.
static int openFiles() {
  err_fp = openOutput(err_filename, "wb");
  if (!err_fp) return 0;
  src_fp = openInput(in_filename);
  if (!src_fp) {
    fatal_error("Can't open source file o.src", 2);
    return 0;
  }
  std::FILE* control = openInput(cntrl_filename);
  controlfile = control != nullptr;
  if (control) std::fclose(control);
  if (controlfile) {
    if (!create(list_fp, list_filename, "wb", "Can't create listing file", 3)) return 0;
    if (!create(hex_fp, hex_filename, "wb", "Can't create hex file", 4)) return 0;
  }
  if (!(create(sym_fp, sym_filename, "wb", "Can't create symbol file", 5) &&
        create(aux_fp, aux_filename, "wb", "Can't create aux file", 6) &&
        create(map_fp, map_filename, "wb", "Can't create map file", 7) &&
        create(bin_fp, bin_filename, "w+b", "Can't create the bin file", 8)))
    return 0;
  // The log is put together in auxbuf already: a second buffer in the
  // stream would only split each of its writes in two.
  std::setvbuf(aux_fp, nullptr, _IONBF, 0);
  return 1;
}

// A built-in function in the index of names: declared by no file.
static void indexBuiltin(const Builtin& b, int number) {
  if (!nameindex.active) return;
  NameDefinition d{NAME_PLATFORM, b.name};
  d.value = number;
  d.args = b.args;
  d.returns = b.returns;
  defineName(-1, d);
}

// Steps 8 and 9: reserved words and built-in functions.
void installNames() {
  for (const char* w : reservedWords) lookup(w);
  RESERVEDNAMES = namecount;
  for (const Builtin& b : builtins) lookup(b.name);
  INHERENTNAMES = namecount;
  for (int i = 0; i < NBUILTINS; i++) {
    InstallFunctionDetails(builtins[i].name, -(i + 1), builtins[i].args, builtins[i].returns);
    indexBuiltin(builtins[i], -(i + 1));
  }
}

// Step 11: the inherited names go back into the pool right after the
// built-ins, in the order of their numbers -10, -11, ...
static void installInherited() {
  const char* p = newfuncs + 1;
  for (int i = 0; i < newcount; i++) {
    char nm[NEWFUNCSIZE];
    size_t n = 0;
    while (p[n] && p[n] != ' ') n++;
    std::memcpy(nm, p, n);
    nm[n] = 0;
    lookup(nm);
    p += n;
    if (*p) p++;
  }
  SYSTEMCALLS = namecount - RESERVEDNAMES;
  LASTNAME = namecount;
}

// Step 14: push main's address, call it, exit; or seven zeros for a library.
static void startupHeader() {
  origin = 0;
  hasMain = 0;
  lexval = lookup("main");
  if (found) {
    hasMain = 1;
    force16 = 1;
    pushval(0);
    emitop(C_CALL, 0);
    emitop(C_ALLOC, 0);
  }
}

int mainOrv() {
  startingValues();
  setFileNames();
  if (!openFiles()) {
    closeAll();
    reportFileFailures();
    return 0;
  }
  installNames();

  auxline("\n========= First Pass =========\n");
  pass = 1;
  nestindex = 0;
  dataEnd = 0;
  dataStart = 0;
  if (preprocess() == 0) {
    auxline("\n========= Second Pass =========\n");
    pass = 2;
    installInherited();
    currline = 1;
    currcol = 1;
    if (parse() == 0) {
      xapply_patches();
      lintProgram();
      int endloc = origin;
      startupHeader();
      codesize = endloc;
      dump(codesize);
      CreateSyntaxFile();
      writeSummary();
    }
  }
  closeAll();
  reportFileFailures();
  return 0;
}

void resetAll() {
  resetNameIndex(false);
  resetDiagnostics();
  resetFiles();
  resetSymbols();
  resetLexer();
  resetPrimitives();
  resetEmitter();
  resetPatches();
  resetFirstPass();
  resetPlatform();
  resetFunctionDetails();
  resetCompiler();
  resetTextStore();   // after the tables that point into it
  closeAll();
  pass = 0;
  RESERVEDNAMES = INHERENTNAMES = LASTNAME = SYSTEMCALLS = 0;
  hasMain = codesize = main_argcount = main_hasret = controlfile = 0;
  currentFunctionName[0] = 0;
  thisline = 0;
}

}  // namespace tavo
