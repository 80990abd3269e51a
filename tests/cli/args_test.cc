// Exit statuses and the command line itself: usage errors are told apart
// from failed conversions, and neither leaves anything behind.
#include <string>
#include <vector>

#include "cli_fixture.h"

namespace zentoba::cli_test {
namespace {

struct ExitCase {
  const char* name;
  std::vector<std::string> args;
  std::string input;
  int exit_code;
};

void PrintTo(const ExitCase& c, std::ostream* os) { *os << c.name; }

class ExitStatusTest : public CliTest, public ::testing::WithParamInterface<ExitCase> {};

// The folder holds plain.bin (no encoded file), a.enc (an encoded file whose
// stored name is a.txt) and the folder sub/.
TEST_P(ExitStatusTest, ExitsWithStatusAndLeavesFolderAsItWas) {
  const ExitCase& c = GetParam();
  Write("plain.bin", "just some bytes\n");
  Write("a.enc", kEncodedAbcFile);
  fs::create_directory(Path("sub"));
  const Snapshot before = Snap();

  const RunResult r = Cli(c.args, c.input);

  EXPECT_EQ(r.exit_code, c.exit_code) << "stderr: " << r.err;
  if (c.exit_code != 0) {
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(EveryLinePrefixed(r.err));
    EXPECT_EQ(Snap(), before);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExitStatusTest,
    ::testing::Values(
        // Usage errors: 2.
        ExitCase{"no_arguments", {}, "", 2},
        ExitCase{"unknown_command", {"frobnicate", "plain.bin"}, "", 2},
        ExitCase{"file_name_instead_of_command", {"plain.bin"}, "", 2},
        ExitCase{"unknown_option", {"encode", "plain.bin", "--bogus"}, "", 2},
        ExitCase{"encode_without_file", {"encode"}, "", 2},
        ExitCase{"encode_two_files", {"encode", "plain.bin", "a.enc"}, "", 2},
        ExitCase{"output_without_value", {"encode", "plain.bin", "-o"}, "", 2},
        ExitCase{"output_given_twice", {"encode", "plain.bin", "-o", "x", "-o", "y"}, "", 2},
        ExitCase{"directory_and_output", {"decode", "a.enc", "-C", "sub", "-o", "x"}, "", 2},
        ExitCase{"directory_for_encode", {"encode", "plain.bin", "-C", "sub"}, "", 2},
        ExitCase{"force_for_info", {"info", "a.enc", "-f"}, "", 2},
        ExitCase{"output_for_text_decode", {"text-decode", "-o", "x"}, "ﾝwｱ&w", 2},
        ExitCase{"file_for_text_encode", {"text-encode", "plain.bin"}, "abc", 2},
        ExitCase{"unknown_charset", {"text-encode", "--charset", "latin1"}, "abc", 2},
        ExitCase{"charset_for_encode", {"encode", "plain.bin", "--charset", "cp932"}, "", 2},
        ExitCase{"settings_without_value", {"text-encode", "--settings"}, "abc", 2},
        // Failed or refused conversions: 1.
        ExitCase{"encode_missing_file", {"encode", "missing.bin"}, "", 1},
        ExitCase{"encode_a_folder", {"encode", "sub", "-o", "sub.txt"}, "", 1},
        ExitCase{"decode_missing_file", {"decode", "missing.enc"}, "", 1},
        ExitCase{"decode_plain_file", {"decode", "plain.bin"}, "", 1},
        ExitCase{"info_plain_file", {"info", "plain.bin"}, "", 1},
        ExitCase{"decode_into_missing_folder", {"decode", "a.enc", "-C", "nowhere"}, "", 1},
        ExitCase{"text_decode_empty_input", {"text-decode"}, "", 1},
        ExitCase{"text_decode_plain_text", {"text-decode"}, "hello\n", 1},
        ExitCase{"missing_settings_file", {"--settings", "none.ini", "text-encode"}, "abc", 1},
        // Successes: 0.
        ExitCase{"help", {"--help"}, "", 0},
        ExitCase{"help_after_command", {"encode", "-h"}, "", 0},
        ExitCase{"help_wins_over_bad_arguments", {"frobnicate", "--help"}, "", 0},
        ExitCase{"version", {"--version"}, "", 0},
        ExitCase{"text_encode", {"text-encode"}, "abc", 0},
        ExitCase{"text_decode", {"text-decode"}, "ﾝwｱ&w", 0},
        ExitCase{"info", {"info", "a.enc"}, "", 0},
        ExitCase{"decode_to_stdout", {"decode", "a.enc", "-o", "-"}, "", 0}),
    CaseName());
;

TEST_F(CliTest, VersionIsPrintedBeforeOrAfterTheCommand) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--version"}, std::vector<std::string>{"encode", "--version"}}) {
    const RunResult r = Cli(args);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, "zentoba-cli 1.04\n");
    EXPECT_EQ(r.err, "");
  }
}

TEST_F(CliTest, HelpNamesEveryCommandAndOption) {
  const RunResult r = Cli({"--help"});
  ASSERT_EQ(r.exit_code, 0);
  for (const char* word : {"encode", "decode", "text-encode", "text-decode", "info", "--settings",
                           "--charset", "-o", "-C", "-f", "--version"}) {
    EXPECT_NE(r.out.find(word), std::string::npos) << word;
  }
}

TEST_F(CliTest, UsageErrorSaysWhatIsWrong) {
  const RunResult r = Cli({"frobnicate"});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_NE(r.err.find("frobnicate"), std::string::npos) << r.err;
}

// Options may stand before or after the subcommand and its file, inline or
// as a separate argument.
TEST_F(CliTest, OptionsAreAcceptedInAnyPosition) {
  Write("data.bin", "payload");
  EXPECT_EQ(Cli({"-o", "one.txt", "encode", "data.bin"}).exit_code, 0);
  EXPECT_EQ(Cli({"encode", "--output=two.txt", "data.bin"}).exit_code, 0);
  EXPECT_EQ(Cli({"encode", "data.bin", "-othree.txt"}).exit_code, 0);
  EXPECT_EQ(Read("one.txt"), Read("two.txt"));
  EXPECT_EQ(Read("one.txt"), Read("three.txt"));
}

// After "--" an argument that looks like an option is a file name.
TEST_F(CliTest, DoubleDashEndsOptions) {
  Write("-f", "dash");
  const RunResult r = Cli({"encode", "-o", "out.txt", "--", "-f"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(fs::exists(Path("out.txt")));
}

}  // namespace
}  // namespace zentoba::cli_test
