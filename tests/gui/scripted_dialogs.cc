#include "scripted_dialogs.h"

#include <ostream>

#include "zentoba/messages.h"
#include "zentoba/platform/application.h"
#include "zentoba/platform/text.h"

namespace zentoba::testing {

using platform::FromCp932;

Box ErrorBox(std::string_view cp932) { return {Box::Kind::kError, {}, FromCp932(cp932)}; }
Box InformationBox(std::string_view cp932) {
  return {Box::Kind::kInformation, {}, FromCp932(cp932)};
}
Box ConfirmBox(std::string_view cp932) { return {Box::Kind::kConfirm, {}, FromCp932(cp932)}; }

void PrintTo(const Box& box, std::ostream* os) {
  static const char* const kKinds[] = {"error", "information", "confirm", "exception"};
  *os << kKinds[static_cast<int>(box.kind)] << " [" << box.caption.toStdString() << "] \""
      << box.text.toStdString() << "\"";
}

void ScriptedDialogs::Record(const Box& box) {
  if (progress_open) ++boxes_during_progress;
  boxes.push_back(box);
  if (on_box) on_box(box);
}

void ScriptedDialogs::Error(const QString& text) { Record({Box::Kind::kError, {}, text}); }

void ScriptedDialogs::Information(const QString& text) {
  Record({Box::Kind::kInformation, {}, text});
}

bool ScriptedDialogs::Confirm(const QString& text) {
  Record({Box::Kind::kConfirm, {}, text});
  if (confirm_answers.empty()) return false;
  const bool yes = confirm_answers.front();
  confirm_answers.pop_front();
  return yes;
}

void ScriptedDialogs::ShowException(const QString& caption, const QString& text) {
  Record({Box::Kind::kException, caption, text});
}

bool ScriptedDialogs::ExecuteFileDialog(platform::FileDialog& dialog) {
  file_dialogs.push_back({dialog.kind(), dialog.InitialDir(), dialog.FileName()});
  if (file_choices.empty()) return false;
  const std::optional<QString> choice = file_choices.front();
  file_choices.pop_front();
  if (!choice) return false;
  dialog.SetFileName(*choice);
  return true;
}

void ScriptedDialogs::ShowModal(QDialog& dialog) { modal_shows.push_back(&dialog); }

bool ScriptedDialogs::ClipboardHasText() { return clipboard.has_value(); }

QString ScriptedDialogs::ClipboardText() {
  if (clipboard_fails) throw platform::Exception(kMsgClipboard);
  return clipboard.value_or(QString());
}

void ScriptedDialogs::SetClipboardText(const QString& text) {
  if (clipboard_fails) throw platform::Exception(kMsgClipboard);
  clipboard = text;
}

namespace {

class ScriptedProgress : public platform::Progress {
 public:
  explicit ScriptedProgress(ScriptedDialogs& dialogs) : dialogs_(dialogs) {
    dialogs_.progress_open = true;
  }
  ~ScriptedProgress() override { dialogs_.progress_open = false; }
  ScriptedProgress(const ScriptedProgress&) = delete;
  ScriptedProgress& operator=(const ScriptedProgress&) = delete;
  bool Update(uint64_t /*done*/, uint64_t /*total*/) override {
    ++dialogs_.progress_updates;
    return dialogs_.progress_updates != dialogs_.cancel_at_update;
  }

 private:
  ScriptedDialogs& dialogs_;
};

}  // namespace

std::unique_ptr<platform::Progress> ScriptedDialogs::BeginProgress(const QString& label) {
  progress_labels.push_back(label);
  return std::make_unique<ScriptedProgress>(*this);
}

}  // namespace zentoba::testing
