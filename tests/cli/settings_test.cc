// The settings file: a replacement symbol table from --settings or from
// Zentoba.ini beside the executable, and the tables that are refused.
#include <string>
#include <vector>

#include "cli_fixture.h"

namespace zentoba::cli_test {
namespace {

// 128 distinct bytes above 0x20 that start and end with plain ASCII: 0x30
// ("0") up to 0xA0, then 0x21 ("!") up to 0x2F ("/"). Value v is 0x30 + v
// for v up to 112.
std::string ReplacementTable() {
  std::string table;
  for (int b = 0x30; b <= 0xA0; ++b) table += static_cast<char>(b);
  for (int b = 0x21; b <= 0x2F; ++b) table += static_cast<char>(b);
  return table;
}

// "abc" carries the values 48, 88, 76, 48 (see kAbcEncodedCp932), which this
// table writes as 0x60, 0x88, 0x7C, 0x60.
constexpr std::string_view kAbcUnderReplacement = "\xDD`\x88|`";

std::string IniWithTable(std::string_view table) {
  return "; settings\r\n[APP]\r\nTable=" + std::string(table) + "\r\n";
}

TEST_F(CliTest, ReplacementTableEncodesAndDecodesText) {
  Write("table.ini", IniWithTable(ReplacementTable()));
  RunResult r = Cli({"--settings", "table.ini", "text-encode", "--charset", "cp932"}, "abc");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, std::string(kAbcUnderReplacement) + "\n");

  // --settings may also come after the subcommand.
  r = Cli({"text-decode", "--charset", "cp932", "--settings=table.ini"}, kAbcUnderReplacement);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "abc");

  // The default table reads 0x88 as no symbol.
  r = Cli({"text-decode", "--charset", "cp932"}, kAbcUnderReplacement);
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "");
}

// 0x88 followed by "|" is no CP932 character, so this encoded text cannot be
// written as UTF-8.
TEST_F(CliTest, EncodedTextWithoutUtf8FormSuggestsCp932Charset) {
  Write("table.ini", IniWithTable(ReplacementTable()));
  const RunResult r = Cli({"--settings", "table.ini", "text-encode"}, "abc");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("--charset cp932"), std::string::npos) << r.err;
}

TEST_F(CliTest, ReplacementTableRoundTripsFiles) {
  Write("table.ini", IniWithTable(ReplacementTable()));
  fs::create_directory(Path("out"));
  const std::string bytes = PseudoRandomBytes(5000, 11);
  Write("data.bin", bytes);

  RunResult r = Cli({"--settings", "table.ini", "encode", "data.bin", "-o", "data.enc"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const std::string encoded = Read("data.enc");
  EXPECT_EQ(encoded.substr(0, 4), "\xDD\xA6\xDC\x68");

  r = Cli({"--settings", "table.ini", "decode", "data.enc", "-C", "out"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(Read("out/data.bin"), bytes);

  // The file does not say which table wrote it; the default one fails.
  fs::remove(Path("out/data.bin"));
  const Snapshot before = Snap();
  r = Cli({"decode", "data.enc", "-C", "out"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(Snap(), before);
}

// Only the first 128 bytes of the value count; a shorter value leaves the
// default table in force; a file without the key changes nothing.
TEST_F(CliTest, TableValueLengthDecides) {
  struct Case {
    const char* name;
    std::string ini;
    std::string expected;  // text-encode --charset cp932 of "abc"
  };
  const std::string table = ReplacementTable();
  const std::vector<Case> cases = {
      {"exactly_128", IniWithTable(table), std::string(kAbcUnderReplacement) + "\n"},
      {"200_bytes", IniWithTable(table + std::string(72, '!')),
       std::string(kAbcUnderReplacement) + "\n"},
      {"127_bytes", IniWithTable(table.substr(0, 127)), std::string(kAbcEncodedCp932) + "\n"},
      {"other_section", "[Other]\r\nTable=" + table + "\r\n", std::string(kAbcEncodedCp932) + "\n"},
      {"empty_file", "", std::string(kAbcEncodedCp932) + "\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Write("table.ini", c.ini);
    const RunResult r =
        Cli({"--settings", "table.ini", "text-encode", "--charset", "cp932"}, "abc");
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, c.expected);
  }
}

// A table that would change data without an error (a byte held twice, or a
// byte at or below 0x20 that trimming eats) stops the run before anything is
// converted or written.
TEST_F(CliTest, CorruptingTableStopsEveryCommand) {
  std::string duplicate = ReplacementTable();
  duplicate[100] = duplicate[3];
  std::string control = ReplacementTable();
  control[64] = '\x01';
  std::string space = ReplacementTable();
  space[10] = ' ';

  for (const std::string& table : {duplicate, control, space}) {
    fs::remove_all(dir_);
    fs::create_directories(Path("out"));
    Write("table.ini", IniWithTable(table));
    Write("a.txt", "abc");
    Write("x.enc", kEncodedAbcFile);
    const Snapshot before = Snap();
    for (const auto& [args, input] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"text-encode"}, "abc"},
             {{"text-decode"}, std::string(kAbcEncodedUtf8)},
             {{"encode", "a.txt"}, ""},
             {{"encode", "a.txt", "-o", "-"}, ""},
             {{"decode", "x.enc", "-C", "out"}, ""},
             {{"info", "x.enc"}, ""}}) {
      SCOPED_TRACE(args[0]);
      std::vector<std::string> full = {"--settings", "table.ini"};
      full.insert(full.end(), args.begin(), args.end());
      const RunResult r = Cli(full, input);
      EXPECT_EQ(r.exit_code, 1);
      EXPECT_EQ(r.out, "");
      EXPECT_NE(r.err.find(kMsgBadTable), std::string::npos) << r.err;
      EXPECT_TRUE(EveryLinePrefixed(r.err));
      EXPECT_EQ(Snap(), before);
    }
  }
}

// Without --settings the tool reads Zentoba.ini in its own folder, not in the
// current one; --settings takes the place of that file.
TEST_F(CliTest, SettingsFileBesideTheExecutable) {
  fs::create_directory(Path("bin"));
  const fs::path copy = Path("bin") / "zentoba-cli";
  fs::copy_file(CliPath(), copy);
  fs::permissions(copy, fs::perms::owner_all);
  WriteBytes(Path("bin") / "Zentoba.ini", IniWithTable(ReplacementTable()));
  // A settings file in the current directory plays no part.
  std::string other = ReplacementTable();
  std::swap(other[0], other[1]);
  Write("Zentoba.ini", IniWithTable(other));

  RunResult r = RunProgram(copy, {"text-encode", "--charset", "cp932"}, "abc", dir_);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, std::string(kAbcUnderReplacement) + "\n");

  // The tool under test has no Zentoba.ini beside it.
  r = Cli({"text-encode", "--charset", "cp932"}, "abc");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, std::string(kAbcEncodedCp932) + "\n");

  // A broken table beside the executable stops the run; --settings takes its
  // place.
  std::string broken = ReplacementTable();
  broken[1] = broken[0];
  WriteBytes(Path("bin") / "Zentoba.ini", IniWithTable(broken));
  r = RunProgram(copy, {"text-encode"}, "abc", dir_);
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find(kMsgBadTable), std::string::npos) << r.err;
  Write("default.ini", "[APP]\r\n");
  r = RunProgram(copy, {"--settings", "default.ini", "text-encode", "--charset", "cp932"}, "abc",
                 dir_);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, std::string(kAbcEncodedCp932) + "\n");
}

TEST_F(CliTest, MissingSettingsFileIsAnError) {
  Write("a.txt", "abc");
  fs::create_directory(Path("folder.ini"));
  const Snapshot before = Snap();
  for (const char* path : {"none.ini", "folder.ini"}) {
    const RunResult r = Cli({"--settings", path, "encode", "a.txt"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find(path), std::string::npos) << r.err;
    EXPECT_EQ(Snap(), before);
  }
}

}  // namespace
}  // namespace zentoba::cli_test
