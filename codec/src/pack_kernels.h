// Block packing kernels. Each path packs whole groups (7 bytes <-> 8
// symbols) and must produce exactly what the scalar reference produces, for
// any symbol table.
#pragma once

#include <cstddef>
#include <cstdint>

#include "zentoba/codec.h"

namespace zentoba::detail {

struct PackKernels {
  // Packs `groups` groups of 7 bytes into 8 symbols each.
  void (*encode)(const uint8_t* in, size_t groups, uint8_t* out, const uint8_t* symbols);
  // Unpacks `groups` groups of 8 symbols. Returns the number of groups
  // before the first one holding a byte with no value (== groups when all
  // are valid); the output of those groups is complete.
  size_t (*decode)(const uint8_t* in, size_t groups, uint8_t* out, const uint8_t* reverse);
};

extern const PackKernels kScalarKernels;
extern const PackKernels kPortable64Kernels;

#if defined(__x86_64__) || defined(__i386__)
#define ZENTOBA_PACK_X86 1
// Compiled for their instruction sets function by function; call them only
// where the processor has them (blocks.cc checks).
extern const PackKernels kAvx2Kernels;        // AVX2
extern const PackKernels kAvx512VbmiKernels;  // AVX-512 F, BW, VL and VBMI
#endif

// The kernels of a path, or null when this build or processor lacks it
// (kAuto has none of its own).
const PackKernels* KernelsFor(PackPath path);

// One group from eight 7-bit values, and back.
inline void UnpackValues(const uint8_t v[8], uint8_t out[7]) {
  uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits = (bits << 7) | v[i];
  for (int i = 6; i >= 0; --i) {
    out[i] = static_cast<uint8_t>(bits);
    bits >>= 8;
  }
}

}  // namespace zentoba::detail
