// Compression of 64 MiB of real files: the block-parallel CompressData with
// 1 and 2 threads against one zlib level 9 stream, libdeflate level 9 on
// the whole buffer in one thread, and zlib level 9 in 1 MiB blocks each
// primed with the previous 32 KiB (the other way to keep the window across
// blocks), and the block scanner alone.
//
//   build/bench/bench_compress
//
// Each benchmark runs once (zlib level 9 alone takes several seconds) and
// reports bytes_per_second (wall clock) and the output size; the CPU column
// of CompressData counts every thread of the process; the CompressData ones also
// report their size relative to one zlib level 9 stream and fail when it
// is larger.
//
// Data: files from /usr/bin, /usr/share/doc and /usr/include, taken in turn
// one from each tree in path order until 64 MiB are filled: machine code,
// compressed and plain documentation, and C++ headers. Where those trees
// are missing the rest is filled with generated text and random bytes.

#include <benchmark/benchmark.h>
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "deflate_scan.h"
#include "parallel_deflate.h"
#include "zentoba/codec.h"

namespace {

constexpr size_t kCorpusSize = size_t{64} << 20;

std::string ReadCorpus() {
  namespace fs = std::filesystem;
  std::vector<std::vector<fs::path>> trees;
  for (const char* root : {"/usr/bin", "/usr/share/doc", "/usr/include"}) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
      if (!it->is_symlink(ec) && it->is_regular_file(ec)) files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    trees.push_back(std::move(files));
  }
  std::string out;
  bool more = true;
  for (size_t i = 0; more && out.size() < kCorpusSize; ++i) {
    more = false;
    for (const auto& files : trees) {
      if (i >= files.size() || out.size() >= kCorpusSize) continue;
      more = true;
      std::ifstream f(files[i], std::ios::binary);
      out.append(std::istreambuf_iterator<char>(f), {});
    }
  }
  std::mt19937 rng(1);
  static const char kWords[] = "the quick brown fox jumps over the lazy dog 0123456789\r\n";
  for (size_t i = out.size(); i < kCorpusSize; ++i) {
    out += (i >> 12) % 2 ? static_cast<char>(rng()) : kWords[rng() % (sizeof kWords - 1)];
  }
  out.resize(kCorpusSize);
  return out;
}

const std::string& Corpus() {
  static const std::string corpus = ReadCorpus();
  return corpus;
}

std::string Zlib9(const std::string& in) {
  uLongf size = compressBound(in.size());
  std::string out(size, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(in.data()),
            in.size(), 9);
  out.resize(size);
  return out;
}

// Set by BM_Zlib9SingleStream, which runs first; computed here otherwise.
size_t g_zlib9_size = 0;

size_t Zlib9Size() {
  if (g_zlib9_size == 0) g_zlib9_size = Zlib9(Corpus()).size();
  return g_zlib9_size;
}

void Report(benchmark::State& state, size_t out_size) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Corpus().size()));
  state.counters["out_bytes"] = static_cast<double>(out_size);
  state.counters["ratio"] = static_cast<double>(out_size) / static_cast<double>(Corpus().size());
}

void BM_Zlib9SingleStream(benchmark::State& state) {
  const std::string& in = Corpus();
  size_t size = 0;
  for (auto _ : state) size = Zlib9(in).size();
  g_zlib9_size = size;
  Report(state, size);
}

void BM_LibdeflateSingleThread(benchmark::State& state) {
  const std::string& in = Corpus();
  libdeflate_compressor* c = libdeflate_alloc_compressor(static_cast<int>(state.range(0)));
  std::string out(libdeflate_zlib_compress_bound(c, in.size()), '\0');
  size_t size = 0;
  for (auto _ : state)
    size = libdeflate_zlib_compress(c, in.data(), in.size(), out.data(), out.size());
  libdeflate_free_compressor(c);
  Report(state, size);
}

void BM_Zlib9BlocksWithDictionary(benchmark::State& state) {
  const std::string& in = Corpus();
  const size_t block = zentoba::kBlockSize;
  std::string out(compressBound(block) + 64, '\0');
  size_t size = 0;
  for (auto _ : state) {
    size = 6;  // header and checksum
    for (size_t at = 0; at < in.size(); at += block) {
      const size_t n = std::min(block, in.size() - at);
      z_stream s{};
      deflateInit2(&s, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
      if (at > 0) {
        deflateSetDictionary(&s, reinterpret_cast<const Bytef*>(in.data() + at - 32768), 32768);
      }
      s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data() + at));
      s.avail_in = static_cast<uInt>(n);
      s.next_out = reinterpret_cast<Bytef*>(out.data());
      s.avail_out = static_cast<uInt>(out.size());
      deflate(&s, at + n == in.size() ? Z_FINISH : Z_SYNC_FLUSH);
      size += s.total_out;
      deflateEnd(&s);
    }
  }
  Report(state, size);
}

void BM_CompressData(benchmark::State& state) {
  const std::string& in = Corpus();
  zentoba::SetCompressionThreads(static_cast<unsigned>(state.range(0)));
  zentoba::RecordingReporter reporter;
  size_t size = 0;
  for (auto _ : state) {
    const auto out = zentoba::CompressData(in, reporter);
    if (!out) {
      state.SkipWithError("CompressData failed");
      break;
    }
    size = out->size();
  }
  zentoba::SetCompressionThreads(0);
  Report(state, size);
  state.counters["vs_zlib9"] = static_cast<double>(size) / static_cast<double>(Zlib9Size());
  if (size > Zlib9Size()) state.SkipWithError("larger than one zlib level 9 stream");
}

// The block scanner alone, over the pieces of the corpus (throughput counts
// the input bytes the pieces carry, to compare with the compressors).
void BM_ScanPieces(benchmark::State& state) {
  const std::string& in = Corpus();
  libdeflate_compressor* c = libdeflate_alloc_compressor(zentoba::kBlockLevel);
  std::vector<std::string> pieces;
  for (size_t at = 0; at < in.size(); at += zentoba::kBlockSize) {
    const size_t n = std::min(zentoba::kBlockSize, in.size() - at);
    std::string piece(libdeflate_deflate_compress_bound(c, n), '\0');
    piece.resize(libdeflate_deflate_compress(c, in.data() + at, n, piece.data(), piece.size()));
    pieces.push_back(std::move(piece));
  }
  libdeflate_free_compressor(c);
  for (auto _ : state) {
    for (const std::string& piece : pieces) {
      benchmark::DoNotOptimize(
          zentoba::ScanDeflate(reinterpret_cast<const uint8_t*>(piece.data()), piece.size()));
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}

BENCHMARK(BM_Zlib9SingleStream)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LibdeflateSingleThread)
    ->Arg(9)
    ->Arg(10)
    ->Arg(12)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Zlib9BlocksWithDictionary)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_ScanPieces)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompressData)
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(2)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
