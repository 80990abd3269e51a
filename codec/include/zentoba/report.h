// How the libraries tell the user about a failure.
//
// An operation that meets a failure reports it here once, with the program's
// own text (CP932, see messages.h), and then returns its failure value; its
// callers only test that value. Each front end supplies its own Reporter:
// message boxes in the window, standard error in the command-line tool, a
// recorder in the tests.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zentoba {

class Reporter {
 public:
  virtual ~Reporter() = default;
  // An error box (caption "エラー", button "OK").
  virtual void Error(std::string_view text) = 0;
  // An information box (caption "情報", button "OK").
  virtual void Information(std::string_view text) = 0;
};

// Keeps every report, in order; for tests and for callers that decide later
// what to show.
class RecordingReporter : public Reporter {
 public:
  struct Entry {
    bool error;
    std::string text;
    bool operator==(const Entry&) const = default;
  };
  void Error(std::string_view text) override { entries.push_back({true, std::string(text)}); }
  void Information(std::string_view text) override {
    entries.push_back({false, std::string(text)});
  }
  std::vector<Entry> entries;
};

}  // namespace zentoba
