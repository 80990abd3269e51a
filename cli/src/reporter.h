// Reports of zentoba-cli go to standard error, every line prefixed with the
// program's name. The libraries report in CP932; the terminal gets UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "zentoba/report.h"

namespace zentoba::cli {

class StderrReporter : public Reporter {
 public:
  // What the following reports are about (a path as given, UTF-8); each of
  // them names it first. Empty for none.
  void set_subject(std::string subject) { subject_ = std::move(subject); }

  // Reported texts are CP932.
  void Error(std::string_view text) override;
  void Information(std::string_view text) override;

  // A CP932 text about `subject` (a path as given, UTF-8), with `cause`
  // (English, may be empty) after it in parentheses.
  void ErrorAbout(std::string_view subject, std::string_view text, std::string_view cause = {});

  // The tool's own messages, already UTF-8.
  void Note(std::string_view utf8);

 private:
  void Line(std::string_view utf8);
  void Report(std::string_view cp932);
  std::string subject_;
};

// A CP932 text as UTF-8 for the terminal; bytes that are no valid CP932
// show as "・", as Windows shows them, rather than breaking the terminal's
// output.
std::string ToTerminal(std::string_view cp932);

}  // namespace zentoba::cli
