// encode, decode and info on files: the encoded file format on disk, where
// outputs go, and the refusals that protect existing files.
#include <unistd.h>

#include <string>
#include <vector>

#include "cli_fixture.h"

namespace zentoba::cli_test {
namespace {

// Symbols of the built-in table: 88 printable ASCII bytes and the
// half-width katakana 0xB1..0xD8.
bool IsBuiltInSymbol(unsigned char c) { return (c > 0x20 && c < 0x7F) || (c >= 0xB1 && c <= 0xD8); }

TEST_F(CliTest, EncodeWritesTheKnownBytesForAbc) {
  Write("a.txt", "abc");
  const RunResult r = Cli({"encode", "a.txt"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(Read("a.txt.txt"), kEncodedAbcFile);
  EXPECT_EQ(Read("a.txt"), "abc");
}

// Only the file-name part of the path is stored.
TEST_F(CliTest, EncodeStoresOnlyTheFileName) {
  fs::create_directories(Path("deep/er"));
  Write("deep/er/a.txt", "abc");
  const RunResult r = Cli({"encode", "deep/er/a.txt", "-o", "out.enc"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(Read("out.enc"), kEncodedAbcFile);
}

TEST_F(CliTest, EncodeToStandardOutputCreatesNoFile) {
  Write("a.txt", "abc");
  const Snapshot before = Snap();
  const RunResult r = Cli({"encode", "a.txt", "-o", "-"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, kEncodedAbcFile);
  EXPECT_EQ(Snap(), before);
}

TEST_F(CliTest, DecodeRestoresStoredNameBesideTheEncodedFile) {
  fs::create_directory(Path("in"));
  Write("in/x.enc", kEncodedAbcFile);
  // Run from the test folder: the output goes beside the encoded file, not
  // into the current directory.
  const RunResult r = Cli({"decode", "in/x.enc"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(Read("in/a.txt"), "abc");
  EXPECT_FALSE(fs::exists(Path("a.txt")));
  EXPECT_EQ(Read("in/x.enc"), kEncodedAbcFile);
}

TEST_F(CliTest, DecodeIntoFolderOrFileOrStandardOutput) {
  Write("x.enc", kEncodedAbcFile);
  fs::create_directory(Path("out"));

  RunResult r = Cli({"decode", "x.enc", "-C", "out"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(Read("out/a.txt"), "abc");

  r = Cli({"decode", "x.enc", "-o", "renamed.bin"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(Read("renamed.bin"), "abc");
  EXPECT_FALSE(fs::exists(Path("a.txt")));

  r = Cli({"decode", "x.enc", "-o", "-"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "abc");
  EXPECT_FALSE(fs::exists(Path("a.txt")));
}

// The short header is the marker alone, with the same payload after it.
TEST_F(CliTest, ShortHeaderDecodesLikeFullHeader) {
  Write("short.enc", "\xDD\xA6" + kEncodedAbcFile.substr(4));
  const RunResult r = Cli({"decode", "short.enc"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(Read("a.txt"), "abc");
}

TEST_F(CliTest, InfoShowsHeaderVersionNameAndSize) {
  Write("full.enc", kEncodedAbcFile);
  Write("short.enc", "\xDD\xA6" + kEncodedAbcFile.substr(4));
  const Snapshot before = Snap();

  RunResult r = Cli({"info", "full.enc"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "header: full\nversion: 1.04\nstored name: a.txt\ncontent size: 3\n");

  r = Cli({"info", "short.enc"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "header: short\nversion: unknown\nstored name: a.txt\ncontent size: 3\n");
  EXPECT_EQ(Snap(), before);
}

// Sizes around the 7-byte group, an empty file, and a large file that does
// not compress.
TEST_F(CliTest, BinaryFilesRoundTrip) {
  fs::create_directory(Path("out"));
  for (const size_t size : {0u, 1u, 6u, 7u, 8u, 13u, 14u, 15u, 4096u, 1u << 20}) {
    SCOPED_TRACE(size);
    const std::string name = "data" + std::to_string(size) + ".bin";
    const std::string bytes = PseudoRandomBytes(size, static_cast<unsigned>(size));
    Write(name, bytes);

    RunResult r = Cli({"encode", name});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const std::string encoded = Read(name + ".txt");
    ASSERT_GE(encoded.size(), 5u);
    EXPECT_EQ(encoded.substr(0, 4), "\xDD\xA6\xDC\x68");
    for (size_t i = 4; i < encoded.size(); ++i) {
      ASSERT_TRUE(IsBuiltInSymbol(static_cast<unsigned char>(encoded[i]))) << "offset " << i;
    }

    r = Cli({"decode", name + ".txt", "-C", "out"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(Read("out/" + name), bytes);

    r = Cli({"info", name + ".txt"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(r.out.find("content size: " + std::to_string(size) + "\n"), std::string::npos)
        << r.out;
  }
}

// A UTF-8 file name is stored as CP932 and comes back as the same name.
TEST_F(CliTest, JapaneseFileNameRoundTrips) {
  fs::create_directory(Path("out"));
  Write("テスト表.txt", "内容");
  RunResult r = Cli({"encode", "テスト表.txt", "-o", "x.enc"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  // CP932 of テスト表: 83 65 83 58 83 67 95 5C (表 ends in 0x5C, no separator).
  r = Cli({"info", "x.enc"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("stored name: テスト表.txt\n"), std::string::npos) << r.out;
  r = Cli({"decode", "x.enc", "-C", "out"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(Read("out/テスト表.txt"), "内容");
}

// An existing output is never touched without -f, and replaced with it.
TEST_F(CliTest, ExistingOutputIsRefusedWithoutForce) {
  struct Case {
    std::vector<std::string> args;
    std::string occupied;  // the existing output
    std::string expected;  // its content after the run with -f
  };
  const std::vector<Case> cases = {
      {{"encode", "a.txt"}, "a.txt.txt", kEncodedAbcFile},
      {{"encode", "a.txt", "-o", "other.enc"}, "other.enc", kEncodedAbcFile},
      {{"decode", "x.enc"}, "a.txt", "abc"},
      {{"decode", "x.enc", "-C", "out"}, "out/a.txt", "abc"},
      {{"decode", "x.enc", "-o", "other.bin"}, "other.bin", "abc"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " -> " + c.occupied);
    fs::remove_all(dir_);
    fs::create_directories(Path("out"));
    Write("a.txt", "abc");
    Write("x.enc", kEncodedAbcFile);
    Write(c.occupied, "precious, not to be lost");
    const Snapshot before = Snap();

    RunResult r = Cli(c.args);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find(fs::path(c.occupied).filename().string()), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("-f"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(Snap(), before);

    std::vector<std::string> forced = c.args;
    forced.push_back("-f");
    r = Cli(forced);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(Read(c.occupied), c.expected);
  }
}

// Encoding a file onto itself would destroy it, whatever the spelling of
// the output and even with -f.
TEST_F(CliTest, EncodeOntoItselfIsRefusedBySpellingOrLink) {
  fs::create_directory(Path("d"));
  Write("d/a.txt", "abc");
  ASSERT_EQ(::symlink("a.txt", Path("d/soft").c_str()), 0);
  ASSERT_EQ(::link(Path("d/a.txt").c_str(), Path("d/hard").c_str()), 0);
  const Snapshot before = Snap();

  for (const std::string& output :
       std::vector<std::string>{"d/a.txt", "./d/a.txt", "d/../d/a.txt", "d//a.txt", "d/soft",
                                "d/hard", Path("d/a.txt").string()}) {
    SCOPED_TRACE(output);
    for (const bool force : {false, true}) {
      std::vector<std::string> args = {"encode", "d/a.txt", "-o", output};
      if (force) args.push_back("-f");
      const RunResult r = Cli(args);
      EXPECT_EQ(r.exit_code, 1);
      EXPECT_EQ(r.out, "");
      EXPECT_NE(r.err.find(output), std::string::npos) << r.err;
      EXPECT_EQ(Snap(), before);
    }
  }
}

// A name with no CP932 form could not be stored, so nothing is encoded.
TEST_F(CliTest, EncodeRefusesNameWithoutCp932Form) {
  Write("price€.txt", "abc");
  const Snapshot before = Snap();
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"encode", "price€.txt"},
        std::vector<std::string>{"encode", "price€.txt", "-o", "-"}}) {
    const RunResult r = Cli(args);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("ファイル名にShift-JISで表せない文字があります。"), std::string::npos)
        << r.err;
    EXPECT_EQ(Snap(), before);
  }
}

// Decoding may replace the encoded file itself when its stored name is its
// own name: it has been read whole before the restored file takes its place.
TEST_F(CliTest, DecodeOverTheEncodedFileNeedsForce) {
  Write("a.txt", kEncodedAbcFile);
  RunResult r = Cli({"decode", "a.txt"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(Read("a.txt"), kEncodedAbcFile);
  r = Cli({"decode", "a.txt", "-f"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(Read("a.txt"), "abc");
}

struct BadFile {
  const char* name;
  std::string bytes;
  std::string message;  // expected on standard error
};

void PrintTo(const BadFile& c, std::ostream* os) { *os << c.name; }

class BadEncodedFileTest : public CliTest, public ::testing::WithParamInterface<BadFile> {};

// Neither decode nor info writes anything for a file they cannot read, and
// the file itself stays as it was.
TEST_P(BadEncodedFileTest, DecodeAndInfoFailWithoutWriting) {
  const BadFile& c = GetParam();
  Write("bad.enc", c.bytes);
  fs::create_directory(Path("out"));
  const Snapshot before = Snap();
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"decode", "bad.enc"},
        std::vector<std::string>{"decode", "bad.enc", "-f", "-C", "out"},
        std::vector<std::string>{"decode", "bad.enc", "-o", "-"},
        std::vector<std::string>{"decode", "bad.enc", "-o", "out/x.bin"},
        std::vector<std::string>{"info", "bad.enc"}}) {
    SCOPED_TRACE(args.back());
    const RunResult r = Cli(args);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(Snap(), before);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadEncodedFileTest,
    ::testing::Values(BadFile{"empty_file", "", "not an encoded file"},
                      BadFile{"one_byte", "\xDD", "not an encoded file"},
                      BadFile{"plain_text", "abc", "bad.enc: not an encoded file"},
                      BadFile{"encoded_text_not_file",
                              "\xDD"
                              "w\xB1&w",
                              "not an encoded file"},
                      BadFile{"marker_only", "\xDD\xA6", "変換バージョン："},
                      BadFile{"header_only", "\xDD\xA6\xDC\x68", std::string(kMsgVersion104)},
                      BadFile{"byte_after_payload_that_is_no_symbol", kEncodedAbcFile + "\xFF",
                              std::string(kMsgDecodeFailed)},
                      BadFile{"byte_inside_payload_that_is_no_symbol",
                              kEncodedAbcFile.substr(0, 10) + "\x7F" + kEncodedAbcFile.substr(11),
                              std::string(kMsgDecodeFailed) +
                                  "\nzentoba-cli: bad.enc: " + std::string(kMsgVersion104)},
                      BadFile{"payload_cut_short", kEncodedAbcFile.substr(0, 16),
                              std::string(kMsgVersion104)},
                      BadFile{"marker_on_random_bytes", "\xDD\xA6" + PseudoRandomBytes(100, 3),
                              "変換バージョン："}),
    CaseName());
;

}  // namespace
}  // namespace zentoba::cli_test
