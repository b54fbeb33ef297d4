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

#ifdef __linux__
#include <sys/mman.h>
#include <sys/prctl.h>
#endif

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

#ifdef __linux__
// A table's pages come in runs that start where the last one ended and at
// least quadruple the part marked, never past the table's end. The pages must
// be present afterwards (they are, once a page has been written, so only
// the ones no test wrote are checked).
TEST(PageMark, MarkedPagesArePresentAndGrowFourfold) {
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  const size_t pages = 64;
  void* mem = mmap(nullptr, pages * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                   -1, 0);
  ASSERT_NE(mem, MAP_FAILED);
#ifdef MADV_POPULATE_WRITE
  void* probe = mmap(nullptr, page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  bool can = madvise(probe, page, MADV_POPULATE_WRITE) == 0;
  munmap(probe, page);
  if (!can) GTEST_SKIP() << "the system cannot make pages present on request";
#else
  GTEST_SKIP() << "the system cannot make pages present on request";
#endif
  auto present = [&] {
    std::vector<unsigned char> v(pages);
    mincore(mem, pages * page, v.data());
    size_t n = 0;
    while (n < pages && (v[n] & 1)) n++;
    for (size_t k = n; k < pages; k++) EXPECT_FALSE(v[k] & 1) << "page " << k;
    return n;
  };
  const PageMark::Table table{mem, 1, pages * page};
  PageMark mark;
  EXPECT_EQ(present(), 0u);
  mark.reach(10, table);             // the first step: 256 bytes
  EXPECT_EQ(mark.done, 256u);
  mark.reach(2 * page + 1, table);   // more than four times
  EXPECT_EQ(mark.done, 2 * page + 1);
  mark.reach(2 * page + 2, table);   // four times
  EXPECT_EQ(mark.done, 8 * page + 4);
  EXPECT_EQ(present(), 9u);
  mark.reach(pages * page * 3, table);   // never past the end
  EXPECT_EQ(present(), pages);
  munmap(mem, pages * page);
}
#endif

#if defined(TAVO_BSS_WINDOW)
extern "C" char tavo_bss_begin[], tavo_bss_end[];

// The tables lie in whole 2 MB pages of their own, which the program asks for
// as huge pages at start-up wherever the system has them.
TEST(PageMark, TablesLieInAWindowAskedForAsHugePages) {
  const auto begin = reinterpret_cast<uintptr_t>(tavo_bss_begin);
  const auto end = reinterpret_cast<uintptr_t>(tavo_bss_end);
  constexpr uintptr_t huge = 2 << 20;
  EXPECT_EQ(begin % huge, 0u);
  EXPECT_EQ(end % huge, 0u);
  auto inside = [&](const void* p, size_t n) {
    auto a = reinterpret_cast<uintptr_t>(p);
    return a >= begin && a + n <= end;
  };
  EXPECT_TRUE(inside(names, sizeof names));
  EXPECT_TRUE(inside(symtab, sizeof symtab));
  EXPECT_TRUE(inside(code, sizeof code));
  EXPECT_TRUE(inside(auxbuf, sizeof auxbuf));

  std::string thp = test::slurp("/sys/kernel/mm/transparent_hugepage/enabled");
  if (thp.empty() || thp.find("[never]") != std::string::npos)
    GTEST_SKIP() << "the system has no huge pages to give";
  if (prctl(PR_GET_THP_DISABLE, 0, 0, 0, 0) == 1)
    GTEST_SKIP() << "huge pages are turned off for this process";
  // The window's mapping, and the flags the system keeps for it.
  std::string maps = test::slurp("/proc/self/smaps");
  if (maps.empty()) GTEST_SKIP() << "no /proc/self/smaps to read";
  char head[32];
  std::snprintf(head, sizeof head, "%08lx-", static_cast<unsigned long>(begin));
  size_t at = maps.find(std::string("\n") + head);
  ASSERT_NE(at, std::string::npos);
  size_t flags = maps.find("VmFlags:", at);
  ASSERT_NE(flags, std::string::npos);
  std::string line = maps.substr(flags, maps.find('\n', flags) - flags) + " ";
  EXPECT_NE(line.find(" hg "), std::string::npos) << line;
}
#endif

}  // namespace
}  // namespace tavo
