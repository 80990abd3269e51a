// Windows and controls with the behaviour the program's windows rely on.
#pragma once

#include <QAction>
#include <QFrame>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QString>

class QDragEnterEvent;
class QDropEvent;
class QKeyEvent;

namespace zentoba::platform {

// The font of the program's windows: "ＭＳ Ｐゴシック", 12 pixels high.
QFont WindowFont();

// The grey of an inactive window border, the background of read-only output.
QColor InactiveBorderColour();

// A top-level window of fixed size, laid out by position. Files dropped on
// it reach WMDropFiles, first file only, after the drop itself has ended.
class Form : public QMainWindow {
 public:
  explicit Form(QWidget* parent = nullptr);

  // Run by Application::Run before the window reaches the screen.
  virtual void FormShow(QObject* sender);
  // Closes the window; for the main window this ends the run.
  void Close();
  bool closed() const { return closed_; }

  // Gives the window a client area (below the menu bar) of this size, and
  // keeps it from being resized or maximised.
  void SetFixedClientSize(int width, int height);

 protected:
  // Receives the first path of a drop.
  virtual void WMDropFiles(const QString& path);

  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  bool closed_ = false;
};

// A bevelled panel, as the classic raised panel that holds a text area.
class Panel : public QFrame {
 public:
  explicit Panel(QWidget* parent);
};

// A multi-line text area. Its text, as the program reads and sets it, joins
// lines with CR LF. It leaves Ctrl+A to the window's select-all action,
// takes no drops (they belong to the window), and Tab moves the focus.
class Memo : public QPlainTextEdit {
 public:
  explicit Memo(QWidget* parent);

  QString Text() const;
  void SetText(const QString& text);
  void SelectAll();
  bool Empty() const { return document()->isEmpty(); }

 protected:
  bool event(QEvent* event) override;
};

// The standard select-all action, shortcut Ctrl+A, on its window. Before it
// runs it refreshes its state: when a text area has the focus it is enabled
// only if that area holds text; otherwise the state of the last refresh
// stands. Enabled, it emits Execute.
class SelectAllAction : public QAction {
  Q_OBJECT
 public:
  explicit SelectAllAction(QObject* parent);
  bool enabled_state() const { return enabled_state_; }

 signals:
  void Execute();

 private:
  void Triggered();
  bool enabled_state_ = true;
};

}  // namespace zentoba::platform
