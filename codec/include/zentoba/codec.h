// Zentoba codec: bytes <-> printable text in a 128-symbol alphabet.
//
// Layers, innermost first:
//   symbol table   128 one-byte symbols; value v is written as entry v.
//   block packing  7 bytes = 56 bits = eight 7-bit values, MSB first.
//   compression    zlib format, level 9.
//   payload        optional compression, zero padding to whole groups of 7,
//                  packing, and the symbols that carry only padding cut off:
//                  m bytes become m + floor(m/7) + 1 symbols.
//   encoded text   0xDD 0xDB + compressed payload, or 0xDD + plain payload,
//                  whichever is shorter (the plain one on a tie).
//
// Every text is a CP932 byte string held in std::string. Failures are
// reported once, through the Reporter the caller passes, where they are met.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "zentoba/report.h"

namespace zentoba {

// ---------------------------------------------------------------- symbols

class SymbolTable {
 public:
  static constexpr int kSize = 128;
  static constexpr uint8_t kNoValue = 0xFF;

  // The built-in table: A-Z a-z 0-9, 26 punctuation marks, then the
  // half-width katakana 0xB1..0xD8.
  SymbolTable();

  // A table made of the first 128 bytes of `symbols` (which must hold at
  // least 128), exactly as given. Reverse lookup takes the lowest position
  // that holds a byte, and NUL always reads as value 0.
  static SymbolTable FromBytes(std::string_view symbols);

  // Why this table would change data without an error, or empty when it is
  // safe: a byte held twice decodes to the lower position, and a byte at or
  // below 0x20 is trimmed off the ends of encoded texts.
  std::string Problem() const;

  uint8_t Symbol(unsigned value) const { return symbols_[value & 127]; }
  // The value of a symbol byte, or kNoValue.
  uint8_t Value(uint8_t symbol) const { return reverse_[symbol]; }

  const uint8_t* symbols() const { return symbols_.data(); }  // 128 entries
  const uint8_t* reverse() const { return reverse_.data(); }  // 256 entries

  bool operator==(const SymbolTable& other) const { return symbols_ == other.symbols_; }

 private:
  void BuildReverse();
  std::array<uint8_t, kSize + 1> symbols_{};  // NUL-terminated
  std::array<uint8_t, 256> reverse_{};
};

// The process-wide table that every conversion uses unless given another.
// Replaced at most once, at start-up, before any conversion runs.
const SymbolTable& ActiveTable();
void SetActiveTable(const SymbolTable& table);

// ---------------------------------------------------------- block packing

// Packs `length` bytes (a multiple of 7) into length / 7 * 8 symbols at `out`.
void EncodeBlocks(const uint8_t* data, size_t length, uint8_t* out,
                  const SymbolTable& table = ActiveTable());
std::string EncodeBlocks(std::string_view data, const SymbolTable& table = ActiveTable());

// Unpacks `length` symbols (a multiple of 8) into length / 8 * 7 bytes at
// `out`. Returns that count, or -1 at the first group holding a byte that is
// no symbol; `out` then holds the bytes of the groups before it. Silent: the
// caller reports.
int64_t DecodeBlocks(const uint8_t* symbols, size_t length, uint8_t* out,
                     const SymbolTable& table = ActiveTable());

// The packing kernels. Auto picks the fastest this CPU runs; the environment
// variable ZENTOBA_PACK_PATH (scalar, portable64, avx2, avx512vbmi, auto)
// forces one for the
// whole process, and SetPackPath forces one in tests.
enum class PackPath { kAuto, kScalar, kPortable64, kAvx2, kAvx512Vbmi };
bool PackPathSupported(PackPath path);
void SetPackPath(PackPath path);  // kAuto restores the automatic choice
PackPath CurrentPackPath();
const char* PackPathName(PackPath path);

// ------------------------------------------------------------ compression

inline constexpr uint64_t kUnlimited = UINT64_MAX;

// zlib format at level-9 quality. Up to 1 MiB the bytes are exactly zlib's
// level 9; larger inputs are compressed in 1 MiB blocks on all cores into
// one zlib stream that any inflater reads, the same bytes whatever the
// number of threads. nullopt after a reported failure ("deflate: %s\n" and
// its siblings, filled with zlib's message or "???").
std::optional<std::string> CompressData(std::string_view data, Reporter& reporter);
// Bytes after the end of the zlib stream are ignored. Output beyond `limit`
// bytes is refused with kMsgTooLarge.
std::optional<std::string> DecompressData(std::string_view data, Reporter& reporter,
                                          uint64_t limit = kUnlimited);

// ---------------------------------------------------------------- payload

// The number of symbols that carry m bytes, and the bytes that L symbols
// carry (L >= 1).
constexpr uint64_t PayloadLength(uint64_t bytes) { return bytes + bytes / 7 + 1; }
constexpr uint64_t DecodedLength(uint64_t symbols) { return symbols - symbols / 8 - 1; }

// The payload of `data`; the empty string after a reported compression
// failure (a payload is never empty).
std::string EncodeData(std::string_view data, bool compress, Reporter& reporter,
                       const SymbolTable& table = ActiveTable());

// The bytes a payload carries, or nullopt after a reported failure
// (kMsgDecodeFailed for a byte that is no symbol or an empty payload, the
// decompression stage's message, kMsgTooLarge past `limit`).
std::optional<std::string> DecodeData(std::string_view payload, bool decompress, Reporter& reporter,
                                      const SymbolTable& table = ActiveTable(),
                                      uint64_t limit = kUnlimited);

// ----------------------------------------------------------- encoded text

inline constexpr uint8_t kMarker = 0xDD;          // ﾝ: every encoded text starts so
inline constexpr uint8_t kCompressedFlag = 0xDB;  // ﾛ: a compressed payload follows
inline constexpr uint8_t kFileFlag = 0xA6;        // ｦ: an encoded file's content

// A decoded text may not pass this size: a few kilobytes of encoded text can
// inflate to gigabytes, and a text is held in memory whole. 256 MiB is far
// beyond anything a text area or a paste carries.
inline constexpr uint64_t kMaxDecodedTextSize = uint64_t{256} << 20;

// The encoded text of `input`: the shorter of the two forms, the plain one
// on a tie and whenever compression fails (that failure is reported).
std::string EncodeText(std::string_view input, Reporter& reporter);

enum class TextStatus {
  kOk,           // bytes holds every decoded byte
  kNotEncoded,   // no marker: nothing to do, nothing reported
  kFileContent,  // 0xDD 0xA6: kMsgSaveAsFileFirst was reported
  kFailed,       // the failure was reported
};
struct DecodedText {
  TextStatus status = TextStatus::kNotEncoded;
  std::string bytes;
};

// Trims bytes <= 0x20 at both ends, reads the marker prefix and decodes.
DecodedText DecodeTextBytes(std::string_view input, Reporter& reporter);
// What the output area shows: the decoded bytes up to the first NUL, or
// the empty string.
std::string DecodeText(std::string_view input, Reporter& reporter);

// Bytes <= 0x20 (space and every control byte) are trimmed off encoded texts.
constexpr bool IsBlank(uint8_t c) { return c <= 0x20; }
std::string_view TrimBlank(std::string_view text);

}  // namespace zentoba
