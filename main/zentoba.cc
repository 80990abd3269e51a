// The program entry of the desktop program.
#include "Main.h"
#include "zentoba/platform/application.h"
#include "zentoba/platform/dialogs.h"
#include "zentoba/settings.h"

int main(int argc, char** argv) {
  zentoba::platform::Application app(argc, argv);
  zentoba::platform::InstallJapanese(app);
  QGuiApplication::setDesktopFileName(QStringLiteral("zentoba"));
  zentoba::platform::QtDialogs dialogs;
  app.SetDialogs(&dialogs);
  return zentoba::RunProgram(app, dialogs, zentoba::SettingsPathBesideExecutable());
}
