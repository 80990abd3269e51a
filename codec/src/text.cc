// Encoded texts: 0xDD 0xDB + compressed payload, or 0xDD + plain payload.

#include "zentoba/codec.h"
#include "zentoba/messages.h"

namespace zentoba {

std::string_view TrimBlank(std::string_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && IsBlank(static_cast<uint8_t>(text[begin]))) ++begin;
  while (end > begin && IsBlank(static_cast<uint8_t>(text[end - 1]))) --end;
  return text.substr(begin, end - begin);
}

std::string EncodeText(std::string_view input, Reporter& reporter) {
  // The compressed form needs one marker byte more, so it wins only when its
  // payload is at least two symbols shorter. The plain payload's length is
  // known without building it; only the chosen form is built.
  const uint64_t plain_length = PayloadLength(input.size());
  if (std::optional<std::string> compressed = CompressData(input, reporter)) {
    if (PayloadLength(compressed->size()) + 1 < plain_length) {
      std::string out("\xDD\xDB");
      out += EncodeData(*compressed, false, reporter);
      return out;
    }
  }
  // A compression failure has been reported; the plain form is still right.
  std::string out("\xDD");
  out += EncodeData(input, false, reporter);
  return out;
}

DecodedText DecodeTextBytes(std::string_view input, Reporter& reporter) {
  DecodedText result;
  std::string_view text = TrimBlank(input);
  if (text.empty() || static_cast<uint8_t>(text[0]) != kMarker) return result;
  if (text.size() >= 2 && static_cast<uint8_t>(text[1]) == kFileFlag) {
    reporter.Information(kMsgSaveAsFileFirst);
    result.status = TextStatus::kFileContent;
    return result;
  }
  const bool compressed = text.size() >= 2 && static_cast<uint8_t>(text[1]) == kCompressedFlag;
  text.remove_prefix(compressed ? 2 : 1);
  std::optional<std::string> bytes =
      DecodeData(text, compressed, reporter, ActiveTable(), kMaxDecodedTextSize);
  if (!bytes) {
    result.status = TextStatus::kFailed;
    return result;
  }
  result.status = TextStatus::kOk;
  result.bytes = std::move(*bytes);
  return result;
}

std::string DecodeText(std::string_view input, Reporter& reporter) {
  DecodedText decoded = DecodeTextBytes(input, reporter);
  if (decoded.status != TextStatus::kOk) return {};
  const size_t nul = decoded.bytes.find('\0');
  if (nul != std::string::npos) decoded.bytes.resize(nul);
  return std::move(decoded.bytes);
}

}  // namespace zentoba
