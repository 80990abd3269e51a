// Sizes past 2 and 4 GiB, without converting that much data in a unit test.
#include <zlib.h>

#include "files_fixture.h"

namespace zentoba::testing {
namespace {

using LargeTest = FilesTest;

// Runs `in` through the deflater with `flush` and returns what comes out.
std::string Deflate(z_stream& z, std::string_view in, int flush) {
  std::string out;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  z.avail_in = static_cast<uInt>(in.size());
  char buf[1 << 16];
  int rc;
  do {
    z.next_out = reinterpret_cast<Bytef*>(buf);
    z.avail_out = sizeof buf;
    rc = deflate(&z, flush);
    EXPECT_TRUE(rc == Z_OK || rc == Z_STREAM_END || rc == Z_BUF_ERROR) << rc;
    out.append(buf, sizeof buf - z.avail_out);
  } while (flush == Z_FINISH ? rc != Z_STREAM_END : z.avail_out == 0);
  return out;
}

// The zlib stream of the record (name, 0x00, `segments` x `segment` zero
// bytes, `tail`), made by compressing one segment only: a segment that ends
// with a sync flush is whole deflate blocks, and since every match in it
// reaches back into zeros alone it may follow itself any number of times.
// The Adler-32 trailer is combined for the whole record.
std::string ZlibOfZeros(std::string_view name, int segments, size_t segment,
                        std::string_view tail) {
  z_stream z{};
  EXPECT_EQ(deflateInit(&z, 1), Z_OK);
  const std::string record_head = Record(name, "");
  const std::string zeros(segment, '\0');
  std::string stream = Deflate(z, record_head, Z_SYNC_FLUSH);
  const std::string blocks = Deflate(z, zeros, Z_SYNC_FLUSH);
  std::string end = Deflate(z, tail, Z_FINISH);
  deflateEnd(&z);
  end.resize(end.size() - 4);  // the trailer of the shorter record

  const auto adler = [](std::string_view s) {
    return adler32(adler32(0, nullptr, 0), reinterpret_cast<const Bytef*>(s.data()),
                   static_cast<uInt>(s.size()));
  };
  uLong sum = adler(record_head);
  const uLong zeros_sum = adler(zeros);
  for (int i = 0; i < segments; ++i) {
    stream += blocks;
    sum = adler32_combine64(sum, zeros_sum, static_cast<z_off64_t>(segment));
  }
  sum = adler32_combine64(sum, adler(tail), static_cast<z_off64_t>(tail.size()));
  stream += end;
  for (int shift = 24; shift >= 0; shift -= 8) stream += static_cast<char>((sum >> shift) & 0xFF);
  return stream;
}

// A record of 2 GiB + 3 bytes of contents is measured to the byte.
TEST_F(LargeTest, ContentsPastTwoGiB) {
  const size_t segment = size_t{64} << 20;
  const std::string stream = ZlibOfZeros("big.bin", 32, segment, "end");
  RecordingReporter reporter;
  Write(Path("big.zen"), FullHeader() + EncodeData(stream, false, reporter));
  int fd = OpenSource(Path("big.zen"));
  ASSERT_GE(fd, 0);
  DecodedFileInfo info;
  EXPECT_EQ(InspectEncodedFile(fd, 4, reporter, &info), FileResult::kOk);
  close(fd);
  EXPECT_TRUE(reporter.entries.empty());
  EXPECT_EQ(info.stored_name, "big.bin");
  EXPECT_EQ(info.content_size, (uint64_t{1} << 31) + 3);
}

// The encoder takes the whole length of a file past 4 GiB; cancelled after
// its first chunk, it leaves nothing.
TEST_F(LargeTest, EncoderSeesTheWholeLength) {
  const uint64_t size = (uint64_t{3} << 31) + 1;
  {
    int fd = open(Path("sparse").c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, static_cast<off_t>(size)), 0);
    close(fd);
  }
  uint64_t seen_done = 0, seen_total = 0;
  FileOptions options;
  options.progress = [&](uint64_t done, uint64_t total) {
    seen_done = done;
    seen_total = total;
    return false;
  };
  RecordingReporter reporter;
  EXPECT_EQ(Encode(Path("sparse"), To(Path("sparse.zen")), reporter, options),
            FileResult::kCancelled);
  EXPECT_EQ(seen_total, size);
  EXPECT_GT(seen_done, 0u);
  EXPECT_LT(seen_done, size);
  EXPECT_TRUE(reporter.entries.empty());
  EXPECT_EQ(List(), std::vector<std::string>{"sparse"});
}

}  // namespace
}  // namespace zentoba::testing
