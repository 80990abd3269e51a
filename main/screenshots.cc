// Writes pictures of the windows into a folder, for a look at the layout
// without a desktop: the main window empty and after encoding a Japanese
// text, the version dialog, a confirmation box and the save dialog.
//
// Usage: zentoba_screenshots FOLDER   (run with QT_QPA_PLATFORM=offscreen)
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

#include "Main.h"
#include "Version.h"
#include "zentoba/messages.h"
#include "zentoba/platform/application.h"
#include "zentoba/platform/dialogs.h"
#include "zentoba/platform/text.h"

namespace {

bool Save(QWidget& window, const QDir& folder, const QString& name) {
  const QString path = folder.filePath(name);
  if (!window.grab().save(path)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

// Pictures the next modal window once it has been laid out, then closes it.
void SaveNextModal(const QDir& folder, const QString& name, bool& ok) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, folder, name, &ok] {
    auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (modal == nullptr) return;
    timer->stop();
    timer->deleteLater();
    QTimer::singleShot(200, modal, [modal, folder, name, &ok] {
      ok = Save(*modal, folder, name) && ok;
      modal->reject();
    });
  });
  timer->start(20);
}

}  // namespace

int main(int argc, char** argv) {
  zentoba::platform::Application app(argc, argv);
  zentoba::platform::InstallJapanese(app);
  if (app.Params().size() != 1) {
    std::fprintf(stderr, "usage: zentoba_screenshots FOLDER\n");
    return 2;
  }
  const QDir folder(app.Params().front());
  // No box is expected; one would be an error box, and the real one shows
  // it in the picture of the window it belongs to.
  zentoba::platform::QtDialogs dialogs;
  app.SetDialogs(&dialogs);
  TForm1 form1(dialogs, folder.filePath(QStringLiteral("no-settings.ini")).toStdString());
  auto* form2 = new TForm2(&form1);
  Form2 = form2;
  form1.show();
  QCoreApplication::processEvents();

  bool ok = Save(form1, folder, QStringLiteral("main-empty.png"));
  form1.Memo1->SetText(
      QStringLiteral("吾輩は猫である。名前はまだ無い。\r\nどこで生れたかとんと見当がつかぬ。\r\n"
                     "何でも薄暗いじめじめした所でニャーニャー泣いていた事だけは記憶している。"));
  form1.Button_Encode->click();
  QCoreApplication::processEvents();
  ok = Save(form1, folder, QStringLiteral("main-encoded.png")) && ok;

  form2->show();
  QCoreApplication::processEvents();
  ok = Save(*form2, folder, QStringLiteral("version.png")) && ok;
  form2->hide();

  SaveNextModal(folder, QStringLiteral("confirm.png"), ok);
  dialogs.Confirm(zentoba::platform::FromCp932(zentoba::kMsgAskEncode));
  SaveNextModal(folder, QStringLiteral("save-dialog.png"), ok);
  form1.SaveDialog->SetInitialDir(folder.absolutePath());
  form1.SaveDialog->Execute();
  Form2 = nullptr;
  return ok ? 0 : 1;
}
