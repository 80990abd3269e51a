// Block packing with AVX-512 VBMI: eight groups per 64-byte vector.
//
// Design note.
//
// A group's 7 bytes b0..b6, most significant bit first, are a 56-bit number
// N = b0 << 48 | b1 << 40 | ... | b6; its values are s_i = N >> (49 - 7i)
// (7 bits each, i = 0..7).
//
// Encoding, 56 bytes in, 64 symbols out:
//   1. vpermb puts group g into qword g with its bytes reversed
//      (byte k <- b_{6-k}), so the qword read as a little-endian integer is
//      exactly N (byte 7 is filler). Index of byte 8g + k: 7g + 6 - k.
//   2. vpmultishiftqb copies, for output byte i, the 8 bits of the qword that
//      start at bit 49 - 7i: controls 49 42 35 28 21 14 7 0, i.e. the qword
//      0x00070E151C232A31. The low 7 bits of each byte are s_i; bit 7 is a
//      neighbour's bit.
//   3. vpermi2b looks each byte up in the 128-entry table held in two
//      registers. It reads only index bits 0..6 (bit 6 picks the register),
//      so the stray bit 7 needs no masking.
//
// Decoding, 64 symbols in, 56 bytes out:
//   1. The 256-entry reverse table lives in four registers. vpermi2b
//      (index bits 0..6) under a mask of the symbols' top bits looks up
//      symbols 128..255 in entries 128..255 and keeps the other symbols,
//      which a second vpermi2b under the inverse mask looks up in entries
//      0..127. Entries with bit 7 set
//      mean "no value"; any such byte sends its vector (or run, below) to
//      the scalar code, which stops at the exact failing group.
//   2. vpmaddubsw with byte weights (128, 1) joins value pairs into 14-bit
//      words v0:v1, ..., and vpmaddwd with word weights (2^14, 1) joins
//      those into 28-bit dwords D0 = v0..v3 (low dword) and D1 = v4..v7.
//   3. vpsllvd moves D1 up by 4, so the qword holds D0 in bits 0..27 and D1
//      in bits 36..63. N = D0 << 28 | D1, so N's top byte (b0) is qword
//      bits 20..27, b1 is 12..19, b2 is 4..11, b3 = N bits 24..31 wraps
//      around as qword bits 60..63 then 0..3, b4 is 52..59, b5 44..51 and b6
//      36..43. vpmultishiftqb with controls 20 12 4 60 52 44 36 (qword
//      0x00242C343C040C14) writes b0..b6 to bytes 0..6.
//   4. vpermb compacts the eight 7-byte groups (index of byte 7g + j:
//      8g + j) into the low 56 bytes, which are stored.
//
// Stores. 64-byte stores at 56-byte steps each split two cache lines and
// write every line twice, which costs more than the arithmetic. So past a
// short lead-in of single vectors that brings the output to a line
// boundary, runs of 64 groups (eight vectors in, 448 bytes = seven lines
// out) skip step 4: vpermt2b builds line k straight from vectors k and
// k + 1 (output byte p = 64k + i is byte p % 56 of vector p / 56, found
// at 8 * (p % 56 / 7) + p % 7 of that vector), and each line is stored
// once, aligned. Encoded output is a line per vector already; it is
// aligned the same way when the buffer allows. Outputs of kStreamingBytes
// and more use non-temporal stores, which write a line without reading it
// first; they would not stay in the caches anyway.
//
// Vector loads and stores of 64 bytes are used only where 64 bytes of the
// buffer remain; otherwise a masked access covers exactly the 56 bytes, and
// fewer than eight groups go to the scalar code.

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#include <array>
#include <cstddef>
#include <cstdint>

#include "pack_kernels.h"

#define ZENTOBA_TARGET_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi,avx512vl")))

namespace zentoba::detail {
namespace {

using Index = std::array<uint8_t, 64>;

constexpr Index MakeEncodeGather() {
  Index idx{};
  for (int g = 0; g < 8; ++g) {
    for (int k = 0; k < 7; ++k) idx[8 * g + k] = static_cast<uint8_t>(7 * g + 6 - k);
    idx[8 * g + 7] = static_cast<uint8_t>(7 * g);
  }
  return idx;
}

constexpr Index MakeDecodeCompact() {
  Index idx{};
  for (int p = 0; p < 56; ++p) idx[p] = static_cast<uint8_t>(8 * (p / 7) + p % 7);
  return idx;
}

// Byte i of output line k of a run of 64 decoded groups, from the
// uncompacted vectors k (indexes 0..63) and k + 1 (64..127).
constexpr std::array<Index, 7> MakeDecodeLines() {
  std::array<Index, 7> lines{};
  for (int k = 0; k < 7; ++k) {
    for (int i = 0; i < 64; ++i) {
      const int p = 64 * k + i, vector = p / 56, offset = p % 56;
      lines[k][i] = static_cast<uint8_t>((vector == k ? 0 : 64) + 8 * (offset / 7) + offset % 7);
    }
  }
  return lines;
}

constexpr Index kEncodeGather = MakeEncodeGather();
constexpr Index kDecodeCompact = MakeDecodeCompact();
constexpr std::array<Index, 7> kDecodeLines = MakeDecodeLines();

// Outputs of this size and more go straight to memory (see the note above).
constexpr size_t kStreamingBytes = size_t{8} << 20;

constexpr long long kEncodeCut = 0x00070E151C232A31;   // 49 42 35 28 21 14 7 0
constexpr long long kDecodeCut = 0x00242C343C040C14;   // 20 12 4 60 52 44 36 0
constexpr __mmask64 kGroupBytes = 0x00FFFFFFFFFFFFFF;  // 56 bytes: eight groups of 7

ZENTOBA_TARGET_AVX512 inline __m512i LoadIndex(const Index& idx) {
  return _mm512_loadu_si512(idx.data());
}

// The zero-masking forms with every lane selected are the plain
// instructions; GCC 12 warns about the "undefined" source of the plain
// intrinsics.
constexpr __mmask64 kAll = ~__mmask64{0};

ZENTOBA_TARGET_AVX512 inline __m512i PermuteBytes(__m512i idx, __m512i x) {
  return _mm512_maskz_permutexvar_epi8(kAll, idx, x);
}

ZENTOBA_TARGET_AVX512 inline __m512i MultiShift(__m512i control, __m512i x) {
  return _mm512_maskz_multishift_epi64_epi8(kAll, control, x);
}

struct EncodeConstants {
  __m512i gather, cut, lo, hi;
};

ZENTOBA_TARGET_AVX512 inline __m512i EncodeVector(__m512i bytes, const EncodeConstants& c) {
  const __m512i numbers = PermuteBytes(c.gather, bytes);
  const __m512i values = MultiShift(c.cut, numbers);
  return _mm512_permutex2var_epi8(c.lo, values, c.hi);
}

// A vector to an aligned cache line, through the caches or around them.
template <bool kStream>
ZENTOBA_TARGET_AVX512 inline void StoreLine(uint8_t* line, __m512i x) {
  if constexpr (kStream) {
    _mm512_stream_si512(reinterpret_cast<__m512i*>(line), x);
  } else {
    _mm512_store_si512(line, x);
  }
}

// The number of leading groups, of `group_bytes` (8 or 7) output bytes each,
// after which `out` reaches a cache line boundary; for 8, `out` must be
// 8-byte aligned. 55 is the inverse of 7 modulo 64 (7 * 55 = 6 * 64 + 1).
inline size_t GroupsToLine(const uint8_t* out, size_t group_bytes) {
  const size_t gap = (64 - reinterpret_cast<uintptr_t>(out) % 64) % 64;
  return group_bytes == 8 ? gap / 8 : gap * 55 % 64;
}

template <bool kStream>
ZENTOBA_TARGET_AVX512 size_t EncodeLines(const uint8_t* in, size_t groups, uint8_t* out,
                                         const EncodeConstants& c) {
  size_t g = 0;
  // A full load reads 64 of the 7 * (groups - g) bytes left.
  for (; g + 10 <= groups; g += 8) {
    StoreLine<kStream>(out + 8 * g, EncodeVector(_mm512_loadu_si512(in + 7 * g), c));
  }
  if constexpr (kStream) _mm_sfence();
  return g;
}

ZENTOBA_TARGET_AVX512 void EncodeAvx512(const uint8_t* in, size_t groups, uint8_t* out,
                                        const uint8_t* symbols) {
  const EncodeConstants c = {LoadIndex(kEncodeGather), _mm512_set1_epi64(kEncodeCut),
                             _mm512_loadu_si512(symbols), _mm512_loadu_si512(symbols + 64)};
  size_t g = 0;
  if (groups >= 64 && reinterpret_cast<uintptr_t>(out) % 8 == 0) {
    // Scalar groups up to the first cache line boundary, then whole lines.
    g = GroupsToLine(out, 8);
    kScalarKernels.encode(in, g, out, symbols);
    g += groups * 8 >= kStreamingBytes ? EncodeLines<true>(in + 7 * g, groups - g, out + 8 * g, c)
                                       : EncodeLines<false>(in + 7 * g, groups - g, out + 8 * g, c);
  }
  for (; g + 10 <= groups; g += 8) {
    _mm512_storeu_si512(out + 8 * g, EncodeVector(_mm512_loadu_si512(in + 7 * g), c));
  }
  if (g + 8 <= groups) {
    const __m512i bytes = _mm512_maskz_loadu_epi8(kGroupBytes, in + 7 * g);
    _mm512_storeu_si512(out + 8 * g, EncodeVector(bytes, c));
    g += 8;
  }
  kScalarKernels.encode(in + 7 * g, groups - g, out + 8 * g, symbols);
}

struct DecodeConstants {
  __m512i r0, r1, r2, r3, pairs, quads, align, cut, compact;
};

// The values of 64 symbols; bytes with no value give bytes with bit 7 set.
// Symbols 128..255 are looked up in entries 128..255 first, the others keep
// their own byte; those are then looked up in entries 0..127, the rest kept.
ZENTOBA_TARGET_AVX512 inline __m512i LookUp(__m512i symbols, const DecodeConstants& c) {
  const __mmask64 high = _mm512_movepi8_mask(symbols);
  const __m512i partly = _mm512_mask2_permutex2var_epi8(c.r2, symbols, high, c.r3);
  return _mm512_mask2_permutex2var_epi8(c.r0, partly, _knot_mask64(high), c.r1);
}

// Eight groups of values as eight groups of 7 bytes, each in bytes 0..6 of
// its qword.
ZENTOBA_TARGET_AVX512 inline __m512i Unpack(__m512i values, const DecodeConstants& c) {
  const __m512i words = _mm512_maddubs_epi16(c.pairs, values);
  const __m512i dwords = _mm512_madd_epi16(words, c.quads);
  const __m512i spread = _mm512_maskz_sllv_epi32(0xFFFF, dwords, c.align);
  return MultiShift(c.cut, spread);
}

// The kernel with ordinary stores.
ZENTOBA_TARGET_AVX512 size_t DecodeStoring(const uint8_t* in, size_t groups, uint8_t* out,
                                           const uint8_t* reverse, const DecodeConstants& c) {
  size_t g = 0;
  for (; g + 8 <= groups; g += 8) {
    const __m512i values = LookUp(_mm512_loadu_si512(in + 8 * g), c);
    if (_mm512_movepi8_mask(values) != 0) break;
    const __m512i bytes = PermuteBytes(c.compact, Unpack(values, c));
    // A full store writes 64 of the 7 * (groups - g) bytes left.
    if (g + 10 <= groups) {
      _mm512_storeu_si512(out + 7 * g, bytes);
    } else {
      _mm512_mask_storeu_epi8(out + 7 * g, kGroupBytes, bytes);
    }
  }
  return g + kScalarKernels.decode(in + 8 * g, groups - g, out + 7 * g, reverse);
}

// Runs of 64 groups as seven aligned cache lines, from `out` (aligned) on.
// Returns the number of groups done; a run holding a byte with no value is
// left to the caller.
template <bool kStream>
ZENTOBA_TARGET_AVX512 size_t DecodeLines(const uint8_t* in, size_t groups, uint8_t* out,
                                         const DecodeConstants& c) {
  __m512i line[7];
  for (int k = 0; k < 7; ++k) line[k] = LoadIndex(kDecodeLines[k]);
  size_t g = 0;
  for (; g + 64 <= groups; g += 64) {
    __m512i unpacked[8];
    __m512i any = _mm512_setzero_si512();  // OR of all values
    for (int k = 0; k < 8; k += 2) {
      const __m512i a = LookUp(_mm512_loadu_si512(in + 8 * g + 64 * k), c);
      const __m512i b = LookUp(_mm512_loadu_si512(in + 8 * g + 64 * k + 64), c);
      any = _mm512_ternarylogic_epi64(any, a, b, 0xFE);
      unpacked[k] = Unpack(a, c);
      unpacked[k + 1] = Unpack(b, c);
    }
    if (_mm512_movepi8_mask(any) != 0) break;
    for (int k = 0; k < 7; ++k) {
      StoreLine<kStream>(out + 7 * g + 64 * k,
                         _mm512_permutex2var_epi8(unpacked[k], line[k], unpacked[k + 1]));
    }
  }
  if constexpr (kStream) _mm_sfence();
  return g;
}

ZENTOBA_TARGET_AVX512 size_t DecodeAvx512(const uint8_t* in, size_t groups, uint8_t* out,
                                          const uint8_t* reverse) {
  const DecodeConstants c = {
      _mm512_loadu_si512(reverse),
      _mm512_loadu_si512(reverse + 64),
      _mm512_loadu_si512(reverse + 128),
      _mm512_loadu_si512(reverse + 192),
      _mm512_set1_epi16(0x0180),              // bytes 128, 1
      _mm512_set1_epi32(0x00014000),          // words 2^14, 1
      _mm512_set1_epi64(0x0000000400000000),  // dwords 0, 4
      _mm512_set1_epi64(kDecodeCut),
      LoadIndex(kDecodeCompact),
  };
  size_t g = 0;
  if (groups >= 128) {
    // Single vectors up to the first cache line boundary, then whole lines.
    const size_t lead = GroupsToLine(out, 7);
    g = DecodeStoring(in, lead, out, reverse, c);
    if (g < lead) return g;
    g += groups * 7 >= kStreamingBytes ? DecodeLines<true>(in + 8 * g, groups - g, out + 7 * g, c)
                                       : DecodeLines<false>(in + 8 * g, groups - g, out + 7 * g, c);
  }
  return g + DecodeStoring(in + 8 * g, groups - g, out + 7 * g, reverse, c);
}

}  // namespace

const PackKernels kAvx512VbmiKernels = {EncodeAvx512, DecodeAvx512};

}  // namespace zentoba::detail

#endif  // x86
