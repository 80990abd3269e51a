// Any file given to the file decoder, through a real folder: no crash, one
// report per failure, and nothing written anywhere but one complete file in
// the target folder on success (no partial or temporary file on failure).
//
// Speed: the input lives in an anonymous memory file, and each process keeps
// one work folder (in /dev/shm when there is one, else $TMPDIR) for all its
// runs. A run removes only what it created, so most runs touch the file
// system only to list the target folder.

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "fuzz_util.h"
#include "zentoba/files.h"

namespace fs = std::filesystem;

namespace {

// work/out is the target folder; work holds nothing else, so that anything
// that escapes the target folder by one level shows up beside out/.
struct WorkFolder {
  fs::path work, out;

  WorkFolder() {
    std::error_code ec;
    const fs::path shm = "/dev/shm";
    const fs::path base = fs::is_directory(shm, ec) ? shm : fs::temp_directory_path();
    work = base / ("zentoba-fuzz-file-" + std::to_string(getpid()));
    out = work / "out";
    fs::remove_all(work, ec);
    fs::create_directories(out);
  }
  ~WorkFolder() {
    std::error_code ec;
    fs::remove_all(work, ec);
  }
};

// How many names a folder holds; with `remove`, they are removed as well.
size_t Entries(const fs::path& dir, bool remove) {
  size_t n = 0;
  for (const auto& e : fs::directory_iterator(dir)) {
    ++n;
    if (remove) fs::remove_all(e.path());
  }
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zentoba;
  static WorkFolder folder;
  static const int fd = memfd_create("zentoba-fuzz-input", MFD_CLOEXEC);
  FUZZ_CHECK(fd >= 0);

  const EncodedHeader header =
      ReadEncodedHeader(std::string_view(reinterpret_cast<const char*>(data), size < 4 ? size : 4));
  if (!header.encoded) return 0;

  FUZZ_CHECK(ftruncate(fd, 0) == 0);
  FUZZ_CHECK(pwrite(fd, data, size, 0) == static_cast<ssize_t>(size));

  fuzz::CountingReporter r;
  OutputTarget target;
  target.folder = folder.out;
  const FileResult result = DecodeFile(fd, header.header_length, target, r);
  FUZZ_CHECK(result != FileResult::kCancelled);
  FUZZ_CHECK((result == FileResult::kOk) == (r.errors == 0));
  FUZZ_CHECK(r.errors <= 1);
  FUZZ_CHECK(Entries(folder.work, false) == 1);  // out/ and nothing beside it
  FUZZ_CHECK(Entries(folder.out, true) == (result == FileResult::kOk ? 1u : 0u));
  return 0;
}
