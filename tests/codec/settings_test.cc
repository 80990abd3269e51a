#include "zentoba/settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "test_util.h"
#include "zentoba/messages.h"

namespace zentoba {
namespace {

namespace fs = std::filesystem;

class Settings : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("zentoba-settings-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override {
    SetActiveTable(SymbolTable());
    fs::remove_all(dir_);
  }
  fs::path Write(const std::string& text) {
    const fs::path p = dir_ / "Zentoba.ini";
    std::ofstream(p, std::ios::binary) << text;
    return p;
  }
  static std::string DefaultSymbols() {
    return std::string(reinterpret_cast<const char*>(SymbolTable().symbols()), 128);
  }
  fs::path dir_;
};

TEST_F(Settings, ReadsTheValueOfAPlainLineUnchanged) {
  const std::string value = "\x83\x5C!#$%&()=~|`{*}?_\xB1\xD8";
  const fs::path p = Write("[Other]\r\nTable=wrong\r\n[APP]\r\nTable=" + value + "\r\n");
  EXPECT_EQ(ReadIniString(p, "APP", "Table"), value);
}

TEST_F(Settings, IniSyntax) {
  struct Case {
    const char* name;
    std::string text;
    std::optional<std::string> value;
  } cases[] = {
      {"LF lines", "[APP]\nTable=x\n", "x"},
      {"no final line break", "[APP]\nTable=x", "x"},
      {"names ignore case and blanks", " [ app ] \n  table  =  x  \n", "x"},
      {"first occurrence wins", "[APP]\nTable=x\nTable=y\n", "x"},
      {"comment lines", "[APP]\n;Table=y\nTable=x\n", "x"},
      {"empty value", "[APP]\nTable=\n", ""},
      {"key in another section", "[APP2]\nTable=x\n", std::nullopt},
      {"key before any section", "Table=x\n[APP]\n", std::nullopt},
      {"no key", "[APP]\nOther=x\n", std::nullopt},
      {"empty file", "", std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ReadIniString(Write(c.text), "APP", "Table"), c.value) << c.name;
  EXPECT_EQ(ReadIniString(dir_ / "missing.ini", "APP", "Table"), std::nullopt);
}

TEST_F(Settings, ValueLengthDecides) {
  std::string reversed = DefaultSymbols();
  std::reverse(reversed.begin(), reversed.end());
  struct Case {
    std::string value;
    SettingsOutcome outcome;
    uint8_t symbol0;
  } cases[] = {
      {reversed.substr(0, 127), SettingsOutcome::kDefault, 'A'},
      {reversed, SettingsOutcome::kReplaced, 0xD8},
      {reversed + std::string(72, '"'), SettingsOutcome::kReplaced, 0xD8},  // 200 bytes
  };
  for (const Case& c : cases) {
    RecordingReporter r;
    EXPECT_EQ(LoadSettings(Write("[APP]\nTable=" + c.value + "\n"), r), c.outcome);
    EXPECT_EQ(ActiveTable().Symbol(0), c.symbol0);
    EXPECT_TRUE(r.entries.empty());
    SetActiveTable(SymbolTable());
  }
}

TEST_F(Settings, SwappedEntriesTakeEffect) {
  std::string swapped = DefaultSymbols();
  std::swap(swapped[0], swapped[1]);
  RecordingReporter r;
  ASSERT_EQ(LoadSettings(Write("[APP]\nTable=" + swapped + "\n"), r), SettingsOutcome::kReplaced);
  EXPECT_EQ(EncodeBlocks(std::string(7, '\0')), "BBBBBBBB");
}

TEST_F(Settings, TablesThatWouldCorruptDataAreRefused) {
  std::string dup = DefaultSymbols();
  dup[5] = 'A';
  std::string blank = DefaultSymbols();
  blank[64] = ' ';
  std::string dbcs;  // 64 double-byte characters: lead bytes repeat
  for (int i = 0; i < 64; ++i) dbcs += std::string("\x82") + static_cast<char>(0x9F + i);
  for (const std::string& value : {dup, blank, std::string(128, 'x'), dbcs}) {
    RecordingReporter r;
    EXPECT_EQ(LoadSettings(Write("[APP]\nTable=" + value + "\n"), r), SettingsOutcome::kRefused);
    ASSERT_EQ(r.entries.size(), 1u);
    EXPECT_TRUE(r.entries[0].error);
    EXPECT_EQ(r.entries[0].text.rfind(kMsgBadTable, 0), 0u);
    EXPECT_EQ(ActiveTable(), SymbolTable()) << "the default table stays";
  }
}

TEST_F(Settings, NeverWritesTheFile) {
  const std::string text = "[APP]\r\nTable=short\r\n";
  const fs::path p = Write(text);
  const auto before = fs::last_write_time(p);
  RecordingReporter r;
  LoadSettings(p, r);
  std::ifstream in(p, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), text);
  EXPECT_EQ(fs::last_write_time(p), before);
}

TEST_F(Settings, FileLivesBesideTheExecutable) {
  const fs::path exe = fs::read_symlink("/proc/self/exe");
  EXPECT_EQ(SettingsPathBesideExecutable(), exe.parent_path() / "Zentoba.ini");
}

}  // namespace
}  // namespace zentoba
