// Deflate block scanner.
//
// Design: a bit reader over the buffer and a lookup table per Huffman
// code. Deflate stores Huffman codes most significant bit first inside a
// stream read least significant bit first, so a table indexed by the next
// input bits holds, at every index whose low `len` bits are the
// bit-reversed code of a symbol, that symbol and `len`; one lookup decodes
// one symbol. A flat table for 15-bit codes would be 32768 two-byte entries
// (64 KiB), more than the first-level data cache, and compressors make
// codes that long for most large blocks; so codes of up to 10 bits are
// looked up in a 2 KiB root table and longer ones through a link to a
// subtable for their 10-bit prefix. Long codes are the rare symbols, so the
// second lookup is rare too. Measured on 64 MiB of files, this walks
// libdeflate's level 9 output at about 350 MB/s of the input it carries,
// some 15 times the rate at which libdeflate makes it.
//
// The reader loads eight bytes at a time and so always has at least 57 bits
// ahead; the longest single field read at once is a 15-bit code, a 13-bit
// distance extra or a 7-bit repeat count. Bits past the end of the buffer
// read as zero and the position is checked against the end after every
// symbol, so a truncated or corrupt stream ends the walk instead of looping.

#include "deflate_scan.h"

#include <array>
#include <bit>
#include <cstring>
#include <memory>

namespace zentoba {
namespace {

constexpr int kMaxCodeBits = 15;
constexpr int kNumLitLen = 288;  // 286 usable, 2 more in the fixed code
constexpr int kNumDist = 32;     // 30 usable, 2 more in the fixed code
constexpr int kNumCodeLen = 19;

// Extra bits after length symbols 257..285 and distance symbols 0..29.
constexpr std::array<uint8_t, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<uint8_t, 30> kDistExtra = {0, 0, 0,  0,  1,  1,  2,  2,  3,  3,
                                                4, 4, 5,  5,  6,  6,  7,  7,  8,  8,
                                                9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
// The order in which a dynamic header lists the code-length code's lengths.
constexpr std::array<uint8_t, kNumCodeLen> kCodeLenOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                            11, 4,  12, 3, 13, 2, 14, 1, 15};

class BitReader {
 public:
  BitReader(const uint8_t* data, size_t size)
      : data_(data), size_(size), end_(uint64_t{size} * 8) {}

  // At least 57 bits from the current position; zeros past the end.
  uint64_t Peek() const {
    const size_t byte = static_cast<size_t>(pos_ >> 3);
    uint64_t v = 0;
    if (byte + 8 <= size_) {
      if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&v, data_ + byte, 8);
      } else {
        for (int i = 7; i >= 0; --i) v = (v << 8) | data_[byte + i];
      }
    } else {
      for (size_t i = size_; i-- > byte;) v = (v << 8) | data_[i];
    }
    return v >> (pos_ & 7);
  }
  uint64_t Read(int n) {
    const uint64_t v = Peek() & ((uint64_t{1} << n) - 1);
    pos_ += static_cast<uint64_t>(n);
    return v;
  }
  void Skip(uint64_t n) { pos_ += n; }
  void AlignToByte() { pos_ = (pos_ + 7) & ~uint64_t{7}; }
  bool Overrun() const { return pos_ > end_; }
  uint64_t pos() const { return pos_; }

 private:
  const uint8_t* data_;
  size_t size_;
  uint64_t end_;
  uint64_t pos_ = 0;
};

// A two-level decoding table. The root table is indexed by the next
// root_bits input bits; a code no longer than that fills every root entry
// whose low bits are its bit-reversed code. Longer codes share a root
// entry per root-bits prefix, which links to a subtable indexed by the
// following sub_bits bits.
//
// entry = symbol << 4 | code length for a symbol; (subtable + 1) << 4 for
// a link (length field 0); 0 where no code reaches.
template <int kMaxBits>
struct Huffman {
  static constexpr int kRootBits = kMaxBits < 10 ? kMaxBits : 10;
  int root_bits = 1;
  int sub_bits = 0;
  std::array<uint16_t, (size_t{1} << kRootBits) + (size_t{1} << kMaxBits)> entry;

  // False for an over-subscribed code. An incomplete code is accepted; its
  // unused entries stay 0 and fail when met.
  bool Build(const uint8_t* lens, int count) {
    std::array<int, kMaxCodeBits + 1> per_len{};
    for (int s = 0; s < count; ++s) ++per_len[lens[s]];
    per_len[0] = 0;
    int left = 1;
    int max_len = 1;  // with no symbol at all every lookup fails
    for (int len = 1; len <= kMaxBits; ++len) {
      left = 2 * left - per_len[len];
      if (left < 0) return false;
      if (per_len[len] != 0) max_len = len;
    }
    root_bits = max_len < kRootBits ? max_len : kRootBits;
    sub_bits = max_len - root_bits;
    const size_t root_size = size_t{1} << root_bits;
    const size_t sub_size = size_t{1} << sub_bits;
    std::fill_n(entry.begin(), root_size, uint16_t{0});
    std::array<unsigned, kMaxCodeBits + 1> next{};
    unsigned code = 0;
    for (int len = 1; len <= kMaxBits; ++len) {
      code = (code + static_cast<unsigned>(per_len[len - 1])) << 1;
      next[len] = code;
    }
    unsigned subtables = 0;
    for (int s = 0; s < count; ++s) {
      const int len = lens[s];
      if (len == 0) continue;
      unsigned c = next[len]++;
      unsigned reversed = 0;
      for (int i = 0; i < len; ++i, c >>= 1) reversed = (reversed << 1) | (c & 1);
      const auto e = static_cast<uint16_t>(s << 4 | len);
      if (len <= root_bits) {
        for (size_t i = reversed; i < root_size; i += size_t{1} << len) entry[i] = e;
        continue;
      }
      // A prefix-free code gives no shorter code this root entry.
      uint16_t& link = entry[reversed & (root_size - 1)];
      if (link == 0) {
        link = static_cast<uint16_t>(++subtables << 4);
        std::fill_n(entry.begin() + static_cast<ptrdiff_t>(root_size + (subtables - 1) * sub_size),
                    sub_size, uint16_t{0});
      }
      const size_t base = root_size + ((link >> 4) - 1) * sub_size;
      for (size_t i = reversed >> root_bits; i < sub_size; i += size_t{1} << (len - root_bits)) {
        entry[base + i] = e;
      }
    }
    return true;
  }

  // The entry for the code at the low end of `bits` (which holds at least
  // kMaxBits bits): symbol << 4 | length, or 0.
  unsigned Lookup(uint64_t bits) const {
    const unsigned e = entry[bits & ((uint64_t{1} << root_bits) - 1)];
    if ((e & 15) != 0 || e == 0) return e;
    const size_t sub = (bits >> root_bits) & ((uint64_t{1} << sub_bits) - 1);
    return entry[(size_t{1} << root_bits) + ((e >> 4) - 1) * (size_t{1} << sub_bits) + sub];
  }

  // The next symbol, or -1 where no code reaches.
  int Decode(BitReader& in) const {
    const unsigned e = Lookup(in.Peek());
    if (e == 0) return -1;
    in.Skip(e & 15);
    return static_cast<int>(e >> 4);
  }
};

struct Codes {
  Huffman<kMaxCodeBits> litlen;
  Huffman<kMaxCodeBits> dist;
};

const Codes& FixedCodes() {
  static const Codes* codes = [] {
    auto* c = new Codes;
    std::array<uint8_t, kNumLitLen> lit{};
    std::fill(lit.begin(), lit.begin() + 144, 8);
    std::fill(lit.begin() + 144, lit.begin() + 256, 9);
    std::fill(lit.begin() + 256, lit.begin() + 280, 7);
    std::fill(lit.begin() + 280, lit.end(), 8);
    std::array<uint8_t, kNumDist> dist;
    dist.fill(5);
    c->litlen.Build(lit.data(), kNumLitLen);
    c->dist.Build(dist.data(), kNumDist);
    return c;
  }();
  return *codes;
}

// Reads a dynamic block's header into `codes`.
bool ReadDynamicHeader(BitReader& in, Codes& codes) {
  const int nlit = static_cast<int>(in.Read(5)) + 257;
  const int ndist = static_cast<int>(in.Read(5)) + 1;
  const int ncl = static_cast<int>(in.Read(4)) + 4;
  if (nlit > 286 || ndist > 30) return false;
  std::array<uint8_t, kNumCodeLen> cl_lens{};
  for (int i = 0; i < ncl; ++i) cl_lens[kCodeLenOrder[i]] = static_cast<uint8_t>(in.Read(3));
  Huffman<7> cl;
  if (!cl.Build(cl_lens.data(), kNumCodeLen)) return false;

  std::array<uint8_t, kNumLitLen + kNumDist> lens{};
  int n = 0;
  while (n < nlit + ndist) {
    const int sym = cl.Decode(in);
    if (sym < 0) return false;
    if (sym < 16) {
      lens[n++] = static_cast<uint8_t>(sym);
      continue;
    }
    uint8_t value = 0;
    int repeat;
    if (sym == 16) {
      if (n == 0) return false;
      value = lens[n - 1];
      repeat = 3 + static_cast<int>(in.Read(2));
    } else if (sym == 17) {
      repeat = 3 + static_cast<int>(in.Read(3));
    } else {
      repeat = 11 + static_cast<int>(in.Read(7));
    }
    if (n + repeat > nlit + ndist) return false;
    std::fill_n(lens.begin() + n, repeat, value);
    n += repeat;
  }
  if (in.Overrun() || lens[256] == 0) return false;  // end-of-block needs a code
  return codes.litlen.Build(lens.data(), nlit) && codes.dist.Build(lens.data() + nlit, ndist);
}

// Walks the symbols of a Huffman block up to and including end-of-block.
// One load serves a whole match (code, length extra, distance code and
// extra: at most 15 + 5 + 15 + 13 = 48 of the 57 bits) or up to three
// literals (3 x 15 = 45 bits).
bool SkipSymbols(BitReader& in, const Codes& codes) {
  for (;;) {
    const uint64_t bits = in.Peek();
    unsigned used = 0;
    unsigned e = codes.litlen.Lookup(bits);
    for (int literals = 1; (e >> 4) < 256 && literals < 3; ++literals) {
      if (e == 0) return false;
      used += e & 15;
      e = codes.litlen.Lookup(bits >> used);
    }
    if (e == 0) return false;
    const unsigned sym = e >> 4;
    if (sym > 256 && used > 0) {  // a match after literals: load afresh for it
      in.Skip(used);
      if (in.Overrun()) return false;
      continue;
    }
    used += e & 15;
    if (sym < 256) {
      in.Skip(used);
      if (in.Overrun()) return false;
      continue;
    }
    if (sym == 256) {
      in.Skip(used);
      return true;
    }
    if (sym > 285) return false;
    used += kLengthExtra[sym - 257];
    const unsigned d = codes.dist.Lookup(bits >> used);
    if (d == 0 || (d >> 4) > 29) return false;
    used += (d & 15) + kDistExtra[d >> 4];
    in.Skip(used);
    if (in.Overrun()) return false;
  }
}

}  // namespace

std::optional<DeflateScan> ScanDeflate(const uint8_t* data, size_t size) {
  BitReader in(data, size);
  std::unique_ptr<Codes> dynamic;
  for (;;) {
    const uint64_t start = in.pos();
    const uint64_t header = in.Read(3);
    const bool final = (header & 1) != 0;
    switch (header >> 1) {
      case 0: {  // stored: align, LEN, NLEN, LEN bytes
        in.AlignToByte();
        const uint64_t len = in.Read(16);
        const uint64_t nlen = in.Read(16);
        if (len != (~nlen & 0xFFFF)) return std::nullopt;
        in.Skip(len * 8);
        break;
      }
      case 1:
        if (!SkipSymbols(in, FixedCodes())) return std::nullopt;
        break;
      case 2:
        if (!dynamic) dynamic = std::make_unique<Codes>();
        if (!ReadDynamicHeader(in, *dynamic) || !SkipSymbols(in, *dynamic)) return std::nullopt;
        break;
      default:
        return std::nullopt;
    }
    if (in.Overrun()) return std::nullopt;
    if (final) return DeflateScan{start, in.pos()};
  }
}

}  // namespace zentoba
