// Runs zentoba-cli as a child process and looks at what it left behind.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace zentoba::cli_test {

namespace fs = std::filesystem;

struct RunResult {
  int exit_code = -1;  // -1 when the child did not exit normally
  std::string out;
  std::string err;
};

// Runs `program` with `args`, feeding it `input` on standard input, in the
// folder `cwd` (unchanged when empty).
RunResult RunProgram(const fs::path& program, const std::vector<std::string>& args,
                     std::string_view input = {}, const fs::path& cwd = {});

// The executable under test.
fs::path CliPath();

std::string ReadBytes(const fs::path& path);
void WriteBytes(const fs::path& path, std::string_view bytes);

// Everything below a folder: relative path -> file bytes, "<dir>" or
// "<link> target". Equal snapshots mean nothing was created, removed or
// changed, temporary files included.
using Snapshot = std::map<std::string, std::string>;
Snapshot TakeSnapshot(const fs::path& root);

// Whether `err` is whole lines, each beginning "zentoba-cli: ".
::testing::AssertionResult EveryLinePrefixed(std::string_view err);

// Deterministic bytes that cover every byte value and compress poorly.
std::string PseudoRandomBytes(size_t size, unsigned seed);

// Texts the program writes as UTF-8.
inline constexpr std::string_view kMsgDecodeFailed = "データの復号に失敗しました。";
inline constexpr std::string_view kMsgSaveAsFileFirst = "ファイルに保存してから復号してください。";
inline constexpr std::string_view kMsgNotCp932 = "Shift-JISで表せない文字があります。";
inline constexpr std::string_view kMsgBadTable = "設定ファイルの変換表(Table)が正しくありません。";
inline constexpr std::string_view kMsgVersion104 = "変換バージョン：1.04";
inline constexpr std::string_view kMsgBadStoredName =
    "保存されているファイル名が正しくないため、復号できません。";

// The encoded file (full header, version 104) of the record `stored_name`,
// 0x00, `contents`, made with the payload encoder: files this system would
// never write.
std::string EncodedFileOf(const std::string& stored_name, const std::string& contents);

// The encoded text of "abc": the marker ﾝ (0xDD), then the four symbols
// "w", ｱ (0xB1), "&", "w" of its plain payload.
inline constexpr std::string_view kAbcEncodedCp932 =
    "\xDD"
    "w\xB1&w";
inline constexpr std::string_view kAbcEncodedUtf8 = "ﾝwｱ&w";

// A file named a.txt holding "abc", encoded: the full header DD A6 DC and
// version byte 104, then the 20 symbols of the deflated record
// "a.txt\0abc" (zero padding bits in the last symbol).
inline const std::string kEncodedAbcFile = std::string(
    "\xDD\xA6\xDC\x68"
    "\x38\x32\x23\x39\x68\x75\x60\x6F\x77\x60\x4A\x5B\x7E\x59\x41\x50\x32\x41\xBB\xB9",
    24);

// Names parameterized cases after their `name` member.
struct CaseName {
  template <class T>
  std::string operator()(const ::testing::TestParamInfo<T>& info) const {
    return info.param.name;
  }
};

// Each test gets its own empty folder, removed afterwards.
class CliTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Runs the CLI in the test's folder.
  RunResult Cli(const std::vector<std::string>& args, std::string_view input = {}) const {
    return RunProgram(CliPath(), args, input, dir_);
  }
  fs::path Path(const std::string& name) const { return dir_ / name; }
  void Write(const std::string& name, std::string_view bytes) const {
    WriteBytes(dir_ / name, bytes);
  }
  std::string Read(const std::string& name) const { return ReadBytes(dir_ / name); }
  Snapshot Snap() const { return TakeSnapshot(dir_); }

  fs::path dir_;
};

}  // namespace zentoba::cli_test
