#include "zentoba/platform/application.h"

#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "zentoba/platform/dialogs.h"
#include "zentoba/platform/text.h"
#include "zentoba/platform/widgets.h"

namespace zentoba::platform {
namespace {
Application* the_application = nullptr;
}  // namespace

Application::Application(int& argc, char** argv)
    : QApplication(argc, argv), params_(arguments().mid(1)) {
  the_application = this;
}

Application::~Application() { the_application = nullptr; }

Application* Application::Instance() { return the_application; }

void Application::SetIcon(const QIcon& icon) { setWindowIcon(icon); }

QString Application::ExeName() { return applicationFilePath(); }

void Application::Run(Form& main_form) {
  main_form_ = &main_form;
  RunHandler([&main_form] { main_form.FormShow(&main_form); });
  if (!main_form.closed()) {
    main_form.show();
    // The exit code of the loop carries nothing: the program always ends
    // with 0.
    exec();
  }
  main_form_ = nullptr;
}

void Application::ShowException() {
  QString message;
  try {
    // Called only inside a catch block (see the header): this rethrows the
    // exception being handled.
    // cppcheck-suppress rethrowNoCurrentException
    throw;
  } catch (const Exception& e) {
    message = FromCp932(e.what());
  } catch (...) {
    // Anything else is reported without text: its message is no program
    // text and means nothing to the user.
  }
  if (dialogs_ != nullptr) dialogs_->ShowException(title_, ExceptionText(message));
}

bool Application::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    ShowException();
    return false;
  }
}

QString ExceptionText(const QString& message) {
  if (!message.isEmpty() && message.back() > QLatin1Char('.')) return message + QLatin1Char('.');
  return message;
}

void RunHandler(const std::function<void()>& handler) {
  try {
    handler();
  } catch (...) {
    Application* app = Application::Instance();
    if (app == nullptr) throw;
    app->ShowException();
  }
}

void InstallJapanese(QApplication& app) {
  // fontconfig knows no "ＭＳ Ｐゴシック" and would pick a Latin font with
  // fixed-width Japanese glyphs; IPAPGothic has the classic proportional
  // widths.
  const QStringList substitutes = {QStringLiteral("IPAPGothic"),
                                   QStringLiteral("Noto Sans CJK JP")};
  QFont::insertSubstitutions(QStringLiteral("ＭＳ Ｐゴシック"), substitutes);
  QFont::insertSubstitutions(QStringLiteral("MS PGothic"), substitutes);
  app.setFont(WindowFont());

  QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
  auto* translator = new QTranslator(&app);
  if (translator->load(QStringLiteral("qtbase_ja"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(translator);
  } else {
    delete translator;
  }
}

}  // namespace zentoba::platform
