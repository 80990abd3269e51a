#include "zentoba/platform/dialogs.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QWidget>

#include "zentoba/messages.h"
#include "zentoba/platform/application.h"
#include "zentoba/platform/text.h"

namespace zentoba::platform {

FileDialog::FileDialog(Kind kind, Dialogs& dialogs, QObject* parent)
    : QObject(parent),
      kind_(kind),
      dialogs_(dialogs),
      filter_text_(QStringLiteral("すべてのファイル (*.*)")),
      filter_pattern_(QStringLiteral("*")) {}

bool FileDialog::Execute() { return dialogs_.ExecuteFileDialog(*this); }

void BoxReporter::Error(std::string_view text) { dialogs_.Error(FromCp932(text)); }

void BoxReporter::Information(std::string_view text) { dialogs_.Information(FromCp932(text)); }

namespace {

void ShowBox(QWidget* owner, QMessageBox::Icon icon, const QString& caption, const QString& text) {
  QMessageBox box(icon, caption, text, QMessageBox::Ok, owner);
  box.setTextFormat(Qt::PlainText);
  box.button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
  box.exec();
}

// Waits half a second before it shows anything: most conversions are over by
// then, and a window that flashes up is worse than none.
class QtProgress : public Progress {
 public:
  QtProgress(QWidget* owner, const QString& label) : owner_(owner), label_(label) {
    clock_.start();
  }
  ~QtProgress() override { delete dialog_; }
  QtProgress(const QtProgress&) = delete;
  QtProgress& operator=(const QtProgress&) = delete;

  bool Update(uint64_t done, uint64_t total) override {
    const qint64 now = clock_.elapsed();
    // Events cost time: look at them about 25 times a second.
    if (now - last_events_ < 40) return dialog_ == nullptr || !dialog_->wasCanceled();
    last_events_ = now;
    if (dialog_ == nullptr && now >= kShowAfterMs) Show();
    if (dialog_ == nullptr) {
      // Not shown yet: repaint, but take no clicks that could start another
      // command inside this one.
      QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
      return true;
    }
    const int value = total == 0 ? 0 : static_cast<int>(done * kSteps / total);
    dialog_->setValue(value < kSteps ? value : kSteps - 1);
    QCoreApplication::processEvents();
    return !dialog_->wasCanceled();
  }

 private:
  static constexpr qint64 kShowAfterMs = 500;
  static constexpr int kSteps = 1000;

  void Show() {
    dialog_ = new QProgressDialog(label_, QStringLiteral("キャンセル"), 0, kSteps, owner_);
    if (auto* app = Application::Instance()) dialog_->setWindowTitle(app->Title());
    dialog_->setWindowModality(Qt::WindowModal);
    dialog_->setAutoClose(false);
    dialog_->setAutoReset(false);
    dialog_->setMinimumDuration(0);
    dialog_->setMinimumWidth(300);
    dialog_->show();
  }

  QWidget* owner_;
  QString label_;
  QElapsedTimer clock_;
  qint64 last_events_ = 0;
  QProgressDialog* dialog_ = nullptr;
};

}  // namespace

QWidget* QtDialogs::BoxOwner() const {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  if (owner_ != nullptr) return owner_;
  return QApplication::activeWindow();
}

void QtDialogs::Error(const QString& text) {
  ShowBox(BoxOwner(), QMessageBox::Critical, FromCp932(kCaptionError), text);
}

void QtDialogs::Information(const QString& text) {
  ShowBox(BoxOwner(), QMessageBox::Information, FromCp932(kCaptionInformation), text);
}

bool QtDialogs::Confirm(const QString& text) {
  QMessageBox box(QMessageBox::Question, FromCp932(kCaptionConfirmation), text,
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, BoxOwner());
  box.setTextFormat(Qt::PlainText);
  QAbstractButton* yes = box.button(QMessageBox::Yes);
  yes->setText(QStringLiteral("はい(&Y)"));
  box.button(QMessageBox::No)->setText(QStringLiteral("いいえ(&N)"));
  box.button(QMessageBox::Cancel)->setText(QStringLiteral("キャンセル"));
  box.setDefaultButton(QMessageBox::Yes);
  box.setEscapeButton(QMessageBox::Cancel);
  box.exec();
  return box.clickedButton() == yes;
}

void QtDialogs::ShowException(const QString& caption, const QString& text) {
  ShowBox(BoxOwner(), QMessageBox::Critical, caption, text);
}

bool QtDialogs::ExecuteFileDialog(FileDialog& dialog) {
  QFileDialog box(BoxOwner());
  // Qt's own dialog: it speaks Japanese through Qt's translation and shows
  // the filter as given, which a desktop's native dialog would not.
  box.setOption(QFileDialog::DontUseNativeDialog);
  // The shown text ends in "(*.*)"; the pattern in the last parentheses is
  // the one that applies, and hiding the details shows only the text.
  box.setNameFilter(dialog.FilterText() + QStringLiteral(" (") + dialog.FilterPattern() +
                    QLatin1Char(')'));
  box.setOption(QFileDialog::HideNameFilterDetails);
  // Neither dialog insists on an existing file: a missing one is reported
  // when it is opened.
  box.setFileMode(QFileDialog::AnyFile);
  if (dialog.kind() == FileDialog::Kind::kSave) {
    box.setAcceptMode(QFileDialog::AcceptSave);
    box.setOption(QFileDialog::DontConfirmOverwrite);
    if (!dialog.InitialDir().isEmpty()) box.setDirectory(dialog.InitialDir());
    if (!dialog.FileName().isEmpty()) box.selectFile(QFileInfo(dialog.FileName()).fileName());
  } else {
    box.setAcceptMode(QFileDialog::AcceptOpen);
    if (!dialog.InitialDir().isEmpty()) box.setDirectory(dialog.InitialDir());
    if (!dialog.FileName().isEmpty()) box.selectFile(dialog.FileName());
  }
  if (box.exec() != QDialog::Accepted) return false;
  const QStringList chosen = box.selectedFiles();
  if (chosen.isEmpty()) return false;
  dialog.SetFileName(chosen.front());
  return true;
}

void QtDialogs::ShowModal(QDialog& dialog) { dialog.exec(); }

bool QtDialogs::ClipboardHasText() {
  const QClipboard* clipboard = QGuiApplication::clipboard();
  const QMimeData* data = clipboard != nullptr ? clipboard->mimeData() : nullptr;
  return data != nullptr && data->hasText();
}

QString QtDialogs::ClipboardText() {
  const QClipboard* clipboard = QGuiApplication::clipboard();
  if (clipboard == nullptr) throw Exception(kMsgClipboard);
  QString text = clipboard->text();
  // Clipboard text ends at its first NUL, as a C string does.
  const qsizetype nul = text.indexOf(QChar(0));
  if (nul >= 0) text.truncate(nul);
  return text;
}

void QtDialogs::SetClipboardText(const QString& text) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (clipboard == nullptr) throw Exception(kMsgClipboard);
  clipboard->setText(text);
  // Where the desktop refuses the clipboard, the text read back differs.
  if (clipboard->text() != text) throw Exception(kMsgClipboard);
}

std::unique_ptr<Progress> QtDialogs::BeginProgress(const QString& label) {
  return std::make_unique<QtProgress>(BoxOwner(), label);
}

}  // namespace zentoba::platform
