// The lexer and the parsing primitives, where a whole compilation cannot
// show the difference: number edges, strings and comments at the edges,
// aliases of reserved words, macros in macros, overlong tokens, and what
// may end a line.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "testutil.h"

using namespace tavo;
using tavo::test::captureErrors;
using tavo::test::errors;
using tavo::test::startSource;

namespace {

// Every token of the source up to the end of input, as "code:value" for
// numbers and "code" otherwise.
std::vector<std::string> tokens(const std::string& text) {
  startSource(text);
  captureErrors();
  std::vector<std::string> out;
  for (int i = 0; i < 100; i++) {
    token = getlex();
    if (token == TOK_EOF) break;
    std::string s = std::to_string(token);
    if (token == TOK_CONST) s += ":" + std::to_string(lexval);
    if (token == TOK_NAME) s += ":" + std::string(ident);
    out.push_back(s);
  }
  return out;
}

using V = std::vector<std::string>;
const std::string NAME = std::to_string(TOK_NAME) + ":";
const std::string CONST = std::to_string(TOK_CONST) + ":";

void define(const char* nm, int type, const char* alias, int value) {
  ASSERT_EQ(appendK(nm), 0);
  symtab[symtop].alias = alias ? keeptext(alias) : nullptr;
  symtab[symtop].type = type;
  symtab[symtop].value = value;
  symtop++;
}

}  // namespace

TEST(Lexer, NumberEdges) {
  // Only "0x" selects base 16; a 'b' after the first digit selects base 2,
  // even with no digits after it; a digit beyond the base ends the number.
  EXPECT_EQ(tokens("0x 0X10 1x"), (V{CONST + "0", CONST + "0", NAME + "X10", CONST + "1", NAME + "x"}));
  EXPECT_EQ(tokens("0b2 5b 12b 12ab"),
            (V{CONST + "0", CONST + "2", CONST + "5", CONST + "12", NAME + "b", CONST + "12", NAME + "ab"}));
  EXPECT_EQ(errors(), "");
}

TEST(Lexer, StringsAndCommentsAtTheEdges) {
  // At the end of input a string needs no closing quote.
  EXPECT_EQ(tokens("\"abc"), V{std::to_string(TOK_STRING)});
  EXPECT_STREQ(symbol, "abc");
  EXPECT_EQ(errors(), "");
  // An empty character constant is as wrong as a long one.
  EXPECT_EQ(tokens("''"), V{CONST + "0"});
  EXPECT_EQ(errors(), "only 1 or 2 character constants allowed in line 1, column 1 (pass2)\n");
  // The '*' that opens a comment may also close it.
  EXPECT_EQ(tokens("/*/x"), V{NAME + "x"});
  EXPECT_EQ(errors(), "");
}

// An alias is looked up as the other name: a reserved word gives its token.
// A macro met inside a macro's text replaces the buffer, so the rest of the
// outer text and the character saved behind it are lost.
TEST(Lexer, AliasesAndNestedMacros) {
  startSource("A");
  define("A", TOK_NAME, "while", 999);
  EXPECT_EQ(getlex(), KW_WHILE);

  startSource("M;");
  define("M", TOK_MACRO, "N 7", 0);
  define("N", TOK_MACRO, "5", 0);
  EXPECT_EQ(getlex(), TOK_CONST);
  EXPECT_EQ(lexval, 5);
  EXPECT_EQ(getlex(), TOK_EOF);
}

// A token over its limit is read to its end and kept cut to the limit; the
// report gives where its scan began.
TEST(Lexer, OverlongTokensAreCutAndReadToTheirEnd) {
  EXPECT_EQ(tokens(" " + std::string(70, 'n') + " x"), (V{NAME + std::string(69, 'n'), NAME + "x"}));
  EXPECT_EQ(errors(), "name too long (max 69 characters) in line 1, column 1 (pass2)\n");
  V number = tokens(std::string(70, '1') + " x");
  EXPECT_EQ(number.size(), 2u);
  EXPECT_EQ(number.back(), NAME + "x");
  EXPECT_EQ(std::strlen(symbol), 69u);
  EXPECT_EQ(errors(), "number too long (max 69 characters) in line 1, column 1 (pass2)\n");
  EXPECT_EQ(tokens("\"" + std::string(300, 's') + "\" x"), (V{std::to_string(TOK_STRING), NAME + "x"}));
  EXPECT_EQ(stringsize, 255);
  EXPECT_EQ(errors(), "string too long (max 255 characters) in line 1, column 1 (pass2)\n");
}

// ---------------------------------------------------------------------------

TEST(Primitives, ExpectEOLAllowsBlanksAndComments) {
  auto eol = [](const char* text) {
    startSource(text);
    captureErrors();
    expectEOL();
    return errors();
  };
  for (const char* text : {"   \nx", "\t// note\nx", " /* c */ \nx", "/* c */  // d\nx", "\r\nx"}) {
    EXPECT_EQ(eol(text), "") << text;
    EXPECT_EQ(nextchar, '\n') << text;
  }
  for (const char* text : {" word\nx", " /* c */ y\nx", ""}) {
    EXPECT_EQ(eol(text).rfind("Unexpected parameters at EOL", 0), 0u) << text;
    EXPECT_TRUE(nextchar == '\n' || nextchar == -1) << text;
  }
}

// type takes var and an optional '*'; name gives the index of the name it
// read, not of the one after it.
TEST(Primitives, TypeAndName) {
  startSource("var * count x");
  captureErrors();
  token = getlex();
  type();
  EXPECT_EQ(name(), lookup("count"));
  EXPECT_EQ(token, TOK_NAME);
  EXPECT_EQ(errors(), "");
}
