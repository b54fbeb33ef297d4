// machine_test.cpp: the model machine on hand-made images, for the
// instructions and traps no compiled program reaches.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tavorun.h"

namespace {

using namespace tavorun;

// A program: the start-up header calling main at 7, main's code, and a
// summary with three globals (a b c at cells 1 2 3).
struct Image : ::testing::Test {
  Program prog;
  Machine m;
  Options opt;

  // Runs main = bytes (a RETURN is the caller's to add); returns the end.
  End run(std::vector<uint8_t> main, const std::string& extraAux = "") {
    prog = Program{};
    prog.image = {0x68, 0x07, 0x00, 0x24, 0x00, 0x44, 0x00};
    prog.image.insert(prog.image.end(), main.begin(), main.end());
    std::string aux = "[GLOBAL] a address=1 \n[GLOBAL] b address=2 \n[GLOBAL] c address=3 \n"
                      "[COMPILED] main address=7\n" + extraAux +
                      "name=main  funcid=7  funargcnt=0 funcreturns=0\n"
                      ":PROGRAM\ncode[0];\nmem[4];\nargcount 0;\nretval NO;\nstacksize 200;\n";
    std::string err;
    EXPECT_TRUE(parseAux(prog, aux, err)) << err;
    initMachine(m, prog, opt);
    startProgram(m);
    tavorun::run(m);
    return m.end;
  }
  Word global(int cell) const { return m.cell[cell]; }
};

// Never emitted, executed as their names say: PUSH LOCAL, PUSH ARG and
// PUSH GLOBAL load what the address forms point at.
TEST_F(Image, ValueFormsLoadWhatTheAddressFormsPointAt) {
  EXPECT_EQ(run({0xB4, 0x02, 0x54, 0x09, 0x01, 0x16,     // b := 9
                 0xB4, 0x01, 0xC4, 0x02, 0x01, 0x16,     // a := PUSH GLOBAL 2
                 0x74, 0x01, 0x54, 0x05, 0x01, 0x16,     // local 1 := 5
                 0xB4, 0x03, 0x84, 0x01, 0x01, 0x16,     // c := PUSH LOCAL 1
                 0x0A}),
            End::exit);
  EXPECT_EQ(global(1), 9);
  EXPECT_EQ(global(3), 5);
}

TEST_F(Image, PushArgLoadsTheArgument) {
  // main (7): f(42) at 20; f: a := PUSH ARG 0.
  EXPECT_EQ(run({0x64, 0x0F, 0x54, 0x2A, 0x24, 0x01, 0x16, 0x0A,   // 7..14
                 0xB4, 0x01, 0xA4, 0x00, 0x01, 0x16, 0x0A},       // 15..
                "[COMPILED] f address=15\n"),
            End::exit);
  EXPECT_EQ(global(1), 42);
}

// A long opcode whose low nibble is neither 4 nor 8 carries its operand in
// the nibble: 0x53 is PUSH CONST 3, 0xB1 PUSH ADDRESS OF GLOBAL 1.
TEST_F(Image, NibbleOperands) {
  EXPECT_EQ(run({0xB1, 0x53, 0x01, 0x16, 0x0A}), End::exit);
  EXPECT_EQ(global(1), 3);
}

TEST_F(Image, TrapsOnSetIndexOffset) {
  EXPECT_EQ(run({0x1B, 0x0A}), End::trap);
  EXPECT_NE(m.trapMessage.find("at 7 (SET INDEX OFFSET) in main: SET INDEX OFFSET, an instruction"),
            std::string::npos) << m.trapMessage;
}

TEST_F(Image, TrapsOnAnInstructionCutShort) {
  EXPECT_EQ(run({0x58, 0x01}), End::trap);   // PUSH CONST with one operand byte of two
  EXPECT_NE(m.trapMessage.find("cut short by the end of the image"), std::string::npos);
  EXPECT_EQ(run({0x34, 0x05, 0x41, 0x00}), End::trap);   // PUSH STRING 5 with two bytes
}

TEST_F(Image, TrapsOnALocalBeyondTheFrame) {
  EXPECT_EQ(run({0x74, 0x04, 0x0A}), End::trap);   // four slots: 0 .. 3
  EXPECT_NE(m.trapMessage.find("local 4 of a frame with 4 slots"), std::string::npos);
  EXPECT_EQ(run({0x44, 0x06, 0x74, 0x05, 0x16, 0x0A}), End::exit);   // after ALLOCATE 6
}

TEST_F(Image, TrapsOnAnUndeclaredPlatformFunction) {
  EXPECT_EQ(run({0x68, 0xEC, 0xFF, 0x24, 0x00, 0x16, 0x0A}), End::trap);   // -20
  EXPECT_NE(m.trapMessage.find("platform function -20, which no file declares"), std::string::npos);
}

TEST_F(Image, TrapsOnAnEmptyStack) {
  EXPECT_EQ(run({0x16, 0x0A}), End::trap);   // DROP with nothing pushed
  EXPECT_NE(m.trapMessage.find("stack underflow"), std::string::npos);
  EXPECT_EQ(run({0x54, 0x01, 0x24, 0x03, 0x0A}), End::trap);   // CALL [3] with one value
}

// A subroutine left by a jump back to its gosub nests one level deeper each
// time round; the 65th level traps (G8).
TEST_F(Image, TrapsOnGosubNestingBeyond64) {
  // 7: PUSH FUNCTION ADDRESS 10, GOSUB (at 9) ... 10: JUMP 7
  EXPECT_EQ(run({0x64, 0x0A, 0x09, 0xD8, 0x07, 0x00}), End::trap);
  EXPECT_NE(m.trapMessage.find("gosub nesting deeper than 64"), std::string::npos);
  EXPECT_EQ(m.frames.back().gosubs.size(), 64u);
}

TEST_F(Image, TrapsOnACallIntoData) {
  // main calls 12, which lies in a data table (12..13).
  EXPECT_EQ(run({0x64, 0x0C, 0x24, 0x00, 0x0A, 0x00, 0x00},
                "T                   BYTE[]  byte table at prog[12], 2 bytes used\n"),
            End::trap);
  EXPECT_NE(m.trapMessage.find("call to 12, which lies in a data table"), std::string::npos);
}

TEST_F(Image, TrapsOnAReturnWithoutACall) {
  // The header jumps over main's call: 0: JUMP 6, then RETURN at 6.
  prog = Program{};
  prog.image = {0xD8, 0x06, 0x00, 0x00, 0x00, 0x00, 0x0A};
  std::string err;
  ASSERT_TRUE(parseAux(prog, "[COMPILED] main address=7\n:PROGRAM\nmem[1];\n", err));
  initMachine(m, prog, opt);
  startProgram(m);
  tavorun::run(m);
  EXPECT_EQ(m.end, End::trap);
  EXPECT_NE(m.trapMessage.find("RETURN without a call"), std::string::npos) << m.trapMessage;
}

// The summary is what makes an image runnable; without it nothing runs.
TEST(Summary, RequiredAndRead) {
  Program p;
  p.image.assign(20, 0);
  std::string err;
  EXPECT_FALSE(parseAux(p, "[COMPILED] main address=7\n", err));
  EXPECT_NE(err.find("no summary"), std::string::npos);
  Program q;
  q.image.assign(20, 0);
  ASSERT_TRUE(parseAux(q, "[GLOBAL] a address=1 \n[GLOBAL] t address=2 \n[COMPILED] f address=7\n"
                          "[COMPILED] g address=12\n:PROGRAM\nmem[6];\nstacksize 40;\n", err));
  EXPECT_EQ(q.stacksize, 40);
  ASSERT_EQ(q.globals.size(), 2u);
  EXPECT_EQ(q.globals[1].size, 4);   // t reaches up to mem
  const Function* f = findFunction(q, "f");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->end, 12);
  EXPECT_EQ(findFunction(q, "g")->end, 20);
}

TEST(Readings, ParsedByName) {
  Readings r;
  std::string err;
  EXPECT_TRUE(setReading(r, "G3=unsigned", err));
  EXPECT_EQ(r.choice[G3], G3_UNSIGNED);
  EXPECT_TRUE(setReading(r, "g7b=search", err));
  EXPECT_EQ(r.choice[G7B], G7B_SEARCH);
  EXPECT_FALSE(setReading(r, "G3=maybe", err));
  EXPECT_FALSE(setReading(r, "G99=1", err));
  EXPECT_FALSE(setReading(r, "G3", err));
}

}  // namespace
