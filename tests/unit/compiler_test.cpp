// The second pass where a golden file would be clumsy: name resolution as
// the patcher and the start-up header use it, values taken before the
// lexer reads on, label names kept out of the pool, many breaks of one
// loop, the resets, and long random token streams that must never crash.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "codegen/codegen.h"
#include "compiler/compiler.h"
#include "testutil.h"

using namespace tavo;

namespace {

class SecondPass : public ::testing::Test {
 protected:
  // Compiles text as the second pass does after a first pass that found
  // no directives: no inherited names, code from address 7.
  static void compile(const std::string& text) {
    test::startSource(text);
    test::captureErrors();
    origin = CODEOFFSET;
    SYSTEMCALLS = namecount - RESERVEDNAMES;
    LASTNAME = namecount;
    parse();
  }
  // The bytes from address a to origin, in hex.
  static std::string bytes(int a) {
    std::string s;
    char buf[4];
    for (int i = a; i < origin; i++) {
      std::snprintf(buf, sizeof buf, "%02X", code[i]);
      s += buf;
    }
    return s;
  }
  // Pool index of a name that must already be there.
  static int indexOf(const char* name) {
    int i = lookup(name);
    EXPECT_EQ(found, 1) << name;
    return i;
  }
  void TearDown() override { resetAll(); }
};

}  // namespace

// pushval staged: what the patcher and the start-up header rely on. The
// tables are searched locals, arguments, globals, functions, platform
// functions; nothing is emitted.
TEST_F(SecondPass, PushvalResolvesEveryKindOfName) {
  compile("var g, h[3];\nfunc f(var a, var b)\n  var l;\nendfunc\n");
  ASSERT_EQ(test::errors(), "");
  const int end = origin;
  struct Case {
    const char* name;
    int op, arg, lval;
  } cases[] = {
      {"l", C_PUSHAL, 0, 1},  {"a", C_PUSHAA, 1, 1},       {"b", C_PUSHAA, 0, 1},
      {"g", C_PUSHAG, 1, 1},  {"h", C_PUSHAG, 2, 0},       {"f", C_PUSHAC, 7, 0},
      {"serin", C_PUSHAC, -1, 0}, {"putstr", C_PUSHAC, -9, 0},
  };
  for (const Case& c : cases) {
    lexval = indexOf(c.name);
    EXPECT_EQ(pushval(1), c.lval) << c.name;
    EXPECT_EQ(pushop, c.op) << c.name;
    EXPECT_EQ(pusharg, c.arg) << c.name;
  }
  EXPECT_EQ(origin, end);

  // With the function's own tables emptied, as the patcher leaves them, a
  // local's name is nothing any more; a reserved word never was.
  nlocal = narg = 0;
  lexval = indexOf("l");
  EXPECT_EQ(pushval(1), 0);
  lexval = indexOf("if");
  EXPECT_EQ(pushval(1), 0);
  EXPECT_EQ(test::errors(),
            "undefined variable or function in line 4, column 7 (pass2)\n"
            "undefined variable or function in line 4, column 7 (pass2)\n");
  EXPECT_EQ(origin, end);
}

// Emitted, the push takes the form force16 asks for, as the start-up
// header needs.
TEST_F(SecondPass, PushvalEmitsThePush) {
  compile("func main()\nendfunc\n");
  origin = 0;
  lexval = indexOf("main");
  force16 = 1;
  pushval(0);
  lexval = indexOf("pause");
  pushval(0);
  EXPECT_EQ(bytes(0), "680700" "68FAFF");
}

TEST_F(SecondPass, PushloopFindsTheFirstMatch) {
  const int ids[] = {5, 9, 9, 4};
  lexval = 9;
  EXPECT_EQ(pushloop(C_PUSHAL, 4, ids), 1);
  EXPECT_EQ(pusharg, 1);
  lexval = 4;
  EXPECT_EQ(pushloop(C_PUSHAG, 3, ids), 0);   // beyond max
  EXPECT_EQ(pushop, C_PUSHAG);
}

// A number's value and a name's pool index are taken before the lexer
// reads the next token, which here is the else of a one-line if because
// the semicolon before it is left out.
TEST_F(SecondPass, ValuesAreTakenBeforeReadingOn) {
  compile(
      "var x, y;\n"
      "func main()\n"
      "  if (x) y := x else y := 7\n"
      "  if (x) y := 7 else y := 8;\n"
      "endfunc\n");
  EXPECT_EQ(test::errors(), "");
  EXPECT_EQ(bytes(CODEOFFSET),
            "B40117" "E81700"            //  7: if (x)  JFALSE 23
            "B402" "B40117" "01" "16"    // 13: y := x, not the else's pool index
            "D81D00"                     // 20: JUMP 29
            "B402" "5407" "0116"         // 23: y := 7
            "B40117" "E82C00"            // 29: if (x)  JFALSE 44
            "B402" "5407" "0116"         // 35: y := 7, not the else's index 1
            "D83200"                     // 41: JUMP 50
            "B402" "5408" "0116"         // 44: y := 8
            "0A");                       // 50
}

// Labels have a namespace of their own. A label name that reading it added
// to the pool is withdrawn before the next token is read, even when that
// token is a new name itself; a label named like a global leaves the global.
TEST_F(SecondPass, LabelNamesStayOutOfThePool) {
  compile(
      "var x;\n"
      "func main()\n"
      "  gosub L\n"
      "M: endsub\n"
      "L: endsub\n"
      "  goto x;\n"
      "x: x := 1;\n"
      "endfunc\n");
  EXPECT_EQ(test::errors(), "");
  EXPECT_EQ(namecount, LASTNAME + 2);
  EXPECT_STREQ(poolname(LASTNAME), "x");
  EXPECT_STREQ(poolname(LASTNAME + 1), "main");
  EXPECT_EQ(bytes(CODEOFFSET),
            "680C00" "09"          //  7: gosub L = 12
            "00" "00"              // 11: M: endsub  12: L: endsub
            "D81000"               // 13: goto x = 16
            "B4015401" "0116"      // 16: x: x := 1;
            "0A");
  EXPECT_EQ(nlabel, 0);   // released at endfunc
  EXPECT_EQ(njump, 0);
}

// However many breaks a loop holds, each jumps to that loop's exit.
TEST_F(SecondPass, EveryBreakReachesItsLoopExit) {
  std::string body;
  for (int i = 0; i < 30; i++) body += "    if (x) break;\n";
  compile("var x;\nfunc main()\n  while (x)\n" + body + "  wend\nendfunc\n");
  ASSERT_EQ(test::errors(), "");
  // 7: (x) JFALSE exit; from 13, 30 times 9 bytes; JUMP 7; then the exit.
  const int exit = 13 + 30 * 9 + 3;
  ASSERT_EQ(origin, exit + 1);
  EXPECT_EQ(code[10], 0xE8);
  EXPECT_EQ(code[11] | code[12] << 8, exit);
  for (int i = 0; i < 30; i++) {
    int at = 13 + i * 9;   // if (x): B4 01 17 E8 L; break: D8 exit
    ASSERT_EQ(code[at + 6], 0xD8) << i;
    EXPECT_EQ(code[at + 7] | code[at + 8] << 8, exit) << i;
    EXPECT_EQ(code[at + 4] | code[at + 5] << 8, at + 9) << i;
  }
}

// The folder's reset returns every table and counter to its load-time
// state, so a second compilation in one process repeats the first.
TEST_F(SecondPass, ResetRepeatsACompilation) {
  const std::string src =
      "var a, b[4];\nfunc f(var p)\n  var q;\nL:\n  while (p) goto L;\n  return q;\nendfunc\n";
  compile(src);
  const std::string first = bytes(0);
  resetCompiler();
  EXPECT_EQ(nglob, 0);
  EXPECT_EQ(curgloboffs, 0);
  EXPECT_EQ(nfun, 0);
  EXPECT_EQ(narg, 0);
  EXPECT_EQ(nlocal, 0);
  EXPECT_EQ(nestindex, 0);
  EXPECT_EQ(hasreturn + retvoid + inif + inwhile + indo + infunc + parenCount, 0);
  EXPECT_EQ(nlabel + njump, 0);
  EXPECT_EQ(labelids[0], nullptr);
  compile(src);
  EXPECT_EQ(bytes(0), first);
}

// Expressions and statements nest by recursion; a source nesting them
// beyond any program's need is stopped with one report, as if it ended
// there, instead of exhausting the stack.
TEST_F(SecondPass, DeepNestingStopsWithOneReport) {
  const std::string deep(20000, '(');
  compile("var x;\nfunc main()\n  x := " + deep + "x;\nendfunc\n");
  std::string err = test::errors();
  EXPECT_EQ(err.substr(0, err.find(" in line")),
            "expression or statement nested too deeply (max 1000 levels)");
  EXPECT_EQ(ecount, 1);

  std::string ifs;
  for (int i = 0; i < 20000; i++) ifs += "if ((x)) ";
  compile("var x;\nfunc main()\n  " + ifs + "x := 1;\nendfunc\n");
  EXPECT_EQ(ecount, 1);

  // A nesting any program could use is compiled.
  compile("var x;\nfunc main()\n  x := " + std::string(200, '(') + "x" + std::string(200, ')') +
          ";\nendfunc\n");
  EXPECT_EQ(test::errors(), "");
}

// Long random token streams, shaped loosely like functions, compile to
// whatever they compile to without ever writing past a table or hanging.
// Run under the sanitizer build this catches any stray write.
TEST_F(SecondPass, RandomTokenStreamsNeverBreakTheTables) {
  static const char* const vocabulary[] = {
      "if", "else", "endif", "while", "wend", "repeat", "until", "forever", "return",
      "break", "continue", "byte", "word", "dword", "var", "object", "func", "endfunc",
      "print", "goto", "gosub", "endsub", "lookup8", "lookup16", "#", "CONST", "DATA",
      "END", "x", "y", "f", "L", "M", "serin", "putch", "main", "0", "1", "300", "0x1F",
      "\"s\"", "'a'", ":=", ":", "||", "&&", "|", "&", "^", "==", "!=", "<", ">=", "<=",
      ">", "+", "-", "*", "/", "%", "!", "<<", ">>", "++", "--", "(", ")", "(", ")", ",",
      ".", ";", ";", "[", "]", "{", "}", "\n", "\n", "\n", "\n",
      // whole pieces, so that deep nesting and many labels come up often
      "while (x)\n", "repeat\n", "if (x)\n", "break;", "continue;", "until (x)\n", "wend\n",
      "L:\n", "goto L;", "gosub (x), (L, M)", "x := lookup8(x, 1, \"ab\");", "var z;\n"};
  const int nwords = sizeof vocabulary / sizeof vocabulary[0];
  std::mt19937 rng(20240611);
  for (int round = 0; round < 1500; round++) {
    std::string src = round % 3 ? "var x, y;\nfunc f(var a)\n  var b;\n" : "";
    int n = 50 + static_cast<int>(rng() % 400);
    for (int i = 0; i < n; i++) {
      src += vocabulary[rng() % nwords];
      src += ' ';
    }
    if (round % 2) src += "\nendfunc\n";
    compile(src);
    ASSERT_LE(origin, MAXCODE) << src;
    ASSERT_LE(nlabel, NLABELS) << src;
    ASSERT_LE(njump, NLABELS) << src;
    ASSERT_LE(nlocal, NLOCAL) << src;
    ASSERT_LE(narg, NARG) << src;
    ASSERT_LE(nglob, NGLOB) << src;
    ASSERT_LE(nfun, NFUN) << src;
    if (ecount == 0) {
      // A clean compilation leaves nothing open.
      ASSERT_EQ(inif + inwhile + indo + nestindex, 0) << src;
      ASSERT_EQ(parenCount, 0) << src;
    }
  }
}
