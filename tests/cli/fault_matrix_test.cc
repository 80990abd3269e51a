// What zentoba-cli does when the file system works against it: one row per
// fault, each run in a fresh folder. Every row checks the exit code, the
// message on standard error and the whole folder afterwards: the source as
// it was, no partial or temporary file, every existing file intact, and
// only the changes the row names.
//
// Faults covered elsewhere and not repeated here:
//   - the output is the source by another spelling, a symbolic or a hard
//     link (encode): EncodeOntoItselfIsRefusedBySpellingOrLink;
//   - the stored name is the encoded file's own name:
//     DecodeOverTheEncodedFileNeedsForce;
//   - a file name with no CP932 form: EncodeRefusesNameWithoutCp932Form;
//   - stored names that leave the folder: StoredNameThatLeavesTheFolderIsRefused
//     and, for every kind of name, the files library's DecodeTest.StoredNames;
//   - a source that grows, shrinks or is removed while it is read, which
//     only a hook in the middle of a conversion can arrange: the files
//     library's EncodeTest.SourceChangingWhileReadIsRefused,
//     EncodeTest.SourceRemovedWhileReadIsEncodedWhole and
//     DecodeTest.EncodedFileChangingWhileRead;
//   - a full device as the output descriptor: SafeWriteTest.FullDeviceDescriptor.
#include <signal.h>
#include <sys/resource.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "cli_fixture.h"
#include "zentoba/codec.h"

namespace zentoba::cli_test {
namespace {

constexpr std::string_view kMsgCannotSave = "ファイルを保存することができませんでした。";
constexpr std::string_view kMsgCannotOpen = "ファイルを開くことができませんでした。";

// Contents that do not compress: their outputs pass the file size limit.
const std::string& Big() {
  static const std::string big = PseudoRandomBytes(1 << 20, 5);
  return big;
}

struct Fault {
  std::string name;
  std::function<void(const fs::path& dir)> setup;
  std::vector<std::string> args;
  int exit_code;
  std::string_view message;  // a line on standard error holds it
  // Files the run may change (relative path -> bytes afterwards); everything
  // else stays byte for byte, and nothing is added.
  Snapshot changed;
  // Writing beyond this many bytes fails, as on a full disk (0: no limit).
  rlim_t file_size_limit = 0;
};

// gtest shows a case by its name, not by its bytes.
void PrintTo(const Fault& fault, std::ostream* os) { *os << fault.name; }

void Put(const fs::path& dir, const std::string& name, std::string_view bytes) {
  fs::create_directories((dir / name).parent_path());
  WriteBytes(dir / name, bytes);
}

// a.txt holding "abc" and its encoded file a.zen.
void AbcPair(const fs::path& dir) {
  Put(dir, "a.txt", "abc");
  Put(dir, "a.zen", kEncodedAbcFile);
}

const Fault kFaults[] = {
    {"EncodeDiskFull",
     [](const fs::path& dir) {
       Put(dir, "big.bin", Big());
       Put(dir, "big.bin.txt", "old");
     },
     {"encode", "big.bin", "-f"},
     1,
     kMsgCannotSave,
     {},
     100000},
    {"DecodeDiskFull",
     [](const fs::path& dir) {
       Put(dir, "in/big.zen", EncodedFileOf("big.bin", Big()));
       Put(dir, "in/big.bin", "old");
     },
     {"decode", "in/big.zen", "-f"},
     1,
     kMsgCannotSave,
     {},
     100000},
    {"EncodeIntoFolderThatIsAFile",
     [](const fs::path& dir) {
       AbcPair(dir);
       Put(dir, "file", "file");
     },
     {"encode", "a.txt", "-f", "-o", "file/a.zen"},
     1,
     kMsgCannotSave,
     {},
     0},
    {"DecodeIntoFolderThatIsAFile",
     [](const fs::path& dir) {
       AbcPair(dir);
       Put(dir, "file", "file");
     },
     {"decode", "a.zen", "-f", "-C", "file"},
     1,
     "file: no such folder",
     {},
     0},
    {"DecodeToPathThroughAFile",
     [](const fs::path& dir) {
       AbcPair(dir);
       Put(dir, "file", "file");
     },
     {"decode", "a.zen", "-f", "-o", "file/a.txt"},
     1,
     kMsgCannotSave,
     {},
     0},
    {"EncodeTargetIsAFolder",
     [](const fs::path& dir) {
       AbcPair(dir);
       fs::create_directories(dir / "d" / "inner");
     },
     {"encode", "a.txt", "-f", "-o", "d"},
     1,
     kMsgCannotSave,
     {},
     0},
    {"DecodeStoredNameIsAFolder",
     [](const fs::path& dir) {
       AbcPair(dir);
       fs::create_directories(dir / "out" / "a.txt");
     },
     {"decode", "a.zen", "-f", "-C", "out"},
     1,
     kMsgCannotSave,
     {},
     0},
    {"EncodeTargetIsALink",
     [](const fs::path& dir) {
       AbcPair(dir);
       Put(dir, "victim", "victim");
       fs::create_symlink("victim", dir / "link");
     },
     {"encode", "a.txt", "-f", "-o", "link"},
     0,
     {},
     {{"link", std::string(kEncodedAbcFile)}},
     0},
    {"DecodeStoredNameIsALink",
     [](const fs::path& dir) {
       AbcPair(dir);
       Put(dir, "victim", "victim");
       fs::create_directory(dir / "out");
       fs::create_symlink("../victim", dir / "out" / "a.txt");
     },
     {"decode", "a.zen", "-f", "-C", "out"},
     0,
     {},
     {{"out/a.txt", "abc"}},
     0},
    {"EncodeSourceRemoved",
     [](const fs::path& dir) { Put(dir, "gone.txt.txt", "old"); },
     {"encode", "gone.txt", "-f"},
     1,
     kMsgCannotOpen,
     {},
     0},
    {"EncodeSourceIsADanglingLink",
     [](const fs::path& dir) {
       fs::create_symlink("gone.txt", dir / "link.txt");
       Put(dir, "link.txt.txt", "old");
     },
     {"encode", "link.txt", "-f"},
     1,
     kMsgCannotOpen,
     {},
     0},
    {"DecodeOntoItsHardLinkWithoutForce",
     [](const fs::path& dir) {
       AbcPair(dir);
       fs::create_hard_link(dir / "a.zen", dir / "hard");
     },
     {"decode", "a.zen", "-o", "hard"},
     1,
     "hard: already exists",
     {},
     0},
    {"DecodeOntoItsHardLink",
     [](const fs::path& dir) {
       AbcPair(dir);
       fs::create_hard_link(dir / "a.zen", dir / "hard");
     },
     {"decode", "a.zen", "-f", "-o", "hard"},
     0,
     {},
     {{"hard", "abc"}},
     0},
    {"DecodeOntoALinkToItself",
     [](const fs::path& dir) {
       AbcPair(dir);
       fs::create_symlink("a.zen", dir / "soft");
     },
     {"decode", "a.zen", "-f", "-o", "soft"},
     0,
     {},
     {{"soft", "abc"}},
     0},
    {"DecodeOntoItselfByAnotherSpelling",
     [](const fs::path& dir) {
       AbcPair(dir);
       fs::create_directory(dir / "sub");
     },
     {"decode", "a.zen", "-o", "sub/../a.zen"},
     1,
     "sub/../a.zen: already exists",
     {},
     0},
    {"StoredNameIsNoCp932NorUtf8",
     [](const fs::path& dir) {
       Put(dir, "x.zen", EncodedFileOf("\xFF\xFE", "x"));
       fs::create_directory(dir / "out");
     },
     {"decode", "x.zen", "-f", "-C", "out"},
     1,
     kMsgBadStoredName,
     {},
     0},
    {"StoredNameEndsInALoneLeadByte",
     [](const fs::path& dir) {
       Put(dir, "x.zen", EncodedFileOf("name\x83", "x"));
       fs::create_directory(dir / "out");
     },
     {"decode", "x.zen", "-f", "-C", "out"},
     1,
     kMsgBadStoredName,
     {},
     0},
};

class FaultMatrixTest : public CliTest, public ::testing::WithParamInterface<Fault> {};

TEST_P(FaultMatrixTest, NothingIsLostAndTheUserIsTold) {
  const Fault& fault = GetParam();
  fault.setup(dir_);
  Snapshot expected = Snap();
  for (const auto& [path, bytes] : fault.changed) {
    ASSERT_TRUE(expected.count(path)) << path << " is no existing file";
    expected[path] = bytes;
  }

  struct rlimit old_limit;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
  if (fault.file_size_limit != 0) {
    // The child inherits the limit, and SIGXFSZ ignored: its write fails
    // with EFBIG instead of killing it.
    struct rlimit limit = old_limit;
    limit.rlim_cur = fault.file_size_limit;
    signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  }
  const RunResult r = Cli(fault.args);
  if (fault.file_size_limit != 0) {
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &old_limit), 0);
    signal(SIGXFSZ, SIG_DFL);
  }

  EXPECT_EQ(r.exit_code, fault.exit_code) << r.err;
  EXPECT_EQ(r.out, "");
  if (fault.message.empty()) {
    EXPECT_EQ(r.err, "");
  } else {
    EXPECT_TRUE(EveryLinePrefixed(r.err));
    EXPECT_NE(r.err.find(fault.message), std::string::npos) << r.err;
  }
  EXPECT_EQ(Snap(), expected);
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrixTest, ::testing::ValuesIn(kFaults), CaseName());

}  // namespace
}  // namespace zentoba::cli_test
