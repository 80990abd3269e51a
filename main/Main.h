// The main window: input and output text areas, the conversion and clipboard
// buttons, the File and Version menus, Ctrl+A, dropped files, and the file
// conversion driver that drops, File > Open and the command line share.
#pragma once

#include <QString>
#include <filesystem>
#include <optional>

#include "zentoba/platform/application.h"
#include "zentoba/platform/dialogs.h"
#include "zentoba/platform/widgets.h"

class QAction;
class QMenu;
class QMenuBar;
class QPushButton;

class TForm1 : public zentoba::platform::Form {
 public:
  // `settings` is the settings file read during construction.
  TForm1(zentoba::platform::Dialogs& dialogs, const std::filesystem::path& settings,
         QWidget* parent = nullptr);
  ~TForm1() override;

  zentoba::platform::Panel* Panel1;
  zentoba::platform::Memo* Memo1;
  zentoba::platform::Panel* Panel2;
  zentoba::platform::Memo* Memo2;
  QPushButton* Button_Encode;
  QPushButton* Button_CopyCB;
  QPushButton* Button_Decode;
  QObject* ActionList;
  zentoba::platform::SelectAllAction* EditSelectAll;
  zentoba::platform::FileDialog* SaveDialog;
  QMenuBar* MainMenu;
  QMenu* F1;
  QAction* MainMenu_Exit;
  QAction* MainMenu_N1;
  QAction* MainMenu_Open;
  zentoba::platform::FileDialog* OpenDialog;
  QAction* MainMenu_Version;
  QPushButton* Button_PasteCB;

  void Button_EncodeClick(QObject* Sender);
  void Button_DecodeClick(QObject* Sender);
  void EditSelectAllExecute(QObject* Sender);
  void Button_CopyCBClick(QObject* Sender);
  void MainMenu_ExitClick(QObject* Sender);
  void MainMenu_OpenClick(QObject* Sender);
  void MainMenu_VersionClick(QObject* Sender);
  void Button_PasteCBClick(QObject* Sender);
  void FormShow(QObject* Sender) override;

  // Converts one file: encodes it into a new encoded file, or restores the
  // file an encoded file holds, after the user's confirmation.
  void ProcessFile(const QString& path);
  void LoadSettings();

 protected:
  void WMDropFiles(const QString& path) override;

 private:
  void EncodeSource(int fd, const QString& path);
  void DecodeSource(int fd, const QString& path, int header_length, std::optional<int> version);

  zentoba::platform::Dialogs& dialogs_;
  std::filesystem::path settings_;
};

// The main window, from start-up to the end of the run.
extern TForm1* Form1;

namespace zentoba {
// Start-up: creates the main window and the version dialog, runs the main
// window until it closes, and gives the exit code, which is always 0. An
// exception that escapes start-up is reported and ends the run.
int RunProgram(platform::Application& app, platform::Dialogs& dialogs,
               const std::filesystem::path& settings);
}  // namespace zentoba
