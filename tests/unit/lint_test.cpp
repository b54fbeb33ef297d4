// The lints: where each fires, with its position and message worked out by
// hand from the source, and the close variants where it must not. A lint
// is a record only: the files of a compilation are the same with every
// lint on and with none.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testutil.h"

using namespace tavo;

namespace {

class Lints : public ::testing::Test {
 protected:
  // The lint records of one whole compilation of src, every lint on, as
  // "name L:C message" lines.
  static std::vector<std::string> of(const std::string& src, const std::string& fun = "",
                                     const std::vector<std::pair<std::string, std::string>>& include = {}) {
    for (bool& on : lintOn) on = true;
    test::compile(src, fun, include);
    std::vector<std::string> out;
    for (const Diagnostic& d : diagnostics) {
      if (d.kind != DIAG_LINT && d.kind != DIAG_LINT_NOTE) continue;
      out.push_back(d.name + " " + std::to_string(d.line) + ":" + std::to_string(d.col) + " " +
                    d.message);
    }
    return out;
  }
  // The same, with the library note left out.
  static std::vector<std::string> inProgram(const std::string& src) {
    return of("func main()\nendfunc\n" + src);
  }
  void TearDown() override {
    resetLints();
    resetAll();
  }
};

using Lines = std::vector<std::string>;

}  // namespace

// 16 bits hold -32768 to 65535 (either reading of the word); a number
// beyond keeps its low 16 bits. Numbers wrap at 32 bits as the compiler
// reads them, so 0xFFFF8000 is -32768 and 0xFFFF7FFF is -32769.
TEST_F(Lints, OverflowAtBothEndsOfTheRange) {
  EXPECT_EQ(inProgram("func f()\n  var i;\n  i := 65535 + 0 + 0xFFFF8000;\nendfunc\n"), Lines{});
  EXPECT_EQ(inProgram("func f()\n  var i;\n  i := 65536;\n  i := 70000 + 0xFFFF7FFF;\nendfunc\n"),
            (Lines{"overflow 5:8 65536 does not fit in 16 bits; the module gets 0",
                   "overflow 6:8 70000 does not fit in 16 bits; the module gets 4464",
                   "overflow 6:16 -32769 does not fit in 16 bits; the module gets 32767"}));
  ASSERT_EQ(diagnostics.size(), 3u);
  EXPECT_EQ(diagnostics[0].kind, DIAG_LINT);
  EXPECT_EQ(diagnostics[0].file, "o.src");
  EXPECT_EQ(diagnostics[0].pass, 2);
}

// Every place a constant becomes a 16-bit operand or word: a constant's
// name, the offset after '.', a lookup16 item, a word table's item (first
// pass, on the first line: columns there are counted like any other).
TEST_F(Lints, OverflowWhereverAConstantIsEncoded) {
  EXPECT_EQ(of("#DATA word T 70000, 65535\n#constant BIG 0x10001\nfunc main()\n  var i;\n"
               "  i := BIG;\n  i := i.131072;\n  i := lookup16(i, 1, 65536);\nendfunc\n"),
            (Lines{"overflow 1:14 70000 does not fit in 16 bits; the module gets 4464",
                   "overflow 5:8 65537 does not fit in 16 bits; the module gets 1",
                   "overflow 6:10 131072 does not fit in 16 bits; the module gets 0",
                   "overflow 7:23 65536 does not fit in 16 bits; the module gets 0"}));
}

// The value of a call of a function that returns none is used: assigned,
// an operand, an argument. Dropped by an expression statement, it is not.
TEST_F(Lints, VoidValueUsed) {
  const std::string show = "func show()\n  putch(65);\nendfunc\nfunc f2(var a)\n  return a;\nendfunc\n";
  EXPECT_EQ(inProgram(show + "func f()\n  var i;\n  i := show();\n  show() + 1;\n  f2(show());\n"
                             "  i := putch(1);\nendfunc\n"),
            (Lines{"void-value 11:8 'show' returns no value, but its value is used",
                   "void-value 12:3 'show' returns no value, but its value is used",
                   "void-value 13:6 'show' returns no value, but its value is used",
                   "void-value 14:8 'putch' returns no value, but its value is used"}));
  EXPECT_EQ(inProgram(show + "func f()\n  var i;\n  show();\n  show(), i := serin();\n"
                             "  i := f2(1);\nendfunc\n"),
            Lines{});
}

// A function's own calls are judged at its endfunc, when it is known
// whether it returns a value.
TEST_F(Lints, VoidValueOfARecursiveCall) {
  EXPECT_EQ(inProgram("func f(var n)\n  var i;\n  i := f(n - 1);\nendfunc\n"
                      "func g(var n)\n  return g(n - 1) + 1;\nendfunc\n"),
            Lines{"void-value 5:8 'f' returns no value, but its value is used"});
}

// A function that returns a value and can still reach endfunc: the last
// statement an if whose return the condition can skip, or a label there.
TEST_F(Lints, MissingReturnWhereTheEndCanBeReached) {
  const std::string message =
      " returns a value but can reach endfunc without return; it then runs on into the code "
      "that follows";
  EXPECT_EQ(inProgram("func pick(var c)\n  if (c)\n    return 1;\n  endif\nendfunc\n"),
            Lines{"missing-return 7:1 'pick'" + message});
  EXPECT_EQ(inProgram("func f(var c)\n  if (c) goto L;\n  return 1;\nL:\nendfunc\n"),
            Lines{"missing-return 7:1 'f'" + message});
}

// Every path returns: an if and its else on one line or as blocks, a
// return last, a loop left only by its return.
TEST_F(Lints, NoMissingReturnWhenEveryPathReturns) {
  EXPECT_EQ(inProgram("func a(var c)\n  if (c) return 1; else return 2;\nendfunc\n"
                      "func b(var c)\n  if (c)\n    return 1;\n  else\n    return 2;\n  endif\nendfunc\n"
                      "func d(var c)\n  if (c) c := 2;\n  return c;\nendfunc\n"
                      "func e(var c)\n  if (c)\n    c := 1;\n  else\n    return 2;\n  endif\n"
                      "  return c;\nendfunc\n"),
            Lines{});
}

// No main: a note, not a warning, and only then. main as a global
// variable: the start-up code calls its cell number as a code address.
TEST_F(Lints, LibraryAndMain) {
  test::compile("func f()\nendfunc\n");   // the defaults
  ASSERT_EQ(diagnostics.size(), 1u);
  EXPECT_EQ(diagnostics[0].kind, DIAG_LINT_NOTE);
  EXPECT_EQ(diagnostics[0].name, "library");
  EXPECT_EQ(diagnostics[0].message, "no main: the image is a library");
  EXPECT_EQ(diagnostics[0].line, 0);
  EXPECT_EQ(of("func main()\nendfunc\n"), Lines{});
  EXPECT_EQ(of("var x, main;\nfunc f()\n  x := main;\nendfunc\n"),
            Lines{"main 1:8 'main' is a global variable, not a function; the start-up code "
                  "calls address 2"});
}

// Unused locals, arguments and globals, each at its declaration. A local
// used only through its address is used; a global named only in a word
// table is used.
TEST_F(Lints, UnusedNames) {
  EXPECT_EQ(inProgram("var g, h, k;\n#DATA word T k\nfunc f(var a, var b)\n  var x, y, z;\n"
                      "  g := &x;\n  return b + z;\nendfunc\n"),
            (Lines{"unused-local 6:10 local 'y' is never used",
                   "unused-argument 5:12 argument 'a' of 'f' is never used",
                   "unused-global 3:8 global 'h' is never used"}));
}

// Statements whose value is dropped and that change nothing; a hint when
// it was a comparison for equality.
TEST_F(Lints, StatementsWithoutEffect) {
  EXPECT_EQ(inProgram("var x;\nfunc f()\n  x == 1;\n  x;\n  x + 1, x := 2;\n  x := 1;\n  x++;\n"
                      "  --x;\n  f();\n  (x) := 3;\nL:\n  goto L;\nendfunc\n"),
            (Lines{"unused-value 5:3 the result of '==' is dropped; did you mean ':='?",
                   "unused-value 6:3 this statement has no effect",
                   "unused-value 7:3 this statement has no effect"}));
}

// A local hiding an argument, a global, a function or a platform
// function; an argument hiding a global.
TEST_F(Lints, Shadow) {
  EXPECT_EQ(inProgram("var g;\nfunc f(var a, var g)\n  var a, f, pause;\n  return a + f + pause + g;\n"
                      "endfunc\n"),
            (Lines{"shadow 4:19 argument 'g' hides the global variable of that name",
                   "shadow 5:7 local 'a' hides the argument of that name",
                   "shadow 5:10 local 'f' hides the function of that name",
                   "shadow 5:13 local 'pause' hides the platform function of that name",
                   "unused-argument 4:12 argument 'a' of 'f' is never used",
                   "unused-global 3:5 global 'g' is never used"}));
}

// The first statement that cannot run, once per function; a label makes
// the code after it reachable again.
TEST_F(Lints, Unreachable) {
  EXPECT_EQ(inProgram("var x;\nfunc f()\n  return;\n  x := 1;\n  x := 2;\nendfunc\n"
                      "func g()\n  goto L;\nL:\n  x := 1;\n  while (x)\n    break;\n  wend\n"
                      "  repeat\n    endsub\n  forever\n  x := 3;\nendfunc\n"),
            (Lines{"unreachable 6:3 this statement can never run",
                   "unreachable 19:3 this statement can never run"}));
}

// Once an error is counted, no lint is recorded.
TEST_F(Lints, NoneAfterAnError) {
  EXPECT_EQ(of("func f()\n  var i;\n  i := 70000;\n  i := ;\n  i := 70000;\nendfunc\n"),
            Lines{"overflow 3:8 70000 does not fit in 16 bits; the module gets 4464"});
}

// Off by default: unused globals, shadows, unreachable statements.
TEST_F(Lints, Defaults) {
  resetLints();
  for (int i = 0; i < NLINTS; i++) {
    bool quiet = i == LINT_UNUSED_GLOBAL || i == LINT_SHADOW || i == LINT_UNREACHABLE;
    EXPECT_EQ(lintOn[i], !quiet) << lints[i].name;
    EXPECT_EQ(findLint(lints[i].name), i);
  }
  EXPECT_EQ(findLint("bogus"), -1);
}

// The files are the same with every lint on and with none, and "o.err"
// holds no lint.
TEST_F(Lints, FilesDoNotDependOnThem) {
  const std::string src =
      "var g, main2;\n#DATA word T 70000\nfunc pick(var c)\n  var t;\n  if (c)\n    return 1;\n"
      "  endif\nendfunc\nfunc f(var a)\n  a == 70000;\n  a := f(1);\n  return;\n  a := 1;\nendfunc\n";
  for (bool& on : lintOn) on = true;
  test::Result all = test::compile(src);
  size_t reported = diagnostics.size();
  for (bool& on : lintOn) on = false;
  test::Result none = test::compile(src);
  EXPECT_GE(reported, 8u);
  EXPECT_EQ(diagnostics.size(), 0u);
  EXPECT_EQ(all.err, "");
  EXPECT_EQ(all.err, none.err);
  EXPECT_EQ(all.bin, none.bin);
  EXPECT_EQ(all.aux, none.aux);
}
