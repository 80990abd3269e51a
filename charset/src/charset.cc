// CP932 <-> UTF-8 through glibc iconv. glibc's "CP932" matches the Windows
// code page table for every valid code (unlike its "SHIFT_JIS", which turns
// 0x5C into a yen sign).

#include "zentoba/charset.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace zentoba {
namespace {

class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    // (iconv_t)-1 is how iconv_open reports a failure.
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {  // NOLINT(performance-no-int-to-ptr)
      throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
  }
  ~Iconv() { iconv_close(cd_); }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  // Converts as much of `in` as it can, appending to `out`. Returns false
  // when it stopped at an invalid or unconvertible sequence; `in` then starts
  // at that sequence.
  bool Convert(std::string_view& in, std::string& out) {
    char* src = const_cast<char*>(in.data());
    size_t src_left = in.size();
    while (src_left > 0) {
      char buf[4096];
      char* dst = buf;
      size_t dst_left = sizeof buf;
      const size_t rc = iconv(cd_, &src, &src_left, &dst, &dst_left);
      out.append(buf, static_cast<size_t>(dst - buf));
      if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
        in = std::string_view(src, src_left);
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // reset the shift state
        return false;
      }
    }
    in = {};
    return true;
  }

 private:
  iconv_t cd_;
};

}  // namespace

std::optional<std::string> Cp932ToUtf8(std::string_view cp932) {
  Iconv cv("UTF-8", "CP932");
  std::string out;
  out.reserve(cp932.size() * 3 / 2);
  if (!cv.Convert(cp932, out)) return std::nullopt;
  return out;
}

std::string Cp932ToUtf8Lossy(std::string_view cp932, size_t* replaced) {
  Iconv cv("UTF-8", "CP932");
  std::string out;
  out.reserve(cp932.size() * 3 / 2);
  size_t count = 0;
  while (!cv.Convert(cp932, out)) {
    out += "\xE3\x83\xBB";  // ・
    ++count;
    cp932.remove_prefix(1);
  }
  if (replaced) *replaced = count;
  return out;
}

std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
  Iconv cv("CP932", "UTF-8");
  std::string out;
  out.reserve(utf8.size());
  if (!cv.Convert(utf8, out)) return std::nullopt;
  return out;
}

bool IsValidUtf8(std::string_view text) {
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    const auto c = static_cast<unsigned char>(text[i]);
    size_t len;
    uint32_t cp;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      len = 2;
      cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      len = 3;
      cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      len = 4;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + len > n) return false;
    for (size_t k = 1; k < len; ++k) {
      const auto t = static_cast<unsigned char>(text[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (t & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are invalid.
    static constexpr uint32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += len;
  }
  return true;
}

namespace {

// Index of the last "\" or ":" that is a separator, or npos.
size_t LastSeparator(std::string_view path) {
  size_t last = std::string_view::npos;
  for (size_t i = 0; i < path.size(); ++i) {
    const auto c = static_cast<uint8_t>(path[i]);
    if (IsCp932LeadByte(c) && i + 1 < path.size()) {
      ++i;  // the trail byte may be 0x5C; it is part of the character
    } else if (c == '\\' || c == ':') {
      last = i;
    }
  }
  return last;
}

}  // namespace

std::string_view Cp932FolderPart(std::string_view path) {
  const size_t sep = LastSeparator(path);
  return sep == std::string_view::npos ? std::string_view() : path.substr(0, sep + 1);
}

std::string_view Cp932FileNamePart(std::string_view path) {
  const size_t sep = LastSeparator(path);
  return sep == std::string_view::npos ? path : path.substr(sep + 1);
}

}  // namespace zentoba
