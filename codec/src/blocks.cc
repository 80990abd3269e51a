// Block packing entry points and the choice of kernel.
//
// The kernel is chosen once per process, on first use:
//   - the environment variable ZENTOBA_PACK_PATH, when set, names it:
//     scalar, portable64, avx2, avx512vbmi, or auto. An unknown name, or a
//     path this processor cannot run, throws std::runtime_error at that first
//     use rather than silently running something else;
//   - otherwise (and for "auto") the fastest path the processor runs:
//     avx512vbmi, then avx2, then portable64.
// SetPackPath replaces the choice afterwards (tests, benchmarks).
//
// The SIMD kernels are compiled for their instruction sets function by
// function, so the rest of the library stays baseline x86-64; the processor
// is asked at run time (__builtin_cpu_supports) before one is used.

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "pack_kernels.h"
#include "zentoba/codec.h"

namespace zentoba {
namespace {

#ifdef ZENTOBA_PACK_X86
bool CpuHasAvx2() {
  static const bool has = (__builtin_cpu_init(), __builtin_cpu_supports("avx2"));
  return has;
}

bool CpuHasAvx512Vbmi() {
  static const bool has = (__builtin_cpu_init(), __builtin_cpu_supports("avx512f") &&
                                                     __builtin_cpu_supports("avx512bw") &&
                                                     __builtin_cpu_supports("avx512vl") &&
                                                     __builtin_cpu_supports("avx512vbmi"));
  return has;
}
#endif

PackPath BestPath() {
  for (PackPath p : {PackPath::kAvx512Vbmi, PackPath::kAvx2, PackPath::kPortable64}) {
    if (PackPathSupported(p)) return p;
  }
  return PackPath::kScalar;
}

PackPath PathFromEnvironment() {
  const char* env = std::getenv("ZENTOBA_PACK_PATH");
  if (env == nullptr || *env == '\0' || std::strcmp(env, "auto") == 0) return BestPath();
  for (PackPath p :
       {PackPath::kScalar, PackPath::kPortable64, PackPath::kAvx2, PackPath::kAvx512Vbmi}) {
    if (std::strcmp(env, PackPathName(p)) == 0) {
      if (!PackPathSupported(p)) {
        throw std::runtime_error(std::string("ZENTOBA_PACK_PATH=") + env +
                                 ": this processor cannot run that path");
      }
      return p;
    }
  }
  throw std::runtime_error(std::string("ZENTOBA_PACK_PATH=") + env +
                           ": unknown path (scalar, portable64, avx2, avx512vbmi, auto)");
}

// Chosen once, on first use; SetPackPath overrides it.
std::atomic<PackPath>& Selected() {
  static std::atomic<PackPath> selected{PathFromEnvironment()};
  return selected;
}

const detail::PackKernels& Kernels() {
  return *detail::KernelsFor(Selected().load(std::memory_order_relaxed));
}

}  // namespace

namespace detail {

const PackKernels* KernelsFor(PackPath path) {
  switch (path) {
    case PackPath::kScalar:
      return &kScalarKernels;
    case PackPath::kPortable64:
      return &kPortable64Kernels;
#ifdef ZENTOBA_PACK_X86
    case PackPath::kAvx2:
      return CpuHasAvx2() ? &kAvx2Kernels : nullptr;
    case PackPath::kAvx512Vbmi:
      return CpuHasAvx512Vbmi() ? &kAvx512VbmiKernels : nullptr;
#endif
    default:
      return nullptr;
  }
}

}  // namespace detail

const char* PackPathName(PackPath path) {
  switch (path) {
    case PackPath::kAuto:
      return "auto";
    case PackPath::kScalar:
      return "scalar";
    case PackPath::kPortable64:
      return "portable64";
    case PackPath::kAvx2:
      return "avx2";
    case PackPath::kAvx512Vbmi:
      return "avx512vbmi";
  }
  return "?";
}

bool PackPathSupported(PackPath path) {
  return path == PackPath::kAuto || detail::KernelsFor(path);
}

void SetPackPath(PackPath path) {
  if (path == PackPath::kAuto) path = BestPath();
  if (!detail::KernelsFor(path)) throw std::invalid_argument("pack path not supported here");
  Selected().store(path);
}

PackPath CurrentPackPath() { return Selected().load(); }

void EncodeBlocks(const uint8_t* data, size_t length, uint8_t* out, const SymbolTable& table) {
  Kernels().encode(data, length / 7, out, table.symbols());
}

std::string EncodeBlocks(std::string_view data, const SymbolTable& table) {
  std::string out(data.size() / 7 * 8, '\0');
  EncodeBlocks(reinterpret_cast<const uint8_t*>(data.data()), data.size(),
               reinterpret_cast<uint8_t*>(out.data()), table);
  return out;
}

int64_t DecodeBlocks(const uint8_t* symbols, size_t length, uint8_t* out,
                     const SymbolTable& table) {
  const size_t groups = length / 8;
  if (Kernels().decode(symbols, groups, out, table.reverse()) != groups) return -1;
  return static_cast<int64_t>(groups * 7);
}

}  // namespace zentoba
