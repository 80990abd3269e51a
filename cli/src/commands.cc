#include "commands.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "fd_io.h"
#include "zentoba/charset.h"
#include "zentoba/codec.h"
#include "zentoba/files.h"
#include "zentoba/messages.h"
#include "zentoba/version_text.h"

namespace zentoba::cli {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kStdoutName = "-";

// Closes a descriptor on every path out of a command.
class ScopedFd {
 public:
  explicit ScopedFd(int fd) : fd_(fd) {}
  ~ScopedFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  ScopedFd(const ScopedFd&) = delete;
  ScopedFd& operator=(const ScopedFd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Opens FILE of a file command; -1 after reporting why it cannot be.
int OpenInput(const std::string& file, StderrReporter& reporter) {
  const int fd = OpenSource(fs::path(file));
  if (fd < 0) {
    const int error = errno;
    reporter.ErrorAbout(file, kMsgCannotOpen, error != 0 ? std::strerror(error) : "");
  }
  return fd;
}

// Whether anything, a dangling link included, already has this name.
bool Occupied(const fs::path& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}

void ReportOccupied(const fs::path& path, StderrReporter& reporter) {
  reporter.Note(path.string() + ": already exists (use -f to replace it)");
}

// The header of an encoded file, or nullopt after reporting that FILE is
// none. Only the first two bytes decide, as they do for the window.
std::optional<EncodedHeader> ReadHeaderOf(int fd, const std::string& file,
                                          StderrReporter& reporter) {
  char first[4];
  ssize_t got;
  do {
    got = ::pread(fd, first, sizeof first, 0);
  } while (got < 0 && errno == EINTR);
  if (got < 0) {
    reporter.ErrorAbout(file, kMsgCannotRead, std::strerror(errno));
    return std::nullopt;
  }
  const EncodedHeader header = ReadEncodedHeader(std::string_view(first, static_cast<size_t>(got)));
  if (!header.encoded) {
    reporter.Note(file + ": not an encoded file (it does not begin with the bytes DD A6)");
    return std::nullopt;
  }
  return header;
}

// FILE of decode and info, open, with its header; no header after
// reporting why FILE cannot be read or is no encoded file.
struct EncodedInput {
  EncodedInput(const std::string& file, StderrReporter& reporter) : fd(OpenInput(file, reporter)) {
    if (fd.get() >= 0) header = ReadHeaderOf(fd.get(), file, reporter);
  }
  ScopedFd fd;
  std::optional<EncodedHeader> header;
};

std::string VersionOf(const EncodedHeader& header) {
  return header.version ? VersionText(*header.version) : std::string(kMsgUnknownVersion);
}

// After a failed decoding the user learns which version wrote the file, as
// in the window.
void ReportVersion(const EncodedHeader& header, StderrReporter& reporter) {
  reporter.Error(std::string(kMsgVersionPrefix) + VersionOf(header));
}

// A stored name in UTF-8: CP932 as this system writes it, or UTF-8 as it
// stands when it is no CP932 but valid UTF-8 (as another tool may write it).
std::optional<std::string> StoredNameAsUtf8(std::string_view stored_name) {
  auto utf8 = Cp932ToUtf8(stored_name);
  if (!utf8 && IsValidUtf8(stored_name)) utf8 = std::string(stored_name);
  return utf8;
}

// Control bytes of a stored name would play tricks on the terminal.
std::string Printable(std::string_view utf8) {
  std::string out;
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out;
}

bool ReadStandardInput(std::string& input, StderrReporter& reporter) {
  if (ReadAll(STDIN_FILENO, input)) return true;
  reporter.Note(std::string("cannot read standard input (") + std::strerror(errno) + ")");
  return false;
}

int WriteStandardOutput(std::string_view output, StderrReporter& reporter) {
  if (WriteAll(STDOUT_FILENO, output)) return kExitOk;
  reporter.Note(std::string("cannot write to standard output (") + std::strerror(errno) + ")");
  return kExitFailed;
}

// Where decode writes: standard output, the file -o names, or the stored
// name in -C's folder or in FILE's own. nullopt after reporting why the
// output is refused before anything is decoded.
std::optional<OutputTarget> DecodeTargetFor(const Invocation& invocation, const std::string& file,
                                            StderrReporter& reporter) {
  OutputTarget target;
  target.replace_existing = invocation.force;
  if (invocation.output && *invocation.output == kStdoutName) {
    target.fd = STDOUT_FILENO;
  } else if (invocation.output) {
    if (!invocation.force && Occupied(*invocation.output)) {
      ReportOccupied(*invocation.output, reporter);
      return std::nullopt;
    }
    target.path = fs::path(*invocation.output);
  } else if (invocation.folder) {
    std::error_code ec;
    if (!fs::is_directory(*invocation.folder, ec)) {
      reporter.Note(*invocation.folder + ": no such folder");
      return std::nullopt;
    }
    target.folder = *invocation.folder;
  } else {
    target.folder = fs::path(file).parent_path();
    if (target.folder.empty()) target.folder = ".";
  }
  return target;
}

}  // namespace

int RunEncode(const Invocation& invocation, StderrReporter& reporter) {
  const std::string& file = invocation.operands.at(0);
  const ScopedFd source(OpenInput(file, reporter));
  if (source.get() < 0) return kExitFailed;

  OutputTarget target;
  target.replace_existing = invocation.force;
  const std::string output = invocation.output.value_or(file + ".txt");
  if (output == kStdoutName) {
    target.fd = STDOUT_FILENO;
  } else {
    // EncodeFile refuses these too; checking here first gives the reason.
    std::error_code ec;
    if (fs::equivalent(fs::path(file), fs::path(output), ec)) {
      reporter.Note(output + ": is the input file itself (not even -f replaces it)");
      return kExitFailed;
    }
    if (!invocation.force && Occupied(output)) {
      ReportOccupied(output, reporter);
      return kExitFailed;
    }
    target.path = fs::path(output);
  }
  reporter.set_subject(file + " -> " + (target.fd >= 0 ? "standard output" : output));
  const FileResult result =
      EncodeFile(source.get(), fs::path(file), target, kVersionText, reporter);
  return result == FileResult::kOk ? kExitOk : kExitFailed;
}

int RunDecode(const Invocation& invocation, StderrReporter& reporter) {
  const std::string& file = invocation.operands.at(0);
  reporter.set_subject(file);
  const EncodedInput source(file, reporter);
  if (!source.header) return kExitFailed;
  const auto& header = source.header;
  const auto target = DecodeTargetFor(invocation, file, reporter);
  if (!target) return kExitFailed;
  // Without -f an existing file under the stored name is refused by the
  // file library itself, atomically, once the name is known: the file is
  // decoded only once.
  DecodedFileInfo info;
  if (DecodeFile(source.fd.get(), header->header_length, *target, reporter, {}, &info) !=
      FileResult::kOk) {
    if (info.refused_existing) {
      ReportOccupied(info.written, reporter);
    } else {
      ReportVersion(*header, reporter);
    }
    return kExitFailed;
  }
  return kExitOk;
}

int RunInfo(const Invocation& invocation, StderrReporter& reporter) {
  const std::string& file = invocation.operands.at(0);
  reporter.set_subject(file);
  const EncodedInput source(file, reporter);
  if (!source.header) return kExitFailed;
  const auto& header = source.header;

  DecodedFileInfo info;
  if (InspectEncodedFile(source.fd.get(), header->header_length, reporter, &info) !=
      FileResult::kOk) {
    ReportVersion(*header, reporter);
    return kExitFailed;
  }

  std::string text;
  text += "header: ";
  text += header->header_length == 4 ? "full\n" : "short\n";
  text += "version: ";
  text += header->version ? VersionText(*header->version) : std::string("unknown");
  text += "\nstored name: ";
  text += Printable(StoredNameAsUtf8(info.stored_name).value_or(ToTerminal(info.stored_name)));
  text += "\ncontent size: ";
  text += std::to_string(info.content_size);
  text += '\n';
  return WriteStandardOutput(text, reporter);
}

std::optional<std::string> EncodeTextFor(std::string_view input, Charset charset,
                                         StderrReporter& reporter) {
  std::string source(input);
  if (charset == Charset::kUtf8) {
    auto cp932 = Utf8ToCp932(input);
    if (!cp932) {
      if (IsValidUtf8(input)) {
        reporter.Error(kMsgNotCp932);
      } else {
        reporter.Note("standard input is no valid UTF-8 (use --charset cp932 for CP932 bytes)");
      }
      return std::nullopt;
    }
    source = std::move(*cp932);
  }
  std::string encoded = EncodeText(source, reporter);
  if (charset == Charset::kUtf8) {
    // The built-in symbols are ASCII and half-width katakana, which always
    // have a UTF-8 form; a replacement table may hold bytes that do not.
    auto utf8 = Cp932ToUtf8(encoded);
    if (!utf8) {
      reporter.Note(
          "the encoded text has no UTF-8 form under this symbol table (use --charset cp932)");
      return std::nullopt;
    }
    encoded = std::move(*utf8);
  }
  encoded += '\n';
  return encoded;
}

std::optional<std::string> DecodeTextFor(std::string_view input, Charset charset,
                                         StderrReporter& reporter) {
  // Windows editors begin UTF-8 files with a byte order mark; it is no part
  // of the text, and no encoded text holds it.
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (charset == Charset::kUtf8 && TrimBlank(input).starts_with(kByteOrderMark)) {
    input = TrimBlank(input).substr(kByteOrderMark.size());
  }
  const std::string_view trimmed = TrimBlank(input);
  if (trimmed.empty()) {
    reporter.Note("standard input holds no encoded text (it is empty)");
    return std::nullopt;
  }
  std::string cp932(trimmed);
  // An encoded text begins with 0xDD: raw CP932 starts with that byte, UTF-8
  // with U+FF9D (EF BE 9D). As UTF-8, a leading 0xDD would be a letter of
  // U+0740..U+077F, which no encoded text holds, so it means raw CP932.
  if (charset == Charset::kUtf8 && static_cast<uint8_t>(trimmed[0]) != kMarker) {
    auto converted = Utf8ToCp932(trimmed);
    if (!converted) {
      constexpr std::string_view kMarkerUtf8 = "\xEF\xBE\x9D";  // U+FF9D, CP932 0xDD
      if (trimmed.starts_with(kMarkerUtf8)) {
        // An encoded text with a character that is no symbol of any table.
        reporter.Error(kMsgDecodeFailed);
      } else {
        reporter.Note("standard input holds no encoded text");
      }
      return std::nullopt;
    }
    cp932 = std::move(*converted);
  }

  DecodedText decoded = DecodeTextBytes(cp932, reporter);
  switch (decoded.status) {
    case TextStatus::kOk:
      break;
    case TextStatus::kNotEncoded:
      reporter.Note(
          "standard input holds no encoded text (an encoded text begins with \xEF\xBE\x9D)");
      return std::nullopt;
    case TextStatus::kFileContent:
      reporter.Note("this is an encoded file: save it to a file and run 'zentoba-cli decode FILE'");
      return std::nullopt;
    case TextStatus::kFailed:
      return std::nullopt;
  }
  if (charset == Charset::kCp932) return std::move(decoded.bytes);
  auto utf8 = Cp932ToUtf8(decoded.bytes);
  if (!utf8) {
    reporter.Note(
        "the decoded bytes are no CP932 text and have no UTF-8 form (use --charset cp932 to get "
        "them unchanged)");
    return std::nullopt;
  }
  return utf8;
}

int RunTextEncode(const Invocation& invocation, StderrReporter& reporter) {
  std::string input;
  if (!ReadStandardInput(input, reporter)) return kExitFailed;
  const auto output = EncodeTextFor(input, invocation.charset, reporter);
  return output ? WriteStandardOutput(*output, reporter) : kExitFailed;
}

int RunTextDecode(const Invocation& invocation, StderrReporter& reporter) {
  std::string input;
  if (!ReadStandardInput(input, reporter)) return kExitFailed;
  const auto output = DecodeTextFor(input, invocation.charset, reporter);
  return output ? WriteStandardOutput(*output, reporter) : kExitFailed;
}

}  // namespace zentoba::cli
