// Throughput of the codec layers on 1 MiB and 64 MiB inputs.
//
//   build/bench/bench_codec --benchmark_filter=Blocks
//
// Data is a mix: half random bytes, half text-like bytes, so compression
// does real work without degenerating.

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>

#include "zentoba/codec.h"

namespace {

std::string MixedData(size_t n) {
  std::mt19937_64 rng(12345);
  std::string s(n, '\0');
  static const char kWords[] = "the quick brown fox jumps over the lazy dog 0123456789\r\n";
  for (size_t i = 0; i < n; ++i) {
    s[i] = (i / 4096) % 2 ? static_cast<char>(rng()) : kWords[rng() % (sizeof kWords - 1)];
  }
  return s;
}

zentoba::RecordingReporter g_reporter;

void BM_Memcpy(benchmark::State& state) {
  const std::string in = MixedData(static_cast<size_t>(state.range(0)));
  std::string out(in.size(), '\0');
  for (auto _ : state) {
    std::memcpy(out.data(), in.data(), in.size());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}

void BM_EncodeBlocks(benchmark::State& state) {
  const std::string in = MixedData(static_cast<size_t>(state.range(0)) / 7 * 7);
  std::string out(in.size() / 7 * 8, '\0');
  for (auto _ : state) {
    zentoba::EncodeBlocks(reinterpret_cast<const uint8_t*>(in.data()), in.size(),
                          reinterpret_cast<uint8_t*>(out.data()));
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
  state.SetLabel(zentoba::PackPathName(zentoba::CurrentPackPath()));
}

void BM_DecodeBlocks(benchmark::State& state) {
  const std::string symbols =
      zentoba::EncodeBlocks(MixedData(static_cast<size_t>(state.range(0)) / 7 * 7));
  std::string out(symbols.size() / 8 * 7, '\0');
  for (auto _ : state) {
    benchmark::DoNotOptimize(zentoba::DecodeBlocks(reinterpret_cast<const uint8_t*>(symbols.data()),
                                                   symbols.size(),
                                                   reinterpret_cast<uint8_t*>(out.data())));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * out.size()));
  state.SetLabel(zentoba::PackPathName(zentoba::CurrentPackPath()));
}

void BM_EncodeData(benchmark::State& state) {
  const std::string in = MixedData(static_cast<size_t>(state.range(0)));
  const bool compress = state.range(1) != 0;
  for (auto _ : state) benchmark::DoNotOptimize(zentoba::EncodeData(in, compress, g_reporter));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}

void BM_DecodeData(benchmark::State& state) {
  const std::string in = MixedData(static_cast<size_t>(state.range(0)));
  const bool compress = state.range(1) != 0;
  const std::string payload = zentoba::EncodeData(in, compress, g_reporter);
  for (auto _ : state) {
    benchmark::DoNotOptimize(zentoba::DecodeData(payload, compress, g_reporter));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}

constexpr int64_t kMiB = 1 << 20;

BENCHMARK(BM_Memcpy)->Arg(kMiB)->Arg(64 * kMiB);
BENCHMARK(BM_EncodeBlocks)->Arg(kMiB)->Arg(64 * kMiB);
BENCHMARK(BM_DecodeBlocks)->Arg(kMiB)->Arg(64 * kMiB);
BENCHMARK(BM_EncodeData)
    ->Args({kMiB, 0})
    ->Args({64 * kMiB, 0})
    ->Args({kMiB, 1})
    ->Args({64 * kMiB, 1})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeData)
    ->Args({kMiB, 0})
    ->Args({64 * kMiB, 0})
    ->Args({kMiB, 1})
    ->Args({64 * kMiB, 1})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
