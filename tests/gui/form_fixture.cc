#include "form_fixture.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include "zentoba/codec.h"
#include "zentoba/platform/application.h"

namespace zentoba::testing {

platform::Application& FormTest::App() { return *platform::Application::Instance(); }

void FormTest::SetUp() {
  ASSERT_TRUE(dir.isValid());
  App().SetDialogs(&dialogs);
  App().SetParams({});
}

void FormTest::MakeForm(const QString& settings_name) {
  form = std::make_unique<TForm1>(dialogs, Path(settings_name).toStdString());
  Form2 = new TForm2(form.get());
}

void FormTest::TearDown() {
  Form2 = nullptr;
  form.reset();
  SetActiveTable(SymbolTable());
  App().SetDialogs(nullptr);
  App().SetParams({});
}

void FormTest::WriteFile(const QString& name, std::string_view bytes) const {
  QFile file(Path(name));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  ASSERT_EQ(file.write(bytes.data(), static_cast<qint64>(bytes.size())),
            static_cast<qint64>(bytes.size()));
}

std::string FormTest::ReadFile(const QString& name) const {
  QFile file(Path(name));
  if (!file.open(QIODevice::ReadOnly)) return "<missing>";
  return file.readAll().toStdString();
}

bool FormTest::Exists(const QString& name) const { return QFileInfo::exists(Path(name)); }

bool ShowActive(QWidget& window) {
  window.show();
  window.activateWindow();
  return QTest::qWaitFor([&] { return QApplication::activeWindow() == &window; }, 5000);
}

}  // namespace zentoba::testing
