// The listing decoder, the closing summary of "o.aux" and "o.stx", over
// hand-built compiler state. Expected texts are written out in full, column
// for column: address in 5, ": ", bytes padded to column 16, text from 17.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <random>
#include <string>

#include "compiler/compiler.h"
#include "directives/directives.h"
#include "front/front.h"
#include "output/output.h"
#include "testutil.h"

namespace tavo {
namespace {

std::string readAll(std::FILE* fp) {
  std::fflush(fp);
  std::rewind(fp);
  std::string s;
  int c;
  while ((c = std::fgetc(fp)) != EOF) s += static_cast<char>(c);
  std::fclose(fp);
  return s;
}

class Listing : public ::testing::Test {
 protected:
  void SetUp() override { resetAll(); }

  // Places bytes in the image from address at; returns the address after.
  int put(int at, std::initializer_list<int> bytes) {
    for (int b : bytes) code[at++] = static_cast<unsigned char>(b);
    return at;
  }

  std::string list(int from, int to) {
    std::FILE* fp = std::tmpfile();
    dumpcode(fp, from, to);
    return readAll(fp);
  }
};

TEST_F(Listing, HeadingEndsWithAnEmptyLine) {
  std::FILE* fp = std::tmpfile();
  listheading(fp, 1234);
  EXPECT_EQ(readAll(fp), "Tavo Compiler V0.1\nP-code Listing\ncodesize = 1234\n\n");
}

TEST_F(Listing, EveryShortOpcodeHasItsText) {
  for (int i = 0; i < SHORTCODES; i++) code[i] = static_cast<unsigned char>(i);
  EXPECT_EQ(list(0, SHORTCODES),
            "0    : 00       ENDSUB\n"
            "1    : 01       ASSIGN\n"
            "2    : 02       PRINT REDIRECT\n"
            "3    : 03       DEREFW\n"
            "4    : 04       OR\n"
            "5    : 05       AND\n"
            "6    : 06       TEST EQ\n"
            "7    : 07       TEST NE\n"
            "8    : 08       TEST LT\n"
            "9    : 09       GOSUB\n"
            "10   : 0A       RETURN\n"
            "\n"
            "11   : 0B       TEST GE\n"
            "12   : 0C       ADD\n"
            "13   : 0D       SUB\n"
            "14   : 0E       MUL\n"
            "15   : 0F       DIV\n"
            "16   : 10       MOD\n"
            "17   : 11       NOT\n"
            "18   : 12       NEG\n"
            "19   : 13       LEFT SHIFT\n"
            "20   : 14       POSTINC\n"
            "21   : 15       POSTDEC\n"
            "22   : 16       DROP\n"
            "23   : 17       DEREF\n"
            "24   : 18       TEST LE\n"
            "25   : 19       DUP\n"
            "26   : 1A       TEST GT\n"
            "27   : 1B       SET INDEX OFFSET\n"
            "28   : 1C       XOR\n"
            "29   : 1D       PREINC\n"
            "30   : 1E       PREDEC\n"
            "31   : 1F       RIGHT SHIFT\n");
}

TEST_F(Listing, LongFamiliesInAllThreeOperandForms) {
  int end = put(100, {0x24, 0x02,          // one operand byte
                      0x21,                // operand in the nibble
                      0x58, 0x2C, 0x01,    // two operand bytes, low first
                      0x54, 0xFF, 0x58, 0xFF, 0xFF, 0x5F,
                      0x74, 0x01, 0x84, 0x02, 0x94, 0x03, 0xA4, 0x04,
                      0xB8, 0x34, 0x12, 0xC1, 0xD8, 0x05, 0x00, 0xE8, 0x23, 0x01,
                      0xF4, 0x07, 0xFE});
  EXPECT_EQ(list(100, end),
            "100  : 2402     CALL [2]\n"
            "102  : 21       CALL [1]\n"
            "103  : 582C01   PUSH CONST 300\n"
            "106  : 54FF     PUSH CONST 255\n"
            "108  : 58FFFF   PUSH CONST 65535\n"
            "111  : 5F       PUSH CONST 15\n"
            "112  : 7401     PUSH ADDRESS OF LOCAL 1\n"
            "114  : 8402     PUSH LOCAL 2\n"
            "116  : 9403     PUSH ARG PTR 3\n"
            "118  : A404     PUSH ARG 4\n"
            "120  : B83412   PUSH ADDRESS OF GLOBAL 4660\n"
            "123  : C1       PUSH GLOBAL 1\n"
            "124  : D80500   JUMP 5\n"
            "127  : E82301   JFALSE 291\n"
            "130  : F407     JTRUE 7\n"
            "132  : FE       JTRUE 14\n");
}

TEST_F(Listing, ExitAllocationAndFunctionPushes) {
  int end = put(7, {0x44, 0x00, 0x40, 0x44, 0x05, 0x41, 0x48, 0x00, 0x01,
                    0x64, 0x12, 0x68, 0xFE, 0x7F, 0x68, 0xFF, 0x7F,
                    0x68, 0xF7, 0xFF, 0x68, 0xFF, 0xFF, 0x6F});
  EXPECT_EQ(list(7, end),
            "7    : 4400     EXIT\n"
            "9    : 40       EXIT\n"
            "10   : 4405     ALLOCATE STACK SPACE 5\n"
            "12   : 41       ALLOCATE STACK SPACE 1\n"
            "13   : 480001   ALLOCATE STACK SPACE 256\n"
            "16   : 6412     PUSH FUNCTION ADDRESS 18\n"
            "18   : 68FE7F   PUSH FUNCTION ADDRESS 32766\n"
            "21   : 68FF7F   PUSH FUNCTION TOKEN -32769\n"
            "24   : 68F7FF   PUSH FUNCTION TOKEN -9\n"
            "27   : 68FFFF   PUSH FUNCTION TOKEN -1\n"
            "30   : 6F       PUSH FUNCTION ADDRESS 15\n");
}

TEST_F(Listing, StringsShowTheirInlineBytes) {
  int a = put(7, {0x34, 0x03, 'A', 'B', 0});                  // "AB"
  a = put(a, {0x34, 0x05, 'a', '\t', 0x7F, 0x80, 0});         // tab, DEL, 0x80
  a = put(a, {0x30});                                         // no bytes at all
  a = put(a, {0x32, ' ', 0});                                 // count in the nibble
  a = put(a, {0x38, 0x02, 0x00, 'Q', 'R'});                   // no terminator
  a = put(a, {0x0C});
  EXPECT_EQ(list(7, a),
            "7    : 3403     PUSH STRING 3 \"AB\"\n"
            "12   : 3405     PUSH STRING 5 \"a.\x7F.\"\n"
            "19   : 30       PUSH STRING 0 \"\n"
            "20   : 32       PUSH STRING 2 \" \"\n"
            "23   : 380200   PUSH STRING 2 \"Q\"\n"
            "28   : 0C       ADD\n");
}

TEST_F(Listing, LongStringIsShownWhole) {
  int a = put(7, {0x38, 0x2C, 0x01});   // 300 inline bytes
  for (int i = 0; i < 299; i++) code[a++] = static_cast<unsigned char>('a' + i % 26);
  code[a++] = 0;
  a = put(a, {0x0A});
  std::string text;
  for (int i = 0; i < 299; i++) text += static_cast<char>('a' + i % 26);
  EXPECT_EQ(list(7, a), "7    : 382C01   PUSH STRING 300 \"" + text + "\"\n310  : 0A       RETURN\n\n");
}

TEST_F(Listing, ProgramHeaderIsSetApart) {
  hasMain = 1;
  int end = put(0, {0x68, 0x08, 0x00, 0x24, 0x00, 0x44, 0x00, 0x0A});
  EXPECT_EQ(list(0, end),
            "0    : 680800   PUSH FUNCTION ADDRESS 8\n"
            "3    : 2400     CALL [0]\n"
            "5    : 4400     EXIT\n"
            "\n"
            "7    : 0A       RETURN\n"
            "\n");
  hasMain = 0;   // a library: seven zero bytes, no empty line
  std::memset(code, 0, 7);
  EXPECT_EQ(list(0, 8),
            "0    : 00       ENDSUB\n1    : 00       ENDSUB\n2    : 00       ENDSUB\n"
            "3    : 00       ENDSUB\n4    : 00       ENDSUB\n5    : 00       ENDSUB\n"
            "6    : 00       ENDSUB\n7    : 0A       RETURN\n\n");
}

TEST_F(Listing, DataAreaIsOneLine) {
  hasMain = 1;
  put(0, {0x68, 0x1B, 0x00, 0x24, 0x00, 0x44, 0x00});
  for (int i = 7; i < 27; i++) code[i] = 0x58;   // would decode as pushes
  put(27, {0x0A});
  dataStart = 7;
  dataEnd = 27;
  EXPECT_EQ(list(0, 28),
            "0    : 681B00   PUSH FUNCTION ADDRESS 27\n"
            "3    : 2400     CALL [0]\n"
            "5    : 4400     EXIT\n"
            "\n"
            "7    : [DATA]   20 bytes\n"
            "27   : 0A       RETURN\n"
            "\n");
  // An image that ends with its data ends with the data line.
  EXPECT_EQ(list(7, 27), "\n7    : [DATA]   20 bytes\n");
  // A walk that starts inside the area lists it from there.
  EXPECT_EQ(list(10, 28), "10   : [DATA]   20 bytes\n27   : 0A       RETURN\n\n");
}

// The walk reads nothing at or past its end: missing bytes count as zero.
TEST_F(Listing, InstructionsCutShortByTheEnd) {
  put(0, {0x58, 0x12, 0x34});
  EXPECT_EQ(list(0, 1), "0    : 580000   PUSH CONST 0\n");
  EXPECT_EQ(list(0, 2), "0    : 581200   PUSH CONST 18\n");
  put(0, {0x34, 0x05, 'A', 'B', 'C', 'D', 'E'});
  EXPECT_EQ(list(0, 4), "0    : 3405     PUSH STRING 5 \"AB..\"\n");
  put(0, {0x54});
  EXPECT_EQ(list(0, 1), "0    : 5400     PUSH CONST 0\n");
  // At the very end of the array (the sanitizer build checks the reads).
  code[MAXCODE - 1] = 0x38;
  EXPECT_EQ(list(MAXCODE - 1, MAXCODE + 5), "12287: 380000   PUSH STRING 0 \"\n");
  code[MAXCODE - 2] = 0x3F;
  EXPECT_EQ(list(MAXCODE - 2, MAXCODE), "12286: 3F       PUSH STRING 15 \"8.............\"\n");
}

// Random images: the listing of [from, to) must not depend on any byte
// outside it, whatever the bytes inside are.
TEST_F(Listing, RandomImagesDependOnlyOnTheirOwnBytes) {
  std::mt19937 rng(20240611);
  for (int round = 0; round < 100; round++) {
    int to = static_cast<int>(rng() % (MAXCODE + 1));
    int from = to == 0 ? 0 : static_cast<int>(rng() % 16);
    hasMain = static_cast<int>(rng() % 2);
    for (int i = 0; i < MAXCODE; i++) code[i] = static_cast<unsigned char>(rng());
    for (int i = to; i < MAXCODE; i++) code[i] = 0;
    std::string zeros = list(from, to);
    for (int i = to; i < MAXCODE; i++) code[i] = static_cast<unsigned char>(0x38 + i % 8);
    for (int i = 0; i < from; i++) code[i] = 0x3F;
    ASSERT_EQ(list(from, to), zeros) << "round " << round << ", image " << from << ".." << to;
  }
}

// ---------------------------------------------------------------------------
// The closing summary (the syntax file and a library's summary are pinned
// by the golden cases).

class Reports : public ::testing::Test {
 protected:
  void SetUp() override {
    resetAll();
    installNames();
    LASTNAME = namecount;
    SYSTEMCALLS = LASTNAME - RESERVEDNAMES;
  }
  void TearDown() override { resetAll(); }

  static char* copy(const char* s) {
    char* p = static_cast<char*>(std::malloc(std::strlen(s) + 1));
    std::strcpy(p, s);
    return p;
  }
  void addConstant(const char* name, int type, const char* alias) {
    symtab[symtop].name = copy(name);
    symtab[symtop].alias = copy(alias);
    symtab[symtop].type = type;
    symtop++;
  }
  std::string summary() {
    aux_fp = std::tmpfile();
    writeSummary();
    std::string s = readAll(aux_fp);
    aux_fp = nullptr;
    return s;
  }
};

const char* const kReserved =
    "\n[RESERVED]\nif\nelse\nendif\nwhile\nwend\nrepeat\nuntil\nforever\nendfunc\nreturn\n"
    "break\ncontinue\nbyte\nword\ndword\nvar\nobject\nfunc\ninherit\nplatform\ninclude\n"
    "constant\noptimize\nprint\nCONST\nDATA\nEND\nSTACK\ngoto\ngosub\nendsub\nlookup8\n"
    "lookup16\n\n[INTERNAL]\nserin\nputch\nserout\nsetbaud\nto\npause\nputnum\ntranslate\n"
    "putstr\n";

const char* const kBuiltins =
    "\n[ZOLT FUNCTIONS]\n"
    "name=serin  funcid=-1  funargcnt=0 funcreturns=1\n"
    "name=putch  funcid=-2  funargcnt=1 funcreturns=0\n"
    "name=serout  funcid=-3  funargcnt=1 funcreturns=0\n"
    "name=setbaud  funcid=-4  funargcnt=1 funcreturns=0\n"
    "name=to  funcid=-5  funargcnt=1 funcreturns=0\n"
    "name=pause  funcid=-6  funargcnt=1 funcreturns=0\n"
    "name=putnum  funcid=-7  funargcnt=2 funcreturns=1\n"
    "name=translate  funcid=-8  funargcnt=4 funcreturns=1\n"
    "name=putstr  funcid=-9  funargcnt=1 funcreturns=1\n";

TEST_F(Reports, ConstantKindsAndLongNames) {
  addConstant("N", TOK_CONST, "5");
  addConstant("S", TOK_STRING, "hello");
  addConstant("A", TOK_NAME, "putch");
  addConstant("T", KW_BYTE, "byte table at prog[7], 3 bytes used");
  addConstant("W", KW_WORD, "word table");
  addConstant("D", KW_DWORD, "dword table at prog[10], 8 bytes used");
  addConstant("M", TOK_MACRO, "a + b");
  addConstant("AVeryLongConstantNameIndeed", 0, "x");
  std::string s = summary();
  EXPECT_EQ(s.substr(0, s.find("\n[RESERVED]")),
            "\n[CONSTANTS]\n"
            "N                   NUMBER  5\n"
            "S                   STRING  hello\n"
            "A                   NAME    putch\n"
            "T                   BYTE[]  byte table at prog[7], 3 bytes used\n"
            "W                   WORD[]  word table\n"
            "D                   DWORD[] dword table at prog[10], 8 bytes used\n"
            "M                   ALIAS   a + b\n"
            "AVeryLongConstantNameIndeedALIAS   x\n");
}

TEST_F(Reports, InheritedAndCompiledNamesInTheirGroups) {
  lookup("lcd");
  lookup("beep");
  InstallFunctionDetails("lcd", -10, 3, 0);
  InstallFunctionDetails("beep", -11, 0, 1);
  LASTNAME = namecount;
  lookup("counter");
  lookup("main");
  InstallFunctionDetails("main", 7, 1, 0);
  InstallFunctionDetails("helper", 20, 0, 0);
  InstallFunctionDetails("main", 30, 2, 1);   // the later entry wins
  nfun = 3;
  hasMain = 1;
  codesize = 41;
  curgloboffs = 4;
  main_stackSize = 200;
  EXPECT_EQ(summary(), std::string(kReserved) +
                           "\n[INHERITED]\nlcd\nbeep\n\n[COMPILED]\ncounter\nmain\n" + kBuiltins +
                           "name=lcd  funcid=-10  funargcnt=3 funcreturns=0\n"
                           "name=beep  funcid=-11  funargcnt=0 funcreturns=1\n"
                           "\n[USER FUNCTIONS]\nUser functions = 3\n"
                           "name=main  funcid=7  funargcnt=1 funcreturns=0\n"
                           "name=helper  funcid=20  funargcnt=0 funcreturns=0\n"
                           "name=main  funcid=30  funargcnt=2 funcreturns=1\n"
                           "\n[COMPLETED]\n:PROGRAM\ncode[41];\nmem[4];\nargcount 2;\n"
                           "retval YES;\nstacksize 200;\n");
  EXPECT_EQ(main_argcount, 2);
  EXPECT_EQ(main_hasret, 1);
}

TEST_F(Reports, ProgramWhoseMainReturnsNothing) {
  lookup("main");
  InstallFunctionDetails("main", 7, 0, 0);
  nfun = 1;
  hasMain = 1;
  codesize = 8;
  curgloboffs = 1;
  main_stackSize = 64;
  std::string s = summary();
  EXPECT_EQ(s.substr(s.find("\n[COMPLETED]")),
            "\n[COMPLETED]\n:PROGRAM\ncode[8];\nmem[1];\nargcount 0;\nretval NO;\nstacksize 64;\n");
}

}  // namespace
}  // namespace tavo
