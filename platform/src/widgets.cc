#include "zentoba/platform/widgets.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFont>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include "zentoba/platform/application.h"
#include "zentoba/platform/text.h"

namespace zentoba::platform {

QFont WindowFont() {
  QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
  // The classic font height -12 is a character height in pixels.
  font.setPixelSize(12);
  return font;
}

// COLOR_INACTIVEBORDER of the classic Windows scheme.
QColor InactiveBorderColour() { return QColor(0xD4, 0xD0, 0xC8); }

namespace {

// The first local file of a drop, or an empty string.
QString FirstDroppedFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return {};
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) return url.toLocalFile();
  }
  return {};
}

}  // namespace

Form::Form(QWidget* parent) : QMainWindow(parent) {
  setAcceptDrops(true);
  setFont(WindowFont());
}

void Form::FormShow(QObject* /*sender*/) {}

void Form::WMDropFiles(const QString& /*path*/) {}

void Form::Close() {
  closed_ = true;
  close();
}

void Form::SetFixedClientSize(int width, int height) {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  const int menu = menuWidget() != nullptr ? menuWidget()->sizeHint().height() : 0;
  setFixedSize(width, height + menu);
}

void Form::closeEvent(QCloseEvent* event) {
  closed_ = true;
  QMainWindow::closeEvent(event);
  // Closing the main window ends the run, whatever other windows exist.
  Application* app = Application::Instance();
  if (app != nullptr && app->MainForm() == this) QCoreApplication::quit();
}

void Form::dragEnterEvent(QDragEnterEvent* event) {
  if (!FirstDroppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void Form::dropEvent(QDropEvent* event) {
  const QString path = FirstDroppedFile(event->mimeData());
  if (path.isEmpty()) return;
  event->acceptProposedAction();
  // The drop ends when this returns; the file is converted afterwards, so
  // that no box holds the program the files came from.
  QTimer::singleShot(0, this, [this, path] { RunHandler([this, &path] { WMDropFiles(path); }); });
}

Panel::Panel(QWidget* parent) : QFrame(parent) {
  setFrameStyle(QFrame::Panel | QFrame::Raised);
  setLineWidth(1);
  setAutoFillBackground(true);
}

Memo::Memo(QWidget* parent) : QPlainTextEdit(parent) {
  setAcceptDrops(false);
  setTabChangesFocus(true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

QString Memo::Text() const { return LfToCrLf(toPlainText()); }

void Memo::SetText(const QString& text) { setPlainText(text); }

void Memo::SelectAll() { selectAll(); }

bool Memo::event(QEvent* event) {
  // A text area claims Ctrl+A for itself; the window's select-all action
  // must see it instead.
  if (event->type() == QEvent::ShortcutOverride &&
      static_cast<QKeyEvent*>(event)->matches(QKeySequence::SelectAll)) {
    event->ignore();
    return false;
  }
  return QPlainTextEdit::event(event);
}

SelectAllAction::SelectAllAction(QObject* parent) : QAction(parent) {
  setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
  setShortcutContext(Qt::WindowShortcut);
  connect(this, &QAction::triggered, this, &SelectAllAction::Triggered);
}

void SelectAllAction::Triggered() {
  if (const auto* memo = dynamic_cast<const Memo*>(QApplication::focusWidget())) {
    enabled_state_ = !memo->Empty();
  }
  if (enabled_state_) emit Execute();
}

}  // namespace zentoba::platform
