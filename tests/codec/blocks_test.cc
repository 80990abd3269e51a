#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "pack_kernels.h"
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

// Byte buffers of exactly their length, so that AddressSanitizer sees any
// access past either end.
using Buffer = std::vector<uint8_t>;

Buffer RandomBuffer(size_t n, uint32_t seed) {
  const std::string s = testing::RandomBytes(n, seed);
  return Buffer(s.begin(), s.end());
}

Buffer EncodeOn(PackPath path, const Buffer& data, const SymbolTable& t) {
  SetPackPath(path);
  Buffer out(data.size() / 7 * 8);
  EncodeBlocks(data.data(), data.size(), out.data(), t);
  return out;
}

struct Decoded {
  int64_t result;
  Buffer bytes;  // defined up to the group that fails
};

Decoded DecodeOn(PackPath path, const Buffer& symbols, const SymbolTable& t) {
  SetPackPath(path);
  Buffer out(symbols.size() / 8 * 7);
  const int64_t result = DecodeBlocks(symbols.data(), symbols.size(), out.data(), t);
  return {result, out};
}

// Compares a path with the scalar reference on one symbol text: the same
// result, and the same bytes in every group before the first failing one.
void ExpectDecodeMatchesReference(PackPath path, const Buffer& symbols, const SymbolTable& t,
                                  const std::string& what) {
  size_t good = symbols.size() / 8;
  for (size_t g = 0; g < symbols.size() / 8 && good == symbols.size() / 8; ++g)
    for (size_t i = 0; i < 8; ++i)
      if (t.Value(symbols[8 * g + i]) == SymbolTable::kNoValue) good = g;
  const Decoded expected = DecodeOn(PackPath::kScalar, symbols, t);
  const Decoded actual = DecodeOn(path, symbols, t);
  ASSERT_EQ(actual.result, expected.result) << what;
  ASSERT_EQ(expected.result, good == symbols.size() / 8 ? static_cast<int64_t>(good * 7) : -1)
      << what;
  ASSERT_TRUE(
      std::equal(actual.bytes.begin(), actual.bytes.begin() + good * 7, expected.bytes.begin()))
      << what;
}

// The tables every comparison runs with: the built-in one, a replacement,
// random tables of distinct bytes from 0x21..0xFF (many of them >= 0x80),
// and one that holds some bytes many times.
std::vector<SymbolTable> Tables() {
  std::string repeated;
  for (int v = 0; v < SymbolTable::kSize; ++v) repeated += static_cast<char>(0xF0 + v % 9);
  return {SymbolTable(), testing::SwappedTable(0, 127), testing::RandomTable(7),
          testing::RandomTable(8), SymbolTable::FromBytes(repeated)};
}

// Every length from 0 to 43 groups (every vector and tail shape of every
// path), then random lengths up to a few hundred kilobytes.
std::vector<size_t> GroupCounts() {
  std::vector<size_t> counts;
  for (size_t g = 0; g <= 43; ++g) counts.push_back(g);
  std::mt19937 rng(11);
  for (int i = 0; i < 12; ++i) counts.push_back(rng() % 60000);
  return counts;
}

TEST_P(Blocks, MatchesTheScalarReferenceOnEveryLengthAndTable) {
  const std::vector<SymbolTable> tables = Tables();
  for (size_t ti = 0; ti < tables.size(); ++ti) {
    const SymbolTable& t = tables[ti];
    for (size_t groups : GroupCounts()) {
      const std::string what =
          "table " + std::to_string(ti) + ", " + std::to_string(groups) + " groups";
      const Buffer data = RandomBuffer(groups * 7, static_cast<uint32_t>(groups + 1000 * ti));
      const Buffer expected = EncodeOn(PackPath::kScalar, data, t);
      ASSERT_TRUE(EncodeOn(GetParam(), data, t) == expected) << what;
      ExpectDecodeMatchesReference(GetParam(), expected, t, what);

      // NUL reads as value 0 anywhere.
      Buffer with_nul = expected;
      for (size_t i = groups % 8; i < with_nul.size(); i += 13) with_nul[i] = 0;
      ExpectDecodeMatchesReference(GetParam(), with_nul, t, what + " with NUL");
    }
  }
}

TEST_P(Blocks, InvalidSymbolAtEveryPositionMatchesTheReference) {
  // Buffers of several vectors on every path, ending in a full vector, in a
  // vector with one group more, and in a scalar tail; and one of several
  // runs of whole cache lines.
  const std::vector<SymbolTable> tables = Tables();
  for (size_t ti = 0; ti < tables.size(); ++ti) {
    const SymbolTable& t = tables[ti];
    // The lowest and the highest byte that has no value.
    std::vector<uint8_t> invalid;
    for (int c = 1; c < 256; ++c)
      if (t.Value(static_cast<uint8_t>(c)) == SymbolTable::kNoValue)
        invalid.push_back(static_cast<uint8_t>(c));
    ASSERT_FALSE(invalid.empty());
    for (size_t groups : {32, 33, 37, 40, 200}) {
      const Buffer symbols = EncodeOn(PackPath::kScalar, RandomBuffer(groups * 7, 99), t);
      for (uint8_t bad : {invalid.front(), invalid.back()}) {
        for (size_t pos = 0; pos < symbols.size(); ++pos) {
          Buffer text = symbols;
          text[pos] = bad;
          ExpectDecodeMatchesReference(GetParam(), text, t,
                                       "table " + std::to_string(ti) + ", byte " +
                                           std::to_string(bad) + " at " + std::to_string(pos) +
                                           " of " + std::to_string(groups) + " groups");
        }
      }
    }
  }
}

TEST_P(Blocks, RandomSymbolTextMatchesTheReference) {
  // Arbitrary bytes: valid, NUL and invalid symbols in any mix, mostly
  // valid so that failures land at every depth.
  const std::vector<SymbolTable> tables = Tables();
  std::mt19937 rng(5);
  for (size_t ti = 0; ti < tables.size(); ++ti) {
    const SymbolTable& t = tables[ti];
    for (int round = 0; round < 200; ++round) {
      Buffer text(8 * (rng() % 300));
      for (uint8_t& c : text) c = t.Symbol(rng() % 128);
      if (!text.empty()) {
        for (int k = 0; k < 2; ++k) text[rng() % text.size()] = static_cast<uint8_t>(rng());
      }
      ExpectDecodeMatchesReference(
          GetParam(), text, t, "table " + std::to_string(ti) + ", round " + std::to_string(round));
    }
  }
}

// The kernels take any tables: 128 arbitrary symbol bytes (NUL and repeats
// included), and 256 reverse entries where bit 7 set means "no value". With
// a reverse table whose every entry is a value, every byte is a symbol, so
// no slip in a vector's lookup can hide behind the fall-back to the scalar
// code that a byte without a value sends the vector to.
TEST_P(Blocks, KernelsMatchTheReferenceForAnyTables) {
  const detail::PackKernels& reference = *detail::KernelsFor(PackPath::kScalar);
  const detail::PackKernels& kernels = *detail::KernelsFor(GetParam());
  std::mt19937 rng(3);
  for (int no_value : {0, 1, 4, 16}) {  // entries without a value
    Buffer symbols(SymbolTable::kSize), reverse(256);
    for (uint8_t& c : symbols) c = static_cast<uint8_t>(rng());
    for (uint8_t& v : reverse) v = static_cast<uint8_t>(rng() % 128);
    for (int i = 0; i < no_value; ++i) reverse[rng() % 256] = static_cast<uint8_t>(0x80 | rng());
    for (size_t groups : GroupCounts()) {
      // The output starts at any offset from a cache line; the buffer ends
      // where the output does.
      const size_t offset = rng() % 64;
      const std::string what = std::to_string(no_value) + " without value, " +
                               std::to_string(groups) + " groups at offset " +
                               std::to_string(offset);
      const Buffer data = RandomBuffer(groups * 7, static_cast<uint32_t>(rng()));
      Buffer expected(groups * 8), actual(offset + groups * 8);
      reference.encode(data.data(), groups, expected.data(), symbols.data());
      kernels.encode(data.data(), groups, actual.data() + offset, symbols.data());
      ASSERT_TRUE(std::equal(expected.begin(), expected.end(), actual.begin() + offset)) << what;

      const Buffer text = RandomBuffer(groups * 8, static_cast<uint32_t>(rng()));
      Buffer expected_out(groups * 7), actual_out(offset + groups * 7);
      const size_t good =
          reference.decode(text.data(), groups, expected_out.data(), reverse.data());
      ASSERT_EQ(kernels.decode(text.data(), groups, actual_out.data() + offset, reverse.data()),
                good)
          << what;
      ASSERT_TRUE(std::equal(expected_out.begin(), expected_out.begin() + good * 7,
                             actual_out.begin() + offset))
          << what;
    }
  }
}

TEST_P(Blocks, BuffersOfManyMegabytesMatchTheReference) {
  // Large outputs may be written around the caches; the result is the same,
  // also when a byte without a value stops decoding early, in the middle or
  // in the last group.
  const size_t groups = (size_t{9} << 20) / 7;
  const Buffer data = RandomBuffer(groups * 7, 17);
  const Buffer symbols = EncodeOn(PackPath::kScalar, data, SymbolTable());
  ASSERT_TRUE(EncodeOn(GetParam(), data, SymbolTable()) == symbols);
  ExpectDecodeMatchesReference(GetParam(), symbols, SymbolTable(), "valid");
  for (size_t pos : {size_t{1000}, symbols.size() / 2 + 3, symbols.size() - 1}) {
    Buffer text = symbols;
    text[pos] = ' ';
    ExpectDecodeMatchesReference(GetParam(), text, SymbolTable(),
                                 "space at " + std::to_string(pos));
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

// ZENTOBA_PACK_PATH is read once, at the first use of block packing, so
// each case runs in a process of its own.
TEST(PackPathDeathTest, EnvironmentChoosesThePathOrRefusesLoudly) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  for (PackPath p : SupportedPaths()) {
    EXPECT_EXIT(
        {
          setenv("ZENTOBA_PACK_PATH", PackPathName(p), 1);
          std::exit(CurrentPackPath() == p ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "")
        << PackPathName(p);
  }
  EXPECT_EXIT(
      {
        setenv("ZENTOBA_PACK_PATH", "auto", 1);
        std::exit(CurrentPackPath() == SupportedPaths().back() ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  // An unknown name is an error at the first use, not a silent fallback.
  EXPECT_EXIT(
      {
        setenv("ZENTOBA_PACK_PATH", "avx1024", 1);
        try {
          CurrentPackPath();
        } catch (const std::runtime_error& e) {
          std::fputs(e.what(), stderr);
          std::exit(2);
        }
        std::exit(0);
      },
      ::testing::ExitedWithCode(2), "ZENTOBA_PACK_PATH=avx1024: unknown path");
}

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
