// Encoding: the bytes of an encoded file, the stored name, and what the
// encoder refuses.
#include <sys/stat.h>

#include "files_fixture.h"
#include "parallel_deflate.h"

namespace zentoba::testing {
namespace {

using EncodeTest = FilesTest;

TEST_F(EncodeTest, ExampleByteForByte) {
  Write(Path("a.txt"), "abc");
  RecordingReporter reporter;
  ASSERT_EQ(Encode(Path("a.txt"), To(Path("a.zen")), reporter), FileResult::kOk);
  EXPECT_TRUE(reporter.entries.empty());
  EXPECT_EQ(Read(Path("a.zen")), kExampleFile);
  EXPECT_EQ(Read(Path("a.txt")), "abc");
  EXPECT_EQ(List(), (std::vector<std::string>{"a.txt", "a.zen"}));
}

// The encoder streams the file through in chunks; the result must be exactly
// what the one-shot encoder makes of the whole record, at chunk boundaries
// and beyond them, under any table.
TEST_F(EncodeTest, StreamingEqualsOneShot) {
  const SymbolTable reversed = [] {
    SymbolTable def;
    std::string s(reinterpret_cast<const char*>(def.symbols()), SymbolTable::kSize);
    std::reverse(s.begin(), s.end());
    return SymbolTable::FromBytes(s);
  }();
  const size_t MiB = size_t{1} << 20;
  const size_t sizes[] = {0, 1, 6, 7, 1000, MiB - 1, MiB, MiB + 1, 2 * MiB + 12345};
  uint32_t seed = 1;
  for (size_t size : sizes) {
    for (bool random : {true, false}) {
      for (const SymbolTable* table : {&ActiveTable(), &reversed}) {
        SCOPED_TRACE(::testing::Message() << size << (random ? " random" : " text")
                                          << (table == &reversed ? " reversed" : ""));
        const std::string contents = random ? RandomBytes(size, seed) : Compressible(size, seed);
        ++seed;
        Write(Path("data.bin"), contents);
        RecordingReporter reporter;
        FileOptions options;
        options.table = table;
        ASSERT_EQ(Encode(Path("data.bin"), To(Path("out.zen")), reporter, options),
                  FileResult::kOk);
        EXPECT_TRUE(reporter.entries.empty());
        EXPECT_EQ(Read(Path("out.zen")), EncodedFileOf(Record("data.bin", contents), *table));
      }
    }
  }
}

TEST_F(EncodeTest, EmptySourceStillHasAPayload) {
  Write(Path("empty"), "");
  RecordingReporter reporter;
  ASSERT_EQ(Encode(Path("empty"), To(Path("e.zen")), reporter), FileResult::kOk);
  const std::string file = Read(Path("e.zen"));
  ASSERT_GT(file.size(), 4u);
  EXPECT_EQ(file.substr(0, 4), FullHeader());
  EXPECT_EQ(DecodeData(file.substr(4), true, reporter), Record("empty", ""));
}

// The stored name is the CP932 form of the file-name part, whatever folder
// and spelling led to the source; a 0x5C trail byte stays in its character.
TEST_F(EncodeTest, StoredName) {
  struct Case {
    std::string utf8;
    std::string cp932;
  };
  const Case cases[] = {
      {"a.txt", "a.txt"},
      {"\xE3\x82\xBD.txt", Bytes({0x83, 0x5C, '.', 't', 'x', 't'})},  // ソ.txt
      {"\xE8\xA1\xA8\xE7\xA4\xBA", Bytes({0x95, 0x5C, 0x8E, 0xA6})},  // 表示
      {"\xEF\xBD\xB1 x", Bytes({0xB1, ' ', 'x'})},                    // ｱ x
  };
  fs::create_directory(Path("in"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.utf8);
    Write(Path("in") / c.utf8, "data");
    RecordingReporter reporter;
    const fs::path spelled = dir_ / "in" / ".." / "in" / c.utf8;
    ASSERT_EQ(Encode(spelled, To(Path("out.zen")), reporter), FileResult::kOk);
    EXPECT_EQ(DecodeData(Read(Path("out.zen")).substr(4), true, reporter), Record(c.cp932, "data"));
    EXPECT_TRUE(reporter.entries.empty());
  }
}

// A name that could not be restored is not written: it has no CP932 form,
// or holds a character that no plain Windows file name holds.
TEST_F(EncodeTest, RefusesNamesThatCannotBeRestored) {
  const char* names[] = {
      "\xE2\x82\xAC.txt",  // the euro sign
      "\xF0\x9F\x98\x80",  // an emoji
      "\x83\x5C.txt",      // no valid UTF-8
      "back\\slash",       // "\" is a separator to the decoder
      "a:b",               // and so is ":"
      "tab\there",         // control bytes are refused
      "line\nbreak",
      "del\x7F",     // and so are DEL
      "c1\xC2\x9B",  // and the C1 controls
  };
  for (const char* name : names) {
    SCOPED_TRACE(::testing::PrintToString(std::string(name)));
    Write(Path(name), "data");
    RecordingReporter reporter;
    EXPECT_EQ(Encode(Path(name), To(Path("out.zen")), reporter), FileResult::kFailed);
    EXPECT_EQ(reporter.entries, OneError(kMsgNameNotCp932));
    EXPECT_FALSE(fs::exists(Path("out.zen")));
    fs::remove(Path(name));
    EXPECT_TRUE(List().empty());
  }
}

// The output may not be the source, by whatever name it is reached; the
// source stays as it was and nothing is created.
TEST_F(EncodeTest, RefusesTheSourceAsOutput) {
  fs::create_directory(Path("sub"));
  Write(Path("a.txt"), "abc");
  fs::create_symlink(Path("a.txt"), Path("soft"));
  fs::create_hard_link(Path("a.txt"), Path("hard"));
  fs::create_directory_symlink(dir_, Path("sub") / "up");
  const fs::path spellings[] = {
      Path("a.txt"), dir_ / "sub" / ".." / "a.txt", Path("soft"),
      Path("hard"),  Path("sub") / "up" / "a.txt",  fs::relative(Path("a.txt")),
  };
  const std::vector<std::string> before = List();
  for (const fs::path& output : spellings) {
    SCOPED_TRACE(output);
    RecordingReporter reporter;
    EXPECT_EQ(Encode(Path("a.txt"), To(output), reporter), FileResult::kFailed);
    EXPECT_EQ(reporter.entries, OneError(kMsgCannotSave));
    EXPECT_EQ(Read(Path("a.txt")), "abc");
    EXPECT_EQ(List(), before);
    EXPECT_TRUE(fs::is_symlink(Path("soft")));
  }
  // The same file open as the output descriptor.
  int out = open(Path("hard").c_str(), O_WRONLY | O_APPEND);
  ASSERT_GE(out, 0);
  OutputTarget target;
  target.fd = out;
  RecordingReporter reporter;
  EXPECT_EQ(Encode(Path("a.txt"), target, reporter), FileResult::kFailed);
  EXPECT_EQ(reporter.entries, OneError(kMsgCannotSave));
  close(out);
  EXPECT_EQ(Read(Path("a.txt")), "abc");
}

// A file that grows or shrinks while it is read would be recorded as neither
// its old nor its new self.
TEST_F(EncodeTest, SourceChangingWhileReadIsRefused) {
  const size_t size = 3 << 20;
  for (bool grow : {true, false}) {
    SCOPED_TRACE(grow ? "grows" : "shrinks");
    Write(Path("src"), Compressible(size, 7));
    FileOptions options;
    options.progress = [&](uint64_t, uint64_t) {
      if (grow) {
        std::ofstream(Path("src"), std::ios::binary | std::ios::app) << "more";
      } else {
        fs::resize_file(Path("src"), size / 2);
      }
      return true;
    };
    RecordingReporter reporter;
    EXPECT_EQ(Encode(Path("src"), To(Path("out.zen")), reporter, options), FileResult::kFailed);
    EXPECT_EQ(reporter.entries, OneError(kMsgCannotRead));
    EXPECT_EQ(List(), std::vector<std::string>{"src"});
  }
}

// A source removed, or replaced by another file of its name, after it was
// opened is still the file being read: the encoded file holds it whole.
TEST_F(EncodeTest, SourceRemovedWhileReadIsEncodedWhole) {
  const std::string contents = Compressible(3 << 20, 9);
  for (bool replace : {false, true}) {
    SCOPED_TRACE(replace ? "replaced" : "removed");
    Write(Path("src"), contents);
    FileOptions options;
    bool done = false;
    options.progress = [&](uint64_t, uint64_t) {
      if (!done) {
        done = true;
        fs::remove(Path("src"));
        if (replace) Write(Path("src"), "other");
      }
      return true;
    };
    RecordingReporter reporter;
    ASSERT_EQ(Encode(Path("src"), To(Path("out.zen")), reporter, options), FileResult::kOk);
    EXPECT_TRUE(reporter.entries.empty());
    fs::create_directory(Path("back"));
    ASSERT_EQ(Decode(Path("out.zen"), Into(Path("back")), reporter), FileResult::kOk);
    EXPECT_TRUE(Read(Path("back") / "src") == contents);
    fs::remove_all(Path("back"));
    fs::remove(Path("out.zen"));
    EXPECT_EQ(List(), replace ? std::vector<std::string>{"src"} : std::vector<std::string>{});
    fs::remove(Path("src"));
  }
}

// Progress runs from the first chunk to the whole file; returning false
// cancels without a word and without a trace.
TEST_F(EncodeTest, ProgressAndCancel) {
  const uint64_t size = (3 << 20) + 5;
  Write(Path("src"), Compressible(size, 3));
  Write(Path("out.zen"), "old");
  std::vector<uint64_t> seen;
  FileOptions options;
  options.progress = [&](uint64_t done, uint64_t total) {
    EXPECT_EQ(total, size);
    seen.push_back(done);
    return true;
  };
  RecordingReporter reporter;
  ASSERT_EQ(Encode(Path("src"), To(Path("out.zen")), reporter, options), FileResult::kOk);
  ASSERT_FALSE(seen.empty());
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_EQ(seen.back(), size);

  for (int cancel_at : {1, 3}) {
    SCOPED_TRACE(cancel_at);
    Write(Path("out.zen"), "old");
    int calls = 0;
    options.progress = [&](uint64_t, uint64_t) { return ++calls < cancel_at; };
    EXPECT_EQ(Encode(Path("src"), To(Path("out.zen")), reporter, options), FileResult::kCancelled);
    EXPECT_TRUE(reporter.entries.empty());
    EXPECT_EQ(Read(Path("out.zen")), "old");
    EXPECT_EQ(List(), (std::vector<std::string>{"out.zen", "src"}));
  }
}

TEST_F(EncodeTest, NeedsANameOrDescriptorAndAVersion) {
  Write(Path("a.txt"), "abc");
  RecordingReporter reporter;
  EXPECT_EQ(Encode(Path("a.txt"), Into(dir_), reporter), FileResult::kFailed);
  EXPECT_EQ(reporter.entries, OneError(kMsgCannotSave));

  reporter.entries.clear();
  int fd = OpenSource(Path("a.txt"));
  ASSERT_GE(fd, 0);
  EXPECT_EQ(EncodeFile(fd, Path("a.txt"), To(Path("a.zen")), "x.yz", reporter),
            FileResult::kFailed);
  EXPECT_EQ(reporter.entries, OneError(kMsgCannotSave));
  close(fd);
  EXPECT_EQ(List(), std::vector<std::string>{"a.txt"});
}

// The version byte comes from the text the caller passes (the window passes
// its label's text).
TEST_F(EncodeTest, VersionByteFromTheGivenText) {
  Write(Path("a.txt"), "abc");
  int fd = OpenSource(Path("a.txt"));
  ASSERT_GE(fd, 0);
  RecordingReporter reporter;
  ASSERT_EQ(EncodeFile(fd, Path("a.txt"), To(Path("a.zen")), "-.15", reporter), FileResult::kOk);
  close(fd);
  const std::string file = Read(Path("a.zen"));
  EXPECT_EQ(file.substr(0, 4), Bytes({0xDD, 0xA6, 0xDC, 0xF1}));
  EXPECT_EQ(file.substr(4), kExampleFile.substr(4));
  EXPECT_EQ(ReadEncodedHeader(file).version, -15);
}

}  // namespace
}  // namespace zentoba::testing

namespace zentoba::testing {
namespace {

// A compressor failure part way through a large file is reported once and
// leaves the existing output as it was, with no temporary file beside it.
TEST_F(EncodeTest, CompressorFailureLeavesNothing) {
  Write(Path("src"), Compressible((3 << 20) + 7, 5));
  Write(Path("out.zen"), "old");
  BlockDeflater::FailBlockForTesting(1);
  RecordingReporter reporter;
  const FileResult result = Encode(Path("src"), To(Path("out.zen")), reporter);
  BlockDeflater::FailBlockForTesting(UINT64_MAX);
  EXPECT_EQ(result, FileResult::kFailed);
  EXPECT_EQ(reporter.entries, OneError("deflate: ???\n"));
  EXPECT_EQ(Read(Path("out.zen")), "old");
  EXPECT_EQ(List(), (std::vector<std::string>{"out.zen", "src"}));
}

}  // namespace
}  // namespace zentoba::testing
