// The scalar reference and the portable 64-bit path.
//
// A group's 7 bytes, most significant bit first, are a 56-bit number; its
// eight 7-bit values are that number's bits 55..49, 48..42, ..., 6..0.

#include <cstring>

#include "pack_kernels.h"

namespace zentoba::detail {
namespace {

// ---- scalar reference: one byte at a time, nothing clever.

void EncodeScalar(const uint8_t* in, size_t groups, uint8_t* out, const uint8_t* symbols) {
  for (size_t g = 0; g < groups; ++g, in += 7, out += 8) {
    uint64_t bits = 0;
    for (int i = 0; i < 7; ++i) bits = (bits << 8) | in[i];
    for (int i = 0; i < 8; ++i) out[i] = symbols[(bits >> (49 - 7 * i)) & 0x7F];
  }
}

size_t DecodeScalar(const uint8_t* in, size_t groups, uint8_t* out, const uint8_t* reverse) {
  for (size_t g = 0; g < groups; ++g, in += 8, out += 7) {
    uint8_t v[8];
    for (int i = 0; i < 8; ++i) {
      v[i] = reverse[in[i]];
      if (v[i] & 0x80) return g;
    }
    UnpackValues(v, out);
  }
  return groups;
}

// ---- portable 64-bit path: whole-word loads and stores, one validity test
// per group. Reads and writes 8 bytes for each 7 where a following group
// makes that safe; the last group goes through the scalar code.

inline uint64_t LoadBigEndian64(const uint8_t* p) {
  uint64_t x;
  std::memcpy(&x, p, 8);
  return __builtin_bswap64(x);
}

inline void StoreBigEndian64(uint8_t* p, uint64_t x) {
  x = __builtin_bswap64(x);
  std::memcpy(p, &x, 8);
}

void EncodePortable64(const uint8_t* in, size_t groups, uint8_t* out, const uint8_t* symbols) {
  size_t g = 0;
  // 8-byte loads: group g reads bytes 7g..7g+7, inside the buffer while a
  // further group follows.
  for (; g + 1 < groups; ++g, in += 7, out += 8) {
    const uint64_t bits = LoadBigEndian64(in) >> 8;
    uint64_t word = 0;
    for (int i = 0; i < 8; ++i) word |= uint64_t{symbols[(bits >> (49 - 7 * i)) & 0x7F]} << (8 * i);
    std::memcpy(out, &word, 8);
  }
  EncodeScalar(in, groups - g, out, symbols);
}

size_t DecodePortable64(const uint8_t* in, size_t groups, uint8_t* out, const uint8_t* reverse) {
  size_t g = 0;
  // 8-byte stores: group g writes bytes 7g..7g+7; the eighth is overwritten
  // by the next group, so only the last group needs exact stores.
  for (; g + 1 < groups; ++g, in += 8, out += 7) {
    uint64_t bits = 0;
    uint8_t bad = 0;
    for (int i = 0; i < 8; ++i) {
      const uint8_t v = reverse[in[i]];
      bad |= v;
      bits = (bits << 7) | (v & 0x7F);
    }
    if (bad & 0x80) return g;
    StoreBigEndian64(out, bits << 8);
  }
  return g + DecodeScalar(in, groups - g, out, reverse);
}

}  // namespace

const PackKernels kScalarKernels = {EncodeScalar, DecodeScalar};
const PackKernels kPortable64Kernels = {EncodePortable64, DecodePortable64};

}  // namespace zentoba::detail
