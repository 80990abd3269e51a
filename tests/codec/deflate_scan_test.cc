// The deflate block scanner against streams from zlib and libdeflate: the
// final block's start agrees with where zlib's inflate stops between
// blocks, the end agrees with the stream's length, and a second stream
// spliced in at the end bit (BFINAL cleared) inflates to both inputs.

#include "deflate_scan.h"

#include <gtest/gtest.h>
#include <libdeflate.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "test_util.h"

namespace zentoba {
namespace {

const uint8_t* U8(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

std::string RawZlib(const std::string& data, int level, int strategy) {
  z_stream s{};
  EXPECT_EQ(deflateInit2(&s, level, Z_DEFLATED, -15, 8, strategy), Z_OK);
  std::string out(deflateBound(&s, data.size()) + 16, '\0');
  s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  s.avail_in = static_cast<uInt>(data.size());
  s.next_out = reinterpret_cast<Bytef*>(out.data());
  s.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&s, Z_FINISH), Z_STREAM_END);
  out.resize(s.total_out);
  deflateEnd(&s);
  return out;
}

std::string RawLibdeflate(const std::string& data, int level) {
  libdeflate_compressor* c = libdeflate_alloc_compressor(level);
  std::string out(libdeflate_deflate_compress_bound(c, data.size()), '\0');
  out.resize(libdeflate_deflate_compress(c, data.data(), data.size(), out.data(), out.size()));
  libdeflate_free_compressor(c);
  EXPECT_FALSE(out.empty());
  return out;
}

// Inflates raw deflate; nullopt if zlib does not reach the end of the stream.
std::optional<std::string> RawInflate(const std::string& raw, size_t expected) {
  z_stream s{};
  EXPECT_EQ(inflateInit2(&s, -15), Z_OK);
  std::string out(expected + 1, '\0');
  s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(raw.data()));
  s.avail_in = static_cast<uInt>(raw.size());
  s.next_out = reinterpret_cast<Bytef*>(out.data());
  s.avail_out = static_cast<uInt>(out.size());
  const int rc = inflate(&s, Z_FINISH);
  out.resize(s.total_out);
  inflateEnd(&s);
  if (rc != Z_STREAM_END) return std::nullopt;
  return out;
}

// The bit where zlib's inflate starts the final block: inflate with
// Z_BLOCK stops before every block header after the first, and tells how
// many bits of the bytes it took are still unused.
uint64_t FinalBlockStart(const std::string& raw) {
  z_stream s{};
  EXPECT_EQ(inflateInit2(&s, -15), Z_OK);
  std::string out(1 << 16, '\0');
  s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(raw.data()));
  s.avail_in = static_cast<uInt>(raw.size());
  uint64_t start = 0;
  for (;;) {
    s.next_out = reinterpret_cast<Bytef*>(out.data());
    s.avail_out = static_cast<uInt>(out.size());
    const int rc = inflate(&s, Z_BLOCK);
    if (rc == Z_STREAM_END) break;
    EXPECT_EQ(rc, Z_OK);
    if (rc != Z_OK) break;
    // 128: between blocks; 64: the final block was read already.
    if ((s.data_type & (128 | 64)) == 128) start = uint64_t{s.total_in} * 8 - (s.data_type & 7);
  }
  inflateEnd(&s);
  return start;
}

// `a` with its final block's BFINAL cleared, cut at its end bit, followed
// by `b`: bit for bit when `align` is false (Huffman blocks read the same
// at any bit offset), else from the next byte boundary after an empty
// stored block (stored blocks are aligned to bytes).
std::string Splice(const std::string& a, const DeflateScan& scan, const std::string& b,
                   bool align) {
  std::string out = a.substr(0, (scan.end_bit + 7) / 8);
  uint64_t pos = scan.end_bit;  // out holds bits [0, pos), zeros after
  auto clear = [&out](uint64_t bit) {
    out[bit / 8] = static_cast<char>(out[bit / 8] & ~(1 << (bit % 8)));
  };
  clear(scan.last_block_bit);
  for (uint64_t bit = pos; bit < out.size() * 8; ++bit) clear(bit);
  auto put_bit = [&](bool v) {
    if (pos % 8 == 0) out += '\0';
    if (v) out.back() = static_cast<char>(out.back() | (1 << (pos % 8)));
    ++pos;
  };
  if (align) {
    for (int i = 0; i < 3; ++i) put_bit(false);  // BFINAL 0, BTYPE 00
    while (pos % 8 != 0) put_bit(false);
    for (int i = 0; i < 32; ++i) put_bit(i >= 16);  // LEN 0, NLEN FFFF
  }
  for (const char c : b) {
    const auto v = static_cast<uint8_t>(c);
    if (pos % 8 == 0) {
      out += static_cast<char>(v);
    } else {
      out.back() = static_cast<char>(out.back() | (v << (pos % 8)));
      out += static_cast<char>(v >> (8 - pos % 8));
    }
    pos += 8;
  }
  return out;
}

struct Input {
  const char* name;
  std::string data;
};

std::vector<Input> Inputs() {
  std::string mixed;
  for (uint32_t i = 0; i < 6; ++i) {
    mixed += testing::Compressible(40000, i);
    mixed += testing::RandomBytes(9000 * i, i);
  }
  return {
      {"empty", ""},
      {"one byte", "x"},
      {"short text", "hello, hello, hello deflate"},
      {"text", testing::Compressible(150000, 7)},
      {"random", testing::RandomBytes(100000, 8)},
      {"mixed", mixed},
      {"zeros", std::string(300000, '\0')},
  };
}

struct Maker {
  std::string name;
  std::string (*make)(const std::string&, int, int);
  int level;
  int strategy;
};

std::vector<Maker> Makers() {
  std::vector<Maker> makers;
  auto zlib = [](const std::string& d, int level, int strategy) {
    return RawZlib(d, level, strategy);
  };
  auto libdeflate = [](const std::string& d, int level, int) { return RawLibdeflate(d, level); };
  makers.push_back({"zlib stored", zlib, 0, Z_DEFAULT_STRATEGY});
  makers.push_back({"zlib 1", zlib, 1, Z_DEFAULT_STRATEGY});
  makers.push_back({"zlib 9", zlib, 9, Z_DEFAULT_STRATEGY});
  makers.push_back({"zlib fixed", zlib, 9, Z_FIXED});
  makers.push_back({"zlib huffman only", zlib, 9, Z_HUFFMAN_ONLY});
  makers.push_back({"zlib rle", zlib, 9, Z_RLE});
  makers.push_back({"zlib filtered", zlib, 6, Z_FILTERED});
  for (int level = 0; level <= 12; ++level)
    makers.push_back({"libdeflate " + std::to_string(level), libdeflate, level, 0});
  return makers;
}

TEST(DeflateScan, FindsTheFinalBlockAndTheEndOfStreamsFromZlibAndLibdeflate) {
  // Second streams to splice in: a fixed-code block and a dynamic one
  // right at the end bit, and a stored block after alignment.
  struct Tail {
    std::string data;
    std::string raw;
    bool align;
  };
  const std::string text = testing::Compressible(20000, 98);
  const std::string random = testing::RandomBytes(3000, 99);
  const Tail tails[] = {{"tail: spliced after the end bit", {}, false},
                        {text, RawZlib(text, 9, Z_DEFAULT_STRATEGY), false},
                        {random, RawZlib(random, 0, Z_DEFAULT_STRATEGY), true}};
  const std::string fixed_tail = RawZlib(tails[0].data, 9, Z_FIXED);
  for (const Input& in : Inputs()) {
    for (const Maker& m : Makers()) {
      SCOPED_TRACE(std::string(in.name) + " / " + m.name);
      const std::string raw = m.make(in.data, m.level, m.strategy);
      const std::optional<DeflateScan> scan = ScanDeflate(U8(raw), raw.size());
      ASSERT_TRUE(scan);
      EXPECT_EQ(scan->last_block_bit, FinalBlockStart(raw));
      EXPECT_EQ((scan->end_bit + 7) / 8, raw.size());
      EXPECT_LT(scan->last_block_bit, scan->end_bit);
      for (const Tail& t : tails) {
        const std::string& tail_raw = t.raw.empty() ? fixed_tail : t.raw;
        const auto back =
            RawInflate(Splice(raw, *scan, tail_raw, t.align), in.data.size() + t.data.size());
        ASSERT_TRUE(back);
        EXPECT_TRUE(*back == in.data + t.data);
      }
    }
  }
}

TEST(DeflateScan, EveryPrefixOfAStreamIsRefused) {
  const std::string text = testing::Compressible(20000, 3) + testing::RandomBytes(500, 4);
  for (const std::string& raw : {RawZlib(text, 9, Z_DEFAULT_STRATEGY), RawZlib(text, 9, Z_FIXED),
                                 RawZlib(text, 0, Z_DEFAULT_STRATEGY), RawLibdeflate(text, 12)}) {
    ASSERT_TRUE(ScanDeflate(U8(raw), raw.size()));
    for (size_t n = 0; n < raw.size(); ++n) EXPECT_FALSE(ScanDeflate(U8(raw), n)) << n;
  }
}

// Writes deflate bits: fields least significant bit first, Huffman codes
// most significant bit first.
class BitWriter {
 public:
  void Field(unsigned value, int n) {
    for (int i = 0; i < n; ++i) Bit((value >> i) & 1);
  }
  void Code(unsigned code, int len) {
    for (int i = len - 1; i >= 0; --i) Bit((code >> i) & 1);
  }
  std::string bytes;

 private:
  void Bit(unsigned b) {
    if (n_ % 8 == 0) bytes += '\0';
    if (b) bytes.back() = static_cast<char>(bytes.back() | (1 << (n_ % 8)));
    ++n_;
  }
  size_t n_ = 0;
};

// A final fixed-code block: literal 'a', then length symbol 257 followed
// by distance symbol 30, which the fixed code has but deflate forbids.
std::string FixedBlockWithDistance30() {
  BitWriter w;
  w.Field(1, 1);          // BFINAL
  w.Field(1, 2);          // BTYPE fixed
  w.Code(0x30 + 'a', 8);  // literals 0..143: 8-bit codes from 0x30
  w.Code(257 - 256, 7);   // symbols 256..279: 7-bit codes from 0
  w.Code(30, 5);          // distances: 5-bit codes
  w.Code(0, 7);           // end of block
  return w.bytes;
}

TEST(DeflateScan, MalformedStreamsAreRefused) {
  const std::string good = RawZlib(testing::Compressible(5000, 5), 9, Z_DEFAULT_STRATEGY);
  ASSERT_EQ(good[0] & 7, 5);  // final, dynamic
  std::string many_lengths = good;
  many_lengths[0] = static_cast<char>(many_lengths[0] | 0xF8);  // HLIT = 31: 288 codes
  struct Case {
    const char* name;
    std::string raw;
  } cases[] = {
      {"reserved block type", testing::Bytes({0x07, 0x00})},
      {"stored length check", testing::Bytes({0x01, 0x05, 0x00, 0x00, 0x00, 'a'})},
      {"stored data cut short", testing::Bytes({0x01, 0x05, 0x00, 0xFA, 0xFF, 'a', 'b'})},
      {"no final block", testing::Bytes({0x00, 0x00, 0x00, 0xFF, 0xFF})},
      {"fixed distance 30", FixedBlockWithDistance30()},
      {"too many length codes", many_lengths},
  };
  for (const Case& c : cases) EXPECT_FALSE(ScanDeflate(U8(c.raw), c.raw.size())) << c.name;
}

TEST(DeflateScan, TheHandWrittenBlockIsReadAsWrittenWithAValidDistance) {
  // The same block with distance symbol 0 (distance 1) is well formed,
  // which shows the refusal above is for the distance alone.
  BitWriter w;
  w.Field(1, 1);
  w.Field(1, 2);
  w.Code(0x30 + 'a', 8);
  w.Code(257 - 256, 7);
  w.Code(0, 5);
  w.Code(0, 7);
  const auto scan = ScanDeflate(U8(w.bytes), w.bytes.size());
  ASSERT_TRUE(scan);
  EXPECT_EQ(scan->last_block_bit, 0u);
  EXPECT_EQ(scan->end_bit, 3u + 8 + 7 + 5 + 7);
  EXPECT_EQ(RawInflate(w.bytes, 4), std::optional<std::string>("aaaa"));
}

TEST(DeflateScan, RandomBytesNeverReadPastTheBuffer) {
  // Run under the sanitizers, this checks every read stays inside.
  for (uint32_t seed = 0; seed < 2000; ++seed) {
    const std::string junk = testing::RandomBytes(1 + seed % 300, seed);
    if (const auto scan = ScanDeflate(U8(junk), junk.size())) {
      EXPECT_LE(scan->end_bit, junk.size() * 8);
    }
  }
}

}  // namespace
}  // namespace zentoba
