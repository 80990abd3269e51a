#include <gtest/gtest.h>

#include "test_util.h"
#include "zentoba/codec.h"

namespace zentoba {
namespace {

using testing::Bytes;

TEST(SymbolTable, DefaultHoldsLettersDigitsPunctuationAndKatakana) {
  const SymbolTable t;
  const std::string expected =
      std::string("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789") +
      "+/-^\\@[;:]!#$%&()=~|`{*}?_";
  for (int v = 0; v < 88; ++v) EXPECT_EQ(t.Symbol(v), static_cast<uint8_t>(expected[v])) << v;
  for (int v = 88; v < 128; ++v) EXPECT_EQ(t.Symbol(v), 0xB1 + v - 88) << v;
  EXPECT_EQ(t.symbols()[128], 0) << "the table stays NUL-terminated";
  EXPECT_EQ(t.Problem(), "");
}

TEST(SymbolTable, ReverseLookupInvertsEveryEntry) {
  const SymbolTable t;
  for (int v = 0; v < 128; ++v) EXPECT_EQ(t.Value(t.Symbol(v)), v);
}

TEST(SymbolTable, BytesOutsideTheTableHaveNoValue) {
  const SymbolTable t;
  // Blanks, the markers, quote marks and the katakana just outside the range.
  for (int c : {0x20, 0x0A, 0x0D, 0x09, 0x22, 0x27, 0x2C, 0x2E, 0x3C, 0x3E, 0x7F, 0x80, 0xA6, 0xB0,
                0xD9, 0xDB, 0xDC, 0xDD, 0xFF}) {
    EXPECT_EQ(t.Value(static_cast<uint8_t>(c)), SymbolTable::kNoValue) << std::hex << c;
  }
}

TEST(SymbolTable, NulReadsAsValueZeroWhateverEntryZeroHolds) {
  EXPECT_EQ(SymbolTable().Value(0), 0);
  EXPECT_EQ(testing::SwappedTable(0, 1).Value(0), 0);
}

TEST(SymbolTable, ByteHeldTwiceReadsAsTheLowerPositionAndIsAProblem) {
  std::string symbols(reinterpret_cast<const char*>(SymbolTable().symbols()), 128);
  symbols[100] = 'C';  // also at position 2
  const SymbolTable t = SymbolTable::FromBytes(symbols);
  EXPECT_EQ(t.Value('C'), 2);
  EXPECT_EQ(t.Symbol(100), 'C');
  EXPECT_NE(t.Problem().find("0x43"), std::string::npos) << t.Problem();
}

TEST(SymbolTable, BlankOrControlByteIsAProblem) {
  for (char blank : {' ', '\t', '\n', '\x01'}) {
    std::string symbols(reinterpret_cast<const char*>(SymbolTable().symbols()), 128);
    symbols[127] = blank;
    EXPECT_NE(SymbolTable::FromBytes(symbols).Problem(), "") << int(blank);
  }
}

TEST(SymbolTable, OnlyTheFirst128BytesCount) {
  const std::string symbols =
      std::string(reinterpret_cast<const char*>(SymbolTable().symbols()), 128) + "XYZ";
  EXPECT_EQ(SymbolTable::FromBytes(symbols), SymbolTable());
}

TEST(SymbolTable, ActiveTableCanBeReplaced) {
  {
    testing::ScopedTable scoped(testing::SwappedTable(0, 1));
    EXPECT_EQ(ActiveTable().Symbol(0), 'B');
    EXPECT_EQ(EncodeBlocks(std::string(7, '\0')), "BBBBBBBB");
  }
  EXPECT_EQ(ActiveTable(), SymbolTable());
  (void)Bytes;
}

}  // namespace
}  // namespace zentoba
