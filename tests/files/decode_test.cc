// Decoding: restoring files, what a damaged payload reports, and which
// stored names are refused.
#include "files_fixture.h"

namespace zentoba::testing {
namespace {

using DecodeTest = FilesTest;

// The last symbol carries three bits of the stream and four padding bits:
// any of the 16 symbols 0xB9..0xC8 restores the same file.
TEST_F(DecodeTest, ExampleRestoresATxt) {
  fs::create_directory(Path("out"));
  for (int last = 0xB9; last <= 0xC8; ++last) {
    SCOPED_TRACE(last);
    std::string file = kExampleFile;
    file.back() = static_cast<char>(last);
    Write(Path("a.zen"), file);
    RecordingReporter reporter;
    DecodedFileInfo info;
    ASSERT_EQ(Decode(Path("a.zen"), Into(Path("out")), reporter, {}, &info), FileResult::kOk);
    EXPECT_TRUE(reporter.entries.empty());
    EXPECT_EQ(List(Path("out")), std::vector<std::string>{"a.txt"});
    EXPECT_EQ(Read(Path("out") / "a.txt"), "abc");
    EXPECT_EQ(info.stored_name, "a.txt");
    EXPECT_EQ(info.content_size, 3u);
    EXPECT_EQ(info.written, Path("out") / "a.txt");
  }
}

// The short header (marker alone) carries the same payload.
TEST_F(DecodeTest, ShortHeaderDecodesLikeTheFullOne) {
  Write(Path("a.zen"), kExampleFile.substr(0, 2) + kExampleFile.substr(4));
  fs::create_directory(Path("out"));
  RecordingReporter reporter;
  ASSERT_EQ(Decode(Path("a.zen"), Into(Path("out")), reporter), FileResult::kOk);
  EXPECT_EQ(Read(Path("out") / "a.txt"), "abc");
}

TEST_F(DecodeTest, EmptyFileRoundTrips) {
  Write(Path("empty"), "");
  RecordingReporter reporter;
  ASSERT_EQ(Encode(Path("empty"), To(Path("e.zen")), reporter), FileResult::kOk);
  fs::create_directory(Path("out"));
  ASSERT_EQ(Decode(Path("e.zen"), Into(Path("out")), reporter), FileResult::kOk);
  EXPECT_TRUE(reporter.entries.empty());
  EXPECT_EQ(List(Path("out")), std::vector<std::string>{"empty"});
  EXPECT_EQ(fs::file_size(Path("out") / "empty"), 0u);
}

// Files of many sizes, chunk boundaries included, come back byte for byte,
// under the built-in table and under a replacement one, and only under the
// table they were written with.
TEST_F(DecodeTest, RoundTrips) {
  const SymbolTable swapped = [] {
    SymbolTable def;
    std::string s(reinterpret_cast<const char*>(def.symbols()), SymbolTable::kSize);
    std::swap(s[1], s[100]);  // "B" and a half-width katakana
    std::swap(s[30], s[70]);
    return SymbolTable::FromBytes(s);
  }();
  std::mt19937 rng(42);
  std::vector<size_t> sizes = {0, 1, 7, 4095, 4096, (1 << 20) - 3, (1 << 20) + 9};
  for (int i = 0; i < 4; ++i) sizes.push_back(rng() % (4 << 20));
  fs::create_directory(Path("out"));
  uint32_t seed = 100;
  for (size_t size : sizes) {
    for (const SymbolTable* table : {&ActiveTable(), &swapped}) {
      SCOPED_TRACE(::testing::Message() << size << (table == &swapped ? " swapped" : ""));
      const std::string contents = seed % 2 ? RandomBytes(size, seed) : Compressible(size, seed);
      ++seed;
      Write(Path("f.bin"), contents);
      FileOptions options;
      options.table = table;
      RecordingReporter reporter;
      ASSERT_EQ(Encode(Path("f.bin"), To(Path("f.zen")), reporter, options), FileResult::kOk);
      ASSERT_EQ(Decode(Path("f.zen"), Into(Path("out")), reporter, options), FileResult::kOk);
      EXPECT_TRUE(reporter.entries.empty());
      EXPECT_TRUE(Read(Path("out") / "f.bin") == contents);
      EXPECT_EQ(List(Path("out")), std::vector<std::string>{"f.bin"});
    }
  }
  // Written under the replacement table, read under the built-in one.
  Write(Path("f.bin"), Compressible(5000, 9));
  FileOptions options;
  options.table = &swapped;
  RecordingReporter reporter;
  ASSERT_EQ(Encode(Path("f.bin"), To(Path("f.zen")), reporter, options), FileResult::kOk);
  fs::remove(Path("out") / "f.bin");
  EXPECT_EQ(Decode(Path("f.zen"), Into(Path("out")), reporter), FileResult::kFailed);
  EXPECT_EQ(reporter.entries.size(), 1u);
  EXPECT_TRUE(List(Path("out")).empty());
}

// Line breaks, blanks and control bytes that editors and transfers add
// after the payload are not part of it.
TEST_F(DecodeTest, TrailingBlanksAreIgnored) {
  const std::string big = Compressible(3 << 20, 5);
  Write(Path("big.bin"), big);
  RecordingReporter reporter;
  ASSERT_EQ(Encode(Path("big.bin"), To(Path("big.zen")), reporter), FileResult::kOk);
  const std::string encoded_big = Read(Path("big.zen"));
  fs::create_directory(Path("out"));
  const std::string tails[] = {
      "\r\n", "\n", "   \t\r\n", std::string(3, '\0'), "\x1A", std::string(200000, ' ') + "\r\n"};
  for (const std::string& tail : tails) {
    SCOPED_TRACE(tail.size());
    for (const std::string* file : {&kExampleFile, &encoded_big}) {
      Write(Path("x.zen"), *file + tail);
      ASSERT_EQ(Decode(Path("x.zen"), Into(Path("out")), reporter), FileResult::kOk);
      EXPECT_TRUE(reporter.entries.empty());
    }
    EXPECT_EQ(Read(Path("out") / "a.txt"), "abc");
    EXPECT_TRUE(Read(Path("out") / "big.bin") == big);
  }
}

// A byte that is no symbol fails the decoding with the payload decoder's
// message, wherever it is, whatever else is wrong, and nothing is written;
// a file already under the stored name keeps its bytes.
TEST_F(DecodeTest, ByteThatIsNoSymbol) {
  const std::string big = Compressible(3 << 20, 11);
  Write(Path("big.bin"), big);
  RecordingReporter reporter;
  ASSERT_EQ(Encode(Path("big.bin"), To(Path("big.zen")), reporter), FileResult::kOk);
  const std::string encoded_big = Read(Path("big.zen"));
  std::string damaged_stream = encoded_big;  // a valid symbol in a wrong place
  damaged_stream[4 + 100] = damaged_stream[4 + 100] == 'A' ? 'B' : 'A';
  std::string deep_ff = encoded_big;
  deep_ff[encoded_big.size() * 3 / 4] = '\xFF';
  const std::string late_blank = damaged_stream.substr(0, damaged_stream.size() - 50) + " " +
                                 damaged_stream.substr(damaged_stream.size() - 50);

  struct Case {
    const char* what;
    std::string file;
  };
  const Case cases[] = {
      {"space inside", kExampleFile.substr(0, 10) + " " + kExampleFile.substr(10)},
      {"line break inside", kExampleFile.substr(0, 23) + "\r\n" + kExampleFile.substr(23)},
      {"blank before the payload", kExampleFile.substr(0, 4) + "\n" + kExampleFile.substr(4)},
      {"0xDD", kExampleFile.substr(0, 6) + "\xDD" + kExampleFile.substr(6)},
      {"full stop at the end", kExampleFile + "."},
      {"after the zlib stream", kExampleFile + "AAAA,AAAA"},
      {"deep in a big file", deep_ff},
      {"after a damaged stream", late_blank},
      {"after a refused name", EncodedFileOf(Record("../x", "x")) + "."},
      {"after a record without a name", EncodedFileOf("no name") + "."},
      {"header only", FullHeader()},
      {"header and blanks", FullHeader() + "\r\n \t"},
      {"short header only", Bytes({0xDD, 0xA6})},
      {"ends before the version", Bytes({0xDD, 0xA6, 0xDC})},
  };
  // On its own the damaged stream fails in the decompression stage.
  {
    Write(Path("x.zen"), damaged_stream);
    RecordingReporter r;
    EXPECT_EQ(Decode(Path("x.zen"), To(Path("y")), r), FileResult::kFailed);
    ASSERT_EQ(r.entries.size(), 1u);
    EXPECT_EQ(r.entries[0].text.rfind("inflate: ", 0), 0u);
  }
  fs::create_directory(Path("out"));
  Write(Path("out") / "a.txt", "keep");
  Write(Path("out") / "big.bin", "keep");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Write(Path("x.zen"), c.file);
    RecordingReporter r;
    EXPECT_EQ(Decode(Path("x.zen"), Into(Path("out")), r), FileResult::kFailed);
    EXPECT_EQ(r.entries, OneError(kMsgDecodeFailed));
    EXPECT_EQ(List(Path("out")), (std::vector<std::string>{"a.txt", "big.bin"}));
    EXPECT_EQ(Read(Path("out") / "a.txt"), "keep");
    EXPECT_EQ(Read(Path("out") / "big.bin"), "keep");
    EXPECT_EQ(Read(Path("x.zen")), c.file);
  }
}

// A stream that is no zlib stream, damaged or cut short fails with the
// decompression stage's message, once, and nothing is written.
TEST_F(DecodeTest, DamagedCompressedStream) {
  const std::string big = RandomBytes(2 << 20, 12);
  Write(Path("big.bin"), big);
  RecordingReporter reporter;
  ASSERT_EQ(Encode(Path("big.bin"), To(Path("big.zen")), reporter), FileResult::kOk);
  const std::string encoded_big = Read(Path("big.zen"));
  std::string flipped = encoded_big;  // one symbol changed deep inside
  flipped[1500000] = flipped[1500000] == 'A' ? 'B' : 'A';

  struct Case {
    const char* what;
    std::string file;
    std::string message;  // empty: any "inflate: " message
  };
  const Case cases[] = {
      {"no zlib stream", FullHeader() + EncodeData(Record("a.txt", "abc"), false, reporter), ""},
      {"cut short", kExampleFile.substr(0, 16), "inflate: ???\n"},
      {"big file cut short", encoded_big.substr(0, encoded_big.size() / 2), "inflate: ???\n"},
      {"symbol changed", flipped, ""},
  };
  fs::create_directory(Path("out"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Write(Path("x.zen"), c.file);
    RecordingReporter r;
    EXPECT_EQ(Decode(Path("x.zen"), Into(Path("out")), r), FileResult::kFailed);
    ASSERT_EQ(r.entries.size(), 1u);
    EXPECT_TRUE(r.entries[0].error);
    if (c.message.empty()) {
      EXPECT_EQ(r.entries[0].text.rfind("inflate: ", 0), 0u) << r.entries[0].text;
      EXPECT_EQ(r.entries[0].text.back(), '\n');
    } else {
      EXPECT_EQ(r.entries[0].text, c.message);
    }
    EXPECT_TRUE(List(Path("out")).empty());
  }
}

// Bytes after the end of the zlib stream are ignored when they are symbols.
TEST_F(DecodeTest, SymbolsAfterTheStreamAreIgnored) {
  RecordingReporter reporter;
  std::optional<std::string> stream = CompressData(Record("a.txt", "abc"), reporter);
  ASSERT_TRUE(stream);
  Write(Path("x.zen"), FullHeader() + EncodeData(*stream + "trailing junk", false, reporter));
  fs::create_directory(Path("out"));
  ASSERT_EQ(Decode(Path("x.zen"), Into(Path("out")), reporter), FileResult::kOk);
  EXPECT_TRUE(reporter.entries.empty());
  EXPECT_EQ(Read(Path("out") / "a.txt"), "abc");
}

// Stored names, hostile ones above all: a name is restored as a plain file
// name inside the target folder, or refused with kMsgBadStoredName; nothing
// is ever created anywhere else. The target folder is two levels down, so
// that a name that climbs out of it, or an absolute name that points into the
// test folder, would show up in the listing of the whole test folder.
TEST_F(DecodeTest, StoredNames) {
  const std::string a172 = [] {  // 86 "あ": 172 bytes in CP932, 258 in UTF-8
    std::string s;
    for (int i = 0; i < 86; ++i) s += "\x82\xA0";
    return s;
  }();
  const std::string absolute = (dir_ / "abs").string();
  struct Case {
    std::string record;
    std::string restored;  // empty: refused
  };
  const Case cases[] = {
      // No name, or a name for a folder.
      {Record("", "x"), ""},
      {Record(".", "x"), ""},
      {Record("..", "x"), ""},
      // Folder parts, absolute paths, drive letters.
      {Record("a/b", "x"), ""},
      {Record("a/", "x"), ""},
      {Record("./x", "x"), ""},
      {Record("../x", "x"), ""},
      {Record("../../abs", "x"), ""},
      {Record("/tmp/x", "x"), ""},
      {Record("/", "x"), ""},
      {Record(absolute, "x"), ""},
      {Record("a\\b", "x"), ""},
      {Record("..\\x", "x"), ""},
      {Record("\\", "x"), ""},
      {Record("\\\\server\\share\\x", "x"), ""},
      {Record("c:x", "x"), ""},
      {Record("C:x", "x"), ""},
      {Record("C:\\x", "x"), ""},
      {Record("x:", "x"), ""},
      {Record("a.txt:stream", "x"), ""},
      // Control bytes: C0, DEL, and C1 (in a name that is UTF-8).
      {Record("x\x01", "x"), ""},
      {Record("\t", "x"), ""},
      {Record("a\nb", "x"), ""},
      {Record("\x1B[31m", "x"), ""},
      {Record("a\x7F", "x"), ""},
      {Record("\xC2\x9B"
              "31m",
              "x"),
       ""},
      {Record("\xC2\x85x", "x"), ""},
      // Too long once in UTF-8, the form the file system gets.
      {Record(std::string(256, 'n'), "x"), ""},
      {Record(std::string(300, 'n'), "x"), ""},
      {Record(a172, "x"), ""},
      // Neither CP932 nor UTF-8.
      {Record("\xFF\xFE", "x"), ""},
      {Record("\x83", "x"), ""},         // a lead byte without its trail
      {Record("\x83/", "x"), ""},        // "/" is no trail byte
      {Record("\xC3\xA0\\x", "x"), ""},  // UTF-8: its "\" is a separator
      // No zero byte, or too late.
      {std::string(5000, 'n'), ""},
      {"abc", ""},
      {"", ""},
      {Record(std::string(4096, 'n'), "x"), ""},  // the zero byte is the 4097th
      // Plain names, restored as they are.
      {Record("a.txt", "x"), "a.txt"},
      {Record(" a b ", "x"), " a b "},
      {Record("...", "x"), "..."},
      {Record(".hidden", "x"), ".hidden"},
      {Record(std::string(255, 'n'), "x"), std::string(255, 'n')},
      // Names that Windows keeps for devices or trims are plain names here.
      {Record("CON", "x"), "CON"},
      {Record("NUL", "x"), "NUL"},
      {Record("COM1", "x"), "COM1"},
      {Record("LPT1", "x"), "LPT1"},
      {Record("con.txt", "x"), "con.txt"},
      {Record("name.", "x"), "name."},
      {Record("name ", "x"), "name "},
      {Record("name. .", "x"), "name. ."},
      // A 0x5C that is a trail byte is part of its character.
      {Record("\x83\x5C", "x"), "\xE3\x82\xBD"},                      // ソ
      {Record("\x83\x5C.txt", "x"), "\xE3\x82\xBD.txt"},              // ソ.txt
      {Record("\x95\x5C\x8E\xA6", "x"), "\xE8\xA1\xA8\xE7\xA4\xBA"},  // 表示
      {Record("\xB1\xDD", "x"), "\xEF\xBD\xB1\xEF\xBE\x9D"},          // ｱﾝ
      {Record("\xC3\xA0.txt", "x"), "\xC3\xA0.txt"},  // no CP932 (0xA0), valid UTF-8 "à"
  };
  const fs::path out = Path("a") / "b" / "out";
  fs::create_directories(out);
  // Everything below the test folder.
  const auto tree = [this] {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(dir_)) {
      names.push_back(fs::relative(entry.path(), dir_).string());
    }
    std::sort(names.begin(), names.end());
    return names;
  };
  Write(Path("x.zen"), "");
  const std::vector<std::string> before = tree();
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.record.substr(0, 40)));
    Write(Path("x.zen"), EncodedFileOf(c.record));
    RecordingReporter r;
    FileResult result = Decode(Path("x.zen"), Into(out), r);
    if (c.restored.empty()) {
      EXPECT_EQ(result, FileResult::kFailed);
      EXPECT_EQ(r.entries, OneError(kMsgBadStoredName));
      EXPECT_EQ(tree(), before);
    } else {
      EXPECT_EQ(result, FileResult::kOk);
      EXPECT_TRUE(r.entries.empty());
      EXPECT_EQ(List(out), std::vector<std::string>{c.restored});
      EXPECT_EQ(Read(out / c.restored), "x");
      fs::remove(out / c.restored);
      EXPECT_EQ(tree(), before);
    }
  }
}

// With the output named by the caller the stored name is not used, so it
// need not be a plain name; but a record without a name is still refused.
TEST_F(DecodeTest, NamedOutputIgnoresTheStoredName) {
  Write(Path("x.zen"), EncodedFileOf(Record("../../etc/passwd", "contents")));
  RecordingReporter reporter;
  ASSERT_EQ(Decode(Path("x.zen"), To(Path("restored")), reporter), FileResult::kOk);
  EXPECT_TRUE(reporter.entries.empty());
  EXPECT_EQ(Read(Path("restored")), "contents");

  // The zero byte must come within the first 4096 bytes of the record.
  Write(Path("x.zen"), EncodedFileOf(Record(std::string(4095, 'n'), "long")));
  ASSERT_EQ(Decode(Path("x.zen"), To(Path("restored")), reporter), FileResult::kOk);
  EXPECT_EQ(Read(Path("restored")), "long");

  for (const std::string& record : {std::string("no name here"), std::string(100000, 'n'),
                                    Record(std::string(4096, 'n'), "x")}) {
    SCOPED_TRACE(record.size());
    Write(Path("y.zen"), EncodedFileOf(record));
    RecordingReporter r;
    EXPECT_EQ(Decode(Path("y.zen"), To(Path("other")), r), FileResult::kFailed);
    EXPECT_EQ(r.entries, OneError(kMsgBadStoredName));
    EXPECT_FALSE(fs::exists(Path("other")));
  }
  EXPECT_TRUE(reporter.entries.empty());
}

// Restoring into the encoded file's own folder may replace the encoded file
// itself: it is read to its end before the restored file takes its name.
TEST_F(DecodeTest, MayReplaceTheEncodedFileItself) {
  const std::string contents = Compressible(3 << 20, 21);
  Write(Path("a.txt"), contents);
  RecordingReporter reporter;
  ASSERT_EQ(Encode(Path("a.txt"), To(Path("a.zen")), reporter), FileResult::kOk);
  fs::remove(Path("a.txt"));
  fs::rename(Path("a.zen"), Path("a.txt"));
  ASSERT_EQ(Decode(Path("a.txt"), Into(dir_), reporter), FileResult::kOk);
  EXPECT_TRUE(reporter.entries.empty());
  EXPECT_TRUE(Read(Path("a.txt")) == contents);
  EXPECT_EQ(List(), std::vector<std::string>{"a.txt"});
}

TEST_F(DecodeTest, InspectWritesNothing) {
  const std::string contents = RandomBytes((1 << 20) + 77, 3);
  Write(Path("data.bin"), contents);
  RecordingReporter reporter;
  ASSERT_EQ(Encode(Path("data.bin"), To(Path("d.zen")), reporter), FileResult::kOk);
  int fd = OpenSource(Path("d.zen"));
  ASSERT_GE(fd, 0);
  DecodedFileInfo info;
  ASSERT_EQ(InspectEncodedFile(fd, 4, reporter, &info), FileResult::kOk);
  EXPECT_EQ(info.stored_name, "data.bin");
  EXPECT_EQ(info.content_size, contents.size());
  EXPECT_TRUE(info.written.empty());
  close(fd);
  EXPECT_EQ(List(), (std::vector<std::string>{"d.zen", "data.bin"}));

  // The same failures as a decoding, with the same precedence.
  Write(Path("bad.zen"), kExampleFile.substr(0, 16) + " " + kExampleFile.substr(16));
  fd = OpenSource(Path("bad.zen"));
  EXPECT_EQ(InspectEncodedFile(fd, 4, reporter, &info), FileResult::kFailed);
  EXPECT_EQ(reporter.entries, OneError(kMsgDecodeFailed));
  close(fd);
}

// Restored to a descriptor (standard output): the bytes arrive only when the
// whole file decoded.
TEST_F(DecodeTest, ToADescriptor) {
  const std::string contents = Compressible((2 << 20) + 3, 8);
  Write(Path("data.bin"), contents);
  RecordingReporter reporter;
  ASSERT_EQ(Encode(Path("data.bin"), To(Path("d.zen")), reporter), FileResult::kOk);
  const std::string encoded = Read(Path("d.zen"));

  int out = open(Path("stdout").c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
  ASSERT_GE(out, 0);
  OutputTarget target;
  target.fd = out;
  ASSERT_EQ(Decode(Path("d.zen"), target, reporter), FileResult::kOk);
  EXPECT_TRUE(reporter.entries.empty());
  EXPECT_TRUE(Read(Path("stdout")) == contents);

  ASSERT_EQ(ftruncate(out, 0), 0);
  ASSERT_EQ(lseek(out, 0, SEEK_SET), 0);
  Write(Path("d.zen"), encoded + "..");
  EXPECT_EQ(Decode(Path("d.zen"), target, reporter), FileResult::kFailed);
  EXPECT_EQ(reporter.entries, OneError(kMsgDecodeFailed));
  EXPECT_EQ(fs::file_size(Path("stdout")), 0u);
  close(out);
}

// An encoded file that grows or shrinks while it is read is refused as a
// read failure; nothing is restored.
TEST_F(DecodeTest, EncodedFileChangingWhileRead) {
  Write(Path("r.bin"), RandomBytes(3 << 20, 31));
  RecordingReporter reporter;
  ASSERT_EQ(Encode(Path("r.bin"), To(Path("r.zen")), reporter), FileResult::kOk);
  const std::string encoded = Read(Path("r.zen"));
  fs::create_directory(Path("out"));
  for (bool grow : {true, false}) {
    SCOPED_TRACE(grow ? "grows" : "shrinks");
    Write(Path("r.zen"), encoded);
    FileOptions options;
    options.progress = [&](uint64_t, uint64_t) {
      if (grow) {
        std::ofstream(Path("r.zen"), std::ios::binary | std::ios::app) << "\r\n";
      } else {
        fs::resize_file(Path("r.zen"), encoded.size() / 2);
      }
      return true;
    };
    RecordingReporter r;
    EXPECT_EQ(Decode(Path("r.zen"), Into(Path("out")), r, options), FileResult::kFailed);
    EXPECT_EQ(r.entries, OneError(kMsgCannotRead));
    EXPECT_TRUE(List(Path("out")).empty());
  }
}

}  // namespace
}  // namespace zentoba::testing
