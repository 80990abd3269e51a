// Incremental forms of the payload and compression layers, for data that is
// not held in memory whole (files). They produce exactly the bytes that the
// one-shot functions of codec.h produce for the same input.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "zentoba/codec.h"
#include "zentoba/report.h"

namespace zentoba {

// Bytes -> payload symbols. Append whole or partial groups as they come;
// Finish pads the last group with zero bytes and cuts the symbols that carry
// only padding.
class PayloadEncoder {
 public:
  explicit PayloadEncoder(const SymbolTable& table = ActiveTable()) : table_(table) {}
  void Append(std::string_view bytes, std::string& out);
  void Finish(std::string& out);
  uint64_t bytes_in() const { return bytes_in_; }

 private:
  const SymbolTable& table_;
  uint8_t pending_[7] = {};
  size_t npending_ = 0;
  uint64_t bytes_in_ = 0;
};

// Payload symbols -> bytes. Append holds back the last 1 to 8 symbols, since
// only the end of the payload tells how many bytes its last group carries.
// Both return false on a byte that is no symbol (nothing is reported: the
// caller reports kMsgDecodeFailed).
class PayloadDecoder {
 public:
  explicit PayloadDecoder(const SymbolTable& table = ActiveTable()) : table_(table) {}
  bool Append(std::string_view symbols, std::string& out);
  // False also for an empty payload.
  bool Finish(std::string& out);
  uint64_t symbols_in() const { return symbols_in_; }

 private:
  const SymbolTable& table_;
  uint8_t pending_[8] = {};
  size_t npending_ = 0;
  uint64_t symbols_in_ = 0;
};

// zlib-format compression of a stream of bytes, the same bytes CompressData
// gives: one zlib level 9 stream for up to 1 MiB of input, blocks
// compressed on several threads beyond that. After a failure (reported
// with "deflate: %s\n" and its siblings) every call returns false.
class Deflater {
 public:
  explicit Deflater(Reporter& reporter);
  ~Deflater();
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;
  bool ok() const { return ok_; }
  bool Append(std::string_view bytes, std::string& out);
  bool Finish(std::string& out);

 private:
  bool Run(std::string_view bytes, int flush, std::string& out);
  bool Fail(std::string_view text);
  struct State;
  std::unique_ptr<State> state_;
  Reporter& reporter_;
  bool ok_ = false;
};

// zlib decompression of a stream of bytes. Bytes after the end of the zlib
// stream are ignored. Failures are reported as "inflate: %s\n" (and its
// siblings); a stream cut short fails at Finish.
class Inflater {
 public:
  explicit Inflater(Reporter& reporter, uint64_t limit = kUnlimited);
  ~Inflater();
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;
  bool ok() const { return ok_; }
  bool done() const { return done_; }
  bool Append(std::string_view bytes, std::string& out);
  bool Finish();
  uint64_t bytes_out() const { return bytes_out_; }

 private:
  struct State;
  std::unique_ptr<State> state_;
  Reporter& reporter_;
  uint64_t limit_;
  uint64_t bytes_out_ = 0;
  bool ok_ = false;
  bool done_ = false;
};

}  // namespace zentoba
