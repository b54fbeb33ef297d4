// The emitter's encodings, its image-full stop, and the HEX records.
#include <gtest/gtest.h>

#include <string>

#include "codegen/codegen.h"
#include "output/output.h"
#include "testutil.h"

using namespace tavo;

namespace {

class Emitter : public ::testing::Test {
 protected:
  void SetUp() override {
    resetAll();
    origin = CODEOFFSET;
  }
  // The bytes from address a to origin, in hex.
  static std::string bytes(int a) {
    std::string s;
    char buf[4];
    for (int i = a; i < origin; i++) {
      std::snprintf(buf, sizeof buf, "%02X", code[i]);
      s += buf;
    }
    return s;
  }
};

std::string hexrecords(const unsigned char* data, int n, int loc) {
  std::FILE* fp = std::tmpfile();
  hex8record(fp, n, loc, data, 0);
  std::rewind(fp);
  std::string s;
  for (int c; (c = std::fgetc(fp)) != EOF;) s += static_cast<char>(c);
  std::fclose(fp);
  return s;
}

}  // namespace

TEST_F(Emitter, OperandFormFollowsTheHighByte) {
  emitop(C_PUSHC, 5);      // 54 05
  emitop(C_PUSHC, 255);    // 54 FF
  emitop(C_PUSHC, 256);    // 58 00 01
  emitop(C_PUSHC, 300);    // 58 2C 01
  emitop(C_CALL, 2);       // 24 02
  emit(C_ADD);             // 0C
  emitop(C_PUSHAC, static_cast<unsigned>(-9));   // 68 F7 FF
  emitop(C_PUSHC, 0x10005);   // bits 8-15 clear: one byte
  EXPECT_EQ(bytes(CODEOFFSET), "5405" "54FF" "580001" "582C01" "2402" "0C" "68F7FF" "5405");
}

TEST_F(Emitter, JumpsAlwaysTakeTwoBytes) {
  EXPECT_EQ(placejump(C_JUMP, 5), 8);
  int at = emitop(C_JFALSE, 0x0123);
  EXPECT_EQ(at, 11);
  EXPECT_EQ(bytes(CODEOFFSET), "D80500" "E82301");
}

TEST_F(Emitter, Force16LastsForOneInstruction) {
  force16 = 1;
  emitop(C_PUSHC, 3);
  emitop(C_PUSHC, 3);
  EXPECT_EQ(bytes(CODEOFFSET), "580300" "5403");
  EXPECT_EQ(force16, 0);
}

TEST_F(Emitter, PatchjumpFillsTheOperand) {
  int j = placejump(C_JFALSE, 0);
  emit(C_POP);
  patchjump(j, origin);
  patchjump(0, 0xFFFF);   // nothing recorded: nothing changes
  EXPECT_EQ(bytes(0), "00000000000000" "E80B00" "16");
}

TEST_F(Emitter, LastopIsTheOpcodeByte) {
  emitop(C_CALL, 10);
  EXPECT_EQ(lastop, 0x24);
  emitdata(C_RETURN);   // data bytes leave lastop alone
  EXPECT_EQ(lastop, 0x24);
  emit(C_RETURN);
  EXPECT_EQ(lastop, C_RETURN);
}

TEST_F(Emitter, AFullImageStopsWithoutAMessage) {
  origin = MAXCODE - 2;   // 12286: the last byte that is stored
  emit(C_ADD);
  EXPECT_EQ(ecount, 0);
  EXPECT_EQ(code[12286], C_ADD);
  emit(C_SUB);
  EXPECT_EQ(origin, 12287);
  EXPECT_EQ(ecount, 1);
  EXPECT_EQ(nextchar, -1);
  EXPECT_EQ(codefull, 1);
  EXPECT_EQ(code[12287], 0);
}

TEST_F(Emitter, ATwoByteOperandMustFitWhole) {
  origin = 12284;
  emitop(C_PUSHC, 300);   // opcode 12284, operand 12285-12286: fits
  EXPECT_EQ(origin, 12287);
  EXPECT_EQ(ecount, 0);
  origin = 12285;
  emitop(C_PUSHC, 300);   // opcode at 12285, operand would start at 12286
  EXPECT_EQ(origin, 12286);
  EXPECT_EQ(ecount, 1);
}

TEST_F(Emitter, DataBytesAreCheckedOneByOne) {
  origin = 12286;
  emitword(0x1234);
  EXPECT_EQ(code[12286], 0x34);
  EXPECT_EQ(origin, 12287);
  EXPECT_EQ(ecount, 1);
  int j = placejump(C_JUMP, 0x1111);   // nothing stored, nothing overrun
  patchjump(j, 0x2222);
  EXPECT_EQ(origin, 12287);
}

TEST(HexRecords, ChecksumMakesTheRecordSumZero) {
  const unsigned char header[] = {0x68, 0x12, 0x00, 0x24, 0x00, 0x44, 0x00};
  EXPECT_EQ(hexrecords(header, 7, 0), ":070000006812002400440017\n");
  const unsigned char zeros[7] = {};
  EXPECT_EQ(hexrecords(zeros, 7, 0), ":0700000000000000000000F9\n");
  const unsigned char one[] = {0xAB};
  EXPECT_EQ(hexrecords(one, 1, 0x1234), ":01123400AB0E\n");
}

TEST(HexRecords, DumpSplitsTheImageIntoRecordsOf16) {
  resetAll();
  for (int i = 0; i < 17; i++) code[i] = static_cast<unsigned char>(i);
  hex_fp = std::tmpfile();
  bin_fp = std::tmpfile();
  dump(17);
  std::rewind(hex_fp);
  std::string s;
  for (int c; (c = std::fgetc(hex_fp)) != EOF;) s += static_cast<char>(c);
  EXPECT_EQ(s,
            ":10000000000102030405060708090A0B0C0D0E0F78\n"
            ":0100100010DF\n"
            ":00000001FF\n");
  EXPECT_EQ(std::ftell(bin_fp), 17);
  resetAll();
}
