// File conversion: the driver's questions, dialogs and boxes, and its three
// entry points (drop, File > Open, the command line).
#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <random>

#include "form_fixture.h"
#include "zentoba/files.h"
#include "zentoba/messages.h"
#include "zentoba/platform/text.h"

namespace zentoba::testing {
namespace {

using platform::FromCp932;

const std::string kContent =
    std::string("Zentoba file test\r\n\0\x01\xFF\xDD\xA6 ", 25) + "日本語の行\n";

Box VersionBox(std::string_view version_text) {
  return {
      Box::Kind::kError, {}, FromCp932(std::string(kMsgVersionPrefix) + std::string(version_text))};
}

class FileDriverTest : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    MakeForm();
  }

  // Encodes `name` into `output` with every answer "yes".
  void EncodeTo(const QString& name, const QString& output) {
    dialogs.confirm_answers = {true};
    dialogs.file_choices = {Path(output)};
    form->ProcessFile(Path(name));
    ASSERT_EQ(dialogs.boxes.back(), InformationBox(kMsgEncoded));
    dialogs.boxes.clear();
  }

  // The name an encoded file stores, or "<failed>".
  std::string StoredName(const QString& encoded) {
    const int fd = ::open(Path(encoded).toLocal8Bit().constData(), O_RDONLY);
    if (fd < 0) return "<missing>";
    RecordingReporter reporter;
    DecodedFileInfo info;
    const FileResult result = InspectEncodedFile(fd, 4, reporter, &info);
    ::close(fd);
    return result == FileResult::kOk ? info.stored_name : "<failed>";
  }

  QStringList Entries(const QString& sub = QString()) const {
    return QDir(Path(sub)).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
  }
};

TEST_F(FileDriverTest, EncodesAFileAndRestoresItBesideTheEncodedCopy) {
  WriteFile(QStringLiteral("data.bin"), kContent);
  const QString cwd = QDir::currentPath();

  dialogs.confirm_answers = {true};
  dialogs.file_choices = {Path(QStringLiteral("data.zen"))};
  form->ProcessFile(Path(QStringLiteral("data.bin")));
  EXPECT_EQ(dialogs.boxes,
            (std::vector<Box>{ConfirmBox(kMsgAskEncode), InformationBox(kMsgEncoded)}));
  ASSERT_EQ(dialogs.file_dialogs.size(), 1u);
  EXPECT_EQ(dialogs.file_dialogs[0].kind, platform::FileDialog::Kind::kSave);
  EXPECT_EQ(dialogs.file_dialogs[0].initial_dir, dir.path());
  EXPECT_EQ(dialogs.file_dialogs[0].file_name, QString());
  const std::string encoded = ReadFile(QStringLiteral("data.zen"));
  EXPECT_EQ(encoded.substr(0, 4), "\xDD\xA6\xDC\x68");
  EXPECT_EQ(StoredName(QStringLiteral("data.zen")), "data.bin");

  // Restored from another folder, whatever the current directory is.
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("other")));
  WriteFile(QStringLiteral("other/data.zen"), encoded);
  dialogs.boxes.clear();
  dialogs.confirm_answers = {true};
  form->ProcessFile(Path(QStringLiteral("other/data.zen")));
  EXPECT_EQ(dialogs.boxes,
            (std::vector<Box>{ConfirmBox(kMsgAskDecode), InformationBox(kMsgDecoded)}));
  EXPECT_EQ(ReadFile(QStringLiteral("other/data.bin")), kContent);
  EXPECT_EQ(dialogs.file_dialogs.size(), 1u);
  EXPECT_EQ(QDir::currentPath(), cwd);
  // Both conversions showed their progress, and it was gone before the
  // success boxes came up.
  EXPECT_EQ(dialogs.progress_labels.size(), 2u);
  EXPECT_EQ(dialogs.boxes_during_progress, 0);
}

TEST_F(FileDriverTest, AnythingButYesConvertsNothingAndSaysNothingMore) {
  WriteFile(QStringLiteral("plain.txt"), kContent);
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("sub")));
  EncodeTo(QStringLiteral("plain.txt"), QStringLiteral("sub/enc.zen"));
  const QStringList before = Entries() + Entries(QStringLiteral("sub"));

  struct Case {
    const char* name;
    QString file;
    std::deque<bool> answers;
    std::deque<std::optional<QString>> choices;
    std::vector<Box> boxes;
  };
  const Case cases[] = {
      {"encode: no", QStringLiteral("plain.txt"), {false}, {}, {ConfirmBox(kMsgAskEncode)}},
      {"encode: cancel", QStringLiteral("plain.txt"), {}, {}, {ConfirmBox(kMsgAskEncode)}},
      {"encode: save dialog cancelled",
       QStringLiteral("plain.txt"),
       {true},
       {std::nullopt},
       {ConfirmBox(kMsgAskEncode)}},
      {"decode: no", QStringLiteral("sub/enc.zen"), {false}, {}, {ConfirmBox(kMsgAskDecode)}},
      {"decode: cancel", QStringLiteral("sub/enc.zen"), {}, {}, {ConfirmBox(kMsgAskDecode)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dialogs.boxes.clear();
    dialogs.confirm_answers = c.answers;
    dialogs.file_choices = c.choices;
    form->ProcessFile(Path(c.file));
    EXPECT_EQ(dialogs.boxes, c.boxes);
    EXPECT_EQ(Entries() + Entries(QStringLiteral("sub")), before);
  }
}

TEST_F(FileDriverTest, PathThatCannotBeOpenedShowsOnlyTheOpenError) {
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder")));
  for (const QString& name : {QStringLiteral("missing.txt"), QStringLiteral("folder")}) {
    SCOPED_TRACE(name.toStdString());
    dialogs.boxes.clear();
    dialogs.confirm_answers = {true};
    form->ProcessFile(Path(name));
    EXPECT_EQ(dialogs.boxes, std::vector<Box>{ErrorBox(kMsgCannotOpen)});
  }
}

TEST_F(FileDriverTest, FailedDecodingEndsWithTheVersionMessage) {
  struct Case {
    const char* name;
    std::string bytes;
    std::string version;
  };
  const Case cases[] = {
      {"full header, version 1.04",
       std::string("\xDD\xA6\xDC\x68"
                   "AB CD"),
       "1.04"},
      {"negative version",
       std::string("\xDD\xA6\xDC\x9C"
                   "!!!"),
       VersionText(-100)},
      {"short header",
       std::string("\xDD\xA6"
                   "not a payload"),
       kMsgUnknownVersion},
      {"ends after the tag", std::string("\xDD\xA6\xDC"), kMsgUnknownVersion},
      {"marker only", std::string("\xDD\xA6"), kMsgUnknownVersion},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dialogs.boxes.clear();
    WriteFile(QStringLiteral("broken.zen"), c.bytes);
    const QStringList before = Entries();
    dialogs.confirm_answers = {true};
    form->ProcessFile(Path(QStringLiteral("broken.zen")));
    // The question, the failure itself, then which version wrote the file.
    ASSERT_GE(dialogs.boxes.size(), 3u);
    EXPECT_EQ(dialogs.boxes.front(), ConfirmBox(kMsgAskDecode));
    EXPECT_EQ(dialogs.boxes.back(), VersionBox(c.version));
    EXPECT_EQ(dialogs.boxes_during_progress, 0);
    EXPECT_EQ(ReadFile(QStringLiteral("broken.zen")), c.bytes);
    EXPECT_EQ(Entries(), before);
  }
}

TEST_F(FileDriverTest, FilesTooShortForTheMarkerAreOfferedForEncoding) {
  for (const std::string& bytes : {std::string(), std::string("\xDD"), std::string("\xA6\xDD")}) {
    dialogs.boxes.clear();
    WriteFile(QStringLiteral("short.bin"), bytes);
    form->ProcessFile(Path(QStringLiteral("short.bin")));
    EXPECT_EQ(dialogs.boxes, std::vector<Box>{ConfirmBox(kMsgAskEncode)});
  }
}

TEST_F(FileDriverTest, ShortHeaderFileDecodesLikeAFullOne) {
  WriteFile(QStringLiteral("data.bin"), kContent);
  EncodeTo(QStringLiteral("data.bin"), QStringLiteral("data.zen"));
  ASSERT_TRUE(QFile::remove(Path(QStringLiteral("data.bin"))));
  WriteFile(QStringLiteral("data.zen"),
            "\xDD\xA6" + ReadFile(QStringLiteral("data.zen")).substr(4));
  dialogs.confirm_answers = {true};
  form->ProcessFile(Path(QStringLiteral("data.zen")));
  EXPECT_EQ(dialogs.boxes.back(), InformationBox(kMsgDecoded));
  EXPECT_EQ(ReadFile(QStringLiteral("data.bin")), kContent);
}

TEST_F(FileDriverTest, VersionByteComesFromTheVersionDialogsLabel) {
  WriteFile(QStringLiteral("data.bin"), kContent);
  EncodeTo(QStringLiteral("data.bin"), QStringLiteral("a.zen"));
  EXPECT_EQ(ReadFile(QStringLiteral("a.zen"))[3], char{104});
  Form2->Label7->setText(QStringLiteral("1.23"));
  EncodeTo(QStringLiteral("data.bin"), QStringLiteral("b.zen"));
  EXPECT_EQ(ReadFile(QStringLiteral("b.zen"))[3], char{123});
}

TEST_F(FileDriverTest, SaveDialogStartsInTheFilesFolderAndKeepsTheLastName) {
  QDir(dir.path()).mkpath(QStringLiteral("one"));
  QDir(dir.path()).mkpath(QStringLiteral("two"));
  WriteFile(QStringLiteral("one/a.txt"), "a");
  WriteFile(QStringLiteral("two/b.txt"), "b");
  EncodeTo(QStringLiteral("one/a.txt"), QStringLiteral("one/a.zen"));
  EncodeTo(QStringLiteral("two/b.txt"), QStringLiteral("two/b.zen"));
  ASSERT_EQ(dialogs.file_dialogs.size(), 2u);
  EXPECT_EQ(dialogs.file_dialogs[0].initial_dir, Path(QStringLiteral("one")));
  EXPECT_EQ(dialogs.file_dialogs[1].initial_dir, Path(QStringLiteral("two")));
  EXPECT_EQ(dialogs.file_dialogs[1].file_name, Path(QStringLiteral("one/a.zen")));
}

TEST_F(FileDriverTest, ExistingOutputIsReplacedWithoutAQuestion) {
  WriteFile(QStringLiteral("data.bin"), kContent);
  WriteFile(QStringLiteral("data.zen"), "old contents");
  dialogs.confirm_answers = {true};
  dialogs.file_choices = {Path(QStringLiteral("data.zen"))};
  form->ProcessFile(Path(QStringLiteral("data.bin")));
  EXPECT_EQ(dialogs.boxes,
            (std::vector<Box>{ConfirmBox(kMsgAskEncode), InformationBox(kMsgEncoded)}));
  EXPECT_EQ(StoredName(QStringLiteral("data.zen")), "data.bin");
}

TEST_F(FileDriverTest, CancelledConversionLeavesNothingAndSaysNothing) {
  // Random bytes do not compress: several chunks each way, several updates.
  std::string big(3 << 20, '\0');
  std::mt19937 random(7);
  for (char& c : big) c = static_cast<char>(random());
  WriteFile(QStringLiteral("big.bin"), big);

  dialogs.cancel_at_update = 1;
  dialogs.confirm_answers = {true};
  dialogs.file_choices = {Path(QStringLiteral("big.zen"))};
  form->ProcessFile(Path(QStringLiteral("big.bin")));
  EXPECT_EQ(dialogs.boxes, std::vector<Box>{ConfirmBox(kMsgAskEncode)});
  EXPECT_EQ(Entries(), QStringList{QStringLiteral("big.bin")});

  dialogs.cancel_at_update = 0;
  EncodeTo(QStringLiteral("big.bin"), QStringLiteral("big.zen"));
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("restore")));
  ASSERT_TRUE(
      QFile::rename(Path(QStringLiteral("big.zen")), Path(QStringLiteral("restore/big.zen"))));
  dialogs.progress_updates = 0;
  dialogs.cancel_at_update = 2;
  dialogs.confirm_answers = {true};
  form->ProcessFile(Path(QStringLiteral("restore/big.zen")));
  EXPECT_EQ(dialogs.boxes, std::vector<Box>{ConfirmBox(kMsgAskDecode)});
  EXPECT_EQ(Entries(QStringLiteral("restore")), QStringList{QStringLiteral("big.zen")});
  EXPECT_EQ(dialogs.progress_updates, 2);
}

TEST_F(FileDriverTest, DropConvertsOnlyTheFirstFileAfterTheDropHasEnded) {
  QList<QUrl> urls;
  for (const char* name : {"first.txt", "second.txt", "third.txt"}) {
    WriteFile(QString::fromLatin1(name), name);
    urls << QUrl::fromLocalFile(Path(QString::fromLatin1(name)));
  }
  QMimeData data;
  data.setUrls(urls);
  QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(form.get(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  dialogs.confirm_answers = {true, true, true};
  dialogs.file_choices = {Path(QStringLiteral("out.zen")), Path(QStringLiteral("out2.zen"))};
  QApplication::sendEvent(form.get(), &drop);
  EXPECT_TRUE(drop.isAccepted());
  EXPECT_TRUE(dialogs.boxes.empty());

  ASSERT_TRUE(QTest::qWaitFor([&] { return dialogs.boxes.size() >= 2; }));
  QTest::qWait(50);
  EXPECT_EQ(dialogs.boxes,
            (std::vector<Box>{ConfirmBox(kMsgAskEncode), InformationBox(kMsgEncoded)}));
  EXPECT_EQ(StoredName(QStringLiteral("out.zen")), "first.txt");
  EXPECT_FALSE(Exists(QStringLiteral("out2.zen")));
}

TEST_F(FileDriverTest, OpenCommandConvertsTheChosenFile) {
  WriteFile(QStringLiteral("data.bin"), kContent);
  dialogs.file_choices = {Path(QStringLiteral("data.bin")), Path(QStringLiteral("data.zen"))};
  dialogs.confirm_answers = {true};
  form->MainMenu_Open->trigger();
  EXPECT_EQ(dialogs.boxes,
            (std::vector<Box>{ConfirmBox(kMsgAskEncode), InformationBox(kMsgEncoded)}));
  ASSERT_EQ(dialogs.file_dialogs.size(), 2u);
  EXPECT_EQ(dialogs.file_dialogs[0].kind, platform::FileDialog::Kind::kOpen);
  EXPECT_EQ(StoredName(QStringLiteral("data.zen")), "data.bin");

  // Cancelled: nothing at all. A typed name that does not exist: the open
  // error. The dialog keeps the name chosen last.
  dialogs.boxes.clear();
  dialogs.file_choices = {std::nullopt, Path(QStringLiteral("nothing-here"))};
  form->MainMenu_Open->trigger();
  EXPECT_TRUE(dialogs.boxes.empty());
  form->MainMenu_Open->trigger();
  EXPECT_EQ(dialogs.boxes, std::vector<Box>{ErrorBox(kMsgCannotOpen)});
  ASSERT_EQ(dialogs.file_dialogs.size(), 4u);
  EXPECT_EQ(dialogs.file_dialogs[2].file_name, Path(QStringLiteral("data.bin")));
}

TEST_F(FileDriverTest, WithoutParametersTheWindowStaysOpen) {
  form->FormShow(form.get());
  EXPECT_FALSE(form->closed());
  EXPECT_TRUE(dialogs.boxes.empty());
}

// The whole run with a file named on the command line: it converts the
// first file, ends without the window ever showing, and gives 0 whatever
// the answers were. A run that reached the event loop would hang here and
// fail on the test's time limit.
class CommandLineTest : public FormTest {};

TEST_F(CommandLineTest, ConvertsTheFirstParameterAndEnds) {
  WriteFile(QStringLiteral("first.txt"), kContent);
  WriteFile(QStringLiteral("second.txt"), "second");
  App().SetParams({Path(QStringLiteral("first.txt")), Path(QStringLiteral("second.txt"))});

  dialogs.confirm_answers = {true, true};
  dialogs.file_choices = {Path(QStringLiteral("first.zen")), Path(QStringLiteral("second.zen"))};
  // The boxes come up before the main window reaches the screen.
  int boxes_with_window_shown = 0;
  dialogs.on_box = [&](const Box&) {
    if (Form1 != nullptr && Form1->isVisible()) ++boxes_with_window_shown;
  };
  EXPECT_EQ(RunProgram(App(), dialogs, Path(QStringLiteral("none.ini")).toStdString()), 0);
  EXPECT_EQ(dialogs.boxes,
            (std::vector<Box>{ConfirmBox(kMsgAskEncode), InformationBox(kMsgEncoded)}));
  EXPECT_TRUE(Exists(QStringLiteral("first.zen")));
  EXPECT_FALSE(Exists(QStringLiteral("second.zen")));
  EXPECT_EQ(boxes_with_window_shown, 0);
  EXPECT_EQ(Form1, nullptr);
  EXPECT_EQ(Form2, nullptr);

  dialogs.boxes.clear();
  dialogs.confirm_answers = {false};
  EXPECT_EQ(RunProgram(App(), dialogs, Path(QStringLiteral("none.ini")).toStdString()), 0);
  EXPECT_EQ(dialogs.boxes, std::vector<Box>{ConfirmBox(kMsgAskEncode)});

  dialogs.boxes.clear();
  App().SetParams({Path(QStringLiteral("missing.txt"))});
  EXPECT_EQ(RunProgram(App(), dialogs, Path(QStringLiteral("none.ini")).toStdString()), 0);
  EXPECT_EQ(dialogs.boxes, std::vector<Box>{ErrorBox(kMsgCannotOpen)});
}

TEST_F(CommandLineTest, WithoutParametersTheRunEndsWithExitOrTheCloseBox) {
  for (const bool close_box : {false, true}) {
    SCOPED_TRACE(close_box ? "close box" : "File > Exit");
    bool was_visible = false;
    QTimer::singleShot(0, [&] {
      ASSERT_NE(Form1, nullptr);
      was_visible = Form1->isVisible();
      if (close_box) {
        Form1->close();
      } else {
        Form1->MainMenu_Exit->trigger();
      }
    });
    EXPECT_EQ(RunProgram(App(), dialogs, Path(QStringLiteral("none.ini")).toStdString()), 0);
    EXPECT_TRUE(was_visible);
    EXPECT_EQ(Form1, nullptr);
    EXPECT_TRUE(dialogs.boxes.empty());
  }
}

TEST_F(CommandLineTest, RestoresAnEncodedFileIntoItsFolder) {
  MakeForm();
  WriteFile(QStringLiteral("data.bin"), kContent);
  dialogs.confirm_answers = {true};
  dialogs.file_choices = {Path(QStringLiteral("data.zen"))};
  form->ProcessFile(Path(QStringLiteral("data.bin")));
  form.reset();
  ASSERT_TRUE(QFile::remove(Path(QStringLiteral("data.bin"))));

  dialogs.boxes.clear();
  // A name relative to the current directory, as a shell passes it.
  const QString cwd = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(dir.path()));
  App().SetParams({QStringLiteral("data.zen")});
  dialogs.confirm_answers = {true};
  const int code = RunProgram(App(), dialogs, Path(QStringLiteral("none.ini")).toStdString());
  QDir::setCurrent(cwd);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(dialogs.boxes,
            (std::vector<Box>{ConfirmBox(kMsgAskDecode), InformationBox(kMsgDecoded)}));
  EXPECT_EQ(ReadFile(QStringLiteral("data.bin")), kContent);
}

}  // namespace
}  // namespace zentoba::testing
