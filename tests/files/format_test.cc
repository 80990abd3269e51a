// The header, the version byte and the helpers that look at a file before it
// is converted.
#include <sys/stat.h>

#include "files_fixture.h"

namespace zentoba::testing {
namespace {

TEST(VersionTest, TextToByte) {
  struct Case {
    const char* text;
    std::optional<int> byte;
  };
  const Case cases[] = {
      {"1.04", 104}, {kVersionText, 104}, {"0.", 0},       {"5.", 5},
      {"5", 5},      {"-.5", -5},         {"-.128", -128}, {"1.27", 127},
      {"", {}},      {"2.00", {}},        {"-.129", {}},   {"1.0x", {}},
      {"abc", {}},   {"1. 4", {}},        {"1.04 ", {}},   {".", {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(VersionByteFromText(c.text), c.byte) << '"' << c.text << '"';
  }
}

TEST(VersionTest, ByteToText) {
  struct Case {
    int byte;
    const char* text;
  };
  const Case cases[] = {{104, "1.04"}, {0, "0."},     {7, "7."},       {10, "1.0"},
                        {-5, "-.5"},   {-15, "-.15"}, {-128, "-.128"}, {127, "1.27"}};
  for (const Case& c : cases) EXPECT_EQ(VersionText(c.byte), c.text) << c.byte;
}

// Every byte a header can hold survives the way to its text and back, so
// the version message always names the version that wrote a file.
TEST(VersionTest, EverySignedByteRoundTrips) {
  for (int v = -128; v <= 127; ++v) EXPECT_EQ(VersionByteFromText(VersionText(v)), v) << v;
}

TEST(HeaderTest, Table) {
  struct Case {
    std::string bytes;
    bool encoded;
    int length;
    std::optional<int> version;
  };
  const Case cases[] = {
      {"", false, 0, {}},
      {Bytes({0xDD}), false, 0, {}},
      {Bytes({0xDD, 0xA7, 0xDC, 104}), false, 0, {}},
      {Bytes({0xA6, 0xDD, 0xDC, 104}), false, 0, {}},
      {Bytes({0xDD, 0xDB, 'w', 'w'}), false, 0, {}},  // an encoded text, no file
      {Bytes({0xDD, 0xA6}), true, 2, {}},
      {Bytes({0xDD, 0xA6, 'A', 'B'}), true, 2, {}},
      {Bytes({0xDD, 0xA6, 0xDB}), true, 2, {}},
      {Bytes({0xDD, 0xA6, 0xDC}), true, 4, {}},  // ends before its version byte
      {Bytes({0xDD, 0xA6, 0xDC, 104}), true, 4, 104},
      {Bytes({0xDD, 0xA6, 0xDC, 0xFF}), true, 4, -1},
      {Bytes({0xDD, 0xA6, 0xDC, 0x80}), true, 4, -128},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.bytes));
    EncodedHeader h = ReadEncodedHeader(c.bytes);
    EXPECT_EQ(h.encoded, c.encoded);
    EXPECT_EQ(h.header_length, c.length);
    EXPECT_EQ(h.version, c.version);
  }
}

using SourceTest = FilesTest;

TEST_F(SourceTest, OpensOnlyRegularFiles) {
  Write(Path("a.txt"), "abc");
  int fd = OpenSource(Path("a.txt"));
  ASSERT_GE(fd, 0);
  EXPECT_EQ(fcntl(fd, F_GETFL) & O_ACCMODE, O_RDONLY);
  EXPECT_EQ(fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
  close(fd);

  fs::create_directory(Path("folder"));
  EXPECT_EQ(OpenSource(Path("folder")), -1);
  EXPECT_EQ(OpenSource(Path("missing")), -1);
  // A pipe with no writer would block a plain open for reading.
  ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0600), 0);
  EXPECT_EQ(OpenSource(Path("fifo")), -1);
  EXPECT_EQ(OpenSource("/dev/null"), -1);
  // A symbolic link to a regular file is that file.
  fs::create_symlink(Path("a.txt"), Path("link"));
  fd = OpenSource(Path("link"));
  EXPECT_GE(fd, 0);
  close(fd);
}

TEST_F(SourceTest, LengthLeavesTheFileAtItsStart) {
  Write(Path("empty"), "");
  Write(Path("abc"), "abc");
  for (auto [name, length] : {std::pair{"empty", 0}, std::pair{"abc", 3}}) {
    int fd = OpenSource(Path(name));
    ASSERT_GE(fd, 0);
    char c;
    ASSERT_EQ(read(fd, &c, 1), length > 0 ? 1 : 0);
    EXPECT_EQ(GetFileLength(fd), length);
    EXPECT_EQ(lseek(fd, 0, SEEK_CUR), 0);
    close(fd);
  }
}

// A sparse file takes no room but has a length beyond 32 bits.
TEST_F(SourceTest, LengthBeyondFourGiB) {
  const int64_t length = (int64_t{5} << 30) + 3;
  {
    int fd = open(Path("big").c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, length), 0);
    close(fd);
  }
  int fd = OpenSource(Path("big"));
  ASSERT_GE(fd, 0);
  EXPECT_EQ(GetFileLength(fd), length);
  close(fd);
}

TEST(StoredNameTest, FileNamePartInCp932) {
  EXPECT_EQ(StoredNameOf("a.txt"), "a.txt");
  EXPECT_EQ(StoredNameOf("/some/folder/a.txt"), "a.txt");
  EXPECT_EQ(StoredNameOf("../x/y.tar.gz"), "y.tar.gz");
  // "ソ.txt": its CP932 form has 0x5C as the trail byte of ソ.
  EXPECT_EQ(StoredNameOf("/tmp/\xE3\x82\xBD.txt"), Bytes({0x83, 0x5C, '.', 't', 'x', 't'}));
  // "日本語ﾃｽﾄ": double-byte and half-width katakana.
  EXPECT_EQ(
      StoredNameOf("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xEF\xBE\x83\xEF\xBD\xBD\xEF\xBE\x84"),
      Bytes({0x93, 0xFA, 0x96, 0x7B, 0x8C, 0xEA, 0xC3, 0xBD, 0xC4}));
  // The euro sign and emoji have no CP932 form; nor has a name that is no
  // valid UTF-8.
  EXPECT_EQ(StoredNameOf("/tmp/\xE2\x82\xAC.txt"), std::nullopt);
  EXPECT_EQ(StoredNameOf("\xF0\x9F\x98\x80"), std::nullopt);
  EXPECT_EQ(StoredNameOf("\x83\x5C.txt"), std::nullopt);
}

}  // namespace
}  // namespace zentoba::testing
