// The lexer, the parsing primitives and the diagnostics they report through.
#include <gtest/gtest.h>

#include <cstdlib>
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
  symtab[symtop].alias = alias ? strdup(alias) : nullptr;
  symtab[symtop].type = type;
  symtab[symtop].value = value;
  symtop++;
}

}  // namespace

TEST(Lexer, NumbersInThreeRadixes) {
  EXPECT_EQ(tokens("0x1F"), V{CONST + "31"});
  EXPECT_STREQ(symbol, "01F");
  EXPECT_EQ(tokens("0b101 017 0x"), (V{CONST + "5", CONST + "17", CONST + "0"}));
  EXPECT_EQ(tokens("0X10"), (V{CONST + "0", NAME + "X10"}));
  EXPECT_EQ(tokens("0b2"), (V{CONST + "0", CONST + "2"}));
  EXPECT_EQ(tokens("12ab"), (V{CONST + "12", NAME + "ab"}));
  // A 'b' after any first digit selects base 2; only 'x' needs a leading 0.
  EXPECT_EQ(tokens("1b101 5b 12b"), (V{CONST + "13", CONST + "5", CONST + "12", NAME + "b"}));
  EXPECT_EQ(tokens("4294967297"), V{CONST + "1"});   // wraps at 32 bits
  EXPECT_EQ(errors(), "");
}

TEST(Lexer, OperatorsTakeTheLongestMatch) {
  EXPECT_EQ(tokens("a:=b"), (V{NAME + "a", std::to_string(TOK_ASSIGN), NAME + "b"}));
  EXPECT_EQ(tokens("a: b"), (V{NAME + "a", std::to_string(TOK_LABEL), NAME + "b"}));
  EXPECT_EQ(genpop, 1);
  EXPECT_EQ(tokens("<< <= < >> >= > != ! && & || | ++ + -- - == ^ % * /"),
            (V{"3091", "2072", "2056", "3103", "2059", "2074", "2055", "3089", "1027", "1541",
               "770", "1284", "3092", "2572", "3093", "2573", "2054", "1820", "2832", "2830",
               "2831"}));
  EXPECT_EQ(tokens("( ) , . ; [ ] { } $ #"),
            (V{"40", "41", "44", "46", "59", "91", "93", "123", "125", "8195", "8196"}));
  EXPECT_EQ(errors(), "");
}

TEST(Lexer, ReservedWordsAreCaseSensitiveKeywordTokens) {
  EXPECT_EQ(tokens("if lookup16 If CONST constant"),
            (V{"200", "232", NAME + "If", "224", "221"}));
}

TEST(Lexer, ALoneEqualsIsReportedAndReadAsEq) {
  EXPECT_EQ(tokens("a = b"), (V{NAME + "a", std::to_string(TOK_EQ), NAME + "b"}));
  EXPECT_EQ(errors(), "Unknown assignment operator in line 1, column 2 (pass2)\n");
}

TEST(Lexer, CharacterConstants) {
  EXPECT_EQ(tokens("'A' 'AB' '\\n'"), (V{CONST + "65", CONST + "16961", CONST + "10"}));
  EXPECT_EQ(errors(), "");
  EXPECT_EQ(tokens("'' 'ABC'"), (V{CONST + "0", CONST + "65"}));
  EXPECT_EQ(errors(),
            "only 1 or 2 character constants allowed in line 1, column 1 (pass2)\n"
            "only 1 or 2 character constants allowed in line 1, column 4 (pass2)\n");
}

TEST(Lexer, StringsAndEscapes) {
  EXPECT_EQ(tokens("\"a\\\"b\\t\\\\\""), V{std::to_string(TOK_STRING)});
  EXPECT_STREQ(symbol, "a\"b\t\\");
  EXPECT_EQ(strsize, 6);
  EXPECT_EQ(stringsize, 5);
  // A string cannot run on into the next line.
  EXPECT_EQ(tokens("\"abc\nxy"), (V{std::to_string(TOK_STRING), NAME + "y"}));
  EXPECT_STREQ(symbol, "abc");
  EXPECT_EQ(errors(), "Missing closing quote in line 1, column 1 (pass2)\n");
  // At the end of input a string needs no closing quote.
  EXPECT_EQ(tokens("\"abc"), V{std::to_string(TOK_STRING)});
  EXPECT_EQ(errors(), "");
}

TEST(Lexer, Comments) {
  EXPECT_EQ(tokens("/*/x"), V{NAME + "x"});
  EXPECT_EQ(tokens("a /* b \n c */ d // e\nf"), (V{NAME + "a", NAME + "d", NAME + "f"}));
  EXPECT_EQ(errors(), "");
  EXPECT_EQ(tokens("a /* b"), V{NAME + "a"});
  EXPECT_EQ(errors(), "End of file encountered without finding closing '*/' in line 1, column 2 (pass2)\n");
}

TEST(Lexer, LineCommentOnTheLastLine) {
  // The scan began right after the a, before the line end was skipped.
  EXPECT_EQ(tokens("a\n// end\n"), V{NAME + "a"});
  EXPECT_EQ(errors(), "Unexpected end of file encountered in line 1, column 2 (pass2)\n");
  EXPECT_EQ(tokens("a\n// end"), V{NAME + "a"});
  EXPECT_EQ(errors(), "Unexpected end of file encountered in line 1, column 2 (pass2)\n");
}

TEST(Lexer, UnknownSymbolDropsTheNextCharacter) {
  EXPECT_EQ(tokens("?xy"), (V{"0", NAME + "y"}));
  EXPECT_EQ(errors(), "Symbol not understood in line 1, column 1 (pass2)\n");
}

TEST(Lexer, EndOfInputStays) {
  startSource("a");
  EXPECT_EQ(getlex(), TOK_NAME);
  EXPECT_EQ(getlex(), TOK_EOF);
  EXPECT_EQ(getlex(), TOK_EOF);
  EXPECT_EQ(next(), -1);
}

TEST(Lexer, PositionsCountFromOneOnTheFirstLineOnly) {
  startSource("ab\ncd");
  getlex();
  getlex();
  // The scan of cd began where ab ended: line 1, after 2 characters + 1.
  EXPECT_EQ(errline, 1);
  EXPECT_EQ(errcol, 3);
  EXPECT_EQ(currline, 2);
  EXPECT_EQ(currcol, 2);
}

TEST(Lexer, CrLfReadsAsLf) {
  EXPECT_EQ(tokens("a\r\nb\rc"), (V{NAME + "a", NAME + "b", NAME + "c"}));
  startSource("ab\r\ncd");
  getlex();
  getlex();
  EXPECT_EQ(errcol, 3);   // the CR is not counted
}

TEST(Lexer, DefinedNamesComeFirst) {
  startSource("K S T W x");
  captureErrors();
  define("K", TOK_CONST, "5", 5);
  define("S", TOK_STRING, "hi", 0);
  define("T", KW_BYTE, "byte table at prog[7], 3 bytes used", 0x8007);
  define("W", 0, nullptr, 0x800A);   // still being defined
  lookup("K");   // a name both defined and in the pool is the constant
  EXPECT_EQ(getlex(), TOK_CONST);
  EXPECT_EQ(lexval, 5);
  EXPECT_STREQ(symbol, "5");
  EXPECT_EQ(getlex(), TOK_STRING);
  EXPECT_EQ(strsize, 3);
  EXPECT_EQ(stringsize, 2);
  EXPECT_EQ(getlex(), KW_BYTE);
  EXPECT_EQ(lexval, 0x8007);
  EXPECT_EQ(getlex(), 0);
  EXPECT_EQ(lexval, 0x800A);
  EXPECT_STREQ(symbol, "");
  EXPECT_EQ(getlex(), TOK_NAME);
}

TEST(Lexer, AliasReadsAsTheOtherName) {
  startSource("A B");
  define("A", TOK_NAME, "while", 999);
  define("B", TOK_NAME, "counter", 999);
  EXPECT_EQ(getlex(), KW_WHILE);
  EXPECT_EQ(getlex(), TOK_NAME);
  EXPECT_STREQ(ident, "counter");
  EXPECT_EQ(lexval, lookup("counter"));
}

TEST(Lexer, MacrosExpandInPlace) {
  startSource("x := M;\ny");
  define("M", TOK_MACRO, " 1 + 2", 0);
  V got;
  for (int t; (t = getlex()) != TOK_EOF;) got.push_back(std::to_string(t));
  EXPECT_EQ(got, (V{"8192", "257", "8193", "2572", "8193", "59", "8192"}));
  // The newline saved behind the text of a macro still counts as a line.
  startSource("M\ny");
  define("M", TOK_MACRO, "1", 0);
  EXPECT_EQ(getlex(), TOK_CONST);
  EXPECT_EQ(getlex(), TOK_NAME);
  EXPECT_EQ(currline, 2);
  EXPECT_EQ(errline, 1);   // the scan of y began before the line end
}

TEST(Lexer, MacroInsideAMacroReplacesTheBuffer) {
  startSource("M;");
  define("M", TOK_MACRO, "N 7", 0);
  define("N", TOK_MACRO, "5", 0);
  EXPECT_EQ(getlex(), TOK_CONST);
  EXPECT_EQ(lexval, 5);
  // Neither the 7 of M nor the ';' saved behind it is delivered.
  EXPECT_EQ(getlex(), TOK_EOF);
}

TEST(Lexer, MacroChainsStopAt64Expansions) {
  auto chain = [](int n) {
    startSource("M0;");
    captureErrors();
    for (int i = 0; i < n; i++) {
      std::string nm = "M" + std::to_string(i);
      std::string text = i + 1 < n ? "M" + std::to_string(i + 1) : "42";
      define(nm.c_str(), TOK_MACRO, text.c_str(), 0);
    }
    return getlex();
  };
  EXPECT_EQ(chain(63), TOK_CONST);
  EXPECT_EQ(errors(), "");
  EXPECT_EQ(chain(64), 0);
  EXPECT_EQ(errors().rfind("macro expansion too deep in line 1", 0), 0u);
  EXPECT_EQ(macrosize, 0);
}

TEST(Lexer, OverlongTokensAreCutAndReported) {
  std::string longname(70, 'n');
  EXPECT_EQ(tokens(" " + longname + " x"), (V{NAME + std::string(69, 'n'), NAME + "x"}));
  EXPECT_EQ(errors(), "name too long (max 69 characters) in line 1, column 1 (pass2)\n");
  tokens(std::string(69, 'n') + " " + std::string(69, '7'));
  EXPECT_EQ(errors(), "");
  tokens(std::string(70, '1') + ";");
  EXPECT_EQ(std::strlen(symbol), 69u);
  EXPECT_EQ(errors(), "number too long (max 69 characters) in line 1, column 1 (pass2)\n");
  EXPECT_EQ(tokens("\"" + std::string(255, 's') + "\""), V{std::to_string(TOK_STRING)});
  EXPECT_EQ(errors(), "");
  EXPECT_EQ(tokens("\"" + std::string(300, 's') + "\" x"), (V{std::to_string(TOK_STRING), NAME + "x"}));
  EXPECT_EQ(stringsize, 255);
  EXPECT_EQ(errors(), "string too long (max 255 characters) in line 1, column 1 (pass2)\n");
}

// ---------------------------------------------------------------------------

TEST(Primitives, MatchAdvancesOnlyOnItsToken) {
  startSource("a ;");
  token = getlex();
  oldtoken = 7;
  EXPECT_EQ(match(';'), 0);
  EXPECT_EQ(token, TOK_NAME);
  EXPECT_EQ(oldtoken, 7);
  EXPECT_EQ(match(TOK_NAME), 1);
  EXPECT_EQ(oldtoken, TOK_NAME);
  EXPECT_EQ(token, ';');
}

TEST(Primitives, ExpectReportsAtTheReader) {
  startSource("abc def");
  captureErrors();
  token = getlex();
  expect(';');   // the reader is past "abc": column 4 on the first line
  EXPECT_EQ(errors(), "Expected a ';' in line 1, column 4 (pass2)\n");
  EXPECT_EQ(token, TOK_NAME);
  EXPECT_EQ(nextchar, 'e');   // error dropped ' ', expect dropped 'd'
}

TEST(Primitives, ExpectTokenNamesKeywords) {
  startSource("x");
  captureErrors();
  token = getlex();
  expectToken(KW_END);
  expectToken(TOK_STRING);
  EXPECT_EQ(errors(),
            "Expected keyword 'END' in line 1, column 1 (pass2)\n"
            "Expected token 8194 in line 1, column 1 (pass2)\n");
}

TEST(Primitives, ExpectEOLAllowsBlanksAndComments) {
  const char* good[] = {"   \nx", "\t// note\nx", " /* c */ \nx", "/* c */  // d\nx", "\r\nx"};
  for (const char* text : good) {
    startSource(text);
    captureErrors();
    expectEOL();
    EXPECT_EQ(errors(), "") << text;
    EXPECT_EQ(nextchar, '\n') << text;
  }
  const char* bad[] = {" word\nx", " /* c */ y\nx", ""};
  for (const char* text : bad) {
    startSource(text);
    captureErrors();
    expectEOL();
    EXPECT_EQ(errors().rfind("Unexpected parameters at EOL", 0), 0u) << text;
    EXPECT_TRUE(nextchar == '\n' || nextchar == -1) << text;
  }
}

TEST(Primitives, TypeAndName) {
  startSource("var * count x");
  captureErrors();
  token = getlex();
  type();
  EXPECT_EQ(token, TOK_NAME);
  EXPECT_EQ(name(), lookup("count"));
  EXPECT_EQ(errors(), "");
  type();
  EXPECT_EQ(errors(),
            "expected VAR in line 1, column 12 (pass2)\n"
            "Expected keyword 'var' in line 1, column 12 (pass2)\n");
  startSource("5");
  captureErrors();
  token = getlex();
  lexval = 77;
  EXPECT_EQ(name(), 77);   // lexval as it stood, after the report
  EXPECT_EQ(errors(), "name expected in line 1, column 1 (pass2)\n");
}

// ---------------------------------------------------------------------------

TEST(Diagnostics, PositionSuffix) {
  startSource("abc");
  captureErrors();
  pass = 1;
  errline = 4;
  errcol = 0;
  error("first");
  errcol = 9;
  error("second");
  EXPECT_EQ(errors(), "first in line 4 (pass1)\nsecond in line 4, column 9 (pass1)\n");
  EXPECT_EQ(ecount, 1);
  EXPECT_EQ(nextchar, 'c');   // each report drops one character
  fatal_error("Can't create hex file", 4);
  EXPECT_EQ(errors().substr(errors().size() - 21), "Can't create hex file");
}

TEST(Diagnostics, LongMessagesAreNotCut) {
  startSource("");
  captureErrors();
  errline = 1;
  errcol = 0;
  std::string big(500, 'x');
  errorf("File '%s' not found", big.c_str());
  EXPECT_EQ(errors(), "File '" + big + "' not found in line 1 (pass2)\n");
}

TEST(Diagnostics, NoErrorFileStillCounts) {
  startSource("");
  error("dropped");
  EXPECT_EQ(ecount, 1);
  EXPECT_EQ(eputchar('x'), 0);
}
