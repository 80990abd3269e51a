// Payloads: m bytes, zero-padded to whole groups of 7, packed, and cut to
// m + floor(m/7) + 1 symbols. The last group of r = m mod 7 bytes keeps
// r + 1 symbols: its r bytes fill 8r bits, which reach into symbol r (the
// (r+1)-th); the symbols after it carry only padding. A payload is therefore
// never empty and its length is never a multiple of 8 when we write it.
//
// Decoding fills the last group up to 8 symbols with the value 0 and keeps
// L - floor(L/8) - 1 bytes. A length that is a multiple of 8 (which we never
// write) loses the last byte of its last group, as it always has.

#include <cstring>

#include "pack_kernels.h"
#include "zentoba/codec.h"
#include "zentoba/messages.h"
#include "zentoba/stream.h"

namespace zentoba {
namespace {

const uint8_t* U8(const char* p) { return reinterpret_cast<const uint8_t*>(p); }
uint8_t* U8(char* p) { return reinterpret_cast<uint8_t*>(p); }

// Appends the symbols of a last group holding r = tail.size() bytes (0..6),
// padded with zero bytes: r + 1 symbols.
void EncodeTail(std::string_view tail, const SymbolTable& table, std::string& out) {
  uint8_t group[7] = {};
  std::memcpy(group, tail.data(), tail.size());
  uint8_t symbols[8];
  EncodeBlocks(group, 7, symbols, table);
  out.append(reinterpret_cast<const char*>(symbols), tail.size() + 1);
}

// Appends the bytes of the last 1..8 symbols of a payload: the missing
// symbols count as value 0, and the group yields t - 1 bytes (6 for t = 8).
bool DecodeTail(const uint8_t* symbols, size_t t, const SymbolTable& table, std::string& out) {
  uint8_t values[8] = {};
  for (size_t i = 0; i < t; ++i) {
    values[i] = table.Value(symbols[i]);
    if (values[i] & 0x80) return false;
  }
  uint8_t bytes[7];
  detail::UnpackValues(values, bytes);
  out.append(reinterpret_cast<const char*>(bytes), t == 8 ? 6 : t - 1);
  return true;
}

// Appends the bytes of `groups` whole groups.
bool DecodeGroups(const uint8_t* symbols, size_t groups, const SymbolTable& table,
                  std::string& out) {
  if (groups == 0) return true;
  const size_t old = out.size();
  out.resize(old + groups * 7);
  if (DecodeBlocks(symbols, groups * 8, U8(out.data() + old), table) < 0) {
    out.resize(old);
    return false;
  }
  return true;
}

void EncodeGroups(const uint8_t* bytes, size_t groups, const SymbolTable& table, std::string& out) {
  if (groups == 0) return;
  const size_t old = out.size();
  out.resize(old + groups * 8);
  EncodeBlocks(bytes, groups * 7, U8(out.data() + old), table);
}

}  // namespace

// ------------------------------------------------------- PayloadEncoder

void PayloadEncoder::Append(std::string_view bytes, std::string& out) {
  bytes_in_ += bytes.size();
  if (npending_ > 0) {
    const size_t take = std::min(bytes.size(), 7 - npending_);
    std::memcpy(pending_ + npending_, bytes.data(), take);
    npending_ += take;
    bytes.remove_prefix(take);
    if (npending_ < 7) return;
    EncodeGroups(pending_, 1, table_, out);
    npending_ = 0;
  }
  const size_t groups = bytes.size() / 7;
  EncodeGroups(U8(bytes.data()), groups, table_, out);
  bytes.remove_prefix(groups * 7);
  std::memcpy(pending_, bytes.data(), bytes.size());
  npending_ = bytes.size();
}

void PayloadEncoder::Finish(std::string& out) {
  EncodeTail({reinterpret_cast<const char*>(pending_), npending_}, table_, out);
  npending_ = 0;
}

// ------------------------------------------------------- PayloadDecoder

bool PayloadDecoder::Append(std::string_view symbols, std::string& out) {
  symbols_in_ += symbols.size();
  // Keep the last 1..8 symbols back: whole groups are decoded only while at
  // least one symbol follows them.
  if (npending_ + symbols.size() <= 8) {
    std::memcpy(pending_ + npending_, symbols.data(), symbols.size());
    npending_ += symbols.size();
    return true;
  }
  if (npending_ > 0) {
    const size_t take = 8 - npending_;
    std::memcpy(pending_ + npending_, symbols.data(), take);
    symbols.remove_prefix(take);
    npending_ = 0;
    if (!DecodeGroups(pending_, 1, table_, out)) return false;
    if (symbols.empty()) {
      // Cannot happen (more than 8 in all), but keep the invariant obvious.
      return true;
    }
  }
  const size_t groups = (symbols.size() - 1) / 8;
  if (!DecodeGroups(U8(symbols.data()), groups, table_, out)) return false;
  symbols.remove_prefix(groups * 8);
  std::memcpy(pending_, symbols.data(), symbols.size());
  npending_ = symbols.size();
  return true;
}

bool PayloadDecoder::Finish(std::string& out) {
  if (npending_ == 0) return false;  // an empty payload carries nothing
  const bool ok = DecodeTail(pending_, npending_, table_, out);
  npending_ = 0;
  return ok;
}

// ------------------------------------------------------ one-shot forms

std::string EncodeData(std::string_view data, bool compress, Reporter& reporter,
                       const SymbolTable& table) {
  std::optional<std::string> compressed;
  if (compress) {
    compressed = CompressData(data, reporter);
    if (!compressed) return {};
    data = *compressed;
  }
  std::string out;
  out.reserve(PayloadLength(data.size()));
  const size_t groups = data.size() / 7;
  EncodeGroups(U8(data.data()), groups, table, out);
  EncodeTail(data.substr(groups * 7), table, out);
  return out;
}

std::optional<std::string> DecodeData(std::string_view payload, bool decompress, Reporter& reporter,
                                      const SymbolTable& table, uint64_t limit) {
  if (payload.empty()) {
    reporter.Error(kMsgDecodeFailed);
    return std::nullopt;
  }
  // Every symbol is looked up before anything is decompressed, so a byte
  // that is no symbol is always reported as such.
  const size_t groups = (payload.size() - 1) / 8;
  std::string bytes;
  bytes.reserve(DecodedLength(payload.size()));
  if (!DecodeGroups(U8(payload.data()), groups, table, bytes) ||
      !DecodeTail(U8(payload.data()) + groups * 8, payload.size() - groups * 8, table, bytes)) {
    reporter.Error(kMsgDecodeFailed);
    return std::nullopt;
  }
  if (decompress) return DecompressData(bytes, reporter, limit);
  if (bytes.size() > limit) {
    reporter.Error(kMsgTooLarge);
    return std::nullopt;
  }
  return bytes;
}

}  // namespace zentoba
