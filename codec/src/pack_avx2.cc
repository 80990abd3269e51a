// Block packing with AVX2: four groups per 32-byte vector.
//
// Design note.
//
// A group's 7 bytes b0..b6, most significant bit first, are a 56-bit string;
// value s_i is its bits 7i..7i+6. AVX2 shuffles only within 16-byte lanes,
// so each lane carries two groups: 14 bytes in, 16 symbols out.
//
// Encoding:
//   1. Lane 0 is loaded from byte 0 and lane 1 from byte 14 of the four
//      groups. vpshufb turns each group into two big-endian dwords,
//      X0 = b0:b1:b2:b3 (stream bits 0..31) and X1 = b3:b4:b5:b6 (stream
//      bits 24..55); the lane control is 3 2 1 0 6 5 4 3, and the same plus
//      7 for the second group.
//   2. Each dword yields four values, value j of the dword into its byte j.
//      In X0, s0..s3 sit at bits 31..25, 24..18, 17..11, 10..4; in X1,
//      s4..s7 sit at 27..21, 20..14, 13..7, 6..0. Moving value j to bit 8j
//      is one shift per byte, right by 25/21 (X0/X1), right by 10/6, left by
//      5/9 and left by 20/24, each followed by a mask of that byte's 7 bits
//      (vpsrlvd/vpsllvd take the per-dword counts).
//   3. Table lookup, 128 entries: vpshufb in each of the eight 16-entry
//      slices (index bits 0..3). vpshufb gives 0 where the index has bit 7
//      set, so with bit 7 = index bit 4 for the even slices and its inverse
//      for the odd ones, OR joins each pair; then a tree of vpblendvb picks
//      by index bits 5 and 6 (shifted up to bit 7, which vpblendvb reads).
//      (Looking the values up one by one in scalar code instead runs at
//      about a third of the speed.)
//
// Decoding:
//   1. Table lookup, 256 entries: vpshufb in each of the sixteen slices on
//      the symbol's low four bits, pairs joined by bit 4 as above, then a
//      blend tree on bits 5, 6 and 7.
//      Entries with bit 7 set mean "no value"; a vector holding one goes to
//      the scalar code, which stops at the exact failing group.
//   2. vpmaddubsw with byte weights (128, 1) and vpmaddwd with word weights
//      (2^14, 1) join the values into 28-bit dwords D0 = v0..v3 (low) and
//      D1 = v4..v7 of each qword; (q << 28) | (q >> 32) is then the group's
//      56-bit number N in the qword's bits 0..55.
//   3. vpshufb writes N's bytes 6..0 (b0..b6) to lane bytes 0..6 and the
//      second qword's to bytes 7..13; lane 0 is stored at byte 0 and lane 1
//      at byte 14, each as 16 bytes whose last two the next store covers.
//
// The 16-byte accesses reach 30 bytes past a vector's start (32 for the
// symbol load), so vectors run while five groups remain; the rest go to
// the scalar code.

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#include "pack_kernels.h"

#define ZENTOBA_TARGET_AVX2 __attribute__((target("avx2")))

namespace zentoba::detail {
namespace {

ZENTOBA_TARGET_AVX2 inline __m256i Load2x16(const uint8_t* lo, const uint8_t* hi) {
  const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lo));
  const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(hi));
  return _mm256_inserti128_si256(_mm256_castsi128_si256(a), b, 1);
}

ZENTOBA_TARGET_AVX2 inline __m256i Broadcast16(const uint8_t* p) {
  return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

struct EncodeConstants {
  __m256i spread, r0, r1, l2, l3, m0, m1, m2, m3, top;
  __m256i slice[8];
};

ZENTOBA_TARGET_AVX2 inline __m256i CutValues(__m256i bytes, const EncodeConstants& c) {
  const __m256i x = _mm256_shuffle_epi8(bytes, c.spread);
  const __m256i v0 = _mm256_and_si256(_mm256_srlv_epi32(x, c.r0), c.m0);
  const __m256i v1 = _mm256_and_si256(_mm256_srlv_epi32(x, c.r1), c.m1);
  const __m256i v2 = _mm256_and_si256(_mm256_sllv_epi32(x, c.l2), c.m2);
  const __m256i v3 = _mm256_and_si256(_mm256_sllv_epi32(x, c.l3), c.m3);
  return _mm256_or_si256(_mm256_or_si256(v0, v1), _mm256_or_si256(v2, v3));
}

// Entries of a 128-entry table for indexes 0..127.
ZENTOBA_TARGET_AVX2 inline __m256i LookUp128(__m256i idx, const EncodeConstants& c) {
  const __m256i b4 = _mm256_slli_epi16(idx, 3);
  const __m256i b5 = _mm256_slli_epi16(idx, 2);
  const __m256i b6 = _mm256_slli_epi16(idx, 1);
  // Bit 7 of an index zeroes vpshufb's result: `even` (bit 7 = bit 4)
  // keeps the entries of even slices, `odd` those of odd slices, and OR
  // joins each pair.
  const __m256i odd = _mm256_or_si256(idx, _mm256_andnot_si256(b4, c.top));
  const __m256i even = _mm256_xor_si256(odd, c.top);
  __m256i s[4];
  for (int j = 0; j < 4; ++j) {
    s[j] = _mm256_or_si256(_mm256_shuffle_epi8(c.slice[2 * j], even),
                           _mm256_shuffle_epi8(c.slice[2 * j + 1], odd));
  }
  for (int j = 0; j < 2; ++j) s[j] = _mm256_blendv_epi8(s[2 * j], s[2 * j + 1], b5);
  return _mm256_blendv_epi8(s[0], s[1], b6);
}

ZENTOBA_TARGET_AVX2 void EncodeAvx2(const uint8_t* in, size_t groups, uint8_t* out,
                                    const uint8_t* symbols) {
  EncodeConstants c = {
      _mm256_setr_epi8(3, 2, 1, 0, 6, 5, 4, 3, 10, 9, 8, 7, 13, 12, 11, 10,  //
                       3, 2, 1, 0, 6, 5, 4, 3, 10, 9, 8, 7, 13, 12, 11, 10),
      _mm256_set1_epi64x(0x0000001500000019),  // right 25 / 21
      _mm256_set1_epi64x(0x000000060000000A),  // right 10 / 6
      _mm256_set1_epi64x(0x0000000900000005),  // left 5 / 9
      _mm256_set1_epi64x(0x0000001800000014),  // left 20 / 24
      _mm256_set1_epi32(0x0000007F),
      _mm256_set1_epi32(0x00007F00),
      _mm256_set1_epi32(0x007F0000),
      _mm256_set1_epi32(0x7F000000),
      _mm256_set1_epi8(static_cast<char>(0x80)),
      {},
  };
  for (int j = 0; j < 8; ++j) c.slice[j] = Broadcast16(symbols + 16 * j);
  size_t g = 0;
  for (; g + 5 <= groups; g += 4) {
    const uint8_t* src = in + 7 * g;
    const __m256i values = CutValues(Load2x16(src, src + 14), c);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 8 * g), LookUp128(values, c));
  }
  kScalarKernels.encode(in + 7 * g, groups - g, out + 8 * g, symbols);
}

struct DecodeConstants {
  __m256i low4, top, pairs, quads, gather;
  __m256i slice[16];
};

// The entries of a 256-entry table for 32 bytes; false when one of them has
// bit 7 set.
ZENTOBA_TARGET_AVX2 inline bool LookUp256(__m256i idx, const DecodeConstants& c, __m256i& values) {
  const __m256i b4 = _mm256_slli_epi16(idx, 3);
  const __m256i b5 = _mm256_slli_epi16(idx, 2);
  const __m256i b6 = _mm256_slli_epi16(idx, 1);
  // Even and odd slices joined as in LookUp128.
  const __m256i odd =
      _mm256_or_si256(_mm256_and_si256(idx, c.low4), _mm256_andnot_si256(b4, c.top));
  const __m256i even = _mm256_xor_si256(odd, c.top);
  __m256i s[8];
  for (int j = 0; j < 8; ++j) {
    s[j] = _mm256_or_si256(_mm256_shuffle_epi8(c.slice[2 * j], even),
                           _mm256_shuffle_epi8(c.slice[2 * j + 1], odd));
  }
  for (int j = 0; j < 4; ++j) s[j] = _mm256_blendv_epi8(s[2 * j], s[2 * j + 1], b5);
  for (int j = 0; j < 2; ++j) s[j] = _mm256_blendv_epi8(s[2 * j], s[2 * j + 1], b6);
  values = _mm256_blendv_epi8(s[0], s[1], idx);
  return _mm256_movemask_epi8(values) == 0;
}

ZENTOBA_TARGET_AVX2 inline __m256i PackValues(__m256i values, const DecodeConstants& c) {
  const __m256i words = _mm256_maddubs_epi16(c.pairs, values);
  const __m256i dwords = _mm256_madd_epi16(words, c.quads);
  const __m256i number =
      _mm256_or_si256(_mm256_slli_epi64(dwords, 28), _mm256_srli_epi64(dwords, 32));
  return _mm256_shuffle_epi8(number, c.gather);
}

ZENTOBA_TARGET_AVX2 size_t DecodeAvx2(const uint8_t* in, size_t groups, uint8_t* out,
                                      const uint8_t* reverse) {
  DecodeConstants c = {
      _mm256_set1_epi8(0x0F),
      _mm256_set1_epi8(static_cast<char>(0x80)),
      _mm256_set1_epi16(0x0180),                                               // bytes 128, 1
      _mm256_set1_epi32(0x00014000),                                           // words 2^14, 1
      _mm256_setr_epi8(6, 5, 4, 3, 2, 1, 0, 14, 13, 12, 11, 10, 9, 8, -1, -1,  //
                       6, 5, 4, 3, 2, 1, 0, 14, 13, 12, 11, 10, 9, 8, -1, -1),
      {},
  };
  for (int j = 0; j < 16; ++j) c.slice[j] = Broadcast16(reverse + 16 * j);
  size_t g = 0;
  for (; g + 5 <= groups; g += 4) {
    __m256i values;
    if (!LookUp256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 8 * g)), c, values))
      break;
    const __m256i bytes = PackValues(values, c);
    uint8_t* dst = out + 7 * g;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm256_castsi256_si128(bytes));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 14), _mm256_extracti128_si256(bytes, 1));
  }
  return g + kScalarKernels.decode(in + 8 * g, groups - g, out + 7 * g, reverse);
}

}  // namespace

const PackKernels kAvx2Kernels = {EncodeAvx2, DecodeAvx2};

}  // namespace zentoba::detail

#endif  // x86
