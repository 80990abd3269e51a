// Compression of inputs past 1 MiB in blocks on several threads: one zlib
// stream that any inflater reads, the same bytes for every thread count and
// every way of feeding the input, never larger than one zlib level 9
// stream, and zlib's own bytes up to 1 MiB.

#include <gtest/gtest.h>
#include <libdeflate.h>
#include <zlib.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "parallel_deflate.h"
#include "test_util.h"
#include "zentoba/codec.h"
#include "zentoba/stream.h"

namespace zentoba {
namespace {

using Entry = RecordingReporter::Entry;
constexpr size_t kMiB = size_t{1} << 20;

using testing::Zlib9;

// zlib's one-shot uncompress, which also checks the Adler-32.
std::optional<std::string> Uncompress(const std::string& z, size_t expected) {
  std::string out(expected + 1, '\0');
  uLongf size = out.size();
  if (uncompress(reinterpret_cast<Bytef*>(out.data()), &size,
                 reinterpret_cast<const Bytef*>(z.data()), z.size()) != Z_OK) {
    return std::nullopt;
  }
  out.resize(size);
  return out;
}

// Bit offsets (from the start of the deflate data) and output counts at
// which zlib's inflate finds a block boundary.
struct Boundary {
  uint64_t bit;
  uint64_t out;
};
std::vector<Boundary> Boundaries(const std::string& z) {
  z_stream s{};
  EXPECT_EQ(inflateInit(&s), Z_OK);
  std::string out(1 << 16, '\0');
  s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(z.data()));
  s.avail_in = static_cast<uInt>(z.size());
  std::vector<Boundary> found;
  for (;;) {
    s.next_out = reinterpret_cast<Bytef*>(out.data());
    s.avail_out = static_cast<uInt>(out.size());
    const int rc = inflate(&s, Z_BLOCK);
    if (rc != Z_OK) break;
    if ((s.data_type & 128) != 0 && s.total_in > 2)
      found.push_back({(uint64_t{s.total_in} - 2) * 8 - (s.data_type & 7), s.total_out});
  }
  inflateEnd(&s);
  return found;
}

// Text, random bytes, long runs and real machine code (this test program),
// in stretches that do not line up with the blocks.
std::string Mixed(size_t n, uint32_t seed) {
  static const std::string program = [] {
    std::ifstream f("/proc/self/exe", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  }();
  std::mt19937 rng(seed);
  std::string s;
  while (s.size() < n) {
    const size_t len = 1000 + rng() % 300000;
    switch (rng() % 4) {
      case 0:
        s += testing::Compressible(len, rng());
        break;
      case 1:
        s += testing::RandomBytes(len / 8, rng());
        break;
      case 2:
        s += std::string(len / 4, static_cast<char>(rng()));
        break;
      default: {
        const size_t at = program.empty() ? 0 : rng() % program.size();
        s += program.substr(at, len);
      }
    }
  }
  s.resize(n);
  return s;
}

class Threads : public ::testing::Test {
 protected:
  void TearDown() override {
    SetCompressionThreads(0);
    BlockDeflater::FailBlockForTesting(UINT64_MAX);
  }
};

using ParallelCompress = Threads;

TEST_F(ParallelCompress, OneStreamWhateverTheThreadsAndSize) {
  const size_t sizes[] = {0,
                          1,
                          kMiB - 1,
                          kMiB,
                          kMiB + 1,
                          2 * kMiB,
                          2 * kMiB + 1,
                          3 * kMiB,
                          3 * kMiB + 1,
                          3 * kMiB + 12345};
  for (size_t n : sizes) {
    SCOPED_TRACE(n);
    const std::string data = Mixed(n, static_cast<uint32_t>(n));
    std::string first;
    for (unsigned threads : {1u, 2u, 3u, 8u}) {
      SetCompressionThreads(threads);
      RecordingReporter r;
      const auto z = CompressData(data, r);
      ASSERT_TRUE(z);
      EXPECT_TRUE(r.entries.empty());
      if (first.empty()) first = *z;
      EXPECT_TRUE(*z == first) << threads << " threads";
    }
    const auto back = Uncompress(first, n);
    ASSERT_TRUE(back);
    EXPECT_TRUE(*back == data);
    if (n <= kSingleStreamLimit) {
      EXPECT_TRUE(first == Zlib9(data));
      continue;
    }
    EXPECT_EQ(first.substr(0, 2), "\x78\xDA");
    // Every block but the last ends on a byte boundary, right where its
    // input ends.
    const std::vector<Boundary> found = Boundaries(first);
    for (size_t k = 1; k * kBlockSize < n; ++k) {
      bool aligned = false;
      for (const Boundary& b : found) aligned |= b.out == k * kBlockSize && b.bit % 8 == 0;
      EXPECT_TRUE(aligned) << "block " << k;
    }
  }
}

TEST_F(ParallelCompress, AnyFeedingGivesTheOneShotBytes) {
  std::mt19937 rng(5);
  for (size_t n : {kMiB, kMiB + 1, 2 * kMiB, 2 * kMiB + 3}) {
    const std::string data = Mixed(n, static_cast<uint32_t>(n) + 1);
    SetCompressionThreads(2);
    RecordingReporter r;
    const std::string want = *CompressData(data, r);
    for (unsigned threads : {1u, 3u}) {
      SetCompressionThreads(threads);
      for (size_t piece : {size_t{1}, size_t{4093}, kMiB - 1, kMiB, kMiB + 1, size_t{0}}) {
        SCOPED_TRACE(::testing::Message()
                     << n << " bytes, pieces of " << piece << ", " << threads << " threads");
        Deflater d(r);
        std::string out;
        for (size_t i = 0; i < n;) {
          const size_t len = piece != 0 ? piece : rng() % 200000;  // 0: random pieces
          ASSERT_TRUE(d.Append(std::string_view(data).substr(i, len), out));
          i += len;
        }
        ASSERT_TRUE(d.Finish(out));
        EXPECT_TRUE(out == want);
      }
    }
    EXPECT_TRUE(r.entries.empty());
  }
}

TEST_F(ParallelCompress, PiecesStreamOutBeforeFinish) {
  const std::string data = Mixed(9 * kMiB + 1, 11);
  for (unsigned threads : {1u, 2u, 3u}) {
    SetCompressionThreads(threads);
    RecordingReporter r;
    Deflater d(r);
    std::string out;
    ASSERT_TRUE(d.Append(data, out));
    // At most two blocks per thread wait; the rest are already out.
    EXPECT_FALSE(out.empty()) << threads;
    const size_t before = out.size();
    ASSERT_TRUE(d.Finish(out));
    EXPECT_GT(out.size(), before);
    EXPECT_TRUE(Uncompress(out, data.size()) == data);
  }
}

TEST_F(ParallelCompress, NoLargerThanOneZlibStream) {
  const std::string data = Mixed(6 * kMiB + 77, 21);
  SetCompressionThreads(2);
  RecordingReporter r;
  const auto z = CompressData(data, r);
  ASSERT_TRUE(z);
  EXPECT_LE(z->size(), Zlib9(data).size());
}

TEST_F(ParallelCompress, ADeflaterDroppedHalfwayStopsItsThreads) {
  const std::string data = Mixed(5 * kMiB, 31);
  for (unsigned threads : {2u, 8u}) {
    SetCompressionThreads(threads);
    RecordingReporter r;
    Deflater d(r);
    std::string out;
    ASSERT_TRUE(d.Append(data, out));
  }
}

TEST_F(ParallelCompress, ACompressorFailureIsReportedOnce) {
  const std::string data = Mixed(3 * kMiB + 5, 41);
  for (unsigned threads : {1u, 2u, 3u}) {
    SetCompressionThreads(threads);
    for (uint64_t block : {0u, 1u, 3u}) {  // the first, a middle and the last
      SCOPED_TRACE(::testing::Message() << threads << " threads, block " << block);
      BlockDeflater::FailBlockForTesting(block);
      RecordingReporter r;
      EXPECT_FALSE(CompressData(data, r));
      EXPECT_EQ(r.entries, (std::vector<Entry>{{true, "deflate: ???\n"}}));

      RecordingReporter fed;
      Deflater d(fed);
      std::string out;
      bool ok = true;
      for (size_t i = 0; i < data.size() && ok; i += 500000)
        ok = d.Append(std::string_view(data).substr(i, 500000), out);
      ok = ok && d.Finish(out);
      EXPECT_FALSE(ok);
      EXPECT_FALSE(d.ok());
      EXPECT_FALSE(d.Append("more", out));
      EXPECT_FALSE(d.Finish(out));
      EXPECT_EQ(fed.entries, (std::vector<Entry>{{true, "deflate: ???\n"}}));
    }
  }
}

TEST_F(Threads, CountComesFromTheSetterTheEnvironmentOrTheHardware) {
  const unsigned hw = std::max(1u, std::thread::hardware_concurrency());
  struct Case {
    unsigned set;
    const char* env;  // null: unset
    unsigned want;
  } cases[] = {
      {0, nullptr, hw}, {0, "3", 3}, {0, "1", 1}, {0, "0", hw},    {0, "-2", hw},
      {0, "4x", hw},    {0, "", hw}, {5, "3", 5}, {5, nullptr, 5},
  };
  const char* saved = std::getenv("ZENTOBA_THREADS");
  const std::string saved_value = saved ? saved : "";
  for (const Case& c : cases) {
    if (c.env) {
      setenv("ZENTOBA_THREADS", c.env, 1);
    } else {
      unsetenv("ZENTOBA_THREADS");
    }
    SetCompressionThreads(c.set);
    EXPECT_EQ(CompressionThreads(), c.want) << c.set << " " << (c.env ? c.env : "unset");
  }
  if (saved) {
    setenv("ZENTOBA_THREADS", saved_value.c_str(), 1);
  } else {
    unsetenv("ZENTOBA_THREADS");
  }
}

TEST(CompressPiece, ChainedPiecesInflateAsOneStream) {
  // Pieces made by hand from blocks of different kinds, wrapped as
  // CompressData would; zlib must read them as one stream.
  const std::vector<std::string> blocks = {testing::Compressible(70000, 1),
                                           testing::RandomBytes(50000, 2), std::string(1, 'z'),
                                           std::string(90000, '\0'), testing::Compressible(10, 3)};
  libdeflate_compressor* c = libdeflate_alloc_compressor(kBlockLevel);
  std::string z = "\x78\xDA", all;
  uint32_t adler = 1;
  for (size_t i = 0; i < blocks.size(); ++i) {
    std::string piece;
    uint32_t a = 0;
    ASSERT_EQ(CompressPiece(c, blocks[i], i + 1 == blocks.size(), piece, a), nullptr);
    EXPECT_EQ(a, adler32(1, reinterpret_cast<const Bytef*>(blocks[i].data()), blocks[i].size()));
    z += piece;
    all += blocks[i];
    adler =
        static_cast<uint32_t>(adler32_combine(adler, a, static_cast<z_off_t>(blocks[i].size())));
  }
  libdeflate_free_compressor(c);
  for (int shift = 24; shift >= 0; shift -= 8) z += static_cast<char>(adler >> shift);
  EXPECT_TRUE(Uncompress(z, all.size()) == all);
}

}  // namespace
}  // namespace zentoba
