// Block packing entry points and the choice of kernel.

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "pack_kernels.h"
#include "zentoba/codec.h"

namespace zentoba {
namespace {

const detail::PackKernels* KernelsFor(PackPath path) {
  switch (path) {
    case PackPath::kScalar:
      return &detail::kScalarKernels;
    case PackPath::kPortable64:
      return &detail::kPortable64Kernels;
    default:
      return nullptr;
  }
}

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
  return *KernelsFor(Selected().load(std::memory_order_relaxed));
}

}  // namespace

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

bool PackPathSupported(PackPath path) { return path == PackPath::kAuto || KernelsFor(path); }

void SetPackPath(PackPath path) {
  if (path == PackPath::kAuto) path = BestPath();
  if (!KernelsFor(path)) throw std::invalid_argument("pack path not supported here");
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
