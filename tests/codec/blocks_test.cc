#include <gtest/gtest.h>

#include <vector>

#include "test_util.h"
#include "zentoba/codec.h"

namespace zentoba {
namespace {

using testing::Bytes;

const std::string kAbcGroup = Bytes({0x61, 0x62, 0x63, 0, 0, 0, 0});
const std::string kAbcSymbols = Bytes({'w', 0xB1, '&', 'w', 'A', 'A', 'A', 'A'});

int64_t Decode(const std::string& symbols, std::string& out, const SymbolTable& t = ActiveTable()) {
  out.assign(symbols.size() / 8 * 7, '\x55');
  return DecodeBlocks(reinterpret_cast<const uint8_t*>(symbols.data()), symbols.size(),
                      reinterpret_cast<uint8_t*>(out.data()), t);
}

std::vector<PackPath> SupportedPaths() {
  std::vector<PackPath> paths;
  for (PackPath p :
       {PackPath::kScalar, PackPath::kPortable64, PackPath::kAvx2, PackPath::kAvx512Vbmi})
    if (PackPathSupported(p)) paths.push_back(p);
  return paths;
}

// Every test below runs on every packing path this processor has.
class Blocks : public ::testing::TestWithParam<PackPath> {
 protected:
  void SetUp() override { SetPackPath(GetParam()); }
  void TearDown() override { SetPackPath(PackPath::kAuto); }
};

TEST_P(Blocks, KnownGroups) {
  struct Case {
    std::string bytes, symbols;
  } cases[] = {
      {kAbcGroup, kAbcSymbols},
      {std::string(7, '\0'), "AAAAAAAA"},
      {std::string(7, '\xFF'), std::string(8, '\xD8')},
      // 0x80 00 ... : only the top bit set -> value 64 ("-") then zeros.
      {Bytes({0x80, 0, 0, 0, 0, 0, 0}), "-AAAAAAA"},
      // The lowest bit of the last byte -> value 1 in the last symbol.
      {Bytes({0, 0, 0, 0, 0, 0, 1}), "AAAAAAAB"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EncodeBlocks(c.bytes), c.symbols);
    std::string out;
    ASSERT_EQ(Decode(c.symbols, out), 7);
    EXPECT_EQ(out, c.bytes);
  }
}

TEST_P(Blocks, EveryBitLandsInTheRightValue) {
  // Bit k of the 56-bit group (0 = most significant) lands in value k / 7 at
  // weight 2^(6 - k % 7).
  const SymbolTable t;
  for (int k = 0; k < 56; ++k) {
    std::string group(7, '\0');
    group[k / 8] = static_cast<char>(0x80 >> (k % 8));
    std::string expected(8, 'A');
    expected[k / 7] = static_cast<char>(t.Symbol(1u << (6 - k % 7)));
    EXPECT_EQ(EncodeBlocks(group), expected) << "bit " << k;
  }
}

TEST_P(Blocks, NulSymbolCountsAsValueZero) {
  std::string out;
  ASSERT_EQ(Decode(Bytes({'w', 0xB1, '&', 'w', 0, 0, 0, 0}), out), 7);
  EXPECT_EQ(out, kAbcGroup);
}

TEST_P(Blocks, ByteOutsideTheTableFailsAndKeepsEarlierGroups) {
  for (int bad : {0x20, 0x0A, 0xDD, 0xD9, 0xA6, 0x7F}) {
    for (int pos = 0; pos < 8; ++pos) {
      std::string symbols = kAbcSymbols + kAbcSymbols + kAbcSymbols;
      symbols[8 + pos] = static_cast<char>(bad);
      std::string out;
      EXPECT_EQ(Decode(symbols, out), -1) << bad << "@" << pos;
      EXPECT_EQ(out.substr(0, 7), kAbcGroup) << "the group before the bad one is complete";
    }
  }
}

TEST_P(Blocks, MatchesTheScalarReferenceOnEveryLengthAndTable) {
  const SymbolTable tables[] = {SymbolTable(), testing::SwappedTable(0, 127),
                                testing::RandomTable(7)};
  for (const SymbolTable& t : tables) {
    for (size_t groups = 0; groups <= 43; ++groups) {
      const std::string data = testing::RandomBytes(groups * 7, static_cast<uint32_t>(groups));
      std::string expected(groups * 8, '\0'), actual(groups * 8, '\0');
      SetPackPath(PackPath::kScalar);
      EncodeBlocks(reinterpret_cast<const uint8_t*>(data.data()), data.size(),
                   reinterpret_cast<uint8_t*>(expected.data()), t);
      SetPackPath(GetParam());
      EncodeBlocks(reinterpret_cast<const uint8_t*>(data.data()), data.size(),
                   reinterpret_cast<uint8_t*>(actual.data()), t);
      ASSERT_EQ(actual, expected) << groups << " groups";
      std::string back;
      ASSERT_EQ(Decode(actual, back, t), static_cast<int64_t>(data.size()));
      ASSERT_EQ(back, data);
    }
  }
}

TEST_P(Blocks, InvalidSymbolAtEveryPositionMatchesTheReference) {
  const std::string data = testing::RandomBytes(7 * 37, 99);
  const std::string symbols = EncodeBlocks(data);
  for (size_t pos = 0; pos < symbols.size(); ++pos) {
    std::string bad = symbols;
    bad[pos] = ' ';
    std::string out;
    ASSERT_EQ(Decode(bad, out), -1) << pos;
    const size_t good = pos / 8 * 7;
    ASSERT_EQ(out.substr(0, good), data.substr(0, good)) << pos;
  }
}

TEST_P(Blocks, LargeBufferRoundTrips) {
  const std::string data = testing::RandomBytes(7 * 100003, 5);
  std::string back;
  ASSERT_EQ(Decode(EncodeBlocks(data), back), static_cast<int64_t>(data.size()));
  EXPECT_TRUE(back == data);
}

TEST_P(Blocks, ReplacementTables) {
  // Swapping the first two entries: zeros become "B" and come back.
  const SymbolTable swapped = testing::SwappedTable(0, 1);
  EXPECT_EQ(EncodeBlocks(std::string(7, '\0'), swapped), "BBBBBBBB");
  std::string out;
  ASSERT_EQ(Decode("BBBBBBBB", out, swapped), 7);
  EXPECT_EQ(out, std::string(7, '\0'));

  // One byte everywhere: any data packs to that byte, which reads as 0.
  const SymbolTable same = SymbolTable::FromBytes(std::string(128, 'x'));
  EXPECT_EQ(EncodeBlocks(testing::RandomBytes(14, 3), same), std::string(16, 'x'));
  ASSERT_EQ(Decode(std::string(16, 'x'), out, same), 14);
  EXPECT_EQ(out, std::string(14, '\0'));
}

INSTANTIATE_TEST_SUITE_P(AllPaths, Blocks, ::testing::ValuesIn(SupportedPaths()),
                         [](const ::testing::TestParamInfo<PackPath>& p) {
                           return std::string(PackPathName(p.param));
                         });

TEST(PackPath, UnsupportedPathIsRefused) {
  for (PackPath p : {PackPath::kAvx2, PackPath::kAvx512Vbmi}) {
    if (!PackPathSupported(p)) {
      EXPECT_THROW(SetPackPath(p), std::invalid_argument);
    }
  }
  SetPackPath(PackPath::kAuto);
  EXPECT_NE(CurrentPackPath(), PackPath::kAuto);
}

}  // namespace
}  // namespace zentoba
