// The listing decoder on hand-built images, for what no compiled image
// holds: the instructions only an image file can carry, strings with odd
// bytes or cut short, and walks that must not look past their end. Expected
// texts are written out in full, column for column: address in 5, ": ",
// bytes padded to column 16, text from 17.
#include <gtest/gtest.h>

#include <climits>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "output/output.h"
#include "testutil.h"

namespace tavo {
namespace {

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
    std::string s = test::readAll(fp);
    std::fclose(fp);
    return s;
  }
};

// Operands in the low nibble, the families the compiler never emits, the
// exit and allocation forms of 0x40, and where a pushed function address
// turns into a platform function's token.
TEST_F(Listing, FormsOnlyAnImageFileHolds) {
  int end = put(100, {0x1B, 0x21, 0x5F, 0x84, 0x02, 0xA4, 0x04, 0xC1, 0xFE,
                      0x40, 0x41, 0x48, 0x00, 0x01, 0x68, 0xFE, 0x7F, 0x68, 0xFF, 0x7F});
  EXPECT_EQ(list(100, end),
            "100  : 1B       SET INDEX OFFSET\n"
            "101  : 21       CALL [1]\n"
            "102  : 5F       PUSH CONST 15\n"
            "103  : 8402     PUSH LOCAL 2\n"
            "105  : A404     PUSH ARG 4\n"
            "107  : C1       PUSH GLOBAL 1\n"
            "108  : FE       JTRUE 14\n"
            "109  : 40       EXIT\n"
            "110  : 41       ALLOCATE STACK SPACE 1\n"
            "111  : 480001   ALLOCATE STACK SPACE 256\n"
            "114  : 68FE7F   PUSH FUNCTION ADDRESS 32766\n"
            "117  : 68FF7F   PUSH FUNCTION TOKEN -32769\n");
}

// Inline bytes from 0x20 to 0x7F show as themselves, others as a full stop;
// the last gives way to the closing quote, terminator or not.
TEST_F(Listing, StringsShowTheirInlineBytes) {
  int a = put(7, {0x34, 0x05, 'a', '\t', 0x7F, 0x80, 0});
  a = put(a, {0x32, ' ', 0});   // count in the nibble
  a = put(a, {0x38, 0x02, 0x00, 'Q', 'R'});
  EXPECT_EQ(list(7, a),
            "7    : 3405     PUSH STRING 5 \"a.\x7F.\"\n"
            "14   : 32       PUSH STRING 2 \" \"\n"
            "17   : 380200   PUSH STRING 2 \"Q\"\n");
}

// An instruction cut short by the end of the image is decoded with the bytes
// the code array holds after it: zeros, or the operand a patch wrote past
// the last byte stored. Past the array the bytes count as zero (the
// sanitizer build checks the reads).
TEST_F(Listing, InstructionsCutShortByTheEnd) {
  put(0, {0x58, 0x12, 0x34});
  EXPECT_EQ(list(0, 1), "0    : 581234   PUSH CONST 13330\n");
  code[1] = code[2] = 0;
  EXPECT_EQ(list(0, 1), "0    : 580000   PUSH CONST 0\n");
  code[MAXCODE - 1] = 0x38;
  EXPECT_EQ(list(MAXCODE - 1, MAXCODE + 5), "12287: 380000   PUSH STRING 0 \"\n");
  code[MAXCODE - 2] = 0x3F;
  EXPECT_EQ(list(MAXCODE - 2, MAXCODE), "12286: 3F       PUSH STRING 15 \"8.............\"\n");
}

// Random images: the listing of [from, to) never depends on the bytes before
// from, whatever the bytes inside are.
TEST_F(Listing, RandomImagesDependOnlyOnTheirOwnBytes) {
  std::mt19937 rng(20240611);
  for (int round = 0; round < 100; round++) {
    int to = static_cast<int>(rng() % (MAXCODE + 1));
    int from = to == 0 ? 0 : static_cast<int>(rng() % 16);
    hasMain = static_cast<int>(rng() % 2);
    for (int i = 0; i < MAXCODE; i++) code[i] = static_cast<unsigned char>(rng());
    for (int i = to; i < MAXCODE; i++) code[i] = 0;
    std::string before = list(from, to);
    for (int i = 0; i < from; i++) code[i] = 0x3F;
    ASSERT_EQ(list(from, to), before) << "round " << round << ", image " << from << ".." << to;
  }
}

// The log's pieces: numbers at their extremes, fields shorter and longer
// than their text, and texts longer than the log's buffer, in order.
TEST(AuxLog, PiecesInOrderAcrossTheBuffer) {
  resetAll();
  aux_fp = std::tmpfile();
  std::string big(AUXBUFSIZE + 10, 'x');
  std::string expect;
  for (int round = 0; round < 3; round++) {
    auxline("n=", 0, " ", -7, " ", INT_MIN, " ", INT_MAX, "\n");
    expect += "n=0 -7 -2147483648 2147483647\n";
    auxline(Field{"ab", 5}, Field{"abcdef", 3}, Field{"", 25}, "|\n");
    expect += "ab   abcdef" + std::string(25, ' ') + "|\n";
    auxline(big.c_str(), Field{big, 4}, "\n");
    expect += big + big + "\n";
  }
  auxflush();
  EXPECT_EQ(test::readAll(aux_fp), expect);
  std::fclose(aux_fp);
  aux_fp = nullptr;
}


}  // namespace
}  // namespace tavo
