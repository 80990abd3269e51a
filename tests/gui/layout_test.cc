// The windows as the user sees them: places, sizes, captions, fonts, tab
// order, menus, and what the output area lets the user do.
#include <QApplication>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

#include "form_fixture.h"
#include "zentoba/platform/widgets.h"

namespace zentoba::testing {
namespace {

class LayoutTest : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    MakeForm();
  }
};

TEST_F(LayoutTest, MainWindowHasFixedClientAreaAtItsPlace) {
  form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  EXPECT_EQ(form->windowTitle(), QStringLiteral("Zentoba"));
  EXPECT_EQ(form->pos(), QPoint(194, 239));
  EXPECT_EQ(form->centralWidget()->size(), QSize(641, 351));
  EXPECT_EQ(form->centralWidget()->y(), form->menuBar()->height());
  EXPECT_EQ(form->minimumSize(), form->maximumSize());
  const Qt::WindowFlags flags = form->windowFlags();
  EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(form->windowIcon().isNull());
  EXPECT_EQ(App().Title(), QStringLiteral("Zentoba"));
}

TEST_F(LayoutTest, ControlsStandWhereTheLayoutPutsThem) {
  struct Row {
    const char* name;
    QWidget* widget;
    QWidget* parent;
    QRect geometry;
  };
  QWidget* client = form->centralWidget();
  const Row rows[] = {
      {"Panel1", form->Panel1, client, {0, 0, 321, 297}},
      {"Memo1", form->Memo1, form->Panel1, {1, 1, 319, 295}},
      {"Panel2", form->Panel2, client, {321, 0, 320, 297}},
      {"Memo2", form->Memo2, form->Panel2, {1, 1, 318, 295}},
      {"Button_Encode", form->Button_Encode, client, {24, 312, 75, 25}},
      {"Button_Decode", form->Button_Decode, client, {120, 312, 75, 25}},
      {"Button_PasteCB", form->Button_PasteCB, client, {216, 312, 75, 25}},
      {"Button_CopyCB", form->Button_CopyCB, client, {344, 312, 75, 25}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(row.widget->parentWidget(), row.parent);
    EXPECT_EQ(row.widget->geometry(), row.geometry);
  }
  EXPECT_EQ(form->Button_Encode->text(), QStringLiteral("変換"));
  EXPECT_EQ(form->Button_Decode->text(), QStringLiteral("復号"));
  EXPECT_EQ(form->Button_PasteCB->text(), QStringLiteral("ペースト"));
  EXPECT_EQ(form->Button_CopyCB->text(), QStringLiteral("コピー"));
}

TEST_F(LayoutTest, TextAreasStartWithTheirTexts) {
  EXPECT_EQ(form->Memo1->Text(), QStringLiteral("ここに変換対象文字列を入力してください。\r\n"));
  EXPECT_FALSE(form->Memo1->isReadOnly());
  // Japanese is typed through an input method.
  EXPECT_TRUE(form->Memo1->testAttribute(Qt::WA_InputMethodEnabled));
  EXPECT_EQ(form->Memo2->Text(), QString());
  EXPECT_TRUE(form->Memo2->isReadOnly());
  EXPECT_EQ(form->Memo2->palette().color(QPalette::Base), platform::InactiveBorderColour());
  for (const platform::Memo* memo : {form->Memo1, form->Memo2}) {
    EXPECT_EQ(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(memo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_NE(memo->lineWrapMode(), QPlainTextEdit::NoWrap);
    // Drops belong to the window, which converts the file.
    EXPECT_FALSE(memo->acceptDrops());
  }
}

TEST_F(LayoutTest, WindowsUseTheProportionalJapaneseFont) {
  for (QWidget* widget :
       {static_cast<QWidget*>(form->Memo1), static_cast<QWidget*>(form->Memo2),
        static_cast<QWidget*>(form->Button_Encode), static_cast<QWidget*>(Form2->Label4)}) {
    const QFontInfo info(widget->font());
    EXPECT_EQ(info.family(), QStringLiteral("IPAPGothic"));
    EXPECT_EQ(info.pixelSize(), 12);
  }
}

TEST_F(LayoutTest, TabVisitsAreasThenEncodeCopyDecodePaste) {
  ASSERT_TRUE(ShowActive(*form));
  form->Memo1->setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return form->Memo1->hasFocus(); }));
  const QWidget* expected[] = {form->Memo2,         form->Button_Encode,  form->Button_CopyCB,
                               form->Button_Decode, form->Button_PasteCB, form->Memo1};
  for (const QWidget* next : expected) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
  }
}

TEST_F(LayoutTest, OutputAreaTakesNoTypingButItsTextCanBeSelected) {
  ASSERT_TRUE(ShowActive(*form));
  form->Memo2->SetText(QStringLiteral("出力"));
  form->Memo2->setFocus();
  QTest::keyClicks(form->Memo2, QStringLiteral("xyz"));
  QTest::keyClick(form->Memo2, Qt::Key_Backspace);
  EXPECT_EQ(form->Memo2->Text(), QStringLiteral("出力"));
  QTest::keyClick(form->Memo2, Qt::Key_End, Qt::ShiftModifier);
  EXPECT_EQ(form->Memo2->textCursor().selectedText(), QStringLiteral("出力"));
}

TEST_F(LayoutTest, MenuBarHoldsFileMenuAndVersionCommand) {
  const QList<QAction*> bar = form->MainMenu->actions();
  ASSERT_EQ(bar.size(), 2);
  EXPECT_EQ(bar[0], form->F1->menuAction());
  EXPECT_EQ(bar[0]->text(), QStringLiteral("ファイル(&F)"));
  EXPECT_EQ(bar[1], form->MainMenu_Version);
  EXPECT_EQ(bar[1]->text(), QStringLiteral("バージョン(&V)"));
  // Chosen on the menu bar, it runs at once: it has no submenu.
  EXPECT_EQ(bar[1]->menu(), nullptr);

  const QList<QAction*> file = form->F1->actions();
  ASSERT_EQ(file.size(), 3);
  EXPECT_EQ(file[0], form->MainMenu_Open);
  EXPECT_EQ(file[0]->text(), QStringLiteral("開く(&O)"));
  EXPECT_TRUE(file[1]->isSeparator());
  EXPECT_EQ(file[2], form->MainMenu_Exit);
  EXPECT_EQ(file[2]->text(), QStringLiteral("終了(&X)"));
  for (QAction* item : {form->MainMenu_Open, form->MainMenu_Exit, form->MainMenu_Version}) {
    EXPECT_TRUE(item->shortcut().isEmpty());
  }
}

TEST_F(LayoutTest, ExitClosesTheMainWindow) {
  form->show();
  form->MainMenu_Exit->trigger();
  EXPECT_TRUE(form->closed());
  EXPECT_FALSE(form->isVisible());
}

TEST_F(LayoutTest, VersionDialogShowsProductVersionAndMaker) {
  TForm2& dialog = *Form2;
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("バージョン情報"));
  EXPECT_EQ(dialog.pos(), QPoint(197, 209));
  EXPECT_EQ(dialog.size(), QSize(201, 162));
  EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
  EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(dialog.GroupBox1->geometry(), QRect(8, 8, 185, 113));
  EXPECT_EQ(dialog.GroupBox1->title(), QStringLiteral("製品情報"));

  struct Row {
    QLabel* label;
    QPoint at;
    QString text;
  };
  const Row rows[] = {
      {dialog.Label4, {8, 24}, QStringLiteral("製品名：")},
      {dialog.Label6, {16, 40}, QStringLiteral("Zentoba")},
      {dialog.Label1, {104, 24}, QStringLiteral("バージョン：")},
      {dialog.Label7, {112, 40}, QStringLiteral("1.04")},
      {dialog.Label2, {8, 64}, QStringLiteral("製作者：")},
      {dialog.Label8, {16, 80}, QStringLiteral("Tavelle")},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text.toStdString());
    EXPECT_EQ(row.label->parentWidget(), dialog.GroupBox1);
    EXPECT_EQ(row.label->pos(), row.at);
    EXPECT_EQ(row.label->text(), row.text);
    // Sized to its text, nothing cut off.
    EXPECT_GE(row.label->width(), row.label->sizeHint().width());
  }
  EXPECT_EQ(dialog.Button_OK->geometry(), QRect(64, 128, 75, 25));
  EXPECT_EQ(dialog.Button_OK->text(), QStringLiteral("OK"));
  EXPECT_FALSE(dialog.Button_OK->isDefault());
  EXPECT_FALSE(dialog.Button_OK->autoDefault());
}

TEST_F(LayoutTest, VersionDialogTakesFocusOnlyOnItsButtonAndClosesWithIt) {
  TForm2& dialog = *Form2;
  ASSERT_TRUE(ShowActive(dialog));
  EXPECT_EQ(QApplication::focusWidget(), dialog.Button_OK);
  QTest::keyClick(dialog.Button_OK, Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), dialog.Button_OK);
  // Escape is bound to nothing; the button closes it.
  QTest::keyClick(dialog.Button_OK, Qt::Key_Escape);
  EXPECT_TRUE(dialog.isVisible());
  QTest::mouseClick(dialog.Button_OK, Qt::LeftButton);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST_F(LayoutTest, VersionCommandShowsTheSameDialogEachTime) {
  form->MainMenu_Version->trigger();
  form->MainMenu_Version->trigger();
  ASSERT_EQ(dialogs.modal_shows.size(), 2u);
  EXPECT_EQ(dialogs.modal_shows[0], Form2);
  EXPECT_EQ(dialogs.modal_shows[1], Form2);
  EXPECT_TRUE(dialogs.boxes.empty());
}

}  // namespace
}  // namespace zentoba::testing
