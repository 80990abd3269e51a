// Any text given to the text decoder: no crash, no read out of bounds, and
// exactly one report for every failure, none for success or "not encoded".

#include "fuzz_util.h"
#include "zentoba/codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zentoba;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  fuzz::CountingReporter r;
  const DecodedText d = DecodeTextBytes(input, r);
  switch (d.status) {
    case TextStatus::kOk:
    case TextStatus::kNotEncoded:
      FUZZ_CHECK(r.errors + r.infos == 0);
      break;
    case TextStatus::kFileContent:
      FUZZ_CHECK(r.infos == 1 && r.errors == 0);
      break;
    case TextStatus::kFailed:
      FUZZ_CHECK(r.errors == 1 && r.infos == 0);
      break;
  }
  if (d.status == TextStatus::kOk) {
    FUZZ_CHECK(d.bytes.size() <= kMaxDecodedTextSize);
  }
  return 0;
}
