#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>

#include "parallel_deflate.h"
#include "test_util.h"
#include "zentoba/codec.h"
#include "zentoba/messages.h"

namespace zentoba {
namespace {

using Entry = RecordingReporter::Entry;
using testing::Bytes;

const std::string kAbcText = Bytes({0xDD, 'w', 0xB1, '&', 'w'});

TEST(EncodeText, KnownTexts) {
  RecordingReporter r;
  EXPECT_EQ(EncodeText("abc", r), kAbcText);
  // The empty text: a plain payload of one symbol beats a compressed one of ten.
  EXPECT_EQ(EncodeText("", r), Bytes({0xDD, 'A'}));
  EXPECT_TRUE(r.entries.empty());
}

TEST(EncodeText, RepetitiveTextIsCompressedAndStartsWithTheZlibHeader) {
  RecordingReporter r;
  const std::string text = testing::Compressible(5000, 1);
  const std::string encoded = EncodeText(text, r);
  ASSERT_EQ(encoded.substr(0, 4), Bytes({0xDD, 0xDB, '8', '2'}));  // 0x78 0xDA packed
  EXPECT_LT(encoded.size(), text.size() / 2);
  EXPECT_EQ(DecodeText(encoded, r), text);
}

TEST(EncodeText, ChoosesTheShorterFormAndThePlainOneOnATie) {
  RecordingReporter r;
  for (size_t n = 0; n < 400; n += 3) {
    for (const std::string& text : {testing::Compressible(n, 9), testing::RandomBytes(n, 9)}) {
      const std::string plain = std::string("\xDD").append(EncodeData(text, false, r));
      const std::string packed = std::string("\xDD\xDB").append(EncodeData(text, true, r));
      const std::string expected = packed.size() < plain.size() ? packed : plain;
      ASSERT_EQ(EncodeText(text, r), expected) << n;
    }
  }
  EXPECT_TRUE(r.entries.empty());
}

TEST(DecodeText, TrimsBlanksAroundTheText) {
  for (const std::string& around :
       {std::string(""), std::string(" "), std::string("\r\n"), std::string("\t \x01\r\n  ")}) {
    RecordingReporter r;
    EXPECT_EQ(DecodeText(around + kAbcText + around, r), "abc");
    EXPECT_TRUE(r.entries.empty());
  }
}

TEST(DecodeText, Outcomes) {
  struct Case {
    const char* name;
    std::string input;
    TextStatus status;
    std::vector<Entry> reports;
  } cases[] = {
      {"empty", "", TextStatus::kNotEncoded, {}},
      {"blanks only", " \r\n", TextStatus::kNotEncoded, {}},
      {"no marker", "abc", TextStatus::kNotEncoded, {}},
      {"encoded file",
       Bytes({0xDD, 0xA6, 0xDC, 0x68, '8', '2'}),
       TextStatus::kFileContent,
       {{false, kMsgSaveAsFileFirst}}},
      {"line break inside",
       Bytes({0xDD, 'w', 0xB1, '\r', '\n', '&', 'w'}),
       TextStatus::kFailed,
       {{true, kMsgDecodeFailed}}},
      {"space inside",
       Bytes({0xDD, 'w', ' ', 0xB1, '&', 'w'}),
       TextStatus::kFailed,
       {{true, kMsgDecodeFailed}}},
      {"marker alone", Bytes({0xDD}), TextStatus::kFailed, {{true, kMsgDecodeFailed}}},
      {"compressed marker alone",
       Bytes({0xDD, 0xDB}),
       TextStatus::kFailed,
       {{true, kMsgDecodeFailed}}},
      {"compressed flag on plain data",
       Bytes({0xDD, 0xDB, 'w', 0xB1, '&', 'w'}),
       TextStatus::kFailed,
       {{true, "inflate: incorrect header check\n"}}},
  };
  for (const Case& c : cases) {
    RecordingReporter r;
    const DecodedText d = DecodeTextBytes(c.input, r);
    EXPECT_EQ(d.status, c.status) << c.name;
    EXPECT_EQ(d.bytes, "") << c.name;
    EXPECT_EQ(r.entries, c.reports) << c.name;
    EXPECT_EQ(DecodeText(c.input, r), "") << c.name;
  }
}

TEST(DecodeText, TheAreaShowsTextUpToTheFirstNulButEveryByteIsDecoded) {
  RecordingReporter r;
  const std::string text = std::string("before\0after", 12);
  const std::string encoded = EncodeText(text, r);
  EXPECT_EQ(DecodeText(encoded, r), "before");
  EXPECT_EQ(DecodeTextBytes(encoded, r).bytes, text);
}

// A zlib stream of `n` zero bytes (about a thousandth of their size).
std::string ZeroBomb(uint64_t n) {
  z_stream s{};
  EXPECT_EQ(deflateInit(&s, 9), Z_OK);
  const std::string zeros(1 << 20, '\0');
  std::string out(4 << 20, '\0');
  s.next_out = reinterpret_cast<Bytef*>(out.data());
  s.avail_out = static_cast<uInt>(out.size());
  for (uint64_t left = n; left > 0 || s.avail_in > 0;) {
    const uInt take = static_cast<uInt>(std::min<uint64_t>(left, zeros.size()));
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.data()));
    s.avail_in = take;
    left -= take;
    EXPECT_EQ(deflate(&s, left ? Z_NO_FLUSH : Z_FINISH), left ? Z_OK : Z_STREAM_END);
    if (!left) break;
  }
  out.resize(out.size() - s.avail_out);
  deflateEnd(&s);
  return out;
}

TEST(DecodeText, ABombStopsAtTheLimit) {
  RecordingReporter r;
  const std::string encoded = "\xDD\xDB" + EncodeData(ZeroBomb(kMaxDecodedTextSize + 1), false, r);
  ASSERT_LT(encoded.size(), 4u << 20);
  const DecodedText d = DecodeTextBytes(encoded, r);
  EXPECT_EQ(d.status, TextStatus::kFailed);
  EXPECT_EQ(r.entries, (std::vector<Entry>{{true, kMsgTooLarge}}));
}

TEST(DecodeText, RoundTripsUnderAReplacementTable) {
  testing::ScopedTable scoped(testing::RandomTable(3));
  RecordingReporter r;
  for (const std::string& text :
       {std::string("abc"), testing::Compressible(3000, 4), testing::RandomBytes(500, 5)}) {
    const DecodedText d = DecodeTextBytes(EncodeText(text, r), r);
    ASSERT_EQ(d.status, TextStatus::kOk);
    EXPECT_EQ(d.bytes, text);
  }
  EXPECT_TRUE(r.entries.empty());
}

}  // namespace
}  // namespace zentoba

namespace zentoba {
namespace {

// When compression fails, its failure is reported once and the text is
// still encoded, in the plain form, rather than as a marker with nothing
// after it.
TEST(EncodeText, ACompressionFailureGivesThePlainForm) {
  const std::string text = testing::Compressible(2 << 20, 8);  // past the one-stream size
  BlockDeflater::FailBlockForTesting(0);
  RecordingReporter r;
  const std::string encoded = EncodeText(text, r);
  BlockDeflater::FailBlockForTesting(UINT64_MAX);
  EXPECT_EQ(r.entries, (std::vector<Entry>{{true, "deflate: ???\n"}}));
  EXPECT_TRUE(encoded == std::string("\xDD").append(EncodeData(text, false, r)));
  RecordingReporter quiet;
  EXPECT_TRUE(DecodeText(encoded, quiet) == text);
}

}  // namespace
}  // namespace zentoba
