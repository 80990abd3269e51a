// Dialogs answered from a script, for window tests: every box is recorded
// and answered at once, so no test waits in a modal loop.
#pragma once

#include <QString>
#include <deque>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "zentoba/platform/dialogs.h"

namespace zentoba::testing {

struct Box {
  enum class Kind { kError, kInformation, kConfirm, kException };
  Kind kind;
  QString caption;  // set for exception reports only
  QString text;
  bool operator==(const Box&) const = default;
};

// Box values from program text.
Box ErrorBox(std::string_view cp932);
Box InformationBox(std::string_view cp932);
Box ConfirmBox(std::string_view cp932);
void PrintTo(const Box& box, std::ostream* os);

struct FileDialogCall {
  platform::FileDialog::Kind kind;
  QString initial_dir;
  QString file_name;  // the name the dialog held when it opened
};

class ScriptedDialogs : public platform::Dialogs {
 public:
  // What happened, in order.
  std::vector<Box> boxes;
  std::vector<FileDialogCall> file_dialogs;
  std::vector<QDialog*> modal_shows;
  std::vector<QString> progress_labels;

  // Answers to confirmations, first first; none left means "キャンセル".
  std::deque<bool> confirm_answers;
  // Files chosen in file dialogs; nullopt or none left means cancelled.
  std::deque<std::optional<QString>> file_choices;
  // The clipboard's text, nullopt when it holds none; `clipboard_fails`
  // makes getting and putting throw as a clipboard held by another program.
  std::optional<QString> clipboard;
  bool clipboard_fails = false;
  // The progress update (counted from 1) at which the user cancels; 0 never.
  int cancel_at_update = 0;
  int progress_updates = 0;
  // Whether a progress display is open, and how many boxes came up while
  // one was.
  bool progress_open = false;
  int boxes_during_progress = 0;
  // Runs as each box comes up, before it is answered.
  std::function<void(const Box&)> on_box;

  void SetOwner(QWidget* /*owner*/) override {}
  void Error(const QString& text) override;
  void Information(const QString& text) override;
  bool Confirm(const QString& text) override;
  void ShowException(const QString& caption, const QString& text) override;
  bool ExecuteFileDialog(platform::FileDialog& dialog) override;
  void ShowModal(QDialog& dialog) override;
  bool ClipboardHasText() override;
  QString ClipboardText() override;
  void SetClipboardText(const QString& text) override;
  std::unique_ptr<platform::Progress> BeginProgress(const QString& label) override;

 private:
  void Record(const Box& box);
};

}  // namespace zentoba::testing
