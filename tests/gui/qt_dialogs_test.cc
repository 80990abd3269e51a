// The real Qt boxes, dialogs and clipboard behind the program's windows,
// answered from a timer as a user would answer them.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "Version.h"
#include "zentoba/messages.h"
#include "zentoba/platform/application.h"
#include "zentoba/platform/dialogs.h"
#include "zentoba/platform/text.h"

namespace zentoba::testing {
namespace {

using platform::FromCp932;

// Watches for the next modal window and answers it with `answer`. Any
// further modal window is closed unanswered, so a box nobody expected
// cannot hold the test.
class Answerer {
 public:
  explicit Answerer(std::function<void(QWidget*)> answer) : answer_(std::move(answer)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start(20);
  }
  QWidget* seen = nullptr;
  QString title;
  int count = 0;

 private:
  void Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal == last_) return;
    last_ = modal;
    ++count;
    if (seen != nullptr) {
      if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
      return;
    }
    seen = modal;
    title = modal->windowTitle();
    answer_(modal);
  }
  std::function<void(QWidget*)> answer_;
  QTimer timer_;
  QWidget* last_ = nullptr;
};

QStringList ButtonTexts(QMessageBox* box) {
  QStringList texts;
  for (QAbstractButton* button : box->buttons()) texts << button->text();
  texts.sort();
  return texts;
}

void Click(QMessageBox* box, const QString& text) {
  for (QAbstractButton* button : box->buttons()) {
    if (button->text() == text) {
      button->click();
      return;
    }
  }
  ADD_FAILURE() << "no button " << text.toStdString();
  box->reject();
}

TEST(QtDialogsTest, ErrorAndInformationBoxesCarryTheirCaptionAndOneOkButton) {
  platform::QtDialogs dialogs;
  struct Case {
    std::function<void()> show;
    QString caption;
    QMessageBox::Icon icon;
  };
  const Case cases[] = {
      {[&] { dialogs.Error(FromCp932(kMsgCannotOpen)); }, QStringLiteral("エラー"),
       QMessageBox::Critical},
      {[&] { dialogs.Information(FromCp932(kMsgCannotOpen)); }, QStringLiteral("情報"),
       QMessageBox::Information},
      {[&] { dialogs.ShowException(QStringLiteral("Zentoba"), FromCp932(kMsgCannotOpen)); },
       QStringLiteral("Zentoba"), QMessageBox::Critical},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.caption.toStdString());
    QString text;
    QStringList buttons;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    Answerer answerer([&](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      ASSERT_NE(box, nullptr);
      text = box->text();
      buttons = ButtonTexts(box);
      icon = box->icon();
      Click(box, QStringLiteral("OK"));
    });
    c.show();
    EXPECT_EQ(answerer.count, 1);
    EXPECT_EQ(answerer.title, c.caption);
    EXPECT_EQ(text, QStringLiteral("ファイルを開くことができませんでした。"));
    EXPECT_EQ(buttons, QStringList{QStringLiteral("OK")});
    EXPECT_EQ(icon, c.icon);
  }
}

TEST(QtDialogsTest, ConfirmationGoesOnOnlyWithYes) {
  platform::QtDialogs dialogs;
  const QString yes = QStringLiteral("はい(&Y)");
  const QString no = QStringLiteral("いいえ(&N)");
  const QString cancel = QStringLiteral("キャンセル");
  struct Case {
    const char* name;
    std::function<void(QMessageBox*)> answer;
    bool result;
  };
  const Case cases[] = {
      {"yes", [&](QMessageBox* box) { Click(box, yes); }, true},
      {"no", [&](QMessageBox* box) { Click(box, no); }, false},
      {"cancel", [&](QMessageBox* box) { Click(box, cancel); }, false},
      {"escape",
       [](QMessageBox* box) {
         QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
         QApplication::sendEvent(box, &escape);
       },
       false},
      {"close box", [](QMessageBox* box) { box->close(); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QStringList buttons;
    QString text;
    Answerer answerer([&](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      ASSERT_NE(box, nullptr);
      buttons = ButtonTexts(box);
      text = box->text();
      c.answer(box);
    });
    EXPECT_EQ(dialogs.Confirm(FromCp932(kMsgAskEncode)), c.result);
    EXPECT_EQ(answerer.count, 1);
    EXPECT_EQ(answerer.title, QStringLiteral("確認"));
    EXPECT_EQ(text, QStringLiteral("ファイルを変換しますか？"));
    QStringList expected{yes, no, cancel};
    expected.sort();
    EXPECT_EQ(buttons, expected);
  }
}

class QtFileDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.isValid()); }
  QTemporaryDir dir;
  platform::QtDialogs dialogs;
  QObject owner;
};

TEST_F(QtFileDialogTest, SaveDialogStartsInItsFolderAndGivesTheChosenPath) {
  platform::FileDialog save(platform::FileDialog::Kind::kSave, dialogs, &owner);
  save.SetInitialDir(dir.path());
  QString directory;
  QString filter;
  QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
  bool confirms_overwrite = true;
  Answerer answerer([&](QWidget* w) {
    auto* box = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(box, nullptr);
    directory = box->directory().absolutePath();
    mode = box->acceptMode();
    confirms_overwrite = !box->testOption(QFileDialog::DontConfirmOverwrite);
    if (auto* types = box->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) {
      filter = types->currentText();
    }
    box->selectFile(QStringLiteral("out.zen"));
    QMetaObject::invokeMethod(box, "accept");
  });
  ASSERT_TRUE(save.Execute());
  EXPECT_EQ(directory, dir.path());
  EXPECT_EQ(mode, QFileDialog::AcceptSave);
  EXPECT_FALSE(confirms_overwrite);
  EXPECT_EQ(filter, QStringLiteral("すべてのファイル (*.*)"));
  EXPECT_EQ(save.FileName(), dir.filePath(QStringLiteral("out.zen")));
}

TEST_F(QtFileDialogTest, CancelledOpenDialogKeepsTheLastName) {
  platform::FileDialog open(platform::FileDialog::Kind::kOpen, dialogs, &owner);
  open.SetFileName(dir.filePath(QStringLiteral("last.txt")));
  QString directory;
  Answerer answerer([&](QWidget* w) {
    auto* box = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(box, nullptr);
    directory = box->directory().absolutePath();
    box->reject();
  });
  EXPECT_FALSE(open.Execute());
  EXPECT_EQ(directory, dir.path());
  EXPECT_EQ(open.FileName(), dir.filePath(QStringLiteral("last.txt")));
}

TEST(QtDialogsTest, VersionDialogClosesWithItsButtonOrTheCloseBox) {
  platform::QtDialogs dialogs;
  TForm2 dialog(nullptr);
  for (const bool close_box : {false, true}) {
    Answerer answerer([&](QWidget* w) {
      ASSERT_EQ(w, &dialog);
      if (close_box) {
        dialog.close();
      } else {
        dialog.Button_OK->click();
      }
    });
    dialogs.ShowModal(dialog);
    EXPECT_EQ(answerer.count, 1);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.pos(), QPoint(197, 209));
    EXPECT_EQ(dialog.Label7->text(), QStringLiteral("1.04"));
  }
}

TEST(QtDialogsTest, ProgressAppearsForLongWorkAndItsCancelStopsIt) {
  platform::QtDialogs dialogs;
  const QString label = QStringLiteral("ファイルを変換しています...");
  auto progress = dialogs.BeginProgress(label);
  const auto shown = [] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* dialog = qobject_cast<QProgressDialog*>(w); dialog && dialog->isVisible()) {
        return dialog;
      }
    }
    return static_cast<QProgressDialog*>(nullptr);
  };
  EXPECT_TRUE(progress->Update(1, 10));
  // Past the half second a conversion may take unseen.
  QTest::qWait(600);
  EXPECT_TRUE(progress->Update(5, 10));
  QProgressDialog* dialog = shown();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->labelText(), label);
  EXPECT_EQ(dialog->value(), dialog->maximum() / 2);
  auto* cancel = dialog->findChild<QPushButton*>();
  ASSERT_NE(cancel, nullptr);
  EXPECT_EQ(cancel->text(), QStringLiteral("キャンセル"));
  cancel->click();
  EXPECT_FALSE(progress->Update(6, 10));
  progress.reset();
  EXPECT_EQ(shown(), nullptr);
}

TEST(QtDialogsTest, ClipboardCarriesTextOnly) {
  platform::QtDialogs dialogs;
  dialogs.SetClipboardText(QStringLiteral("ﾝｱ一\n二"));
  EXPECT_TRUE(dialogs.ClipboardHasText());
  EXPECT_EQ(dialogs.ClipboardText(), QStringLiteral("ﾝｱ一\n二"));
  EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->formats(),
            QStringList{QStringLiteral("text/plain")});

  // Text from elsewhere ends at its first NUL.
  QGuiApplication::clipboard()->setText(QStringLiteral("ab") + QChar(0) + QStringLiteral("cd"));
  EXPECT_EQ(dialogs.ClipboardText(), QStringLiteral("ab"));

  QImage picture(2, 2, QImage::Format_RGB32);
  picture.fill(Qt::blue);
  QGuiApplication::clipboard()->setImage(picture);
  EXPECT_FALSE(dialogs.ClipboardHasText());
}

}  // namespace
}  // namespace zentoba::testing
