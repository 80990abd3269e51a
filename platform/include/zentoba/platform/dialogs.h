// Everything that waits for the user or talks to the desktop: message boxes,
// file dialogs, modal windows, the progress window and the clipboard.
//
// Window logic reaches them only through `Dialogs`, so the same logic runs
// against real Qt boxes in the program and against a script in the tests,
// where nothing may wait in a modal loop for someone at the screen.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>
#include <string_view>

#include "zentoba/report.h"

class QDialog;
class QWidget;

namespace zentoba::platform {

class Dialogs;

// The open and save dialogs as the main window owns them: a filter, a
// starting folder and the file name chosen last, kept from one use to the
// next.
class FileDialog : public QObject {
 public:
  enum class Kind { kOpen, kSave };
  FileDialog(Kind kind, Dialogs& dialogs, QObject* parent);

  // Shows the dialog; true when the user chose a file, which FileName()
  // then holds (full path). A cancelled dialog changes nothing.
  bool Execute();

  Kind kind() const { return kind_; }
  // Shown text and the pattern that applies it. Qt's "*.*" matches only
  // names holding a dot, so "all files" shows "(*.*)" and filters with "*".
  QString FilterText() const { return filter_text_; }
  QString FilterPattern() const { return filter_pattern_; }
  QString InitialDir() const { return initial_dir_; }
  void SetInitialDir(const QString& dir) { initial_dir_ = dir; }
  QString FileName() const { return file_name_; }
  void SetFileName(const QString& name) { file_name_ = name; }

 private:
  Kind kind_;
  Dialogs& dialogs_;
  QString filter_text_;
  QString filter_pattern_;
  QString initial_dir_;
  QString file_name_;
};

// A long conversion's progress. Update returns false once the user has
// asked to cancel.
class Progress {
 public:
  virtual ~Progress() = default;
  virtual bool Update(uint64_t done, uint64_t total) = 0;
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;

  // The window that boxes belong to while no modal window is open.
  virtual void SetOwner(QWidget* owner) = 0;

  // Caption "エラー", button "OK".
  virtual void Error(const QString& text) = 0;
  // Caption "情報", button "OK".
  virtual void Information(const QString& text) = 0;
  // Caption "確認", buttons "はい(&Y)", "いいえ(&N)", "キャンセル"; true only
  // for "はい(&Y)". Escape and the close box count as "キャンセル".
  virtual bool Confirm(const QString& text) = 0;
  // The report of an exception that left a handler: an error box captioned
  // with the application's title.
  virtual void ShowException(const QString& caption, const QString& text) = 0;

  // Shows `dialog` and returns once the user has chosen a file (true, its
  // FileName() set) or cancelled (false).
  virtual bool ExecuteFileDialog(FileDialog& dialog) = 0;
  // Shows a dialog modally and returns when it has been closed.
  virtual void ShowModal(QDialog& dialog) = 0;

  // Text on the clipboard: whether there is any, what it is, replacing it.
  // Get and set throw Exception(kMsgClipboard) when the clipboard cannot be
  // used.
  virtual bool ClipboardHasText() = 0;
  virtual QString ClipboardText() = 0;
  virtual void SetClipboardText(const QString& text) = 0;

  // Progress of a conversion that may take long; `label` says what runs.
  virtual std::unique_ptr<Progress> BeginProgress(const QString& label) = 0;
};

// A Reporter whose reports become error and information boxes.
class BoxReporter : public Reporter {
 public:
  explicit BoxReporter(Dialogs& dialogs) : dialogs_(dialogs) {}
  void Error(std::string_view text) override;
  void Information(std::string_view text) override;

 private:
  Dialogs& dialogs_;
};

// The real thing: Qt message boxes, Qt's own file dialogs, QProgressDialog
// and the system clipboard. Boxes belong to `owner` (the main window) unless
// a modal window is open, which then owns them.
class QtDialogs : public Dialogs {
 public:
  void SetOwner(QWidget* owner) override { owner_ = owner; }

  void Error(const QString& text) override;
  void Information(const QString& text) override;
  bool Confirm(const QString& text) override;
  void ShowException(const QString& caption, const QString& text) override;
  bool ExecuteFileDialog(FileDialog& dialog) override;
  void ShowModal(QDialog& dialog) override;
  bool ClipboardHasText() override;
  QString ClipboardText() override;
  void SetClipboardText(const QString& text) override;
  std::unique_ptr<Progress> BeginProgress(const QString& label) override;

 private:
  QWidget* BoxOwner() const;
  QWidget* owner_ = nullptr;
};

}  // namespace zentoba::platform
