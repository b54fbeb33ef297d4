// reports.cpp: the closing summary of "o.aux" and the syntax file "o.stx".
//
// The summary lists the defined constants, the name pool in its groups, the
// platform functions and the program's functions, then states whether the
// output is a program (main is known) or a library, with its sizes. "o.stx"
// gives the editor the reserved words and platform function names.
#include <cstring>

#include "compiler/compiler.h"
#include "directives/directives.h"
#include "front/front.h"
#include "output/output.h"

namespace tavo {

// The report label of a constant's kind (its token code).
static const char* kindText(int type) {
  switch (type) {
    case TOK_STRING: return "STRING";
    case TOK_NAME: return "NAME";
    case TOK_CONST: return "NUMBER";
    case KW_BYTE: return "BYTE[]";
    case KW_WORD: return "WORD[]";
    case KW_DWORD: return "DWORD[]";
    default: return "ALIAS";   // macros, and anything else
  }
}

// "[CONSTANTS]": one line per entry in order of definition; a name longer
// than its field pushes the rest of the line right.
static void reportConstants() {
  if (symtop == 0) return;
  auxline("\n[CONSTANTS]\n");
  for (int i = 0; i < symtop; i++) {
    const constant& c = symtab[i];
    auxline(Field{c.name ? c.name : "", 20}, Field{kindText(c.type), 8}, c.alias ? c.alias : "",
            "\n");
  }
}

// The whole name pool in index order, a heading after each boundary. When
// two boundaries are equal (no inherited functions) both headings follow
// the same name.
static void reportNames() {
  auxline("\n[RESERVED]\n");
  for (int i = 0; i < namecount; i++) {
    auxline(poolname(i), "\n");
    int position = i + 1;
    if (position == RESERVEDNAMES) auxline("\n[INTERNAL]\n");
    if (position == INHERENTNAMES) auxline("\n[INHERITED]\n");
    if (position == LASTNAME) auxline("\n[COMPILED]\n");
  }
}

static void reportFunction(int i) {
  auxline("name=", FunctionName[i] ? FunctionName[i] : "", "  funcid=", FunctionNumber[i],
          "  funargcnt=", FunctionParameterCount[i], " funcreturns=", FunctionReturns[i], "\n");
}

// The function-details table: the platform functions (negative numbers)
// come first, then the program's own. The last entry named "main" gives
// main_argcount and main_hasret.
static void reportFunctions() {
  auxline("\n[ZOLT FUNCTIONS]\n");
  int i = 0;
  for (; i < FunctionCount && FunctionNumber[i] < 0; i++) reportFunction(i);
  auxline("\n[USER FUNCTIONS]\n");
  auxline("User functions = ", nfun, "\n");
  for (; i < FunctionCount; i++) {
    reportFunction(i);
    if (FunctionName[i] && std::strcmp(FunctionName[i], "main") == 0) {
      main_argcount = FunctionParameterCount[i];
      main_hasret = FunctionReturns[i];
    }
  }
}

// The last block of "o.aux": what the image is, and its sizes.
static void reportOutputKind() {
  if (hasMain == 1) {
    auxline(":PROGRAM\n");
    auxline("code[", codesize, "];\n");
    auxline("mem[", curgloboffs, "];\n");
    auxline("argcount ", main_argcount, ";\n");
    auxline("retval ", main_hasret ? "YES" : "NO", ";\n");
    auxline("stacksize ", main_stackSize, ";\n");
  } else {
    auxline(":LIBRARY\n");
    auxline("code[", codesize, "];\n");
    auxline("mem[", curgloboffs, "];\n");
  }
}

// Writes the closing summary to "o.aux", when it is open.
void writeSummary() {
  if (!aux_fp) return;
  reportConstants();
  reportNames();
  reportFunctions();
  auxline("\n[COMPLETED]\n");
  reportOutputKind();
}

// "o.stx": the first LASTNAME names of the pool (reserved words, built-in
// and inherited functions), each followed by a space, with no line end. A
// file that cannot be created is silently skipped.
void CreateSyntaxFile() {
  std::FILE* fp = openOutput("o.stx", "wb");
  if (!fp) return;
  for (int i = 0; i < LASTNAME && i < namecount; i++) {
    std::fputs(poolname(i), fp);
    std::fputc(' ', fp);
  }
  closeOutput(fp, "o.stx");
}

}  // namespace tavo
