#include "Version.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include "zentoba/platform/application.h"
#include "zentoba/platform/icon.h"
#include "zentoba/platform/widgets.h"
#include "zentoba/version_text.h"

TForm2* Form2 = nullptr;

namespace {

// Labels size themselves to their text; only their top-left corner is fixed.
QLabel* MakeLabel(QWidget* parent, const QString& text, int left, int top) {
  auto* label = new QLabel(text, parent);
  label->move(left, top);
  label->resize(label->sizeHint());
  return label;
}

}  // namespace

TForm2::TForm2(QWidget* owner) : QDialog(owner) {
  setWindowTitle(QStringLiteral("バージョン情報"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setFont(zentoba::platform::WindowFont());
  setWindowIcon(zentoba::platform::ProgramIcon());
  setFixedSize(201, 162);
  // Opens where it was placed, not centred on the main window.
  move(197, 209);

  GroupBox1 = new QGroupBox(QStringLiteral("製品情報"), this);
  GroupBox1->setGeometry(8, 8, 185, 113);
  GroupBox1->setFocusPolicy(Qt::NoFocus);
  Label4 = MakeLabel(GroupBox1, QStringLiteral("製品名："), 8, 24);
  Label6 = MakeLabel(GroupBox1, QStringLiteral("Zentoba"), 16, 40);
  Label1 = MakeLabel(GroupBox1, QStringLiteral("バージョン："), 104, 24);
  Label7 = MakeLabel(GroupBox1, QString::fromLatin1(zentoba::kVersionText), 112, 40);
  Label2 = MakeLabel(GroupBox1, QStringLiteral("製作者："), 8, 64);
  Label8 = MakeLabel(GroupBox1, QStringLiteral("Tavelle"), 16, 80);

  Button_OK = new QPushButton(QStringLiteral("OK"), this);
  Button_OK->setGeometry(64, 128, 75, 25);
  // Neither Enter nor Escape is bound to it: it is no default button.
  Button_OK->setAutoDefault(false);
  Button_OK->setDefault(false);
  Button_OK->setFocus();
  zentoba::platform::Bind(Button_OK, &QPushButton::clicked, this,
                          [this] { Button_OKClick(Button_OK); });
}

TForm2::~TForm2() {
  if (Form2 == this) Form2 = nullptr;
}

void TForm2::Button_OKClick(QObject* /*Sender*/) { close(); }

void TForm2::keyPressEvent(QKeyEvent* event) {
  // The dialog has no cancel button, so Escape does nothing.
  if (event->key() == Qt::Key_Escape) return;
  QDialog::keyPressEvent(event);
}
