// Encoded files: the header, the file record, and safe streaming conversion.
//
// Design notes
//
// Streaming. A file is never held in memory whole. Encoding reads the source
// in chunks of kChunk bytes and pushes each through the Deflater and the
// PayloadEncoder, whose incremental output is byte for byte the one-shot
// EncodeData(record, compress = true). Decoding reads the payload in chunks,
// unpacks each with the PayloadDecoder and inflates the result in slices of
// kInflateSlice bytes, so even a stream that inflates at deflate's best ratio
// (about 1032 : 1) yields at most ~16 MiB per step.
//
// The end of the payload. Editors and transfers add line breaks and blanks
// at the end of a file, so bytes <= 0x20 after the last symbol are ignored.
// The decoder needs the payload's length before its last group (the length
// tells how many bytes the last group carries), so the trimmed end is found
// first, by reading backwards from the end of the file. Blanks anywhere else
// are no symbols and fail the decoding.
//
// Which failure is reported. The payload is checked as a whole before any
// other failure counts: a byte that is no symbol anywhere in it is reported
// as kMsgDecodeFailed, even when the zlib stream broke earlier, the stored
// name is refused or the output cannot be written. Those later failures are
// therefore held back (in a RecordingReporter) while the rest of the payload
// is still checked for symbols, and reported only when it is clean. Read
// errors and a cancel end the conversion at once.
//
// Stored names never leave the target folder. A restored file is created
// under its stored name in the target folder only if that name is a plain
// file name; everything else is refused with kMsgBadStoredName rather than
// stripped or followed, since a name that was altered on the way is a sign
// of a damaged or crafted file. Refused are names that are
//   - empty, "." or "..";
//   - holding "/", ":", a control character (any byte below 0x20, DEL, or
//     one of U+0080..U+009F), or a "\" that is a separator (in CP932 a 0x5C
//     that is the trail byte of a double-byte character, as in "ソ" =
//     0x83 0x5C, is part of that character, no separator);
//   - longer than 255 bytes (NAME_MAX) once converted to UTF-8;
//   - neither valid CP932 nor valid UTF-8;
// and a record holds no name at all when no zero byte ends it within its
// first kMaxNameSearch (4096) bytes. A stored name that is no valid CP932 but
// valid UTF-8 (written by another tool on a UTF-8 system) is used as it is,
// and then every 0x5C in it is a separator. When the caller names the output
// itself (OutputTarget::path or ::fd), the stored name is not used, so it
// need not be a plain name, but it must still exist.
//
// Everything else is a plain name on Linux and is restored as it is, also
// where Windows would object: names Windows keeps for devices (CON, NUL,
// COM1, LPT1, con.txt, ...) and names ending in a dot or a space are
// ordinary files inside the target folder here, so restoring them there is
// safe; a name that begins with "." or holds spaces is equally plain.
//
// The encoder writes only names that the decoder accepts: a source whose
// file name has no CP932 form, or whose name holds a character that cannot
// be part of a restorable name (a "\" or ":" or a control character, all
// legal in Linux names), is refused with kMsgNameNotCp932 before anything is
// created. Writing such a file would produce an encoded file that restores
// nowhere.
//
// Safe writes. Every output goes first to a temporary file in the target's
// own folder (so that the final rename stays on one file system), created
// with mkostemp as ".<name>.XXXXXX", given the mode an ordinary create would
// give (0666 less the umask), written, flushed with fsync and renamed into
// place; an existing target is replaced atomically, or, when
// replace_existing is false, refused race-free with RENAME_NOREPLACE (or
// link() + unlink() where the file system lacks it). A target that is a
// symbolic link is replaced as a link, never followed. On any failure or a
// cancel the temporary file is removed and the target is as it was. An
// output descriptor (OutputTarget::fd) gets the output only once it is
// complete, copied from an anonymous temporary file.
//
// The encoder refuses an output that is its source by any spelling (another
// relative form, a symbolic link, a hard link, the same file open as the
// output descriptor): the same device and inode as the open source. Decoding
// may replace the encoded file itself: the rename comes after the last byte
// has been read.
#include "zentoba/files.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <string>
#include <utility>
#include <vector>

#include "zentoba/charset.h"
#include "zentoba/messages.h"
#include "zentoba/stream.h"

namespace zentoba {
namespace {

namespace fs = std::filesystem;

// Source bytes read per step: large enough that the per-call overhead of
// the codec vanishes, small enough to keep memory bounded.
constexpr size_t kChunk = size_t{1} << 20;
// Compressed bytes inflated per step: 16 KiB inflate to at most ~16 MiB.
constexpr size_t kInflateSlice = size_t{16} << 10;
// Bytes read per step when looking for the end of the payload.
constexpr size_t kTrimStep = size_t{64} << 10;
// A record's name must end (with its zero byte) within this many bytes.
constexpr size_t kMaxNameSearch = 4096;
// The longest file name Linux file systems take (NAME_MAX).
constexpr size_t kMaxNameBytes = 255;
// At most this much of the target's name goes into its temporary file's
// name, so that "." + name + ".XXXXXX" stays within NAME_MAX.
constexpr size_t kMaxTempStem = 200;

const SymbolTable& TableOf(const FileOptions& options) {
  return options.table != nullptr ? *options.table : ActiveTable();
}

// Reads up to `n` bytes at `offset`, retrying short reads; fewer only at the
// end of the file. -1 on a read error.
int64_t ReadAt(int fd, char* buf, size_t n, uint64_t offset) {
  size_t got = 0;
  while (got < n) {
    ssize_t r = pread(fd, buf + got, n - got, static_cast<off_t>(offset + got));
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (r == 0) break;
    got += static_cast<size_t>(r);
  }
  return static_cast<int64_t>(got);
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t w = write(fd, bytes.data(), bytes.size());
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(w));
  }
  return true;
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

mode_t CurrentUmask() {
  mode_t mask = umask(0);
  umask(mask);
  return mask;
}

// Where a stored name may be restored: its UTF-8 form when it is a plain
// file name (see the design note), nullopt otherwise.
std::optional<std::string> RestorableName(std::string_view stored) {
  if (stored.empty() || stored == "." || stored == "..") return std::nullopt;
  std::optional<std::string> utf8 = Cp932ToUtf8(stored);
  const bool cp932 = utf8.has_value();
  if (!cp932) {
    if (!IsValidUtf8(stored)) return std::nullopt;
    utf8 = std::string(stored);
  }
  for (size_t i = 0; i < stored.size(); ++i) {
    const auto c = static_cast<uint8_t>(stored[i]);
    if (c < 0x20 || c == '/' || c == ':' || c == '\\') return std::nullopt;
    // A valid CP932 text never ends in a lone lead byte, so the trail byte
    // is there; it may be 0x5C and is then no separator.
    if (cp932 && IsCp932LeadByte(c)) ++i;
  }
  // The converted name is checked as well: it is what reaches the file system.
  if (utf8->size() > kMaxNameBytes || utf8->find('/') != std::string::npos ||
      utf8->find('\0') != std::string::npos || *utf8 == "." || *utf8 == "..") {
    return std::nullopt;
  }
  // DEL and the C1 controls U+0080..U+009F (UTF-8 C2 80..C2 9F) are control
  // characters as much as the bytes below 0x20.
  for (size_t i = 0; i < utf8->size(); ++i) {
    const auto c = static_cast<uint8_t>((*utf8)[i]);
    if (c == 0x7F) return std::nullopt;
    if (c == 0xC2 && i + 1 < utf8->size()) {
      const auto next = static_cast<uint8_t>((*utf8)[i + 1]);
      if (next >= 0x80 && next <= 0x9F) return std::nullopt;
    }
  }
  return utf8;
}

// An output under construction: a temporary file that becomes the target
// (or is copied to the target descriptor) only by Commit. Whatever is not
// committed is removed when the object goes.
class Output {
 public:
  Output() = default;
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;
  ~Output() { Discard(); }

  // Checks the target and creates the temporary file. False (nothing
  // reported, nothing left) when the target cannot be written.
  bool Open(const OutputTarget& target, const fs::path& path) {
    replace_existing_ = target.replace_existing;
    if (target.fd >= 0) {
      target_fd_ = target.fd;
      // An anonymous file in the temporary folder ($TMPDIR): gone when
      // closed, whatever happens to the process.
      std::error_code ec;
      const fs::path spool_dir = fs::temp_directory_path(ec);
      fd_ = ec ? -1 : open(spool_dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
      if (fd_ < 0) {
        FILE* spool = tmpfile();
        if (spool == nullptr) return false;
        fd_ = dup(fileno(spool));
        fclose(spool);
      }
      return fd_ >= 0;
    }
    path_ = path;
    struct stat st;
    if (lstat(path.c_str(), &st) == 0) {
      // Only a regular file or a symbolic link (replaced as a link) may be
      // replaced: never a folder, and never a device, pipe or socket.
      if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) return false;
      if (!replace_existing_) {
        refused_existing_ = true;
        return false;
      }
    }
    fs::path folder = path.parent_path();
    if (folder.empty()) folder = ".";
    std::string stem = path.filename().string().substr(0, kMaxTempStem);
    std::string name = (folder / ("." + stem + ".XXXXXX")).string();
    std::vector<char> buf(name.begin(), name.end());
    buf.push_back('\0');
    fd_ = mkostemp(buf.data(), O_CLOEXEC);
    if (fd_ < 0) return false;
    temp_path_.assign(buf.data());
    // mkostemp creates the file 0600; the target gets what a plain create
    // would have given it.
    if (fchmod(fd_, 0666 & ~CurrentUmask()) != 0) return false;
    return true;
  }

  bool Write(std::string_view bytes) { return fd_ >= 0 && WriteAll(fd_, bytes); }

  // Why the output could not be made: a target that exists and may not be
  // replaced has a message of its own.
  const char* FailureMessage() const {
    return refused_existing_ ? kMsgTargetExists : kMsgCannotSave;
  }
  bool refused_existing() const { return refused_existing_; }

  // Makes the output final. False (nothing reported, nothing left) when it
  // cannot be.
  bool Commit() {
    if (fd_ < 0) return false;
    if (target_fd_ >= 0) return CopyToTarget();
    if (fsync(fd_) != 0) return false;
    int fd = std::exchange(fd_, -1);
    if (close(fd) != 0) return false;
    if (!MoveIntoPlace()) return false;
    temp_path_.clear();
    SyncFolder();
    return true;
  }

  // Removes the temporary file, if any.
  void Discard() {
    if (fd_ >= 0) close(std::exchange(fd_, -1));
    if (!temp_path_.empty()) {
      unlink(temp_path_.c_str());
      temp_path_.clear();
    }
  }

 private:
  bool CopyToTarget() {
    if (lseek(fd_, 0, SEEK_SET) != 0) return false;
    std::string buf(kChunk, '\0');
    for (;;) {
      ssize_t r = read(fd_, buf.data(), buf.size());
      if (r < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      if (r == 0) break;
      if (!WriteAll(target_fd_, std::string_view(buf.data(), static_cast<size_t>(r)))) {
        return false;
      }
    }
    close(std::exchange(fd_, -1));
    return true;
  }

  bool MoveIntoPlace() {
    if (replace_existing_) return rename(temp_path_.c_str(), path_.c_str()) == 0;
    if (renameat2(AT_FDCWD, temp_path_.c_str(), AT_FDCWD, path_.c_str(), RENAME_NOREPLACE) == 0) {
      return true;
    }
    refused_existing_ = errno == EEXIST;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
    // No RENAME_NOREPLACE on this file system: link() refuses an existing
    // name just as atomically.
    if (link(temp_path_.c_str(), path_.c_str()) != 0) {
      refused_existing_ = errno == EEXIST;
      return false;
    }
    unlink(temp_path_.c_str());
    return true;
  }

  // Makes the rename itself durable; a failure here loses nothing that
  // fsync of the file has not already secured, so it is not reported.
  void SyncFolder() {
    fs::path folder = path_.parent_path();
    if (folder.empty()) folder = ".";
    int dfd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
      fsync(dfd);
      close(dfd);
    }
  }

  int fd_ = -1;
  int target_fd_ = -1;
  bool refused_existing_ = false;
  fs::path path_;
  std::string temp_path_;
  bool replace_existing_ = true;
};

void Forward(const RecordingReporter& from, Reporter& to) {
  for (const auto& entry : from.entries) {
    if (entry.error) {
      to.Error(entry.text);
    } else {
      to.Information(entry.text);
    }
  }
}

// Finds the end of the payload in [begin, size): the offset after its last
// byte above 0x20. -1 on a read error.
int64_t TrimmedEnd(int fd, uint64_t begin, uint64_t size) {
  std::string buf(kTrimStep, '\0');
  uint64_t end = size;
  while (end > begin) {
    const uint64_t n = std::min<uint64_t>(kTrimStep, end - begin);
    const uint64_t from = end - n;
    if (ReadAt(fd, buf.data(), n, from) != static_cast<int64_t>(n)) return -1;
    for (uint64_t i = n; i > 0; --i) {
      if (!IsBlank(static_cast<uint8_t>(buf[i - 1]))) return static_cast<int64_t>(from + i);
    }
    end = from;
  }
  return static_cast<int64_t>(begin);
}

// Decoding and inspecting share this: `output` null only inspects.
class Decoder {
 public:
  Decoder(const OutputTarget* output, Reporter& reporter, const FileOptions& options)
      : output_(output),
        reporter_(reporter),
        options_(options),
        payload_(TableOf(options)),
        inflater_(held_) {
    if (!inflater_.ok()) failed_ = true;
  }

  FileResult Run(int source_fd, int header_length, DecodedFileInfo* info) {
    struct stat st;
    if (header_length < 0 || fstat(source_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      reporter_.Error(kMsgCannotRead);
      return FileResult::kFailed;
    }
    const uint64_t size = static_cast<uint64_t>(st.st_size);
    const uint64_t begin = static_cast<uint64_t>(header_length);
    if (size <= begin) {
      // The file ends inside or right after its header: no payload.
      reporter_.Error(kMsgDecodeFailed);
      return FileResult::kFailed;
    }
    const int64_t end = TrimmedEnd(source_fd, begin, size);
    if (end < 0) {
      reporter_.Error(kMsgCannotRead);
      return FileResult::kFailed;
    }
    const uint64_t total = static_cast<uint64_t>(end) - begin;

    std::string chunk(static_cast<size_t>(std::min<uint64_t>(kChunk, total)), '\0');
    std::string record;
    for (uint64_t done = 0; done < total;) {
      const size_t n = static_cast<size_t>(std::min<uint64_t>(kChunk, total - done));
      if (ReadAt(source_fd, chunk.data(), n, begin + done) != static_cast<int64_t>(n)) {
        reporter_.Error(kMsgCannotRead);
        return FileResult::kFailed;
      }
      done += n;
      record.clear();
      if (!payload_.Append(std::string_view(chunk.data(), n), record)) {
        reporter_.Error(kMsgDecodeFailed);
        return FileResult::kFailed;
      }
      Consume(record);
      if (options_.progress && !options_.progress(done, total)) return FileResult::kCancelled;
    }
    record.clear();
    if (!payload_.Finish(record)) {
      reporter_.Error(kMsgDecodeFailed);
      return FileResult::kFailed;
    }
    Consume(record);
    if (!failed_ && !inflater_.Finish()) failed_ = true;
    if (!failed_ && !name_found_) Fail(kMsgBadStoredName);

    // A file that grew or shrank while it was read was not read as a whole.
    if (fstat(source_fd, &st) != 0 || static_cast<uint64_t>(st.st_size) != size) {
      reporter_.Error(kMsgCannotRead);
      return FileResult::kFailed;
    }
    if (failed_) {
      if (info != nullptr && out_.refused_existing()) {
        info->refused_existing = true;
        info->written = written_;
      }
      Forward(held_, reporter_);
      return FileResult::kFailed;
    }
    if (output_ != nullptr && !out_.Commit()) {
      if (info != nullptr && out_.refused_existing()) {
        info->refused_existing = true;
        info->written = written_;
      }
      reporter_.Error(out_.FailureMessage());
      return FileResult::kFailed;
    }
    if (info != nullptr) {
      info->stored_name = name_;
      info->content_size = content_size_;
      info->written = written_;
    }
    return FileResult::kOk;
  }

 private:
  void Fail(const char* message) {
    held_.Error(message);
    failed_ = true;
    out_.Discard();
  }

  // Inflates one piece of the record; a no-op once anything failed, since
  // the rest of the payload is then only checked for symbols.
  void Consume(std::string_view compressed) {
    std::string bytes;
    while (!failed_ && !compressed.empty() && !inflater_.done()) {
      const std::string_view slice = compressed.substr(0, kInflateSlice);
      compressed.remove_prefix(slice.size());
      bytes.clear();
      if (!inflater_.Append(slice, bytes)) {
        failed_ = true;  // reported into held_ by the Inflater
        out_.Discard();
        return;
      }
      Take(bytes);
    }
  }

  // Record bytes in order: the stored name, its zero byte, the contents.
  void Take(std::string_view bytes) {
    if (!name_found_) {
      const size_t zero = bytes.find('\0');
      const size_t take = std::min(zero, bytes.size());
      if (name_.size() + take >= kMaxNameSearch) {
        Fail(kMsgBadStoredName);
        return;
      }
      name_.append(bytes.substr(0, take));
      if (zero == std::string_view::npos) return;
      name_found_ = true;
      bytes.remove_prefix(zero + 1);
      if (!StartOutput()) return;
    }
    content_size_ += bytes.size();
    if (output_ != nullptr && !bytes.empty() && !out_.Write(bytes)) Fail(kMsgCannotSave);
  }

  bool StartOutput() {
    if (output_ == nullptr) return true;
    fs::path target;
    if (output_->fd < 0) {
      if (output_->path) {
        target = *output_->path;
      } else {
        std::optional<std::string> name = RestorableName(name_);
        if (!name) {
          Fail(kMsgBadStoredName);
          return false;
        }
        target = output_->folder / fs::path(*name);
      }
      written_ = target;
    }
    if (!out_.Open(*output_, target)) {
      Fail(out_.FailureMessage());
      return false;
    }
    return true;
  }

  const OutputTarget* output_;
  Reporter& reporter_;
  const FileOptions& options_;
  RecordingReporter held_;  // failures that a bad symbol later would overrule
  PayloadDecoder payload_;
  Inflater inflater_;
  Output out_;
  bool failed_ = false;
  bool name_found_ = false;
  std::string name_;
  uint64_t content_size_ = 0;
  fs::path written_;
};

}  // namespace

std::optional<int> VersionByteFromText(std::string_view version_text) {
  std::string digits(version_text);
  if (digits.size() >= 2) digits.erase(1, 1);
  int value = 0;
  const char* first = digits.data();
  const char* last = first + digits.size();
  auto [ptr, ec] = std::from_chars(first, last, value);
  if (digits.empty() || ec != std::errc() || ptr != last) return std::nullopt;
  if (value < -128 || value > 127) return std::nullopt;
  return value;
}

std::string VersionText(int version) {
  std::string text = std::to_string(version);
  if (text.size() == 1) return text + ".";
  text.insert(1, ".");
  return text;
}

EncodedHeader ReadEncodedHeader(std::string_view first_bytes) {
  EncodedHeader header;
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(first_bytes[i]); };
  if (first_bytes.size() < 2 || byte(0) != kFileMarker[0] || byte(1) != kFileMarker[1]) {
    return header;
  }
  header.encoded = true;
  if (first_bytes.size() >= 3 && byte(2) == kVersionTag) {
    header.header_length = 4;
    if (first_bytes.size() >= 4) header.version = static_cast<int8_t>(byte(3));
  } else {
    header.header_length = 2;
  }
  return header;
}

int OpenSource(const std::filesystem::path& path) {
  // O_NONBLOCK keeps a FIFO from blocking the open until a writer appears;
  // it is refused right after, and a regular file ignores the flag.
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) != 0) {
    int saved = errno;
    close(fd);
    errno = saved;
    return -1;
  }
  if (!S_ISREG(st.st_mode)) {
    close(fd);
    errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    return -1;
  }
  int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

int64_t GetFileLength(int fd) {
  off_t end = lseek(fd, 0, SEEK_END);
  if (end < 0) return -1;
  if (lseek(fd, 0, SEEK_SET) != 0) return -1;
  return static_cast<int64_t>(end);
}

std::optional<std::string> StoredNameOf(const std::filesystem::path& source) {
  return Utf8ToCp932(source.filename().string());
}

FileResult EncodeFile(int source_fd, const std::filesystem::path& source_path,
                      const OutputTarget& output, std::string_view version_text, Reporter& reporter,
                      const FileOptions& options) {
  struct stat src;
  if (fstat(source_fd, &src) != 0 || !S_ISREG(src.st_mode)) {
    reporter.Error(kMsgCannotRead);
    return FileResult::kFailed;
  }

  // The output must not be the source, however it is spelled, and needs a
  // name of its own (a folder alone names no encoded file).
  fs::path target;
  if (output.fd >= 0) {
    struct stat out;
    if (fstat(output.fd, &out) != 0 || SameFile(out, src)) {
      reporter.Error(kMsgCannotSave);
      return FileResult::kFailed;
    }
  } else {
    struct stat out;
    if (!output.path || output.path->empty() ||
        (stat(output.path->c_str(), &out) == 0 && SameFile(out, src))) {
      reporter.Error(kMsgCannotSave);
      return FileResult::kFailed;
    }
    target = *output.path;
  }

  const std::optional<int> version = VersionByteFromText(version_text);
  if (!version) {
    reporter.Error(kMsgCannotSave);
    return FileResult::kFailed;
  }
  const std::optional<std::string> name = StoredNameOf(source_path);
  if (!name || !RestorableName(*name)) {
    reporter.Error(kMsgNameNotCp932);
    return FileResult::kFailed;
  }

  Output out;
  if (!out.Open(output, target)) {
    reporter.Error(out.FailureMessage());
    return FileResult::kFailed;
  }
  Deflater deflater(reporter);
  if (!deflater.ok()) return FileResult::kFailed;
  PayloadEncoder encoder(TableOf(options));

  std::string symbols = {static_cast<char>(kFileMarker[0]), static_cast<char>(kFileMarker[1]),
                         static_cast<char>(kVersionTag), static_cast<char>(*version)};
  std::string compressed;
  // The record: the stored name, its zero byte, then the source's bytes.
  if (!deflater.Append(std::string_view(name->c_str(), name->size() + 1), compressed)) {
    return FileResult::kFailed;
  }

  const uint64_t total = static_cast<uint64_t>(src.st_size);
  std::string chunk(static_cast<size_t>(std::min<uint64_t>(kChunk, total)), '\0');
  uint64_t done = 0;
  for (;;) {
    const int64_t got = chunk.empty() ? 0 : ReadAt(source_fd, chunk.data(), chunk.size(), done);
    if (got < 0) {
      reporter.Error(kMsgCannotRead);
      return FileResult::kFailed;
    }
    const bool last = got == 0;
    done += static_cast<uint64_t>(got);
    if (done > total) break;  // grew while being read: caught below
    const bool ok = last ? deflater.Finish(compressed)
                         : deflater.Append(std::string_view(chunk.data(), got), compressed);
    if (!ok) return FileResult::kFailed;
    encoder.Append(compressed, symbols);
    compressed.clear();
    if (last) encoder.Finish(symbols);
    if (!out.Write(symbols)) {
      reporter.Error(kMsgCannotSave);
      return FileResult::kFailed;
    }
    symbols.clear();
    if (last) break;
    if (options.progress && !options.progress(done, total)) return FileResult::kCancelled;
  }

  // The record must hold the file as it was measured, neither a part of it
  // nor more.
  if (done != total || fstat(source_fd, &src) != 0 || static_cast<uint64_t>(src.st_size) != total) {
    reporter.Error(kMsgCannotRead);
    return FileResult::kFailed;
  }
  if (!out.Commit()) {
    reporter.Error(out.FailureMessage());
    return FileResult::kFailed;
  }
  return FileResult::kOk;
}

FileResult DecodeFile(int source_fd, int header_length, const OutputTarget& output,
                      Reporter& reporter, const FileOptions& options, DecodedFileInfo* info) {
  Decoder decoder(&output, reporter, options);
  return decoder.Run(source_fd, header_length, info);
}

FileResult InspectEncodedFile(int source_fd, int header_length, Reporter& reporter,
                              DecodedFileInfo* info, const FileOptions& options) {
  Decoder decoder(nullptr, reporter, options);
  return decoder.Run(source_fd, header_length, info);
}

}  // namespace zentoba
