// Runs the window tests inside the program's own application object, on
// Qt's offscreen platform unless another one is asked for.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>

#include "zentoba/platform/application.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
    const QString runtime = QDir::tempPath() + QStringLiteral("/zentoba-gui-tests-runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
  }
  ::testing::InitGoogleTest(&argc, argv);
  zentoba::platform::Application app(argc, argv);
  zentoba::platform::InstallJapanese(app);
  // The tests give the program no command-line parameters of their own.
  app.SetParams({});
  return RUN_ALL_TESTS();
}
