// Start-up: the settings file read while the main window is built, and the
// report of exceptions that escape a handler.
#include <QEvent>
#include <QObject>

#include "form_fixture.h"
#include "zentoba/codec.h"
#include "zentoba/messages.h"
#include "zentoba/platform/application.h"
#include "zentoba/platform/text.h"

namespace zentoba::testing {
namespace {

std::string DefaultSymbols() {
  const SymbolTable table;
  return std::string(reinterpret_cast<const char*>(table.symbols()), SymbolTable::kSize);
}

class StartupTest : public FormTest {};

TEST_F(StartupTest, SettingsFileIsReadWhileTheMainWindowIsBuilt) {
  std::string swapped = DefaultSymbols();
  std::swap(swapped[0], swapped[1]);
  struct Case {
    const char* name;
    std::string file;  // nothing written when empty
    bool refused;
    std::string table;
  };
  const Case cases[] = {
      {"no file", "", false, DefaultSymbols()},
      {"short value", "[APP]\r\nTable=" + DefaultSymbols().substr(0, 127) + "\r\n", false,
       DefaultSymbols()},
      {"replacement", "[APP]\r\nTable=" + swapped + "\r\n", false, swapped},
      // Every value read back as position 0: data would change silently.
      {"refused", "[APP]\r\nTable=" + std::string(128, 'A') + "\r\n", true, DefaultSymbols()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dialogs.boxes.clear();
    const QString name = QString::fromLatin1(c.name).replace(u' ', u'-') + QStringLiteral(".ini");
    if (!c.file.empty()) WriteFile(name, c.file);
    MakeForm(name);
    if (c.refused) {
      // One error box, the message first; what is wrong may follow it.
      ASSERT_EQ(dialogs.boxes.size(), 1u);
      EXPECT_EQ(dialogs.boxes[0].kind, Box::Kind::kError);
      EXPECT_TRUE(dialogs.boxes[0].text.startsWith(platform::FromCp932(kMsgBadTable)));
    } else {
      EXPECT_TRUE(dialogs.boxes.empty());
    }
    EXPECT_EQ(
        std::string(reinterpret_cast<const char*>(ActiveTable().symbols()), SymbolTable::kSize),
        c.table);
    Form2 = nullptr;
    form.reset();
    SetActiveTable(SymbolTable());
  }
}

TEST(ExceptionReportTest, TextGainsAFullStopAfterCharactersThatSortAfterIt) {
  const struct {
    QString message;
    QString shown;
  } cases[] = {
      {QString(), QString()},
      {QStringLiteral("abc"), QStringLiteral("abc.")},
      {QStringLiteral("abc."), QStringLiteral("abc.")},
      {QStringLiteral("できません"), QStringLiteral("できません.")},
      {QStringLiteral("stop!"), QStringLiteral("stop!")},
      {QStringLiteral("(1+2)"), QStringLiteral("(1+2)")},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::ExceptionText(c.message), c.shown);
}

class ThrowingObject : public QObject {
 public:
  bool event(QEvent* event) override {
    if (event->type() == QEvent::User) throw platform::Exception(kMsgClipboard);
    if (event->type() == QEvent::User + 1) throw std::runtime_error("internal detail");
    return QObject::event(event);
  }
};

TEST_F(StartupTest, ExceptionThatEscapesAHandlerIsReportedAndTheProgramGoesOn) {
  App().SetTitle(QStringLiteral("Zentoba"));
  platform::RunHandler([] { throw platform::Exception(kMsgCannotOpen); });
  // Another exception's own text means nothing to the user: none is shown.
  platform::RunHandler([] { throw std::bad_alloc(); });
  ThrowingObject object;
  QEvent first(QEvent::User);
  QCoreApplication::sendEvent(&object, &first);
  QEvent second(static_cast<QEvent::Type>(QEvent::User + 1));
  QCoreApplication::sendEvent(&object, &second);

  const QString caption = QStringLiteral("Zentoba");
  EXPECT_EQ(
      dialogs.boxes,
      (std::vector<Box>{
          {Box::Kind::kException, caption,
           QStringLiteral("ファイルを開くことができませんでした。.")},
          {Box::Kind::kException, caption, QString()},
          {Box::Kind::kException, caption, QStringLiteral("クリップボードを開くことができません.")},
          {Box::Kind::kException, caption, QString()},
      }));
}

}  // namespace
}  // namespace zentoba::testing
