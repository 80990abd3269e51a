#include <gtest/gtest.h>

#include <random>

#include "test_util.h"
#include "zentoba/codec.h"
#include "zentoba/messages.h"
#include "zentoba/stream.h"

namespace zentoba {
namespace {

using Entry = RecordingReporter::Entry;
using testing::Bytes;

const std::vector<Entry> kDecodeFailed = {{true, kMsgDecodeFailed}};

TEST(Payload, LengthsForEverySizeUpToTwoGroups) {
  RecordingReporter r;
  for (size_t m = 0; m <= 15; ++m) {
    const std::string data = testing::RandomBytes(m, static_cast<uint32_t>(m));
    const std::string payload = EncodeData(data, false, r);
    EXPECT_EQ(payload.size(), m + m / 7 + 1) << m;
    EXPECT_NE(payload.size() % 8, 0u);
    EXPECT_EQ(DecodedLength(payload.size()), m);
    const auto back = DecodeData(payload, false, r);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, data);
  }
  EXPECT_TRUE(r.entries.empty());
}

TEST(Payload, AbcPacksToFourSymbolsAndEveryPaddingVariantDecodes) {
  RecordingReporter r;
  EXPECT_EQ(EncodeData("abc", false, r), Bytes({'w', 0xB1, '&', 'w'}));
  // The last symbol's low four bits are padding: the 16 symbols "w".."z",
  // "0".."9", "+", "/" all decode to abc.
  for (char last : std::string("wxyz0123456789+/")) {
    const auto back = DecodeData(Bytes({'w', 0xB1, '&'}) + last, false, r);
    ASSERT_TRUE(back) << last;
    EXPECT_EQ(*back, "abc") << last;
  }
  EXPECT_TRUE(r.entries.empty());
}

TEST(Payload, OddLengthsWeNeverWriteStillDecode) {
  RecordingReporter r;
  EXPECT_EQ(*DecodeData("A", false, r), "");
  // Eight symbols: the seventh byte of the group is cut off with the padding.
  EXPECT_EQ(*DecodeData(Bytes({'w', 0xB1, '&', 'w', 'A', 'A', 'A', 'B'}), false, r),
            Bytes({0x61, 0x62, 0x63, 0, 0, 0}));
  // A NUL symbol reads as value 0.
  EXPECT_EQ(*DecodeData(Bytes({'w', 0xB1, '&', 0}), false, r), "ab" + Bytes({0x60}));
  EXPECT_TRUE(r.entries.empty());
}

TEST(Payload, ByteOutsideTheTableAnywhereFails) {
  RecordingReporter quiet;
  const std::string payload = EncodeData(testing::RandomBytes(40, 1), false, quiet);
  for (size_t pos = 0; pos < payload.size(); ++pos) {
    for (char bad : {' ', '\n', '\xDD'}) {
      std::string p = payload;
      p[pos] = bad;
      RecordingReporter r;
      EXPECT_FALSE(DecodeData(p, false, r)) << pos;
      EXPECT_EQ(r.entries, kDecodeFailed);
    }
  }
}

TEST(Payload, EmptyPayloadFails) {
  RecordingReporter r;
  EXPECT_FALSE(DecodeData("", false, r));
  EXPECT_FALSE(DecodeData("", true, r));
  EXPECT_EQ(r.entries.size(), 2u);
  EXPECT_EQ(r.entries[0], kDecodeFailed[0]);
  EXPECT_EQ(r.entries[1], kDecodeFailed[0]);
}

TEST(Payload, NotAZlibStreamReportsOnlyTheDecompressionFailure) {
  RecordingReporter r;
  EXPECT_FALSE(DecodeData(EncodeData("plain text", false, r), true, r));
  ASSERT_EQ(r.entries.size(), 1u);
  EXPECT_EQ(r.entries[0].text.rfind("inflate: ", 0), 0u);
}

TEST(Payload, TableWithoutTheLetterADecodes) {
  // Padding contributes the value 0 itself, so no table needs to hold "A".
  const SymbolTable t = testing::RandomTable(11);
  ASSERT_EQ(t.Value('A'), SymbolTable::kNoValue);
  RecordingReporter r;
  for (size_t m : {0u, 1u, 6u, 7u, 8u, 100u}) {
    for (bool z : {false, true}) {
      const std::string data = testing::Compressible(m, 3);
      const auto back = DecodeData(EncodeData(data, z, r, t), z, r, t);
      ASSERT_TRUE(back) << m;
      EXPECT_EQ(*back, data);
    }
  }
  EXPECT_TRUE(r.entries.empty());
}

TEST(Payload, RoundTripsRandomSizesBothFormsAndTables) {
  std::mt19937 rng(42);
  const SymbolTable tables[] = {SymbolTable(), testing::SwappedTable(3, 90),
                                testing::RandomTable(5)};
  RecordingReporter r;
  for (int i = 0; i < 60; ++i) {
    const size_t m = rng() % (i < 40 ? 300 : 200000);
    const std::string data =
        i % 2 ? testing::RandomBytes(m, rng()) : testing::Compressible(m, rng());
    const SymbolTable& t = tables[i % 3];
    for (bool z : {false, true}) {
      const std::string payload = EncodeData(data, z, r, t);
      const auto back = DecodeData(payload, z, r, t);
      ASSERT_TRUE(back);
      ASSERT_TRUE(*back == data) << m << (z ? " compressed" : " plain");
    }
  }
  EXPECT_TRUE(r.entries.empty());
}

TEST(PayloadStream, PiecesGiveTheOneShotResult) {
  std::mt19937 rng(7);
  RecordingReporter r;
  for (size_t m : {0u, 1u, 6u, 7u, 8u, 13u, 14u, 15u, 1000u, 70001u}) {
    const std::string data = testing::RandomBytes(m, static_cast<uint32_t>(m));
    const std::string expected = EncodeData(data, false, r);
    for (size_t piece : {1u, 3u, 7u, 8u, 9u, 4096u}) {
      PayloadEncoder enc;
      std::string payload;
      for (size_t i = 0; i < m; i += piece)
        enc.Append(std::string_view(data).substr(i, piece), payload);
      enc.Finish(payload);
      ASSERT_EQ(payload, expected) << m << "/" << piece;

      PayloadDecoder dec;
      std::string back;
      for (size_t i = 0; i < payload.size(); i += piece)
        ASSERT_TRUE(dec.Append(std::string_view(payload).substr(i, piece), back));
      ASSERT_TRUE(dec.Finish(back));
      ASSERT_TRUE(back == data) << m << "/" << piece;
    }
  }
  // Lengths we never write: a multiple of 8 decodes like the one-shot form.
  for (size_t len : {8u, 16u, 24u}) {
    const std::string payload(len, 'B');
    PayloadDecoder dec;
    std::string back;
    ASSERT_TRUE(dec.Append(payload, back));
    ASSERT_TRUE(dec.Finish(back));
    EXPECT_EQ(back, *DecodeData(payload, false, r)) << len;
  }
}

TEST(PayloadStream, BadSymbolAndEmptyPayloadFail) {
  PayloadDecoder empty;
  std::string out;
  EXPECT_FALSE(empty.Finish(out));

  for (size_t pos : {0u, 5u, 8u, 30u, 39u}) {
    std::string payload(40, 'Q');
    payload[pos] = '\n';
    PayloadDecoder dec;
    std::string back;
    const bool ok = dec.Append(payload.substr(0, 20), back) &&
                    dec.Append(payload.substr(20), back) && dec.Finish(back);
    EXPECT_FALSE(ok) << pos;
  }
}

}  // namespace
}  // namespace zentoba
