// Block packing throughput on every packing path this processor runs, with
// memcpy of the same buffer as the ceiling. Rates count the data bytes (the
// 7-byte side) for encoding and decoding alike, and the copied bytes for
// memcpy.
//
//   bench_blocks --benchmark_filter=64MiB

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "zentoba/codec.h"

namespace zentoba {
namespace {

constexpr size_t kMiB = size_t{1} << 20;

// Buffers for `bytes` bytes of data, rounded down to whole groups, with the
// symbols they pack to; every page touched before timing.
struct Buffers {
  explicit Buffers(size_t bytes)
      : data(bytes / 7 * 7), symbols(data.size() / 7 * 8), back(data.size()) {
    std::mt19937_64 rng(42);
    for (uint8_t& b : data) b = static_cast<uint8_t>(rng());
    SetPackPath(PackPath::kScalar);
    EncodeBlocks(data.data(), data.size(), symbols.data());
    SetPackPath(PackPath::kAuto);
  }
  std::vector<uint8_t> data, symbols, back;
};

Buffers& BuffersOf(size_t bytes) {
  static Buffers small(1 * kMiB), large(64 * kMiB);
  return bytes == 64 * kMiB ? large : small;
}

void Encode(benchmark::State& state, PackPath path, size_t bytes) {
  Buffers& b = BuffersOf(bytes);
  SetPackPath(path);
  std::vector<uint8_t> out(b.symbols.size(), 0);
  for (auto _ : state) {
    EncodeBlocks(b.data.data(), b.data.size(), out.data());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  if (out != b.symbols) state.SkipWithError("encoding differs from the scalar reference");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * b.data.size()));
  SetPackPath(PackPath::kAuto);
}

void Decode(benchmark::State& state, PackPath path, size_t bytes) {
  Buffers& b = BuffersOf(bytes);
  SetPackPath(path);
  int64_t result = 0;
  for (auto _ : state) {
    result = DecodeBlocks(b.symbols.data(), b.symbols.size(), b.back.data());
    benchmark::DoNotOptimize(result);
    benchmark::ClobberMemory();
  }
  if (result != static_cast<int64_t>(b.data.size()) || b.back != b.data) {
    state.SkipWithError("decoding does not give the data back");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * b.data.size()));
  SetPackPath(PackPath::kAuto);
}

void Memcpy(benchmark::State& state, size_t bytes) {
  Buffers& b = BuffersOf(bytes);
  for (auto _ : state) {
    std::memcpy(b.back.data(), b.data.data(), b.data.size());
    benchmark::DoNotOptimize(b.back.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * b.data.size()));
}

void RegisterAll() {
  for (size_t bytes : {64 * kMiB, 1 * kMiB}) {
    const std::string size = std::to_string(bytes / kMiB) + "MiB";
    benchmark::RegisterBenchmark(("Memcpy/" + size).c_str(), Memcpy, bytes)
        ->Unit(benchmark::kMillisecond);
    for (PackPath path :
         {PackPath::kAvx512Vbmi, PackPath::kAvx2, PackPath::kPortable64, PackPath::kScalar}) {
      if (!PackPathSupported(path)) continue;
      const std::string name = std::string(PackPathName(path)) + "/" + size;
      benchmark::RegisterBenchmark(("EncodeBlocks/" + name).c_str(), Encode, path, bytes)
          ->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark(("DecodeBlocks/" + name).c_str(), Decode, path, bytes)
          ->Unit(benchmark::kMillisecond);
    }
  }
}

}  // namespace
}  // namespace zentoba

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  zentoba::RegisterAll();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
