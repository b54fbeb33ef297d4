// The directive pass and the patching of word tables where a golden case
// cannot reach: a function file named through a macro, malformed directives
// and function files, a placeholder at the end of a full image, and names
// that must not resolve to the last function's locals.
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
  fs::path dir, back;
};

}  // namespace

// A file named through a macro: what the macro has left after the name
// (the newline saved after F, then a NUL) is delivered right after the
// file's first character, so "func" is cut to the name f. A file that begins
// with a blank reads whole.
TEST_F(FirstPass, InheritThroughAMacro) {
  file("Include/a.txt", "func beep(), 0;\n");
  EXPECT_EQ(run("#constant F $ \"a.txt\"\n#inherit F\n#STACK 30\n"), 1);
  EXPECT_EQ(errors(), "* In a.txt - Syntax error in line 1, column 1 (pass1)\n");
  file("Include/a.txt", " func beep(), 0;\n");
  ASSERT_EQ(run("#constant F $ \"a.txt\"\n#inherit F\n#STACK 30\n"), 0) << errors();
  EXPECT_STREQ(newfuncs, " beep");
  EXPECT_EQ(main_stackSize, 30);
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

// Names resolve as after the second pass, never to the locals of the last
// function compiled.
TEST(Patches, ResolveAgainstGlobalsOnly) {
  startSource("", 2);
  captureErrors();
  int k = lookup("k");
  globids[0] = localids[0] = k;
  globoffs[0] = 3;
  globscalar[0] = 1;
  nglob = nlocal = 1;
  origin = 20;
  xpatchAddress("k", k, TOK_NAME);
  xapply_patches();
  EXPECT_EQ(test::hexbytes(20, 22), "0300");
  EXPECT_EQ(errors(), "");
  EXPECT_EQ(nlocal, 1);   // set aside only while the patches are applied
  resetAll();
}

// An argument of a function file is logged with its own string, whatever
// token comes after it.
TEST(FunctionFiles, ArgumentLoggedWithItsOwnString) {
  for (const char* after : {"\"y\"", "5", "K"}) {
    std::string file = std::string("#constant K 7\nfunc a(\"x\" ") + after + "), 0;\n";
    test::Result r = test::compile("#inherit \"f.txt\"\n", "", {{"f.txt", file}});
    EXPECT_NE(r.aux.find("\n[INHERITED] a, TOKEN -10\nARG 1 is \"x\"\n"), std::string::npos)
        << after << "\n" << r.aux;
  }
}
