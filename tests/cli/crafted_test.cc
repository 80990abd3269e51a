// Encoded files that this system never writes, made here from their record
// with the payload encoder: stored names that would leave the target folder
// or play tricks on the terminal.
#include <string>
#include <vector>

#include "cli_fixture.h"
#include "zentoba/codec.h"

namespace zentoba::cli_test {
namespace {

using namespace std::string_literals;

TEST_F(CliTest, CraftedFileWithTheKnownRecordMatchesTheEncoder) {
  // Cross-checks the helper against the tool: same record, same bytes.
  EXPECT_EQ(EncodedFileOf("a.txt", "abc"), kEncodedAbcFile);
}

// A stored name is restored only as a plain file name in the target folder;
// a name with a folder part is refused, and nothing is written anywhere.
TEST_F(CliTest, StoredNameThatLeavesTheFolderIsRefused) {
  for (const std::string& name :
       std::vector<std::string>{"../escaped.txt", "sub/inner.txt", "/tmp/zentoba-cli-absolute.txt",
                                "..", "", "C:\\windows.txt", "line\nbreak.txt"}) {
    SCOPED_TRACE(name);
    fs::remove_all(dir_);
    fs::create_directories(Path("in/sub"));
    fs::create_directory(Path("out"));
    Write("in/x.enc", EncodedFileOf(name, "contents"));
    const Snapshot before = Snap();
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"decode", "in/x.enc"},
          std::vector<std::string>{"decode", "in/x.enc", "-f", "-C", "out"}}) {
      const RunResult r = Cli(args);
      EXPECT_EQ(r.exit_code, 1);
      EXPECT_NE(r.err.find(kMsgBadStoredName), std::string::npos) << r.err;
      EXPECT_EQ(Snap(), before);
    }
    EXPECT_FALSE(fs::exists("/tmp/zentoba-cli-absolute.txt"));

    // Named by -o, the output does not use the stored name at all.
    const RunResult r = Cli({"decode", "in/x.enc", "-o", "out/named.bin"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(Read("out/named.bin"), "contents");
  }
}

// info shows any stored name, with control bytes escaped.
TEST_F(CliTest, InfoEscapesControlBytesOfStoredName) {
  Write("x.enc", EncodedFileOf("bell\x07line\nname", "12345"));
  const RunResult r = Cli({"info", "x.enc"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out,
            "header: full\nversion: 1.04\nstored name: bell\\x07line\\x0Aname\ncontent size: 5\n");
}

// A version byte is read as a signed byte and shown as the version text.
TEST_F(CliTest, InfoAndFailedDecodeShowTheVersionByte) {
  std::string file = EncodedFileOf("v.txt", "x");
  file[3] = '\x0C';  // 12
  Write("v12.enc", file);
  RunResult r = Cli({"info", "v12.enc"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("version: 1.2\n"), std::string::npos) << r.out;

  file += "\xFF";  // no symbol: the decoding fails
  Write("v12.enc", file);
  r = Cli({"decode", "v12.enc"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("変換バージョン：1.2\n"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace zentoba::cli_test
