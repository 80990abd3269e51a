// Block-parallel compression into one zlib stream.
//
// Inputs of more than kSingleStreamLimit bytes are cut into blocks of
// kBlockSize bytes (the last one holds the remaining 1..kBlockSize bytes),
// each compressed on its own by libdeflate on a pool of threads, and the
// pieces are joined, in input order, into one zlib stream:
//
//   78 DA                    header: deflate, 32 KiB window, level 9
//   piece 1 .. piece k-1     raw deflate, last block's BFINAL cleared, then
//                            an empty stored block (3 zero bits, zero
//                            padding to the byte, 00 00 FF FF), so each
//                            piece ends on a byte boundary
//   piece k                  raw deflate as the compressor made it (final)
//   Adler-32 of the input    big-endian, the blocks' checksums combined
//
// Where the blocks fall depends only on the input length, so the bytes are
// the same for any thread count and any way the input is fed.
//
// Why these numbers (64 MiB of files from /usr/bin, /usr/share/doc and
// /usr/include, CPU seconds on one core; see bench/bench_compress.cc):
//   - one zlib level 9 stream: 27.23 MB in 9.4 s. libdeflate level 9 on
//     the whole buffer: 26.95 MB in 2.8 s, a little smaller and over three
//     times faster. Level 10 gives 26.28 MB but takes 5.5 s, level 12
//     26.26 MB in 9.4 s: of the levels that match zlib's level 9 effort, 9 is
//     the fastest, and it already stays below zlib's size.
//   - A block starts with an empty window, which costs the matches that
//     would reach back into the previous block: 1 MiB blocks give 26.98 MB,
//     2 and 4 MiB blocks 0.07% and 0.1% less. 1 MiB keeps two threads busy
//     from a 2 MiB input on and the memory per block small.
//   - zlib level 9 in 1 MiB blocks, each primed with the previous 32 KiB
//     as a preset dictionary, keeps the window across blocks: 27.23 MB, one
//     stream's size, but in 8.9 s, zlib's speed. libdeflate is both smaller
//     and three times faster, so the blocks are libdeflate's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>

struct libdeflate_compressor;

namespace zentoba {

inline constexpr size_t kSingleStreamLimit = size_t{1} << 20;
inline constexpr size_t kBlockSize = size_t{1} << 20;
inline constexpr int kBlockLevel = 9;

// The number of threads that compress blocks: n if SetCompressionThreads(n)
// set one; otherwise the environment variable ZENTOBA_THREADS=N (1..256)
// when set; otherwise the number of hardware threads. 0 restores the
// automatic choice.
void SetCompressionThreads(unsigned n);
unsigned CompressionThreads();

// Compresses one block into a piece (see above), which replaces `out`, and
// sets `adler` to the block's Adler-32. Returns null on success, else the
// failure text of the compression stage ("deflate: ...\n").
const char* CompressPiece(libdeflate_compressor* compressor, std::string_view block, bool last,
                          std::string& out, uint32_t& adler);

// Makes one zlib stream of blocks handed over in order. At most two blocks
// per thread are in flight; Add waits for the oldest beyond that. Finished
// pieces are appended to `out` in order as soon as they and all before
// them are done.
class BlockDeflater {
 public:
  explicit BlockDeflater(unsigned threads);
  ~BlockDeflater();
  BlockDeflater(const BlockDeflater&) = delete;
  BlockDeflater& operator=(const BlockDeflater&) = delete;

  // False after a failure; error() tells which.
  bool Add(std::string block, bool last, std::string& out);
  // Waits for every block and appends the rest and the checksum.
  bool Finish(std::string& out);
  const std::string& error() const { return error_; }

  // Makes block `index` (0-based) of every later stream fail as a
  // compressor failure would; UINT64_MAX turns that off. For tests.
  static void FailBlockForTesting(uint64_t index);

 private:
  struct Job;
  struct Pool;
  // Appends finished pieces in order, waiting while more than `max_left`
  // blocks are in flight.
  bool Drain(size_t max_left, std::string& out);

  std::unique_ptr<Pool> pool_;  // null: blocks are compressed on the caller's thread
  libdeflate_compressor* compressor_ = nullptr;
  std::deque<std::unique_ptr<Job>> jobs_;
  size_t max_in_flight_ = 1;
  uint64_t blocks_ = 0;
  uint32_t adler_ = 1;
  bool started_ = false;
  bool last_added_ = false;
  std::string error_;
};

}  // namespace zentoba
