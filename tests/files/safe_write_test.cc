// Outputs appear whole or not at all: what happens to existing targets, and
// what a failure or a cancel leaves behind (nothing).
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include "files_fixture.h"

namespace zentoba::testing {
namespace {

class SafeWriteTest : public FilesTest {
 protected:
  // An encoded file of a.txt in dir_/in, and the folder dir_/out for outputs.
  void SetUp() override {
    FilesTest::SetUp();
    fs::create_directory(Path("in"));
    fs::create_directory(Path("out"));
    contents_ = Compressible((2 << 20) + 100, 17) + RandomBytes(1 << 20, 17);
    Write(Path("in") / "a.txt", contents_);
    RecordingReporter reporter;
    ASSERT_EQ(Encode(Path("in") / "a.txt", To(Path("in") / "a.zen"), reporter), FileResult::kOk);
  }
  fs::path Source() const { return Path("in") / "a.txt"; }
  fs::path Encoded() const { return Path("in") / "a.zen"; }
  fs::path Out(const std::string& name) const { return Path("out") / name; }

  std::string contents_;
};

TEST_F(SafeWriteTest, ExistingTargetReplacedOrKept) {
  for (bool replace : {false, true}) {
    SCOPED_TRACE(replace ? "replace" : "keep");
    Write(Out("a.zen"), "old");
    Write(Out("a.txt"), "old");
    OutputTarget to_file = To(Out("a.zen"));
    OutputTarget to_folder = Into(Path("out"));
    to_file.replace_existing = to_folder.replace_existing = replace;
    RecordingReporter encode_reports, decode_reports;
    const FileResult encoded = Encode(Source(), to_file, encode_reports);
    const FileResult decoded = Decode(Encoded(), to_folder, decode_reports);
    if (replace) {
      EXPECT_EQ(encoded, FileResult::kOk);
      EXPECT_EQ(decoded, FileResult::kOk);
      EXPECT_TRUE(Read(Out("a.zen")) == Read(Encoded()));
      EXPECT_TRUE(Read(Out("a.txt")) == contents_);
    } else {
      EXPECT_EQ(encoded, FileResult::kFailed);
      EXPECT_EQ(decoded, FileResult::kFailed);
      EXPECT_EQ(encode_reports.entries, OneError(kMsgTargetExists));
      EXPECT_EQ(decode_reports.entries, OneError(kMsgTargetExists));
      EXPECT_EQ(Read(Out("a.zen")), "old");
      EXPECT_EQ(Read(Out("a.txt")), "old");
    }
    EXPECT_EQ(List(Path("out")), (std::vector<std::string>{"a.txt", "a.zen"}));
  }
  // A new name is written also when replacing is off.
  OutputTarget keep = To(Out("new.zen"));
  keep.replace_existing = false;
  RecordingReporter reporter;
  EXPECT_EQ(Encode(Source(), keep, reporter), FileResult::kOk);
  EXPECT_TRUE(reporter.entries.empty());
}

// Only regular files and links are replaced: a folder, a device or a pipe
// under the target's name is refused, and nothing is created beside it.
TEST_F(SafeWriteTest, TargetThatIsNoFile) {
  fs::create_directory(Out("a.txt"));
  fs::create_directory(Out("a.zen"));
  ASSERT_EQ(mkfifo(Out("pipe").c_str(), 0600), 0);
  const std::vector<std::string> before = List(Path("out"));
  const fs::path encode_targets[] = {Out("a.zen"), Out("pipe"), Path("out"), "/dev/null"};
  for (const fs::path& target : encode_targets) {
    SCOPED_TRACE(target);
    RecordingReporter reporter;
    EXPECT_EQ(Encode(Source(), To(target), reporter), FileResult::kFailed);
    EXPECT_EQ(reporter.entries, OneError(kMsgCannotSave));
  }
  RecordingReporter reporter;
  EXPECT_EQ(Decode(Encoded(), Into(Path("out")), reporter), FileResult::kFailed);
  EXPECT_EQ(reporter.entries, OneError(kMsgCannotSave));
  EXPECT_EQ(List(Path("out")), before);
  EXPECT_TRUE(fs::is_empty(Out("a.txt")));
  // A byte that is no symbol still outranks the target that cannot be written.
  Write(Path("in") / "b.zen", Read(Encoded()) + ".");
  reporter.entries.clear();
  EXPECT_EQ(Decode(Path("in") / "b.zen", Into(Path("out")), reporter), FileResult::kFailed);
  EXPECT_EQ(reporter.entries, OneError(kMsgDecodeFailed));
  // A folder that does not exist cannot take an output either.
  reporter.entries.clear();
  EXPECT_EQ(Encode(Source(), To(Path("missing") / "a.zen"), reporter), FileResult::kFailed);
  EXPECT_EQ(reporter.entries, OneError(kMsgCannotSave));
}

// A link under the target's name is replaced by the output; the file it
// pointed to is never written through it.
TEST_F(SafeWriteTest, LinkTargetIsReplacedNotFollowed) {
  Write(Path("victim"), "victim");
  fs::create_symlink(Path("victim"), Out("a.zen"));
  fs::create_symlink(Path("victim"), Out("a.txt"));
  fs::create_symlink(Path("nowhere"), Out("dangling"));
  RecordingReporter reporter;
  ASSERT_EQ(Encode(Source(), To(Out("a.zen")), reporter), FileResult::kOk);
  ASSERT_EQ(Decode(Encoded(), Into(Path("out")), reporter), FileResult::kOk);
  ASSERT_EQ(Encode(Source(), To(Out("dangling")), reporter), FileResult::kOk);
  EXPECT_TRUE(reporter.entries.empty());
  EXPECT_EQ(Read(Path("victim")), "victim");
  EXPECT_FALSE(fs::exists(Path("nowhere")));
  for (const char* name : {"a.zen", "a.txt", "dangling"}) {
    EXPECT_FALSE(fs::is_symlink(Out(name))) << name;
    EXPECT_TRUE(fs::is_regular_file(Out(name))) << name;
  }
  EXPECT_TRUE(Read(Out("a.txt")) == contents_);
}

// A new file gets the mode a plain create gives it: 0666 less the umask.
TEST_F(SafeWriteTest, OutputModeFollowsTheUmask) {
  for (mode_t mask : {mode_t{022}, mode_t{077}}) {
    mode_t old = umask(mask);
    RecordingReporter reporter;
    EXPECT_EQ(Encode(Source(), To(Out("a.zen")), reporter), FileResult::kOk);
    EXPECT_EQ(Decode(Encoded(), Into(Path("out")), reporter), FileResult::kOk);
    umask(old);
    for (const char* name : {"a.zen", "a.txt"}) {
      struct stat st;
      ASSERT_EQ(stat(Out(name).c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask) << name;
    }
  }
}

// Writing fails part way (the file size limit stands in for a full disk):
// the failure is reported, the temporary file is gone and an existing target
// keeps its bytes.
TEST_F(SafeWriteTest, WriteFailureLeavesNothing) {
  Write(Out("a.zen"), "old");
  Write(Out("a.txt"), "old");
  signal(SIGXFSZ, SIG_IGN);
  struct rlimit old;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  struct rlimit limit = old;
  limit.rlim_cur = 100000;  // past the first write, well before the end
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  RecordingReporter encode_reports, decode_reports;
  const FileResult encoded = Encode(Source(), To(Out("a.zen")), encode_reports);
  const FileResult decoded = Decode(Encoded(), Into(Path("out")), decode_reports);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &old), 0);
  signal(SIGXFSZ, SIG_DFL);

  EXPECT_EQ(encoded, FileResult::kFailed);
  EXPECT_EQ(decoded, FileResult::kFailed);
  EXPECT_EQ(encode_reports.entries, OneError(kMsgCannotSave));
  EXPECT_EQ(decode_reports.entries, OneError(kMsgCannotSave));
  EXPECT_EQ(List(Path("out")), (std::vector<std::string>{"a.txt", "a.zen"}));
  EXPECT_EQ(Read(Out("a.zen")), "old");
  EXPECT_EQ(Read(Out("a.txt")), "old");
}

// A descriptor that cannot take the output (a full device) fails the
// conversion; the spooled copy is gone with it.
TEST_F(SafeWriteTest, FullDeviceDescriptor) {
  int full = open("/dev/full", O_WRONLY);
  if (full < 0) GTEST_SKIP() << "no /dev/full";
  OutputTarget target;
  target.fd = full;
  RecordingReporter encode_reports, decode_reports;
  EXPECT_EQ(Encode(Source(), target, encode_reports), FileResult::kFailed);
  EXPECT_EQ(Decode(Encoded(), target, decode_reports), FileResult::kFailed);
  close(full);
  EXPECT_EQ(encode_reports.entries, OneError(kMsgCannotSave));
  EXPECT_EQ(decode_reports.entries, OneError(kMsgCannotSave));
}

// A cancelled decoding says nothing and leaves nothing; the existing file
// under the stored name is untouched.
TEST_F(SafeWriteTest, CancelledDecodingLeavesNothing) {
  // The payload takes two chunks: cancel after the first and after the
  // last, when everything has been read and written but not committed.
  ASSERT_GT(fs::file_size(Encoded()), (1u << 20) + 4);
  for (int cancel_at : {1, 2}) {
    SCOPED_TRACE(cancel_at);
    Write(Out("a.txt"), "old");
    int calls = 0;
    FileOptions options;
    options.progress = [&](uint64_t done, uint64_t total) {
      EXPECT_LE(done, total);
      return ++calls < cancel_at;
    };
    RecordingReporter reporter;
    EXPECT_EQ(Decode(Encoded(), Into(Path("out")), reporter, options), FileResult::kCancelled);
    EXPECT_TRUE(reporter.entries.empty());
    EXPECT_EQ(List(Path("out")), std::vector<std::string>{"a.txt"});
    EXPECT_EQ(Read(Out("a.txt")), "old");
  }
}

// The encoded file is never changed by a failed decoding, and the source
// never by an encoding.
TEST_F(SafeWriteTest, SourcesAreOnlyRead) {
  const std::string encoded = Read(Encoded());
  struct stat before_src, before_enc;
  ASSERT_EQ(stat(Source().c_str(), &before_src), 0);
  ASSERT_EQ(stat(Encoded().c_str(), &before_enc), 0);
  RecordingReporter reporter;
  ASSERT_EQ(Encode(Source(), To(Out("a.zen")), reporter), FileResult::kOk);
  // A record without a name: refused after the whole file was read.
  Write(Out("x.zen"), EncodedFileOf("no name"));
  EXPECT_EQ(Decode(Out("x.zen"), Into(Path("in")), reporter), FileResult::kFailed);
  struct stat after_src, after_enc;
  ASSERT_EQ(stat(Source().c_str(), &after_src), 0);
  ASSERT_EQ(stat(Encoded().c_str(), &after_enc), 0);
  EXPECT_EQ(after_src.st_mtim.tv_nsec, before_src.st_mtim.tv_nsec);
  EXPECT_EQ(after_src.st_ino, before_src.st_ino);
  EXPECT_TRUE(Read(Source()) == contents_);
  EXPECT_TRUE(Read(Encoded()) == encoded);
  EXPECT_EQ(List(Path("in")), (std::vector<std::string>{"a.txt", "a.zen"}));
}

}  // namespace
}  // namespace zentoba::testing
