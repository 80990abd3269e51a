// The buttons 変換, 復号, コピー and ペースト, and Ctrl+A.
#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMimeData>
#include <QPushButton>
#include <QTest>

#include "form_fixture.h"
#include "zentoba/codec.h"
#include "zentoba/messages.h"
#include "zentoba/platform/text.h"

namespace zentoba::testing {
namespace {

using platform::FromCp932;

class TextCommandTest : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    MakeForm();
  }
  void Encode(const QString& input) {
    form->Memo1->SetText(input);
    QTest::mouseClick(form->Button_Encode, Qt::LeftButton);
  }
  void Decode(const QString& input) {
    form->Memo1->SetText(input);
    QTest::mouseClick(form->Button_Decode, Qt::LeftButton);
  }
  // The selected text of an area, with line breaks as LF.
  static QString Selected(const platform::Memo* memo) {
    return memo->textCursor().selectedText().replace(QChar::ParagraphSeparator, u'\n');
  }
};

TEST_F(TextCommandTest, EncodeShowsTheShorterFormInTheOutputArea) {
  // abc: five bytes, the uncompressed form.
  Encode(QStringLiteral("abc"));
  EXPECT_EQ(form->Memo2->Text(), FromCp932("\xDD"
                                           "w\xB1&w"));
  // A long repetitive text: the compressed form, a zlib header first.
  Encode(QStringLiteral("ぶんしょう。").repeated(200));
  EXPECT_TRUE(
      form->Memo2->Text().startsWith(FromCp932("\xDD\xDB"
                                               "82")));
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(TextCommandTest, EncodeThenDecodeGivesBackTheTextWithItsLineBreaks) {
  const QString text = QStringLiteral("一行目\r\n\r\n  ｶﾀｶﾅ and ASCII \\ ～\r\n最後の行");
  Encode(text);
  const QString encoded = form->Memo2->Text();
  EXPECT_TRUE(encoded.startsWith(QChar(0xFF9D)));
  Decode(encoded);
  EXPECT_EQ(form->Memo2->Text(), text);
  // The bytes the encoder saw joined the lines with CR LF.
  RecordingReporter reporter;
  EXPECT_EQ(DecodeText(platform::ToCp932(encoded).value(), reporter),
            platform::ToCp932(text).value());
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(TextCommandTest, TextWithoutShiftJisFormIsRefusedWithABox) {
  form->Memo2->SetText(QStringLiteral("前の結果"));
  for (const QString& input :
       {QStringLiteral("price: 5€"), QStringLiteral("😀"), QStringLiteral("한국어")}) {
    SCOPED_TRACE(input.toStdString());
    dialogs.boxes.clear();
    Encode(input);
    EXPECT_EQ(dialogs.boxes, std::vector<Box>{ErrorBox(kMsgNotCp932)});
    // Nothing was encoded, and no character became "?".
    EXPECT_EQ(form->Memo2->Text(), QStringLiteral("前の結果"));
  }
}

TEST_F(TextCommandTest, DecodeCases) {
  struct Case {
    const char* name;
    QString input;
    QString output;
    std::vector<Box> boxes;
  };
  const QString abc = FromCp932(
      "\xDD"
      "w\xB1&w");
  const Case cases[] = {
      {"plain", abc, QStringLiteral("abc"), {}},
      {"blanks around",
       QStringLiteral(" \r\n\t") + abc + QStringLiteral("\r\n  \r\n"),
       QStringLiteral("abc"),
       {}},
      {"line break inside",
       FromCp932("\xDD"
                 "w\xB1\r\n&w"),
       {},
       {ErrorBox(kMsgDecodeFailed)}},
      {"space inside",
       FromCp932("\xDD"
                 "w\xB1 &w"),
       {},
       {ErrorBox(kMsgDecodeFailed)}},
      {"no marker", QStringLiteral("ここに変換対象文字列"), {}, {}},
      {"empty", QString(), {}, {}},
      {"file content",
       FromCp932("\xDD\xA6\xDC"
                 "hAAAA"),
       {},
       {InformationBox(kMsgSaveAsFileFirst)}},
      // Emoji have no CP932 form, so no symbol table holds them.
      {"emoji in payload", abc + QStringLiteral("😀"), {}, {ErrorBox(kMsgNotCp932)}},
      {"emoji in plain text", QStringLiteral("😀 not encoded"), {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dialogs.boxes.clear();
    form->Memo2->SetText(QStringLiteral("前の結果"));
    Decode(c.input);
    EXPECT_EQ(form->Memo2->Text(), c.output);
    EXPECT_EQ(dialogs.boxes, c.boxes);
  }
}

TEST_F(TextCommandTest, DecodedBytesWithoutShiftJisFormShowAsMiddleDots) {
  RecordingReporter reporter;
  // 0x80 and 0xFD are no CP932; a lead byte at the end has no trail byte.
  const std::string encoded = EncodeText(
      "a\x80"
      "b\xFD"
      "c\x82",
      reporter);
  Decode(FromCp932(encoded));
  EXPECT_EQ(form->Memo2->Text(), QStringLiteral("a・b・c・"));
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(TextCommandTest, DecodedTextEndsAtItsFirstNul) {
  RecordingReporter reporter;
  const std::string encoded = EncodeText(std::string_view("before\0after", 12), reporter);
  Decode(FromCp932(encoded));
  EXPECT_EQ(form->Memo2->Text(), QStringLiteral("before"));
}

TEST_F(TextCommandTest, CopyPutsTheWholeOutputOnTheClipboard) {
  form->Memo2->SetText(QStringLiteral("一行目\r\n二行目"));
  // Only part of it selected.
  QTextCursor cursor = form->Memo2->textCursor();
  cursor.setPosition(1);
  cursor.setPosition(3, QTextCursor::KeepAnchor);
  form->Memo2->setTextCursor(cursor);
  QTest::mouseClick(form->Button_CopyCB, Qt::LeftButton);
  EXPECT_EQ(dialogs.clipboard, QStringLiteral("一行目\n二行目"));

  form->Memo2->SetText(QString());
  QTest::mouseClick(form->Button_CopyCB, Qt::LeftButton);
  EXPECT_EQ(dialogs.clipboard, QString());
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(TextCommandTest, PasteReplacesTheWholeInputAndLeavesTheOutput) {
  form->Memo1->SetText(QStringLiteral("元の\r\n入力"));
  form->Memo2->SetText(QStringLiteral("出力"));
  QTextCursor cursor = form->Memo1->textCursor();
  cursor.setPosition(2);
  cursor.setPosition(4, QTextCursor::KeepAnchor);
  form->Memo1->setTextCursor(cursor);
  dialogs.clipboard = QStringLiteral("貼り付け\n二行");
  QTest::mouseClick(form->Button_PasteCB, Qt::LeftButton);
  EXPECT_EQ(form->Memo1->Text(), QStringLiteral("貼り付け\r\n二行"));
  EXPECT_EQ(form->Memo2->Text(), QStringLiteral("出力"));

  // No text on the clipboard: nothing changes, nothing is said.
  dialogs.clipboard.reset();
  QTest::mouseClick(form->Button_PasteCB, Qt::LeftButton);
  EXPECT_EQ(form->Memo1->Text(), QStringLiteral("貼り付け\r\n二行"));
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(TextCommandTest, ClipboardThatCannotBeUsedIsReportedAsTheApplicationsError) {
  form->Memo1->SetText(QStringLiteral("入力"));
  form->Memo2->SetText(QStringLiteral("出力"));
  dialogs.clipboard = QStringLiteral("前から");
  dialogs.clipboard_fails = true;
  const Box report{Box::Kind::kException, QStringLiteral("Zentoba"),
                   QStringLiteral("クリップボードを開くことができません.")};
  QTest::mouseClick(form->Button_CopyCB, Qt::LeftButton);
  QTest::mouseClick(form->Button_PasteCB, Qt::LeftButton);
  EXPECT_EQ(dialogs.boxes, (std::vector<Box>{report, report}));
  EXPECT_EQ(dialogs.clipboard, QStringLiteral("前から"));
  EXPECT_EQ(form->Memo1->Text(), QStringLiteral("入力"));
  EXPECT_EQ(form->Memo2->Text(), QStringLiteral("出力"));
}

// Through the desktop's clipboard itself.
class SystemClipboardTest : public TextCommandTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    form = std::make_unique<TForm1>(qt_dialogs, Path(QStringLiteral("none.ini")).toStdString());
    Form2 = new TForm2(form.get());
  }
  platform::QtDialogs qt_dialogs;
};

TEST_F(SystemClipboardTest, CopyThenPasteMovesTheOutputByteForByte) {
  const QString output = QStringLiteral("ﾝ\\半角ｶﾅ ～\r\n\r\n２行目\tタブ\r\n");
  form->Memo2->SetText(output);
  form->Memo1->SetText(QStringLiteral("消える"));
  QTest::mouseClick(form->Button_CopyCB, Qt::LeftButton);
  QTest::mouseClick(form->Button_PasteCB, Qt::LeftButton);
  EXPECT_EQ(platform::ToCp932(form->Memo1->Text()), platform::ToCp932(output));
  EXPECT_EQ(form->Memo1->Text(), output);
}

TEST_F(SystemClipboardTest, PasteOfAPictureChangesNothing) {
  form->Memo1->SetText(QStringLiteral("そのまま"));
  QImage picture(4, 4, QImage::Format_RGB32);
  picture.fill(Qt::red);
  QGuiApplication::clipboard()->setImage(picture);
  QTest::mouseClick(form->Button_PasteCB, Qt::LeftButton);
  EXPECT_EQ(form->Memo1->Text(), QStringLiteral("そのまま"));
}

class SelectAllTest : public TextCommandTest {
 protected:
  void SetUp() override {
    TextCommandTest::SetUp();
    form->Memo1->SetText(QStringLiteral("入力\r\n二行目"));
    form->Memo2->SetText(QStringLiteral("出力"));
    ASSERT_TRUE(ShowActive(*form));
  }
  void PressCtrlA(QWidget* focus) {
    focus->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return focus->hasFocus(); }));
    QTest::keyClick(focus, Qt::Key_A, Qt::ControlModifier);
  }
  void ClearSelections() {
    for (platform::Memo* memo : {form->Memo1, form->Memo2}) {
      QTextCursor cursor = memo->textCursor();
      cursor.clearSelection();
      memo->setTextCursor(cursor);
    }
  }
};

TEST_F(SelectAllTest, CtrlAInEitherAreaSelectsBothAreas) {
  for (platform::Memo* focus : {form->Memo1, form->Memo2}) {
    ClearSelections();
    PressCtrlA(focus);
    EXPECT_EQ(Selected(form->Memo1), QStringLiteral("入力\n二行目"));
    EXPECT_EQ(Selected(form->Memo2), QStringLiteral("出力"));
  }
}

TEST_F(SelectAllTest, CtrlAInAnEmptyAreaSelectsNothingAndTheStateStands) {
  form->Memo1->SetText(QString());
  PressCtrlA(form->Memo1);
  EXPECT_EQ(Selected(form->Memo2), QString());
  // The focus on a button keeps the state of the last refresh: still off.
  PressCtrlA(form->Button_Encode);
  EXPECT_EQ(Selected(form->Memo2), QString());
  // An area with text turns it on again.
  PressCtrlA(form->Memo2);
  EXPECT_EQ(Selected(form->Memo2), QStringLiteral("出力"));
}

TEST_F(SelectAllTest, CtrlAWithTheFocusOnAButtonSelectsBothAreasAtFirst) {
  PressCtrlA(form->Button_Decode);
  EXPECT_EQ(Selected(form->Memo1), QStringLiteral("入力\n二行目"));
  EXPECT_EQ(Selected(form->Memo2), QStringLiteral("出力"));
}

}  // namespace
}  // namespace zentoba::testing
