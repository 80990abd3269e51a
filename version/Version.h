// The version dialog: product name, version and maker. Its version label is
// also where encoded files get their version byte from.
#pragma once

#include <QDialog>

class QGroupBox;
class QLabel;
class QPushButton;

class TForm2 : public QDialog {
 public:
  explicit TForm2(QWidget* owner);
  ~TForm2() override;

  QGroupBox* GroupBox1;
  QLabel* Label4;
  QLabel* Label6;
  QLabel* Label1;
  QLabel* Label7;
  QLabel* Label2;
  QLabel* Label8;
  QPushButton* Button_OK;

  void Button_OKClick(QObject* Sender);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

// The one version dialog, from start-up to the end of the run.
extern TForm2* Form2;
