// The second pass where a golden file cannot reach: the end of the
// platform functions' names, values taken before the lexer reads on, a label
// named like the newest name, many breaks of one loop, the resets, deep
// nesting, and long random token streams that must never crash.
#include <gtest/gtest.h>
#include <pthread.h>

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
  void TearDown() override { resetAll(); }
};

}  // namespace

// Platform function numbers go to the names between the reserved words and
// the first name compiled: neither neighbour is one.
TEST_F(SecondPass, PlatformFunctionsEndWhereTheirNamesDo) {
  compile("");
  for (const char* name : {"lookup16", "first"}) {
    lexval = lookup(name);
    EXPECT_EQ(pushval(1), 0) << name;
  }
  EXPECT_EQ(test::errors(),
            "undefined variable or function in line 1, column 1 (pass2)\n"
            "undefined variable or function in line 1, column 1 (pass2)\n");
  EXPECT_EQ(origin, CODEOFFSET);
}

// A name's pool index is taken before the lexer reads the next token,
// which here is the else of a one-line if, the semicolon left out.
TEST_F(SecondPass, ValuesAreTakenBeforeReadingOn) {
  compile("var x, y;\nfunc main()\n  if (x) y := x else y := 7\nendfunc\n");
  EXPECT_EQ(test::errors(), "");
  EXPECT_EQ(test::hexbytes(CODEOFFSET),
            "B40117" "E81700"            //  7: if (x)  JFALSE 23
            "B402" "B40117" "01" "16"    // 13: y := x, not the else's pool index
            "D81D00"                     // 20: JUMP 29
            "B402" "5407" "0116"         // 23: y := 7
            "0A");                       // 29
}

// A label name that reading it added to the pool is withdrawn before the
// next token is read, even when that is a new name itself; a label named
// like a name already there, here the newest one, leaves it.
TEST_F(SecondPass, LabelNamesStayOutOfThePool) {
  compile("var x;\nfunc main()\n  gosub L\nM: endsub\nL: endsub\nmain: goto main;\nendfunc\n");
  EXPECT_EQ(test::errors(), "");
  EXPECT_EQ(namecount, LASTNAME + 2);
  EXPECT_STREQ(poolname(LASTNAME + 1), "main");
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
  for (int i = 0; i < 30; i++) {
    int at = 13 + i * 9;   // if (x): B4 01 17 E8 L; break: D8 exit
    ASSERT_EQ(code[at + 6], 0xD8) << i;
    EXPECT_EQ(code[at + 7] | code[at + 8] << 8, exit) << i;
  }
}

// The folder's reset returns every table and counter to its load-time
// state, so a second compilation in one process repeats the first.
TEST_F(SecondPass, ResetRepeatsACompilation) {
  const std::string src =
      "var a, b[4];\nfunc f(var p)\n  var q;\nL:\n  while (p) goto L;\n  return q;\nendfunc\n";
  compile(src);
  const std::string first = test::hexbytes(0);
  resetCompiler();
  EXPECT_EQ(nglob + curgloboffs + nfun + narg + nlocal + nestindex, 0);
  EXPECT_EQ(hasreturn + retvoid + inif + inwhile + indo + infunc + parenCount, 0);
  EXPECT_EQ(nlabel + njump, 0);
  EXPECT_EQ(labelids[0], nullptr);
  compile(src);
  EXPECT_EQ(test::hexbytes(0), first);
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

namespace {

// Runs f on a thread with a stack of 1 MB, what a Windows thread gets by
// default: the compilation may run on such a thread of the host that loads
// the library.
template <typename F>
void onWindowsSizedStack(F f) {
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  ASSERT_EQ(pthread_attr_setstacksize(&attr, size_t{1} << 20), 0);
  pthread_t thread;
  auto run = [](void* arg) -> void* {
    (*static_cast<F*>(arg))();
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&thread, &attr, run, &f), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
}

std::string repeat(const std::string& s, int n) {
  std::string r;
  for (int i = 0; i < n; i++) r += s;
  return r;
}

}  // namespace

// 500 levels of parentheses, unary operators or calls, with a binary
// operator at each level where the form allows one, compile in full on a
// 1 MB stack; so does a mix of all three. The code of each is PUSHAG x,
// the levels' pushes, the innermost x loaded, the levels' operators and
// ASSIGN, POP, RETURN (the golden cases expressions/nest_*_500 list it
// byte for byte): its end is checked here.
TEST_F(SecondPass, FiveHundredLevelsCompileOnAOneMegabyteStack) {
  const std::string f = "func f(var a)\n  return a;\nendfunc\n";
  struct Shape {
    std::string name, expr;
    int end;   // origin after the function
  } shapes[] = {
      // f at 7 is 4 bytes; g: 2, 500 x PUSHC 1, 3, 500 x ADD, 3
      {"parentheses", repeat("1+(", 500) + "x" + repeat(")", 500), 11 + 2 + 1000 + 3 + 500 + 3},
      // g: 2, 3, 500 operators, 3
      {"unary", repeat("- ! ", 250) + "x", 11 + 2 + 3 + 500 + 3},
      // g: 2, 500 x (PUSHAC f, PUSHC 1), 3, 500 x (ADD, CALL 1), 3
      {"calls", repeat("f(1+", 500) + "x" + repeat(")", 500), 11 + 2 + 2000 + 3 + 1500 + 3},
  };
  for (const Shape& shape : shapes) {
    onWindowsSizedStack([&] {
      compile("var x;\n" + f + "func g()\n  x := " + shape.expr + ";\nendfunc\n");
      EXPECT_EQ(test::errors(), "") << shape.name;
      EXPECT_EQ(origin, shape.end) << shape.name;
      EXPECT_EQ(test::hexbytes(origin - 3), "01160A") << shape.name;   // ASSIGN, POP, RETURN
    });
    resetAll();
  }
  // 166 levels of each, one inside the other: 498 in all.
  std::string mixed = repeat("-f((", 166) + "x" + repeat("))", 166);
  onWindowsSizedStack([&] {
    compile("var x;\n" + f + "func g()\n  x := " + mixed + ";\nendfunc\n");
    EXPECT_EQ(test::errors(), "");
  });
}

// Past the limit the guard reports once, before the stack runs out, on a
// 1 MB stack too, whatever the form of the nesting.
TEST_F(SecondPass, NestingPastTheLimitStopsOnAOneMegabyteStack) {
  for (std::string level : {"(", "- ", "f(", "x[", "1+(", "f(1||1&&1|1&1^1==1+1*1<<"}) {
    onWindowsSizedStack([&] {
      compile("var x;\nfunc f(var a)\nendfunc\nfunc g()\n  x := " + repeat(level, 20000) + "x;\nendfunc\n");
      std::string err = test::errors();
      EXPECT_EQ(ecount, 1) << level;
      // The image may fill first, which stops the compilation silently.
      if (!codefull) {
        EXPECT_EQ(err.substr(0, err.find(" in line")),
                  "expression or statement nested too deeply (max 1000 levels)")
            << level;
      }
    });
    resetAll();
  }
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
    ASSERT_TRUE(origin <= MAXCODE && nlabel <= NLABELS && njump <= NLABELS && nlocal <= NLOCAL &&
                narg <= NARG && nglob <= NGLOB && nfun <= NFUN)
        << src;
    if (ecount == 0) {
      // A clean compilation leaves nothing open.
      ASSERT_EQ(inif + inwhile + indo + nestindex, 0) << src;
      ASSERT_EQ(parenCount, 0) << src;
    }
  }
}

// A function's and an argument's names are logged as read, even when the
// token after them (here a macro) is a name too; the function is known by
// its own name in the function-details table.
TEST(Compilation, NamesAreLoggedAsRead) {
  test::Result r = test::compile(
      "#constant LP $(\n#constant CM $,\n#constant RP $)\n"
      "func main LP var a CM var b RP\n  return a;\nendfunc\n");
  EXPECT_EQ(r.err, "");
  EXPECT_NE(r.aux.find("\n[COMPILED] main address=7\nARG 1 is \"a\"\nARG 2 is \"b\"\n"),
            std::string::npos)
      << r.aux;
  EXPECT_NE(r.aux.find("name=main  funcid=7  funargcnt=2 funcreturns=1\n"), std::string::npos);
  EXPECT_TRUE(r.aux.ends_with("argcount 2;\nretval YES;\nstacksize 200;\n")) << r.aux;
}

// The start-up header pushes main as the second pass left it: a local or an
// argument of the last function compiled is found before anything else.
TEST(Compilation, HeaderFindsMainAmongTheLastFunctionsNames) {
  test::Result local = test::compile("func f()\nvar main;\nendfunc\n");
  EXPECT_EQ(local.err, "");
  EXPECT_EQ(local.bin, std::string("\x78\x00\x00\x24\x00\x44\x00\x0A", 8));
  test::Result arg = test::compile("func f(var main)\nendfunc\n");
  EXPECT_EQ(arg.err, "");
  EXPECT_EQ(arg.bin, std::string("\x98\x00\x00\x24\x00\x44\x00\x0A", 8));
}
