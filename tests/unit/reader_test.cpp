// The reader: blanks, names and comment lines are passed over as runs of
// bytes, and must leave the lookahead, line and column exactly where
// consuming one character at a time leaves them, CR LF pairs included. A
// source is read from its mapping when it is a regular file, else in 64 KiB
// blocks (here: through a pipe), whose boundaries must not show.
#include <gtest/gtest.h>
#include <unistd.h>

#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "testutil.h"

using namespace tavo;

namespace {

// One character at a time over what the reader delivers: the text without
// the CR of each CR LF pair. Positions as the reader keeps them: line 1,
// column 1 with the first character as the lookahead.
struct Model {
  std::string raw, d;
  size_t i = 0;
  size_t at = 0;   // offset in raw of the lookahead
  int line = 1, col = 1;

  explicit Model(const std::string& text) : raw(text) {
    for (size_t k = 0; k < text.size(); k++)
      if (!(text[k] == '\r' && k + 1 < text.size() && text[k + 1] == '\n')) d += text[k];
  }
  int look() const { return i < d.size() ? static_cast<unsigned char>(d[i]) : -1; }
  void consume() {
    if (i >= d.size()) return;
    char r = d[i++];
    col++;
    if (r == '\n') {
      line++;
      col = 0;
    }
  }
  void trash() {
    while (look() != '\n' && look() != -1) consume();
  }
  // Consumes what the reader delivers of the raw text up to offset end.
  void consumeTo(size_t end) {
    for (; at < end; at++)
      if (!(raw[at] == '\r' && at + 1 < raw.size() && raw[at + 1] == '\n')) consume();
  }
};

constexpr size_t BLOCK = 1 << 16;   // the reader's buffer

std::string randomLine(std::mt19937& rng, size_t len) {
  static const char chars[] = "abcxyz019 _\t\r*/";
  std::string s;
  for (size_t k = 0; k < len; k++) s += chars[rng() % (sizeof chars - 1)];
  return s;
}

// Starts reading text as the source, from a file or through a pipe.
class Reader : public ::testing::TestWithParam<bool> {
 protected:
  void start(const std::string& text) {
    if (!GetParam()) {
      test::startSource(text);
      return;
    }
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    writer = std::thread([fd = fds[1], text] {
      for (size_t at = 0; at < text.size();) {
        ssize_t n = write(fd, text.data() + at, text.size() - at);
        if (n <= 0) break;
        at += static_cast<size_t>(n);
      }
      close(fd);
    });
    test::startSource("");
    std::fclose(src_fp);
    src_fp = fdopen(fds[0], "rb");
    rewindSource();
    nextchar = readchar();
  }
  void TearDown() override {
    if (writer.joinable()) {
      while (nextchar != -1) next();   // lets the writer finish
      writer.join();
    }
    resetAll();
  }
  std::thread writer;
};

INSTANTIATE_TEST_SUITE_P(FileOrPipe, Reader, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Pipe" : "File"; });

#define EXPECT_AT(m, what)                      \
  do {                                          \
    ASSERT_EQ(nextchar, (m).look()) << (what);  \
    ASSERT_EQ(currline, (m).line) << (what);    \
    ASSERT_EQ(currcol, (m).col) << (what);      \
  } while (0)

}  // namespace

// Character by character: lone CRs, CR LF pairs and CR CR LF, some of them
// split by a block boundary.
TEST_P(Reader, EveryCharacterAcrossBlocks) {
  std::string text;
  for (size_t cut : {BLOCK, 2 * BLOCK, 3 * BLOCK, 4 * BLOCK}) {
    static const char* const pieces[] = {"x\ry", "\r\n", "\r\r\n", "\r"};
    const char* piece = pieces[cut / BLOCK - 1];
    text += std::string(cut - text.size() - 1, 'a') + piece + "z\n";
  }
  start(text);
  Model m(text);
  for (int step = 0; m.look() != -1; step++) {
    EXPECT_EQ(next(), m.look());
    m.consume();
    EXPECT_AT(m, step);
  }
}

TEST_P(Reader, TrashAcrossBlocksAndCrLfPairs) {
  std::mt19937 rng(7);
  std::string text;
  // A CR LF pair split by the first block boundary, then by the second.
  text += std::string(BLOCK - 1 - 3, 'a') + "abc\r\n";
  text += std::string(BLOCK - 2, 'b') + "\r\r\n";
  while (text.size() < 5 * BLOCK) {
    size_t len = rng() % 4 == 0 ? rng() % 100000 : rng() % 80;
    text += randomLine(rng, len);
    text += rng() % 2 ? "\r\n" : "\n";
  }
  text += "tail";
  start(text);
  Model m(text);
  EXPECT_AT(m, "start");
  for (int step = 0; m.look() != -1; step++) {
    if (rng() % 3) {
      trash();
      m.trash();
    } else {
      EXPECT_EQ(next(), m.look());
      m.consume();
    }
    EXPECT_AT(m, step);
  }
  trash();
  EXPECT_EQ(nextchar, -1);
}

// Block comments spanning lines and blocks, line comments, CRs that pair
// and CRs that do not: after each name the position is where the name ends.
TEST_P(Reader, CommentsKeepLinesAndColumns) {
  std::mt19937 rng(11);
  std::string text;
  std::vector<std::pair<std::string, size_t>> names;   // name, end in text
  int n = 0;
  while (text.size() < 4 * BLOCK) {
    switch (rng() % 4) {
      case 0: {   // a block comment of several lines, some long
        text += "/*";
        int lines = static_cast<int>(rng() % 6);
        for (int k = 0; k < lines; k++) {
          std::string line = randomLine(rng, rng() % 3 == 0 ? rng() % 30000 : rng() % 60);
          for (size_t at; (at = line.find("*/")) != std::string::npos;) line[at + 1] = '*';
          text += line;
          text += rng() % 2 ? "\r\n" : "\n";
        }
        text += "**/";
        break;
      }
      case 1:
        text += "// " + randomLine(rng, rng() % 200) + (rng() % 2 ? "\r\n" : "\n");
        break;
      case 2:
        text += rng() % 2 ? " \r\n\t" : "  ";
        break;
      default: {
        std::string nm = "n" + std::to_string(n++);
        text += nm;
        names.push_back({nm, text.size()});
        text += ' ';
      }
    }
  }
  text += "end\n";
  start(text);
  test::captureErrors();
  Model m(text);
  for (auto& [nm, end] : names) {
    ASSERT_EQ(getlex(), TOK_NAME);
    ASSERT_STREQ(ident, nm.c_str());
    m.consumeTo(end);
    EXPECT_AT(m, nm);
  }
  EXPECT_EQ(getlex(), TOK_NAME);
  EXPECT_EQ(getlex(), TOK_EOF);
  EXPECT_EQ(test::errors(), "");
}

// Short tokens after runs of blanks, line ends, lone CRs and CR LF pairs,
// some of them split by a block boundary: after each token the reader stands
// where consuming one character at a time leaves it, and the error position
// is the place where the blanks before the token began.
TEST_P(Reader, TokensAfterBlanksEndWhereTheyEnd) {
  struct Token {
    const char* text;
    int code;
    int value;   // of a number, which wraps at 32 bits
  };
  static const Token tokens[] = {
      {"n7", TOK_NAME, 0},  {"x", TOK_NAME, 0},         {"42", TOK_CONST, 42},
      {"9", TOK_CONST, 9},  {"4294967297", TOK_CONST, 1}, {",", ',', 0},
      {";", ';', 0},        {":=", TOK_ASSIGN, 0},      {"<=", TOK_LE, 0},
      {"a_longer_name_42", TOK_NAME, 0}};
  static const char* const blanks[] = {" ", "\t", "\n", "\r\n", "\r", "  \n    "};
  std::mt19937 rng(3);
  std::string text;
  struct Expected {
    const Token* token;
    size_t start, end;   // where the blanks before it begin, where it ends
  };
  std::vector<Expected> expected;
  while (text.size() < 3 * BLOCK) {
    size_t start = text.size();
    for (int k = static_cast<int>(rng() % 3); k >= 0; k--) text += blanks[rng() % 6];
    const Token& t = tokens[rng() % std::size(tokens)];
    text += t.text;
    expected.push_back({&t, start, text.size()});
  }
  text += " end";
  start(text);
  test::captureErrors();
  Model m(text);
  for (const Expected& x : expected) {
    m.consumeTo(x.start);
    const int line = m.line, col = m.col;
    ASSERT_EQ(getlex(), x.token->code) << x.start;
    if (x.token->code == TOK_NAME) {
      EXPECT_STREQ(ident, x.token->text);
    } else if (x.token->code == TOK_CONST) {
      EXPECT_EQ(lexval, x.token->value);
    }
    EXPECT_EQ(std::make_pair(errline, errcol), std::make_pair(line, col)) << x.start;
    m.consumeTo(x.end);
    EXPECT_AT(m, x.start);
  }
  EXPECT_EQ(getlex(), TOK_NAME);
  EXPECT_EQ(getlex(), TOK_EOF);
  EXPECT_EQ(test::errors(), "");
}

// Names of every length up to the longest kept, made of every character a
// name may hold, each ended by one of the bytes that may not continue it:
// the name is taken whole and that byte is the lookahead. The lines run
// across block boundaries, and the last names end near the end of the file.
TEST_P(Reader, NamesEndAtEveryByteThatEndsThem) {
  static const char alphabet[] = "ZqAzMn_09abcdefghijklmopqrstuvwxyBCDEFGHIJKLNOPQRSTUVWXY12345678";
  auto nameChar = [](int b) {
    return (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') || b == '_';
  };
  std::string text;
  std::vector<std::pair<std::string, int>> expected;
  for (int round = 0; text.size() < 2 * BLOCK; round++) {
    for (int b = 1; b < 256; b++) {
      if (nameChar(b) || b == '\n' || b == '\r') continue;
      // One name of each length, so that the pool never fills.
      size_t len = 1 + static_cast<size_t>(b * 13 + round * 7) % MAXNAMELEN;
      std::string name;
      for (size_t k = 0; k < len; k++) name += alphabet[(k + len) % (sizeof alphabet - 1)];
      name[0] = 'Z';   // never a reserved word or a number
      text += name + static_cast<char>(b) + " \n";
      expected.emplace_back(name, b);
    }
  }
  text += "Zend_of_the_file_near";   // a name that the end of the file ends
  expected.emplace_back("Zend_of_the_file_near", -1);
  start(text);
  test::captureErrors();
  for (const auto& [name, b] : expected) {
    ASSERT_EQ(getlex(), TOK_NAME) << name;
    ASSERT_EQ(std::string(ident), name);
    ASSERT_EQ(nextchar, b) << name;
    trash();
  }
  EXPECT_EQ(test::errors(), "");
}

TEST_P(Reader, LineCommentReachingTheEndOfALongFile) {
  std::string text = "a\n//" + std::string(3 * BLOCK, 'c');
  start(text);
  test::captureErrors();
  EXPECT_EQ(getlex(), TOK_NAME);
  EXPECT_EQ(getlex(), TOK_EOF);
  EXPECT_EQ(test::errors(), "Unexpected end of file encountered in line 1, column 2 (pass2)\n");
  EXPECT_EQ(currline, 2);
  EXPECT_EQ(currcol, static_cast<int>(3 * BLOCK + 2));
}

// An error reported at a token after comments is placed right after the
// last comment before it, the blanks after that comment not counted.
TEST_P(Reader, ErrorPositionAfterComments) {
  struct Case {
    const char* text;
    const char* error;
  } cases[] = {
      {"/* c */@", "Symbol not understood in line 1, column 8 (pass2)\n"},
      {"/*/@", "Symbol not understood in line 1, column 4 (pass2)\n"},
      {"a /* x\n y */ \t// z\r\n  @", "Symbol not understood in line 3 (pass2)\n"},
      {"a /* x\r\n y */ \t @", "Symbol not understood in line 2, column 5 (pass2)\n"},
      {"  \n  @", "Symbol not understood in line 1, column 1 (pass2)\n"},
  };
  for (const Case& c : cases) {
    start(c.text);
    test::captureErrors();
    while (getlex() != TOK_EOF) {
    }
    EXPECT_EQ(test::errors(), c.error) << c.text;
    TearDown();
  }
}

// The first pass notes long runs of blanks and comments in a mapped source,
// and the second steps over them. Read in two passes, with the first one
// taking every token or only the first of each line as the directive pass
// does, the second must still find every name where consuming one character
// at a time ends it, and place errors as reading the comments would.
TEST(CommentRuns, SecondPassFindsEveryNameWhereItEnds) {
  std::mt19937 rng(5);
  std::string text;
  std::vector<std::pair<std::string, size_t>> names;   // name, end in text
  for (int n = 0; text.size() < 3 * BLOCK;) {
    switch (rng() % 5) {
      case 0:   // a long comment on one line: a run with no line end
        text += "/*" + std::string(200 + rng() % 400, rng() % 2 ? 'x' : ' ') + "*/";
        break;
      case 1:   // comment lines, some of them long enough to be noted together
        for (int k = static_cast<int>(rng() % 8); k >= 0; k--)
          text += "  // " + randomLine(rng, rng() % 120) + (rng() % 2 ? "\r\n" : "\n");
        break;
      case 2: {   // a block comment of several lines
        std::string body = randomLine(rng, rng() % 700);
        for (size_t at; (at = body.find("*/")) != std::string::npos;) body[at + 1] = '*';
        text += "/*\n" + body + "\r\n*/";
        break;
      }
      case 3:
        text += rng() % 2 ? " \r\n\t" : "\n";
        break;
      default: {
        std::string nm = "n" + std::to_string(n++);
        text += nm;
        names.push_back({nm, text.size()});
        text += rng() % 3 ? " " : "\n";
      }
    }
  }
  text += "end\n";
  for (bool wholeLines : {false, true}) {
    test::startSource(text, 1);
    test::captureErrors();
    // The first pass, remembering where each error position was left.
    std::vector<std::pair<int, int>> errpos;
    for (int t; (t = getlex()) != TOK_EOF;) {
      errpos.push_back({errline, errcol});
      if (wholeLines) trash();
    }
    pass = 2;
    rewindSource();
    currline = currcol = 1;
    nextchar = readchar();
    Model m(text);
    for (size_t k = 0; k < names.size(); k++) {
      const auto& [nm, end] = names[k];
      ASSERT_EQ(getlex(), TOK_NAME) << wholeLines;
      ASSERT_STREQ(ident, nm.c_str());
      m.consumeTo(end);
      EXPECT_AT(m, nm);
      if (!wholeLines) {
        EXPECT_EQ(std::make_pair(errline, errcol), errpos[k]) << nm;
      }
    }
    EXPECT_EQ(getlex(), TOK_NAME);
    EXPECT_EQ(getlex(), TOK_EOF);
    EXPECT_EQ(test::errors(), "");
    resetAll();
  }
}
