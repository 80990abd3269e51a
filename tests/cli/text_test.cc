// text-encode and text-decode: the encoded text format through standard
// input and output, in UTF-8 and as raw CP932 bytes.
#include <string>
#include <vector>

#include "cli_fixture.h"

namespace zentoba::cli_test {
namespace {

using namespace std::string_literals;

TEST_F(CliTest, TextEncodeOfAbcIsMarkerAndFourSymbols) {
  RunResult r = Cli({"text-encode"}, "abc");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, std::string(kAbcEncodedUtf8) + "\n");
  // ﾝ U+FF9D and ｱ U+FF71 in UTF-8.
  EXPECT_EQ(r.out, "\xEF\xBE\x9Dw\xEF\xBD\xB1&w\n");

  r = Cli({"text-encode", "--charset", "cp932"}, "abc");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, std::string(kAbcEncodedCp932) + "\n");
}

struct DecodeCase {
  const char* name;
  std::vector<std::string> args;
  std::string input;
};

void PrintTo(const DecodeCase& c, std::ostream* os) { *os << c.name; }

class TextDecodeAbcTest : public CliTest, public ::testing::WithParamInterface<DecodeCase> {};

TEST_P(TextDecodeAbcTest, GivesAbcAndNothingElse) {
  const RunResult r = Cli(GetParam().args, GetParam().input);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "abc");
  EXPECT_EQ(r.err, "");
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, TextDecodeAbcTest,
    ::testing::Values(
        DecodeCase{"utf8_katakana", {"text-decode"}, std::string(kAbcEncodedUtf8)},
        DecodeCase{"utf8_with_blanks_around",
                   {"text-decode"},
                   " \t\r\n" + std::string(kAbcEncodedUtf8) + "\r\n\n"},
        DecodeCase{"utf8_with_byte_order_mark",
                   {"text-decode"},
                   "\xEF\xBB\xBF" + std::string(kAbcEncodedUtf8) + "\r\n"},
        DecodeCase{"raw_cp932_as_utf8_charset", {"text-decode"}, std::string(kAbcEncodedCp932)},
        DecodeCase{"raw_cp932_with_blanks",
                   {"text-decode", "--charset=utf-8"},
                   "\n  " + std::string(kAbcEncodedCp932) + "\n"},
        DecodeCase{"cp932_charset",
                   {"text-decode", "--charset", "cp932"},
                   std::string(kAbcEncodedCp932) + "\n"}),
    CaseName());
;

TEST_F(CliTest, JapaneseUtf8TextRoundTrips) {
  const std::string text = "日本語のテキスト\r\nｶﾀｶﾅ、記号①と\tタブ\n";
  const RunResult encoded = Cli({"text-encode"}, text);
  ASSERT_EQ(encoded.exit_code, 0) << encoded.err;
  ASSERT_TRUE(encoded.out.starts_with("ﾝ")) << encoded.out;
  const RunResult decoded = Cli({"text-decode"}, encoded.out);
  EXPECT_EQ(decoded.exit_code, 0) << decoded.err;
  EXPECT_EQ(decoded.out, text);
}

// A repetitive text compresses well, so the compressed form (ﾝﾛ) wins.
TEST_F(CliTest, RepetitiveTextTakesCompressedFormAndRoundTrips) {
  std::string text;
  for (int i = 0; i < 200; ++i) text += "同じ行の繰り返し the same line again\n";
  const RunResult encoded = Cli({"text-encode"}, text);
  ASSERT_EQ(encoded.exit_code, 0) << encoded.err;
  EXPECT_TRUE(encoded.out.starts_with("ﾝﾛ")) << encoded.out.substr(0, 20);
  EXPECT_LT(encoded.out.size(), text.size() / 4);
  const RunResult decoded = Cli({"text-decode"}, encoded.out);
  EXPECT_EQ(decoded.exit_code, 0) << decoded.err;
  EXPECT_EQ(decoded.out, text);
}

// With --charset cp932 every byte passes unchanged both ways, even bytes
// that are no CP932 and NULs.
TEST_F(CliTest, Cp932CharsetPassesAnyBytes) {
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
  // Megabytes through the pipes both ways, far beyond any pipe buffer.
  bytes += PseudoRandomBytes(2u << 20, 7);
  const RunResult encoded = Cli({"text-encode", "--charset", "cp932"}, bytes);
  ASSERT_EQ(encoded.exit_code, 0) << encoded.err;
  ASSERT_EQ(encoded.out.front(), '\xDD');
  ASSERT_EQ(encoded.out.back(), '\n');
  const RunResult decoded = Cli({"text-decode", "--charset", "cp932"}, encoded.out);
  EXPECT_EQ(decoded.exit_code, 0) << decoded.err;
  EXPECT_EQ(decoded.out, bytes);
}

// The window shows a decoded text only up to its first NUL; the tool
// writes every byte.
TEST_F(CliTest, TextDecodeWritesBytesPastNul) {
  const std::string text = "ab\0cd\0"s;
  for (const char* charset : {"utf-8", "cp932"}) {
    const RunResult encoded = Cli({"text-encode", "--charset", charset}, text);
    ASSERT_EQ(encoded.exit_code, 0) << encoded.err;
    const RunResult decoded = Cli({"text-decode", "--charset", charset}, encoded.out);
    EXPECT_EQ(decoded.exit_code, 0) << decoded.err;
    EXPECT_EQ(decoded.out, text) << charset;
  }
}

TEST_F(CliTest, EmptyTextRoundTrips) {
  const RunResult encoded = Cli({"text-encode"}, "");
  ASSERT_EQ(encoded.exit_code, 0) << encoded.err;
  // The payload of 0 bytes is one symbol.
  EXPECT_EQ(encoded.out, "ﾝA\n");
  const RunResult decoded = Cli({"text-decode"}, encoded.out);
  EXPECT_EQ(decoded.exit_code, 0) << decoded.err;
  EXPECT_EQ(decoded.out, "");
}

// Decoded bytes that are no CP932 text have no UTF-8 form: an error that
// points to --charset cp932, and nothing on standard output.
TEST_F(CliTest, TextDecodeOfNonCp932BytesSuggestsCp932Charset) {
  const RunResult encoded = Cli({"text-encode", "--charset", "cp932"}, "ok \x80\xFF\xFD");
  ASSERT_EQ(encoded.exit_code, 0) << encoded.err;
  const RunResult decoded = Cli({"text-decode"}, encoded.out);
  EXPECT_EQ(decoded.exit_code, 1);
  EXPECT_EQ(decoded.out, "");
  EXPECT_NE(decoded.err.find("--charset cp932"), std::string::npos) << decoded.err;
}

struct TextFailure {
  const char* name;
  std::vector<std::string> args;
  std::string input;
  std::string message;  // expected on standard error
};

void PrintTo(const TextFailure& c, std::ostream* os) { *os << c.name; }

class TextFailureTest : public CliTest, public ::testing::WithParamInterface<TextFailure> {};

TEST_P(TextFailureTest, FailsWithMessageAndWritesNothing) {
  const TextFailure& c = GetParam();
  const RunResult r = Cli(c.args, c.input);
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  EXPECT_TRUE(EveryLinePrefixed(r.err));
  EXPECT_TRUE(Snap().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TextFailureTest,
    ::testing::Values(
        TextFailure{"euro_sign_has_no_cp932_form",
                    {"text-encode"},
                    "price: 5€\n",
                    std::string(kMsgNotCp932)},
        TextFailure{"invalid_utf8", {"text-encode"}, "abc\xFF\n", "UTF-8"},
        TextFailure{"decode_empty_input", {"text-decode"}, "", "no encoded text"},
        TextFailure{"decode_blank_input", {"text-decode"}, " \r\n\t ", "no encoded text"},
        TextFailure{"decode_plain_text", {"text-decode"}, "abc\n", "no encoded text"},
        TextFailure{"decode_cp932_plain_text",
                    {"text-decode", "--charset", "cp932"},
                    "\x83t\x83@\x83"
                    "C\x83\x8B",
                    "no encoded text"},
        TextFailure{"decode_file_content_utf8",
                    {"text-decode"},
                    "ﾝｦﾜh82#9hu",
                    std::string(kMsgSaveAsFileFirst)},
        TextFailure{"decode_file_content_raw",
                    {"text-decode"},
                    kEncodedAbcFile,
                    std::string(kMsgSaveAsFileFirst)},
        TextFailure{"decode_space_inside_payload",
                    {"text-decode"},
                    "ﾝw ｱ&w",
                    std::string(kMsgDecodeFailed)},
        TextFailure{"decode_line_break_inside_payload",
                    {"text-decode", "--charset", "cp932"},
                    "\xDDw\n\xB1&w",
                    std::string(kMsgDecodeFailed)},
        TextFailure{
            "decode_euro_inside_payload", {"text-decode"}, "ﾝw€&w", std::string(kMsgDecodeFailed)},
        TextFailure{"decode_damaged_compressed_payload", {"text-decode"}, "ﾝﾛwｱ&w", ""}),
    CaseName());
;

}  // namespace
}  // namespace zentoba::cli_test
