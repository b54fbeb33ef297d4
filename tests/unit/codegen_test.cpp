// The emitter's encodings and its image-full stop at the exact indices
// (whole compilations pin the rest, the HEX records included).
#include <gtest/gtest.h>

#include "codegen/codegen.h"
#include "testutil.h"

using namespace tavo;
using tavo::test::hexbytes;

namespace {

class Emitter : public ::testing::Test {
 protected:
  void SetUp() override {
    resetAll();
    origin = CODEOFFSET;
  }
};

}  // namespace

TEST_F(Emitter, OperandFormsAndPatching) {
  emitop(C_PUSHC, 255);   // 54 FF
  emitop(C_PUSHC, 256);   // 58 00 01
  force16 = 1;            // two bytes for one instruction only
  emitop(C_PUSHC, 3);     // 58 03 00
  emitop(C_PUSHC, 3);     // 54 03
  EXPECT_EQ(placejump(C_JUMP, 5), 18);   // D8 05 00: jumps always take two bytes
  EXPECT_EQ(hexbytes(CODEOFFSET), "54FF" "580001" "580300" "5403" "D80500");
  patchjump(18, 0x0123);
  patchjump(0, 0xFFFF);   // index 0: no jump was recorded, nothing changes
  EXPECT_EQ(hexbytes(0), "00000000000000" "54FF580001580300" "5403" "D82301");
  // lastop is the last opcode; data bytes leave it alone.
  emitop(C_CALL, 10);
  emitdata(C_RETURN);
  EXPECT_EQ(lastop, 0x24);
}

// The last byte stored is at 12286. Every byte is checked on its own, but
// a two-byte operand is stored whole or not at all.
TEST_F(Emitter, AFullImageStopsWithoutAMessage) {
  origin = MAXCODE - 2;
  emit(C_ADD);
  EXPECT_EQ(code[12286], C_ADD);
  EXPECT_EQ(ecount, 0);
  emit(C_SUB);
  EXPECT_EQ(origin, 12287);
  EXPECT_EQ(code[12287], 0);
  EXPECT_EQ(ecount, 1);
  EXPECT_EQ(nextchar, -1);
  EXPECT_EQ(codefull, 1);

  resetAll();
  origin = 12284;
  emitop(C_PUSHC, 300);   // opcode at 12284, operand at 12285-12286: fits
  EXPECT_EQ(ecount, 0);
  origin = 12285;
  emitop(C_PUSHC, 300);   // the operand would start at 12286
  EXPECT_EQ(origin, 12286);
  EXPECT_EQ(ecount, 1);

  resetAll();
  origin = 12286;
  emitword(0x1234);
  EXPECT_EQ(code[12286], 0x34);
  EXPECT_EQ(origin, 12287);
  EXPECT_EQ(ecount, 1);
  int j = placejump(C_JUMP, 0x1111);   // nothing stored, nothing overrun
  patchjump(j, 0x2222);
  EXPECT_EQ(origin, 12287);
}
