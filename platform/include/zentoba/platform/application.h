// The application object: title, icon, command-line parameters, the report
// of exceptions that escape a handler, and the run of the main window.
#pragma once

#include <QApplication>
#include <QIcon>
#include <QString>
#include <QStringList>
#include <exception>
#include <functional>
#include <stdexcept>
#include <string>

namespace zentoba::platform {

class Dialogs;
class Form;

// The program's own exception: its message is program text (CP932). What a
// handler throws ends in the application's error box, and the program goes
// on.
class Exception : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Application : public QApplication {
 public:
  Application(int& argc, char** argv);
  ~Application() override;

  // The one instance, or nullptr while none exists.
  static Application* Instance();

  // Where exception reports go. Must be set before Run.
  void SetDialogs(Dialogs* dialogs) { dialogs_ = dialogs; }
  Dialogs* dialogs() const { return dialogs_; }

  QString Title() const { return title_; }
  void SetTitle(const QString& title) { title_ = title; }
  void SetIcon(const QIcon& icon);
  // Full path of the running executable.
  static QString ExeName();

  // The command-line parameters after the program's own name (Qt's own
  // options such as -platform removed).
  QStringList Params() const { return params_; }
  void SetParams(const QStringList& params) { params_ = params; }

  // Makes `main_form` visible, running its FormShow first, then runs the
  // event loop until the main form closes. When FormShow already closed the
  // form, the form never reaches the screen and no loop runs.
  void Run(Form& main_form);
  // The form that Run is running, or nullptr.
  Form* MainForm() const { return main_form_; }

  // Reports the exception being handled (call inside a catch block) in an
  // error box captioned with the title. Exceptions that are no Exception
  // show an empty text.
  void ShowException();

  // Catches what escapes an event handler, reports it and carries on.
  bool notify(QObject* receiver, QEvent* event) override;

 private:
  Dialogs* dialogs_ = nullptr;
  Form* main_form_ = nullptr;
  QString title_;
  QStringList params_;
};

// The error box text of an exception message: a "." is added when the
// message ends in a character that sorts after ".".
QString ExceptionText(const QString& message);

// Runs a handler; an exception that escapes it is reported by the
// application and goes no further.
void RunHandler(const std::function<void()>& handler);

// Bind(button, &QPushButton::clicked, this, [this] { Button_EncodeClick(button); })
template <typename Sender, typename Signal, typename Fn>
QMetaObject::Connection Bind(Sender* sender, Signal signal, QObject* context, Fn fn) {
  return QObject::connect(sender, signal, context, [fn] { RunHandler(fn); });
}

// Chooses the Japanese fonts and Qt's own Japanese texts. Call once, right
// after the application object exists and before any window.
void InstallJapanese(QApplication& app);

}  // namespace zentoba::platform
