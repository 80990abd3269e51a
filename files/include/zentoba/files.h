// Encoded files: a header, then the payload of the compressed file record.
//
//   offset 0  0xDD 0xA6   encoded-file marker
//   offset 2  0xDC        version tag (full header; absent in the short one)
//   offset 3  version     the writer's version, 104 for "1.04"
//   offset 4  payload     symbols of zlib(stored name, 0x00, contents)
//
// There is no length field: the payload runs to the end of the file (blanks
// after it, which editors and transfers add, are ignored). Files are
// converted as streams in bounded memory, and every output is written to a
// temporary file in the target folder that is renamed into place only once
// it is complete: a failure leaves no partial file and an existing target
// unharmed. The source is only ever opened for reading.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "zentoba/codec.h"
#include "zentoba/report.h"

namespace zentoba {

inline constexpr uint8_t kFileMarker[2] = {0xDD, 0xA6};
inline constexpr uint8_t kVersionTag = 0xDC;

// "1.04" -> 104: the text without its second character, read as a decimal
// number that fits a signed byte. nullopt otherwise.
std::optional<int> VersionByteFromText(std::string_view version_text);
// 104 -> "1.04": the number in decimal, "." inserted after its first
// character (appended when it has one character). Takes a signed byte.
std::string VersionText(int version);

struct EncodedHeader {
  bool encoded = false;        // the first two bytes are the marker
  int header_length = 0;       // 4 (full header) or 2 (short header)
  std::optional<int> version;  // signed version byte, full header only
};
// Looks at up to the first 4 bytes of a file (fewer if it is shorter). A
// file that has the version tag but ends before the version byte has a full
// header without a version.
EncodedHeader ReadEncodedHeader(std::string_view first_bytes);

// Opens a file to convert, read-only. -1 (errno set) when it cannot be
// opened or is no regular file (a folder, a device, a pipe).
int OpenSource(const std::filesystem::path& path);

// Length in bytes of an open file; leaves it positioned at its start. -1
// when it cannot be measured.
int64_t GetFileLength(int fd);

// The stored name of a path: the CP932 form of its file-name part. nullopt
// (nothing reported) when the name has no CP932 form.
std::optional<std::string> StoredNameOf(const std::filesystem::path& source);

// Where an output goes.
struct OutputTarget {
  // Restore under the stored name in this folder (decoding only).
  std::filesystem::path folder;
  // Or write exactly here (overrides folder).
  std::optional<std::filesystem::path> path;
  // Or write to this descriptor (overrides both); the output is spooled and
  // written there only once it is complete.
  int fd = -1;
  // Replace an existing file (the window does; the CLI only with -f). Only
  // a regular file or a symbolic link (replaced as a link, never followed)
  // is ever replaced; a folder, device or pipe under the name is refused.
  bool replace_existing = true;
};

// Called now and then with bytes of the source done and its total; return
// false to cancel. A cancelled conversion leaves nothing behind.
using ProgressFn = std::function<bool(uint64_t done, uint64_t total)>;

enum class FileResult { kOk, kFailed, kCancelled };

struct FileOptions {
  ProgressFn progress;
  const SymbolTable* table = nullptr;  // nullptr: ActiveTable()
};

// Encodes the file open for reading as `source_fd` (read from offset 0 to
// its end) into an encoded file with the full header and `version_text`'s
// version byte. `source_path` gives the stored name. An output that is the
// source itself, by any spelling or link, is refused, and so is a target
// without a file name (`folder` alone) or a version text that gives no
// version byte (kMsgCannotSave). A source whose name the decoder could not
// restore (no CP932 form, or a "\", ":" or control character in it) is
// refused with kMsgNameNotCp932. Failures are reported (kMsgCannotSave,
// kMsgCannotRead, kMsgNameNotCp932, the compression stage's messages) and
// leave no output behind.
FileResult EncodeFile(int source_fd, const std::filesystem::path& source_path,
                      const OutputTarget& output, std::string_view version_text, Reporter& reporter,
                      const FileOptions& options = {});

struct DecodedFileInfo {
  std::string stored_name;  // CP932, as recorded
  uint64_t content_size = 0;
  std::filesystem::path written;  // where the restored file went (empty for a descriptor)
  // Set after a failure: the target (then in `written`) existed and
  // replace_existing was false (reported as kMsgTargetExists).
  bool refused_existing = false;
};

// Restores the file recorded in the encoded file open as `source_fd`, whose
// payload starts at `header_length` (4 or 2). Reports kMsgDecodeFailed,
// the decompression stage's messages, kMsgBadStoredName, kMsgCannotSave,
// kMsgTargetExists (an existing target that may not be replaced) or
// kMsgCannotRead on failure. Stored names must be plain file names: see
// files.cc for the rule.
FileResult DecodeFile(int source_fd, int header_length, const OutputTarget& output,
                      Reporter& reporter, const FileOptions& options = {},
                      DecodedFileInfo* info = nullptr);

// Decodes without writing anything: the stored name and the content size.
// Reports what DecodeFile would, except that the stored name need not be a
// plain file name (it must still exist).
FileResult InspectEncodedFile(int source_fd, int header_length, Reporter& reporter,
                              DecodedFileInfo* info, const FileOptions& options = {});

}  // namespace zentoba
