#include "zentoba/charset.h"

#include <gtest/gtest.h>

namespace zentoba {
namespace {

TEST(Charset, RoundTripsJapaneseAndTheBytesThatOtherTablesGetWrong) {
  struct Case {
    std::string utf8, cp932;
  } cases[] = {
      {"abc", "abc"},
      {"\\~", "\\~"},                                    // not yen / overline
      {"\xEF\xBD\xB1\xEF\xBE\x98", "\xB1\xD8"},          // ｱﾘ half-width katakana
      {"\xE3\x82\xBD", "\x83\x5C"},                      // ソ: trail byte 0x5C
      {"\xE8\xA1\xA8", "\x95\x5C"},                      // 表
      {"\xE5\xA4\x89\xE6\x8F\x9B", "\x95\xCF\x8A\xB7"},  // 変換
      {std::string("\0\x1A\x1C\x7F", 4), std::string("\0\x1A\x1C\x7F", 4)},  // controls stay
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf8ToCp932(c.utf8), c.cp932);
    EXPECT_EQ(Cp932ToUtf8(c.cp932), c.utf8);
  }
}

TEST(Charset, CharactersWithoutACp932FormFail) {
  for (const char* s :
       {"\xE2\x82\xAC" /* € */, "\xF0\x9F\x98\x80" /* emoji */, "a\xFF" /* bad UTF-8 */})
    EXPECT_EQ(Utf8ToCp932(s), std::nullopt) << s;
}

TEST(Charset, BytesThatAreNoCp932Fail) {
  for (const char* s : {"\x80", "\xA0", "\xFD", "\xFF", "\x83" /* lead byte alone */, "a\x81\x20"})
    EXPECT_EQ(Cp932ToUtf8(s), std::nullopt) << s;
}

TEST(Charset, LossyConversionShowsMiddleDotForEachBadByte) {
  size_t replaced = 0;
  EXPECT_EQ(Cp932ToUtf8Lossy("a\x80"
                             "b\xFF\x83\x5C",
                             &replaced),
            "a\xE3\x83\xBB"
            "b\xE3\x83\xBB\xE3\x82\xBD");
  EXPECT_EQ(replaced, 2u);
}

TEST(Charset, Utf8Validation) {
  EXPECT_TRUE(IsValidUtf8("plain \xE3\x82\xBD \xF0\x9F\x98\x80"));
  for (const char* bad : {"\xC0\xAF", "\xED\xA0\x80", "\xE3\x82", "\x80", "\xF4\x90\x80\x80"})
    EXPECT_FALSE(IsValidUtf8(bad)) << bad;
}

TEST(Charset, PathPartsHonourDoubleByteCharacters) {
  struct Case {
    std::string path, folder, name;
  } cases[] = {
      {"C:\\dir\\a.txt", "C:\\dir\\", "a.txt"},
      {"a.txt", "", "a.txt"},
      {"C:a.txt", "C:", "a.txt"},
      {"dir\\\x83\x5C.txt", "dir\\", "\x83\x5C.txt"},  // ソ.txt keeps its 0x5C
      {"\x83\x5C\x95\x5C", "", "\x83\x5C\x95\x5C"},
      {"dir\\", "dir\\", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Cp932FolderPart(c.path), c.folder) << c.path;
    EXPECT_EQ(Cp932FileNamePart(c.path), c.name) << c.path;
  }
}

}  // namespace
}  // namespace zentoba
