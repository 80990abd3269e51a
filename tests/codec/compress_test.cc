#include <gtest/gtest.h>
#include <zlib.h>

#include "test_util.h"
#include "zentoba/codec.h"
#include "zentoba/messages.h"
#include "zentoba/stream.h"

namespace zentoba {
namespace {

using Entry = RecordingReporter::Entry;

using testing::Zlib9;

TEST(Compress, EmptyInputIsACompleteEightByteStream) {
  RecordingReporter r;
  const auto z = CompressData("", r);
  ASSERT_TRUE(z);
  EXPECT_EQ(*z, testing::Bytes({0x78, 0xDA, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01}));
  const auto back = DecompressData(*z, r);
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, "");
  EXPECT_TRUE(r.entries.empty());
}

TEST(Compress, SameBytesAsZlibLevel9AndRoundTrips) {
  RecordingReporter r;
  for (size_t n : {1u, 9u, 1023u, 1024u, 5000u, 300000u}) {
    for (const std::string& data : {testing::RandomBytes(n, 1), testing::Compressible(n, 2)}) {
      const auto z = CompressData(data, r);
      ASSERT_TRUE(z);
      EXPECT_EQ(*z, Zlib9(data)) << n;
      const auto back = DecompressData(*z, r);
      ASSERT_TRUE(back);
      EXPECT_TRUE(*back == data) << n;
    }
  }
  EXPECT_TRUE(r.entries.empty());
}

TEST(Compress, StreamingInPiecesGivesTheSameBytes) {
  const std::string data = testing::Compressible(700000, 3) + testing::RandomBytes(90000, 4);
  RecordingReporter r;
  for (size_t piece : {1u, 7u, 4096u, 65537u}) {
    Deflater d(r);
    std::string out;
    for (size_t i = 0; i < data.size(); i += piece) {
      ASSERT_TRUE(d.Append(std::string_view(data).substr(i, piece), out));
      if (piece == 1 && i > 20000) {  // byte-at-a-time is slow; finish in one go
        ASSERT_TRUE(d.Append(std::string_view(data).substr(i + 1), out));
        break;
      }
    }
    ASSERT_TRUE(d.Finish(out));
    EXPECT_TRUE(out == Zlib9(data)) << "piece " << piece;

    Inflater inf(r);
    std::string back;
    for (size_t i = 0; i < out.size(); i += piece)
      ASSERT_TRUE(inf.Append(std::string_view(out).substr(i, piece), back));
    ASSERT_TRUE(inf.Finish());
    EXPECT_TRUE(back == data);
  }
  EXPECT_TRUE(r.entries.empty());
}

TEST(Decompress, Failures) {
  const std::string good = Zlib9("hello, hello, hello");
  struct Case {
    const char* name;
    std::string input;
    std::string message;
  } cases[] = {
      {"not zlib", "this is no zlib stream", "inflate: incorrect header check\n"},
      {"empty", "", "inflate: ???\n"},
      {"cut short", good.substr(0, good.size() - 3), "inflate: ???\n"},
      {"bad checksum", good.substr(0, good.size() - 1) + static_cast<char>(good.back() ^ 1),
       "inflate: incorrect data check\n"},
  };
  for (const Case& c : cases) {
    RecordingReporter r;
    EXPECT_FALSE(DecompressData(c.input, r)) << c.name;
    EXPECT_EQ(r.entries, (std::vector<Entry>{{true, c.message}})) << c.name;
  }
}

TEST(Decompress, BytesAfterTheStreamAreIgnored) {
  RecordingReporter r;
  const auto back = DecompressData(Zlib9("abc") + "trailing junk", r);
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, "abc");
  EXPECT_TRUE(r.entries.empty());
}

TEST(Decompress, OutputPastTheLimitIsRefused) {
  const std::string bomb = Zlib9(std::string(10 << 20, '\0'));  // ~10 KB -> 10 MiB
  RecordingReporter r;
  EXPECT_FALSE(DecompressData(bomb, r, 1 << 20));
  EXPECT_EQ(r.entries, (std::vector<Entry>{{true, kMsgTooLarge}}));
  RecordingReporter ok;
  EXPECT_TRUE(DecompressData(bomb, ok, 10 << 20));
}

}  // namespace
}  // namespace zentoba
