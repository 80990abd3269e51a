// A main window with its version dialog, driven by scripted dialogs, and a
// scratch folder for files.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <string_view>

#include "Main.h"
#include "Version.h"
#include "scripted_dialogs.h"

namespace zentoba::testing {

class FormTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Builds the window; a test that needs a settings file writes it first.
  void MakeForm(const QString& settings_name = QStringLiteral("no-settings.ini"));

  QString Path(const QString& name) const { return dir.filePath(name); }
  void WriteFile(const QString& name, std::string_view bytes) const;
  std::string ReadFile(const QString& name) const;
  bool Exists(const QString& name) const;

  static platform::Application& App();

  QTemporaryDir dir;
  ScriptedDialogs dialogs;
  std::unique_ptr<TForm1> form;
};

// Shows a window and waits until it is the active one, as keyboard
// shortcuts need.
bool ShowActive(QWidget& window);

}  // namespace zentoba::testing
