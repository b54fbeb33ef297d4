// The directive pass, constants and data tables, function files and the
// patching of word tables, checked on the state they leave behind.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "codegen/codegen.h"
#include "compiler/compiler.h"
#include "directives/directives.h"
#include "testutil.h"

using namespace tavo;
using tavo::test::captureErrors;
using tavo::test::errors;
using tavo::test::startSource;

namespace {

namespace fs = std::filesystem;

std::string contents(std::FILE* fp) {
  std::fflush(fp);
  std::rewind(fp);
  std::string s;
  for (int c; (c = std::fgetc(fp)) != EOF;) s += static_cast<char>(c);
  return s;
}

// Runs the first pass over a source in a directory of its own, where
// "o.fun" and Include/ may be laid out first.
class FirstPass : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/tavo_directives.XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir = tmpl;
    back = fs::current_path();
    fs::current_path(dir);
    fs::create_directory("Include");
  }
  void TearDown() override {
    if (aux_fp) std::fclose(aux_fp);
    aux_fp = nullptr;
    resetAll();
    fs::current_path(back);
    fs::remove_all(dir);
  }
  static void file(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }
  int run(const std::string& src) {
    startSource(src, 1);
    captureErrors();
    if (aux_fp) std::fclose(aux_fp);
    aux_fp = std::tmpfile();
    std::strcpy(fun_filename, "o.fun");
    origin = CODEOFFSET;
    return preprocess();
  }
  static const constant& entry(const char* s) {
    int k = lookupK(s);
    EXPECT_TRUE(k >= 0 && k < NSYM) << s;
    return symtab[k >= 0 && k < NSYM ? k : 0];
  }
  static std::string image(int from, int to) {
    std::string s;
    char buf[4];
    for (int i = from; i < to; i++) {
      std::snprintf(buf, sizeof buf, "%02X", code[i]);
      s += buf;
    }
    return s;
  }
  fs::path dir, back;
};

}  // namespace

TEST_F(FirstPass, StackSizeTakesAnyNumberForm) {
  EXPECT_EQ(run("var x;\n"), 0);
  EXPECT_EQ(main_stackSize, 200);
  EXPECT_EQ(run("#STACK 20\n"), 0);
  EXPECT_EQ(main_stackSize, 20);
  EXPECT_EQ(run("#STACK 5000\n"), 0);
  EXPECT_EQ(main_stackSize, 5000);
  EXPECT_EQ(run("#constant S 0x40\n#STACK S\n"), 0);
  EXPECT_EQ(main_stackSize, 64);
  EXPECT_EQ(run("#STACK 'd'\n"), 0);
  EXPECT_EQ(main_stackSize, 100);
  // A refused value leaves the default, a second #STACK the first value.
  EXPECT_EQ(run("#STACK 5001\n"), 1);
  EXPECT_EQ(main_stackSize, 200);
  EXPECT_EQ(run("#STACK 30\n#STACK 40\n"), 1);
  EXPECT_EQ(main_stackSize, 30);
  EXPECT_EQ(errors(), "stack size is already declared in line 2, column 1 (pass1)\n");
}

TEST_F(FirstPass, NamesAreForgottenEntriesStay) {
  ASSERT_EQ(run("#constant A b\n#DATA word T c, d\nx y z\n"), 0);
  EXPECT_EQ(namecount, INHERENTNAMES);
  EXPECT_EQ(symtop, 2);
  // In the pass A took index 42 and b 43: the alias keeps b's pass-one index.
  EXPECT_EQ(entry("A").type, TOK_NAME);
  EXPECT_EQ(entry("A").value, INHERENTNAMES + 1);
  EXPECT_STREQ(entry("A").alias, "b");
  EXPECT_EQ(entry("T").type, KW_WORD);
  EXPECT_EQ(patchptr, 2);
  EXPECT_STREQ(patchname[0], "c");
  EXPECT_STREQ(patchname[1], "d");
  EXPECT_EQ(patchaddr[1], 9);
}

TEST_F(FirstPass, ConstantEntriesByKind) {
  ASSERT_EQ(run("#constant N 0x1F\n#constant S \"hi\"\n#constant P $ x + 1\n#constant Q R\n"), 0);
  EXPECT_EQ(entry("N").type, TOK_CONST);
  EXPECT_STREQ(entry("N").alias, "01F");   // the digits as the lexer kept them
  EXPECT_EQ(entry("N").value, 31);
  EXPECT_EQ(entry("S").type, TOK_STRING);
  EXPECT_STREQ(entry("S").alias, "hi");
  EXPECT_EQ(entry("P").type, TOK_MACRO);
  EXPECT_STREQ(entry("P").alias, " x + 1");   // blanks kept, from the one after $
  EXPECT_EQ(entry("P").value, 0);
  EXPECT_EQ(entry("Q").type, TOK_NAME);
  EXPECT_STREQ(entry("Q").alias, "R");
  EXPECT_EQ(errors(), "");
}

TEST_F(FirstPass, FailedDefinitionsLeaveNoEntryButTwoKinds) {
  EXPECT_EQ(run("#constant A A\n"), 1);
  EXPECT_EQ(symtop, 0);
  EXPECT_EQ(run("#constant A\n"), 1);
  EXPECT_EQ(symtop, 0);
  EXPECT_EQ(run("#constant M $" + std::string(200, 'x') + "\n"), 1);
  EXPECT_EQ(symtop, 0);
  EXPECT_EQ(errors(), "macro text too long (max 199 characters) in line 1, column 12 (pass1)\n");
  // Failing only at the end of the line keeps the entry.
  EXPECT_EQ(run("#constant A 5 6\n"), 1);
  EXPECT_EQ(entry("A").value, 5);
  // A table whose item fails keeps its entry and the items before.
  EXPECT_EQ(run("#DATA word T 1, \"x\"\n"), 1);
  EXPECT_EQ(entry("T").type, KW_WORD);
  EXPECT_STREQ(entry("T").alias, "word table at prog[7], 2 bytes used");
  EXPECT_EQ(image(7, origin), "0100");
}

TEST_F(FirstPass, DataAreaAndDwordTables) {
  ASSERT_EQ(run("#constant K 5\n"), 0);
  EXPECT_EQ(dataStart, 0);
  EXPECT_EQ(dataEnd, 0);
  ASSERT_EQ(run("#constant K 5\n#DATA byte A 1, 2\n#DATA dword D 0x01020304, K\n"), 0);
  EXPECT_EQ(dataStart, 7);
  EXPECT_EQ(dataEnd, 17);
  EXPECT_EQ(image(7, 17), "0102" "04030201" "05000000");
  EXPECT_EQ(entry("D").type, KW_DWORD);
  EXPECT_EQ(entry("D").value, 0x8009);
  EXPECT_STREQ(entry("D").alias, "dword table at prog[9], 8 bytes used");
}

// The preload reads the source after each file; the pass then starts the
// source again from its first character, so a first-line directive counts.
TEST_F(FirstPass, PreloadedFilesLeaveTheSourceWhole) {
  file("o.fun", "a.txt\n");
  file("Include/a.txt", "#DATA byte W 9\nfunc beep(\"n\"), 0;\n");
  ASSERT_EQ(run("#STACK 300\n"), 0);
  EXPECT_EQ(main_stackSize, 300);
  EXPECT_EQ(newcount, 1);
  EXPECT_STREQ(newfuncs, " beep");
  EXPECT_EQ(toknum, -11);
  ASSERT_EQ(FunctionCount, NBUILTINS + 1);
  EXPECT_STREQ(FunctionName[9], "beep");
  EXPECT_EQ(FunctionNumber[9], -10);
  EXPECT_EQ(FunctionParameterCount[9], 1);
  EXPECT_EQ(dataStart, 7);   // a function file's table starts the data area
  EXPECT_EQ(dataEnd, 8);
  EXPECT_EQ(inheriting, 0);
  EXPECT_EQ(fnc_fp, nullptr);
}

// A file named through a macro is read from its first character: what is
// left of the macro is the source's lookahead, given up with it.
TEST_F(FirstPass, InheritThroughAMacro) {
  file("Include/a.txt", "func beep(), 0;\n");
  ASSERT_EQ(run("#constant F $ \"a.txt\"\n#inherit F\n#STACK 30\n"), 0) << errors();
  EXPECT_STREQ(newfuncs, " beep");
  EXPECT_EQ(main_stackSize, 30);
}

// A faulty entry is still installed and numbered.
TEST_F(FirstPass, FaultyEntryIsInstalled) {
  file("Include/a.txt", "func f(\"a\") 1;\nfunc g(), 0;\n");
  EXPECT_EQ(run("#inherit \"a.txt\"\n"), 1);
  ASSERT_EQ(FunctionCount, NBUILTINS + 1);
  EXPECT_EQ(FunctionParameterCount[9], 1);
  EXPECT_EQ(FunctionReturns[9], 1);
  EXPECT_EQ(toknum, -11);
  EXPECT_EQ(contents(aux_fp),
            "\n    inheriting \"./Include/a.txt\"\n"
            "\n[INHERITED] f, TOKEN -10\nARG 1 is \"a\"\nFunction returns 1 parameter\n");
  EXPECT_EQ(errors().substr(0, 39), "Expected a ',' in line 1, column 14 (pa");
}

// No directive line and no function file, however broken, may read or write
// outside its buffers (the sanitizer build checks this) or leave the reader
// inside a function file.
TEST_F(FirstPass, MalformedInputStopsCleanly) {
  const std::vector<std::string> sources = {
      "#", "#\n", "#CONST", "#CONST\n", "#CONST\nA", "#DATA", "#DATA\n#", "#DATA\nbyte",
      "#constant", "#constant A $", "#constant A", "#DATA word", "#DATA byte T",
      "#DATA byte T 1,", "#DATA dword T 1,", "#STACK", "#inherit", "#inherit \"\"",
      "#inherit \"Include\"", "#optimize \"", "#constant M $M\n#STACK M\n",
      "#constant A \"" + std::string(400, 'q') + "\"\n", "#DATA byte " + std::string(300, 'n'),
      std::string("#DATA word T \0\xff\x80, x\n", 20), "\xef\xbb\xbf#STACK 30\n"};
  for (const std::string& s : sources) {
    run(s);
    EXPECT_LE(ecount, 1) << s;
    EXPECT_EQ(inheriting, 0) << s;
    EXPECT_EQ(namecount, INHERENTNAMES) << s;
  }
  const std::vector<std::string> files = {
      "", "func", "func f", "func f(", "func f(\"a\"", "func f(\"a\",", "func f() ,", "#",
      "#CONST", "#CONST\nA 1\n", "#DATA", "/* open", "// last", "\"open", "func f(), 1",
      "#constant M $M\nM\n", "#constant M $ func\nM f(), 0;\n", std::string("func \0\r\r\n", 9),
      "func " + std::string(500, 'a') + "(), 0;\n", "#DATA word W x, y, z"};
  for (const std::string& f : files) {
    file("Include/f.txt", f);
    run("#inherit \"f.txt\"\n#STACK 25\n");
    EXPECT_LE(ecount, 1) << f;
    EXPECT_EQ(inheriting, 0) << f;
    EXPECT_EQ(fnc_fp, nullptr) << f;
  }
}

// A placeholder at the very end of a full image: the refused byte is never
// written, neither by the table nor by its patch.
TEST(Patches, PlaceholderAtTheEndOfTheImage) {
  startSource("", 2);
  captureErrors();
  ASSERT_EQ(appendK("x"), 0);
  symtab[symtop].type = TOK_CONST;
  symtab[symtop].value = 0x1234;
  symtop++;
  origin = MAXCODE - 2;
  xpatchAddress("x", 0, TOK_NAME);
  EXPECT_EQ(patchaddr[0], MAXCODE - 2);
  xapply_patches();
  EXPECT_EQ(patchptr, 0);
  EXPECT_EQ(code[MAXCODE - 2], 0x34);
  EXPECT_EQ(code[MAXCODE - 1], 0);
  EXPECT_EQ(errors(), "");
  resetAll();
}

// Names resolve as after the second pass: globals, functions and platform
// functions, never the arguments or locals of the last function compiled.
TEST(Patches, ResolveAgainstGlobalsOnly) {
  startSource("", 2);
  captureErrors();
  SYSTEMCALLS = NBUILTINS;
  LASTNAME = namecount;
  int k = lookup("k");
  globids[0] = k;
  globoffs[0] = 3;
  globscalar[0] = 1;
  nglob = 1;
  argids[0] = k;
  narg = 1;
  localids[0] = k;
  nlocal = 1;
  origin = 20;
  xpatchAddress("k", k, TOK_NAME);
  xpatchAddress("pause", 0, TOK_NAME);
  xpatchAddress("nowhere", 0, TOK_NAME);
  xapply_patches();
  EXPECT_EQ(code[20], 3);
  EXPECT_EQ(code[21], 0);
  EXPECT_EQ(code[22], 0xFA);   // pause is -6
  EXPECT_EQ(code[23], 0xFF);
  EXPECT_EQ(errors(), "could not resolve nowhere\n");
  resetAll();
}
