#include "reporter.h"

#include <cstdio>

#include "zentoba/charset.h"

namespace zentoba::cli {

std::string ToTerminal(std::string_view cp932) { return Cp932ToUtf8Lossy(cp932); }

void StderrReporter::Line(std::string_view utf8) {
  // A report of several lines (a message and its detail) keeps the prefix
  // on each, so that every line of standard error tells where it came from.
  std::string text;
  for (;;) {
    const size_t end = utf8.find('\n');
    text += "zentoba-cli: ";
    text += utf8.substr(0, end);
    text += '\n';
    if (end == std::string_view::npos || end + 1 == utf8.size()) break;
    utf8.remove_prefix(end + 1);
  }
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

void StderrReporter::Report(std::string_view cp932) {
  if (subject_.empty()) {
    Line(ToTerminal(cp932));
  } else {
    Line(subject_ + ": " + ToTerminal(cp932));
  }
}

void StderrReporter::Error(std::string_view text) { Report(text); }

void StderrReporter::Information(std::string_view text) { Report(text); }

void StderrReporter::ErrorAbout(std::string_view subject, std::string_view text,
                                std::string_view cause) {
  std::string line(subject);
  line += ": ";
  line += ToTerminal(text);
  if (!cause.empty()) {
    line += " (";
    line += cause;
    line += ')';
  }
  Line(line);
}

void StderrReporter::Note(std::string_view utf8) { Line(utf8); }

}  // namespace zentoba::cli
