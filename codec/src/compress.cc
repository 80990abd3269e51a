// The compression stage: zlib format, level 9. Inputs up to
// kSingleStreamLimit bytes go through zlib (default window, memory level
// and strategy); larger ones are compressed in blocks on several threads
// into one zlib stream (parallel_deflate.h). Decompression is zlib's.
// Failures are reported as "<step>: <zlib's message or ???>\n".

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "parallel_deflate.h"
#include "zentoba/codec.h"
#include "zentoba/messages.h"
#include "zentoba/stream.h"

namespace zentoba {
namespace {

void ReportZlib(Reporter& reporter, const char* step, const z_stream& s) {
  std::string text = step;
  text += ": ";
  text += s.msg != nullptr ? s.msg : "???";
  text += '\n';
  reporter.Error(text);
}

// Inflate writes into `out` in chunks of this size beyond its current end.
constexpr size_t kInflateChunk = size_t{64} << 10;

}  // namespace

// ------------------------------------------------------------- Deflater
//
// Up to kSingleStreamLimit bytes are held back. A stream that ends by then
// is compressed by zlib in one piece, so inputs of that size keep the exact
// bytes zlib level 9 gives them. One byte more switches to blocks
// (parallel_deflate.h): the held bytes start the first block, and a block
// is handed over only once a byte after it has arrived, so the block that
// Finish hands over, 1 to kBlockSize bytes, is the last. Where the blocks
// fall thus depends on the input alone, never on how it was fed.

static_assert(kSingleStreamLimit <= kBlockSize, "held bytes must fit in the first block");

struct Deflater::State {
  z_stream s{};
  bool zlib_open = false;  // s needs deflateEnd
  std::string pending;     // bytes not yet handed to a compressor
  std::unique_ptr<BlockDeflater> blocks;

  ~State() {
    if (zlib_open) deflateEnd(&s);
  }
};

Deflater::Deflater(Reporter& reporter) : state_(std::make_unique<State>()), reporter_(reporter) {
  // zalloc, zfree and opaque are null: zlib's own allocator.
  if (deflateInit(&state_->s, 9) != Z_OK) {
    ReportZlib(reporter_, "deflateInit", state_->s);
    state_.reset();
    return;
  }
  state_->zlib_open = true;
  ok_ = true;
}

Deflater::~Deflater() = default;

bool Deflater::Fail(std::string_view text) {
  reporter_.Error(text);
  state_.reset();
  ok_ = false;
  return false;
}

bool Deflater::Run(std::string_view bytes, int flush, std::string& out) {
  if (!ok_) return false;
  z_stream& s = state_->s;
  s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  s.avail_in = 0;
  size_t left = bytes.size();
  for (;;) {
    // zlib counts in 32 bits; feed huge inputs in slices.
    if (s.avail_in == 0 && left > 0) {
      const uInt slice = left > (1u << 30) ? (1u << 30) : static_cast<uInt>(left);
      s.avail_in = slice;
      left -= slice;
    }
    const int f = left > 0 ? Z_NO_FLUSH : flush;
    const size_t old = out.size();
    const size_t room = deflateBound(&s, s.avail_in) + 64;
    out.resize(old + room);
    s.next_out = reinterpret_cast<Bytef*>(out.data() + old);
    s.avail_out = static_cast<uInt>(room);
    const int rc = deflate(&s, f);
    out.resize(old + room - s.avail_out);
    if (rc == Z_STREAM_END) return true;
    if (rc != Z_OK && !(rc == Z_BUF_ERROR && s.avail_in == 0 && f == Z_NO_FLUSH)) {
      ReportZlib(reporter_, "deflate", s);
      state_.reset();
      ok_ = false;
      return false;
    }
    if (s.avail_in == 0 && left == 0 && f == Z_NO_FLUSH) return true;
  }
}

bool Deflater::Append(std::string_view bytes, std::string& out) {
  if (!ok_) return false;
  State& st = *state_;
  if (!st.blocks) {
    if (st.pending.size() + bytes.size() <= kSingleStreamLimit) {
      st.pending.append(bytes);
      return true;
    }
    deflateEnd(&st.s);
    st.zlib_open = false;
    st.blocks = std::make_unique<BlockDeflater>(CompressionThreads());
  }
  while (!bytes.empty()) {
    if (st.pending.size() == kBlockSize) {
      std::string block;
      block.swap(st.pending);
      st.pending.reserve(kBlockSize);
      if (!st.blocks->Add(std::move(block), false, out)) return Fail(st.blocks->error());
    }
    const size_t take = std::min(kBlockSize - st.pending.size(), bytes.size());
    st.pending.append(bytes.substr(0, take));
    bytes.remove_prefix(take);
  }
  return true;
}

bool Deflater::Finish(std::string& out) {
  if (!ok_) return false;
  State& st = *state_;
  if (st.blocks) {
    if (!st.blocks->Add(std::move(st.pending), true, out) || !st.blocks->Finish(out)) {
      return Fail(st.blocks->error());
    }
    state_.reset();
    ok_ = false;
    return true;
  }
  if (!Run(st.pending, Z_FINISH, out)) return false;
  st.zlib_open = false;
  const int rc = deflateEnd(&st.s);
  if (rc != Z_OK) ReportZlib(reporter_, "deflateEnd", st.s);
  state_.reset();
  ok_ = false;
  return rc == Z_OK;
}

// ------------------------------------------------------------- Inflater

struct Inflater::State {
  z_stream s{};
};

Inflater::Inflater(Reporter& reporter, uint64_t limit)
    : state_(std::make_unique<State>()), reporter_(reporter), limit_(limit) {
  if (inflateInit(&state_->s) != Z_OK) {
    ReportZlib(reporter_, "inflateInit", state_->s);
    state_.reset();
    return;
  }
  ok_ = true;
}

Inflater::~Inflater() {
  if (state_) inflateEnd(&state_->s);
}

bool Inflater::Append(std::string_view bytes, std::string& out) {
  if (!ok_) return false;
  if (done_) return true;  // bytes after the end of the stream are ignored
  z_stream& s = state_->s;
  s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  size_t left = bytes.size();
  s.avail_in = 0;
  bool output_full = false;
  for (;;) {
    if (s.avail_in == 0) {
      // With no input left, inflate may still hold output that did not fit
      // the last chunk.
      if (left == 0 && !output_full) return true;
      const uInt slice = left > (1u << 30) ? (1u << 30) : static_cast<uInt>(left);
      s.avail_in = slice;
      left -= slice;
    }
    const size_t old = out.size();
    out.resize(old + kInflateChunk);
    s.next_out = reinterpret_cast<Bytef*>(out.data() + old);
    s.avail_out = static_cast<uInt>(kInflateChunk);
    const int rc = inflate(&s, Z_NO_FLUSH);
    const size_t produced = kInflateChunk - s.avail_out;
    output_full = s.avail_out == 0;
    out.resize(old + produced);
    bytes_out_ += produced;
    if (bytes_out_ > limit_) {
      reporter_.Error(kMsgTooLarge);
      inflateEnd(&s);
      state_.reset();
      ok_ = false;
      return false;
    }
    if (rc == Z_STREAM_END) {
      done_ = true;
      return true;
    }
    // Z_BUF_ERROR with input left cannot happen while there is output room;
    // with no input left it only means "more input", handled above.
    if (rc != Z_OK && !(rc == Z_BUF_ERROR && s.avail_in == 0)) {
      ReportZlib(reporter_, "inflate", s);
      inflateEnd(&s);
      state_.reset();
      ok_ = false;
      return false;
    }
  }
}

bool Inflater::Finish() {
  if (!ok_) return false;
  z_stream& s = state_->s;
  if (!done_) {
    // Input ran out before the end of the stream: inflate can make no more
    // progress, and zlib leaves no message for that.
    ReportZlib(reporter_, "inflate", s);
    inflateEnd(&s);
    state_.reset();
    ok_ = false;
    return false;
  }
  const int rc = inflateEnd(&s);
  if (rc != Z_OK) ReportZlib(reporter_, "inflateEnd", s);
  state_.reset();
  ok_ = false;
  return rc == Z_OK;
}

// ------------------------------------------------------- one-shot forms

std::optional<std::string> CompressData(std::string_view data, Reporter& reporter) {
  Deflater deflater(reporter);
  std::string out;
  out.reserve(deflateBound(nullptr, static_cast<uLong>(data.size())));
  if (!deflater.Append(data, out) || !deflater.Finish(out)) return std::nullopt;
  return out;
}

std::optional<std::string> DecompressData(std::string_view data, Reporter& reporter,
                                          uint64_t limit) {
  Inflater inflater(reporter, limit);
  std::string out;
  if (!inflater.Append(data, out) || !inflater.Finish()) return std::nullopt;
  return out;
}

}  // namespace zentoba
