// A scratch folder per test, and the few steps every file test takes: write
// a file, encode or decode one as the front ends do, list what is left.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "test_bytes.h"
#include "zentoba/codec.h"
#include "zentoba/files.h"
#include "zentoba/messages.h"
#include "zentoba/report.h"
#include "zentoba/version_text.h"

namespace zentoba::testing {

namespace fs = std::filesystem;

// Data that deflate shrinks, with long runs and repeats, so that both the
// compressed and the uncompressed side see many chunks.
inline std::string Compressible(size_t n, uint32_t seed) {
  static const char* words[] = {"zentoba ", "\x83\x5C\x83\x74\x83\x67 ", "file\r\n", "0000000000",
                                "record "};
  std::mt19937 rng(seed);
  std::string s;
  while (s.size() < n) s += words[rng() % 5];
  s.resize(n);
  return s;
}

// The full header this version writes: marker, version tag, 104.
inline std::string FullHeader() { return Bytes({0xDD, 0xA6, 0xDC, 104}); }

// An encoded file holding `record` as it is (name, zero byte and contents, or
// anything a damaged or crafted file may hold).
inline std::string EncodedFileOf(std::string_view record,
                                 const SymbolTable& table = ActiveTable()) {
  RecordingReporter reporter;
  std::string payload = EncodeData(record, true, reporter, table);
  EXPECT_TRUE(reporter.entries.empty());
  return FullHeader() + payload;
}

inline std::string Record(std::string_view name, std::string_view contents) {
  std::string r(name);
  r += '\0';
  r += contents;
  return r;
}

// The report a test expects: one error with this text.
// a.txt holding "abc": the record 61 2E 74 78 74 00 61 62 63 deflates to 17
// bytes, which pack into 17 + 17/7 + 1 = 20 symbols after the 4-byte header.
inline const std::string kExampleFile =
    Bytes({0xDD, 0xA6, 0xDC, 0x68, 0x38, 0x32, 0x23, 0x39, 0x68, 0x75, 0x60, 0x6F,
           0x77, 0x60, 0x4A, 0x5B, 0x7E, 0x59, 0x41, 0x50, 0x32, 0x41, 0xBB, 0xB9});

inline std::vector<RecordingReporter::Entry> OneError(std::string_view text) {
  return {{true, std::string(text)}};
}

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "zentoba-files-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  fs::path Path(const std::string& name) const { return dir_ / name; }

  static void Write(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
  }
  static std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << path;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  // Every name in a folder (hidden temporary files included), sorted.
  static std::vector<std::string> List(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  std::vector<std::string> List() const { return List(dir_); }

  // Encodes `source` into `output` as the front ends do: open, encode, close.
  static FileResult Encode(const fs::path& source, const OutputTarget& output,
                           RecordingReporter& reporter, const FileOptions& options = {}) {
    int fd = OpenSource(source);
    EXPECT_GE(fd, 0) << source;
    if (fd < 0) return FileResult::kFailed;
    FileResult result = EncodeFile(fd, source, output, kVersionText, reporter, options);
    close(fd);
    return result;
  }
  static OutputTarget To(const fs::path& path) {
    OutputTarget t;
    t.path = path;
    return t;
  }
  static OutputTarget Into(const fs::path& folder) {
    OutputTarget t;
    t.folder = folder;
    return t;
  }

  // Decodes the encoded file at `encoded` after reading its header.
  static FileResult Decode(const fs::path& encoded, const OutputTarget& output,
                           RecordingReporter& reporter, const FileOptions& options = {},
                           DecodedFileInfo* info = nullptr) {
    int fd = OpenSource(encoded);
    EXPECT_GE(fd, 0) << encoded;
    if (fd < 0) return FileResult::kFailed;
    char first[4];
    ssize_t n = pread(fd, first, sizeof first, 0);
    EncodedHeader header = ReadEncodedHeader(std::string_view(first, n > 0 ? n : 0));
    EXPECT_TRUE(header.encoded) << encoded;
    FileResult result = DecodeFile(fd, header.header_length, output, reporter, options, info);
    close(fd);
    return result;
  }

  fs::path dir_;
};

}  // namespace zentoba::testing
