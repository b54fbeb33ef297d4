// Every fixed table and limit at its edge: the last entry that fits is
// accepted, the next one is refused with its message, and nothing is
// written past a table. The programs are generated here and compiled whole,
// with mainOrv, in a fresh directory.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "base/tavomain.h"
#include "codegen/codegen.h"
#include "front/front.h"
#include "testutil.h"

using namespace tavo;

namespace {

using test::compile;
using test::Result;

bool endsWith(const std::string& s, const std::string& t) {
  return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

// The first line of "o.err" holds message, reported on line (of the file
// being read) in pass p; used where the column is the implementation's
// choice (which token of the construct the table check follows).
void expectReport(const Result& r, const std::string& message, int line, int p) {
  std::string first = r.firstLine();
  EXPECT_EQ(first.substr(0, message.size() + 9 + std::to_string(line).size()),
            message + " in line " + std::to_string(line))
      << first;
  EXPECT_TRUE(endsWith(first, " (pass" + std::to_string(p) + ")")) << first;
  EXPECT_EQ(r.ecount, 1);
}

// A name of exactly len characters, distinct for each i.
std::string nameOf(int i, size_t len) {
  std::string s = "n" + std::to_string(i);
  s.resize(len, 'x');
  return s;
}

std::string repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; i++) out += s;
  return out;
}

// A byte table of n bytes, as strings of at most 255 characters, one per
// line. A table that spans lines takes the block form, which the second
// pass skips up to its #END.
std::string byteTable(int n) {
  std::string s = "#DATA\nbyte T";
  const char* sep = " ";
  while (n > 0) {
    int k = n < 255 ? n : 255;
    s += sep;
    s += '"';
    s.append(static_cast<size_t>(k), 'x');
    s += '"';
    sep = ",\n";
    n -= k;
  }
  return s + "\n#END\n";
}

}  // namespace

// ---------------------------------------------------------------------------
// Symbol table and name pool.

TEST(Limits, SymbolTableHolds5000ConstantsAndTables) {
  std::string src = "var a[C4999];\n";   // the 5000th entry in use
  for (int i = 0; i < NSYM; i++) src += "#constant C" + std::to_string(i) + " " + std::to_string(i) + "\n";
  Result ok = compile(src);
  EXPECT_EQ(ok.err, "");
  EXPECT_TRUE(endsWith(ok.aux, ":LIBRARY\ncode[7];\nmem[5000];\n")) << ok.aux.substr(ok.aux.size() - 40);

  Result constant = compile(src + "#constant C5000 1\n");
  EXPECT_EQ(constant.firstLine(), "too many constants and data tables (max 5000) in line 5002, column 15 (pass1)");
  EXPECT_EQ(constant.bin, "");
  Result table = compile(src + "#DATA byte T 1\n");
  EXPECT_EQ(table.firstLine(), "too many constants and data tables (max 5000) in line 5002, column 10 (pass1)");
}

TEST(Limits, NamePoolHolds70000Characters) {
  resetAll();
  installNames();
  int used = 0;
  for (int i = 0; i < namecount; i++) used += static_cast<int>(std::strlen(poolname(i))) + 1;
  used += 5;   // "main"
  std::string src = "func main()\nendfunc\n";
  int line = 3;
  for (int i = 0; used < NAMESIZE; i++, line++) {
    int left = NAMESIZE - used;   // bytes still free, each name takes len + 1
    size_t len = left >= 72 ? 69 : static_cast<size_t>(left - 1);
    if (left > 70 && left < 72) len = 67;   // leave room for one more name
    src += "var " + nameOf(i, len) + ";\n";
    used += static_cast<int>(len) + 1;
  }
  ASSERT_EQ(used, NAMESIZE);
  Result full = compile(src);
  EXPECT_EQ(full.err, "");
  EXPECT_EQ(full.ecount, 0);
  EXPECT_TRUE(full.stx);

  Result over = compile(src + "var z;\n");
  EXPECT_EQ(over.firstLine(), "name pool is full (70000 characters) in line " + std::to_string(line) +
                                  ", column 3 (pass2)");
}

// ---------------------------------------------------------------------------
// Globals, functions, arguments, locals.

TEST(Limits, GlobalsUpTo3000) {
  std::string src;
  for (int i = 0; i < NGLOB; i++) src += "var g" + std::to_string(i) + ";\n";
  Result ok = compile(src);
  EXPECT_EQ(ok.err, "");
  EXPECT_TRUE(endsWith(ok.aux, "mem[3001];\n"));
  expectReport(compile(src + "var g3000;\n"), "too many global variables (max 3000)", 3001, 2);
}

// The function-details table holds the nine built-ins, the inherited
// functions and the program's functions: 3000 in all.
TEST(Limits, FunctionDetailsHold3000Functions) {
  const int room = NFUN - NBUILTINS;
  std::string funcs;
  for (int i = 0; i < room; i++) funcs += "func f" + std::to_string(i) + "()\nendfunc\n";
  Result ok = compile(funcs);
  EXPECT_EQ(ok.err, "");
  EXPECT_EQ(ok.bin.size(), static_cast<size_t>(CODEOFFSET + room));   // one RETURN each
  expectReport(compile(funcs + "func g()\nendfunc\n"), "too many functions (max 3000)", 2 * room + 1, 2);

  std::string file;
  for (int i = 0; i < room; i++) file += "func p" + std::to_string(i) + "(), 0;\n";
  Result inherited = compile("var x;\n", "a.txt\n", {{"a.txt", file}});
  EXPECT_EQ(inherited.err, "");
  EXPECT_TRUE(inherited.stx);
  expectReport(compile("var x;\n", "a.txt\n", {{"a.txt", file + "func q(), 0;\n"}}),
               "too many functions (max 3000)", room + 1, 1);
  // Inherited and compiled functions share the table.
  expectReport(compile("func main()\nendfunc\n", "a.txt\n", {{"a.txt", file}}),
               "too many functions (max 3000)", 1, 2);
}

// Inherited names are kept as " name" each in 30000 characters, the
// terminator included.
TEST(Limits, InheritedNamesFill30000Characters) {
  std::string file;
  int used = 0, i = 0;
  for (; used + 70 <= NEWFUNCSIZE - 1; i++, used += 70) file += "func " + nameOf(i, 69) + "(), 0;\n";
  int last = NEWFUNCSIZE - 1 - used - 1;   // 38: fills the text to 29999
  file += "func " + nameOf(i, static_cast<size_t>(last)) + "(), 1;\n";
  Result ok = compile("var x;\n", "a.txt\n", {{"a.txt", file}});
  EXPECT_EQ(ok.err, "");
  EXPECT_TRUE(ok.stx);
  Result full = compile("var x;\n", "a.txt\n", {{"a.txt", file + "func q(), 0;\n"}});
  expectReport(full, "too many platform functions", i + 2, 1);
  // The refused name is logged before it is refused: p0 is -10, the last
  // name that fit is -(10 + i), and q the next number.
  EXPECT_TRUE(endsWith(full.aux, "Function returns 1 parameter\n\n[INHERITED] q, TOKEN " +
                                     std::to_string(-11 - i) + "\n"))
      << full.aux.substr(full.aux.size() - 120);
}

TEST(Limits, FiftyArguments) {
  std::string params, args;
  for (int i = 0; i < NARG; i++) {
    params += std::string(i ? ", " : "") + "var a" + std::to_string(i);
    args += i ? ", 0" : "0";
  }
  std::string call = "func main()\n    f(" + args + ");\nendfunc\n";
  Result ok = compile("func f(" + params + ")\nendfunc\n" + call);
  EXPECT_EQ(ok.err, "");
  EXPECT_TRUE(endsWith(ok.aux, "argcount 0;\nretval NO;\nstacksize 200;\n"));
  expectReport(compile("func f(" + params + ", var a50)\nendfunc\n"), "too many arguments (max 50)", 1, 2);
}

TEST(Limits, FiftyLocals) {
  std::string locals;
  for (int i = 0; i < NLOCAL; i++) locals += std::string(i ? ", " : "") + "l" + std::to_string(i);
  Result ok = compile("func f()\n    var " + locals + ";\nendfunc\n");
  EXPECT_EQ(ok.err, "");
  EXPECT_EQ(ok.bin, std::string(7, '\0') + "\x44\x32\x0A");   // ALLOCATE 50, RETURN
  expectReport(compile("func f()\n    var " + locals + ", l50;\nendfunc\n"),
               "too many local variables (max 50)", 2, 2);
}

// ---------------------------------------------------------------------------
// Labels and the jumps to them, per function.

TEST(Limits, FiftyLabels) {
  std::string labels;
  for (int i = 0; i < NLABELS; i++) labels += "L" + std::to_string(i) + ":\n";
  Result ok = compile("func f()\n" + labels + "endfunc\n");
  EXPECT_EQ(ok.err, "");
  expectReport(compile("func f()\n" + labels + "L50:\nendfunc\n"), "too many labels (max 50)", 52, 2);
}

TEST(Limits, FiftyJumpsToLabels) {
  std::string gotos = repeat("    goto L;\n", NLABELS);
  Result ok = compile("func f()\nL:\n" + gotos + "endfunc\n");
  EXPECT_EQ(ok.err, "");
  // JUMP 7, fifty times, then RETURN.
  EXPECT_EQ(ok.bin, std::string(7, '\0') + repeat(std::string("\xD8\x07\x00", 3), 50) + "\x0A");
  expectReport(compile("func f()\nL:\n" + gotos + "    goto L;\nendfunc\n"),
               "too many jumps to labels (max 50)", 53, 2);

  // Every entry of a computed gosub records a jump too.
  std::string targets = "L";
  for (int i = 1; i < NLABELS; i++) targets += ", L";
  Result table = compile("func f()\nL:\n    gosub (1), (" + targets + ")\nendfunc\n");
  EXPECT_EQ(table.err, "");
  expectReport(compile("func f()\nL:\n    gosub (1), (" + targets + ", L)\nendfunc\n"),
               "too many jumps to labels (max 50)", 3, 2);
}

// ---------------------------------------------------------------------------
// Names in word tables, loop levels.

TEST(Limits, ThousandNamesInWordTables) {
  auto table = [](int items) {
    std::string s = "#DATA\nword T f";
    for (int i = 1; i < items; i++) s += (i % 10 == 0 ? ",\n" : ", ") + std::string("f");
    return s + "\n#END\n";
  };
  Result ok = compile(table(PATCHTABLESIZE) + "func f()\nendfunc\n");
  EXPECT_EQ(ok.err, "");
  ASSERT_EQ(ok.bin.size(), 7u + 2000u + 1u);
  // f follows the table at 2007 = 0x07D7; every word holds it.
  EXPECT_EQ(ok.bin.substr(7, 2000), repeat("\xD7\x07", 1000));
  // The 1001st name begins line 102; its scan began at the end of line 101.
  Result over = compile(table(PATCHTABLESIZE + 1) + "func f()\nendfunc\n");
  EXPECT_EQ(over.firstLine(), "too many names in word tables (max 1000) in line 101, column 29 (pass1)");
  EXPECT_EQ(over.bin, "");
}

// Ten whiles and ten repeats can be open together: the twenty loop levels.
// An eleventh repeat is reported and takes no level.
TEST(Limits, TwentyLoopLevels) {
  std::string head = "func f()\n    var i;\n" + repeat("while (i)\n", 10);
  std::string tail = repeat("until (i)\n", 10) + repeat("wend\n", 10) + "endfunc\n";
  Result ok = compile(head + repeat("repeat\n", 10) + "break;\n" + tail);
  EXPECT_EQ(ok.err, "");
  EXPECT_EQ(ok.ecount, 0);

  Result deep = compile(head + repeat("repeat\n", 11) + "break;\nuntil (i)\n" + tail);
  EXPECT_EQ(deep.firstLine(), "DO's nested too deeply in line 23, column 6 (pass2)");
  Result whiles = compile(head + "while (i)\nwend\n" + repeat("wend\n", 10) + "endfunc\n");
  EXPECT_EQ(whiles.firstLine(), "WHILE's nested too deeply in line 13, column 5 (pass2)");
  Result ifs = compile("func f()\n    var i;\n" + repeat("if (i)\n", 11) + repeat("endif\n", 11) + "endfunc\n");
  EXPECT_EQ(ifs.firstLine(), "IF's nested too deeply in line 13, column 2 (pass2)");
}

// ---------------------------------------------------------------------------
// The code image: the last byte stored is at 12286, so an image holds at
// most 12287 bytes; a byte beyond stops the compilation without a message.

TEST(Limits, CodeImageOf12287Bytes) {
  const int room = MAXCODE - 1 - CODEOFFSET;   // 12280 bytes after the header
  Result full = compile(byteTable(room));
  EXPECT_EQ(full.err, "");
  EXPECT_EQ(full.ecount, 0);
  EXPECT_EQ(full.bin.size(), 12287u);
  EXPECT_TRUE(endsWith(full.aux, ":LIBRARY\ncode[12287];\nmem[1];\n"));

  // One data byte more ends the first pass: no outputs, no message. (The
  // table is written on one line here; in the block form the missing #END
  // would be reported next.)
  std::string oneLine = byteTable(room + 1);
  oneLine = oneLine.substr(6, oneLine.size() - 6 - 5);   // without #DATA and #END lines
  for (char& c : oneLine)
    if (c == '\n') c = ' ';
  Result over = compile("#DATA " + oneLine + "\n");
  EXPECT_EQ(over.ecount, 1);
  EXPECT_EQ(over.err, "");
  EXPECT_EQ(over.bin, "");
  EXPECT_FALSE(over.stx);
  Result block = compile(byteTable(room + 1));
  EXPECT_EQ(block.firstLine(), "Expected keyword 'END' in line 50, column 43 (pass1)");
  EXPECT_EQ(block.bin, "");

  // In the second pass: ENDSUB and RETURN fill the last two bytes ...
  std::string f = "func f()\nendsub\nendfunc\n";
  Result code = compile(byteTable(room - 2) + f);
  EXPECT_EQ(code.err, "");
  EXPECT_EQ(code.bin.size(), 12287u);
  EXPECT_EQ(code.bin.substr(12285), std::string("\x00\x0A", 2));
  // ... and one byte later the RETURN is refused; the outputs are still
  // written from what was compiled.
  Result stop = compile(byteTable(room - 1) + f);
  EXPECT_EQ(stop.ecount, 1);
  EXPECT_EQ(stop.err, "");
  EXPECT_EQ(stop.bin.size(), 12287u);
  EXPECT_TRUE(stop.stx);
  EXPECT_TRUE(endsWith(stop.aux, ":LIBRARY\ncode[12287];\nmem[1];\n"));

  // Data and operand bytes are refused one at a time like instructions.
  Result word = compile(byteTable(room - 1) + "#DATA word W 258\n");
  EXPECT_EQ(word.ecount, 1);
  EXPECT_EQ(word.err, "");
  EXPECT_EQ(word.bin, "");
  Result str = compile(byteTable(room - 10) + "func f()\n    var x;\n    x := \"abcdefghij\";\nendfunc\n");
  EXPECT_EQ(str.ecount, 1);
  EXPECT_EQ(str.err, "");
  ASSERT_EQ(str.bin.size(), 12287u);
  // PUSH ADDRESS OF LOCAL 0, PUSH STRING 11 and its first six bytes.
  EXPECT_EQ(str.bin.substr(12277), std::string("\x74\x00\x34\x0B", 4) + "abcdef");

  // A JFALSE at 12285 keeps the low byte of its placeholder, loses the high
  // one, and is then patched to the end of the image: the patch writes both
  // bytes, and the listing reads them from the code array.
  Result jump = compile(byteTable(room - 5) + "var g;\nfunc f()\nif (g)\nendif\nendfunc\n", "", {},
                        true);
  EXPECT_EQ(jump.ecount, 1);
  EXPECT_EQ(jump.bin.size(), 12287u);
  EXPECT_TRUE(endsWith(jump.lst, "12282: B401     PUSH ADDRESS OF GLOBAL 1\n"
                                 "12284: 17       DEREF\n"
                                 "12285: E8FF2F   JFALSE 12287\n"))
      << jump.lst.substr(jump.lst.size() - 200);
}

// ---------------------------------------------------------------------------
// Token lengths and macros.

TEST(Limits, NamesAndNumbersUpTo69Characters) {
  std::string name = nameOf(1, 69);
  Result ok = compile("// names\nvar " + name + ";\n");
  EXPECT_EQ(ok.err, "");
  EXPECT_NE(ok.aux.find("[GLOBAL] " + name + " address=1"), std::string::npos);
  Result longName = compile("// names\nvar " + name + "y;\n");
  EXPECT_EQ(longName.firstLine(), "name too long (max 69 characters) in line 2, column 3 (pass2)");

  std::string number = std::string(68, '0') + "3";
  Result num = compile("// numbers\nvar a[" + number + "];\n");
  EXPECT_EQ(num.err, "");
  EXPECT_TRUE(endsWith(num.aux, "mem[4];\n"));
  Result longNum = compile("// numbers\nvar a[0" + number + "];\n");
  EXPECT_EQ(longNum.firstLine(), "number too long (max 69 characters) in line 2, column 6 (pass2)");
}

TEST(Limits, StringsUpTo255Characters) {
  auto program = [](const std::string& value) {
    return "func f()\n    var x;\n    x := " + value + ";\nendfunc\n";
  };
  std::string text(255, 's');
  Result ok = compile(program("\"" + text + "\""));
  EXPECT_EQ(ok.err, "");
  // PUSH ADDRESS OF LOCAL 0, PUSH STRING 256 (two-byte operand), the text.
  EXPECT_EQ(ok.bin.substr(7, 5 + 255), std::string("\x74\x00\x38\x00\x01", 5) + text);
  Result longStr = compile(program("\"" + text + "s\""));
  EXPECT_EQ(longStr.firstLine(), "string too long (max 255 characters) in line 3, column 8 (pass2)");
  // A character constant is read the same way; its length is reported first.
  Result longChar = compile(program("'" + text + "s'"));
  EXPECT_EQ(longChar.firstLine(), "string too long (max 255 characters) in line 3, column 8 (pass2)");
}

TEST(Limits, MacroTextUpTo199Characters) {
  std::string use = "func f()\n    var x;\n    x := M;\nendfunc\n";
  std::string text = std::string(198, ' ') + "1";
  Result ok = compile("#constant M $" + text + "\n" + use);
  EXPECT_EQ(ok.err, "");
  // PUSH ADDRESS OF LOCAL 0, PUSH CONST 1, ASSIGN, DROP, RETURN.
  EXPECT_EQ(ok.bin, std::string(7, '\0') + std::string("\x74\x00\x54\x01\x01\x16\x0A", 7));
  Result over = compile("#constant M $ " + text + "\n" + use);
  EXPECT_EQ(over.firstLine(), "macro text too long (max 199 characters) in line 1, column 12 (pass1)");
}

// A chain of 63 macros, each naming the next, still delivers its token; a
// chain of 64 is reported.
TEST(Limits, MacroChainsUpTo63Expansions) {
  auto chain = [](int n) {
    std::string s;
    for (int i = 0; i < n - 1; i++) s += "#constant M" + std::to_string(i) + " $ M" + std::to_string(i + 1) + "\n";
    s += "#constant M" + std::to_string(n - 1) + " $ 7\n";
    return s + "func f()\n    var x;\n    x := M0;\nendfunc\n";
  };
  Result ok = compile(chain(63));
  EXPECT_EQ(ok.err, "");
  EXPECT_EQ(ok.bin, std::string(7, '\0') + std::string("\x74\x00\x54\x07\x01\x16\x0A", 7));
  Result deep = compile(chain(64));
  expectReport(deep, "macro expansion too deep", 67, 2);
}
