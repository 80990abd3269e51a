#include "zentoba/platform/text.h"

#include <QFile>

#include "zentoba/charset.h"

namespace zentoba::platform {

QString FromCp932(std::string_view cp932) {
  const std::string utf8 = Cp932ToUtf8Lossy(cp932);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::optional<std::string> ToCp932(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  // A lone surrogate has no UTF-8 form; toUtf8 would write U+FFFD for it,
  // which has no CP932 form either, so the conversion below refuses it.
  return Utf8ToCp932(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

QString LfToCrLf(const QString& text) {
  QString out;
  out.reserve(text.size() + text.count(QLatin1Char('\n')));
  for (const QChar c : text) {
    if (c == QLatin1Char('\n')) out += QLatin1Char('\r');
    out += c;
  }
  return out;
}

std::filesystem::path ToPath(const QString& name) {
  const QByteArray encoded = QFile::encodeName(name);
  return std::filesystem::path(
      std::string(encoded.constData(), static_cast<size_t>(encoded.size())));
}

QString FromPath(const std::filesystem::path& path) {
  return QFile::decodeName(QByteArray::fromStdString(path.native()));
}

}  // namespace zentoba::platform
