// Any file given to the file decoder, through a real folder: no crash, one
// report per failure, and nothing written anywhere but one complete file in
// the target folder on success (no partial or temporary file on failure).

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz_util.h"
#include "zentoba/files.h"

namespace fs = std::filesystem;

namespace {

size_t CountEntries(const fs::path& dir) {
  size_t n = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir)) ++n;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zentoba;
  static const fs::path work =
      fs::temp_directory_path() / ("zentoba-fuzz-file-" + std::to_string(getpid()));
  const fs::path out = work / "out";
  const fs::path in = work / "in.txt";
  fs::remove_all(work);
  fs::create_directories(out);
  std::ofstream(in, std::ios::binary)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

  const int fd = OpenSource(in);
  FUZZ_CHECK(fd >= 0);
  const EncodedHeader header =
      ReadEncodedHeader(std::string_view(reinterpret_cast<const char*>(data), size < 4 ? size : 4));
  if (header.encoded) {
    fuzz::CountingReporter r;
    OutputTarget target;
    target.folder = out;
    const FileResult result = DecodeFile(fd, header.header_length, target, r);
    FUZZ_CHECK(result != FileResult::kCancelled);
    FUZZ_CHECK((result == FileResult::kOk) == (r.errors == 0));
    FUZZ_CHECK(r.errors <= 1);
    FUZZ_CHECK(CountEntries(out) == (result == FileResult::kOk ? 1u : 0u));
    FUZZ_CHECK(CountEntries(work) == 2);  // in.txt and out/, nothing beside them
  }
  close(fd);
  fs::remove_all(work);
  return 0;
}
