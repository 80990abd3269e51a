#include "Main.h"

#include <unistd.h>

#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <memory>
#include <string_view>

#include "Version.h"
#include "zentoba/codec.h"
#include "zentoba/files.h"
#include "zentoba/messages.h"
#include "zentoba/platform/application.h"
#include "zentoba/platform/icon.h"
#include "zentoba/platform/text.h"
#include "zentoba/settings.h"

using zentoba::platform::Bind;
using zentoba::platform::BoxReporter;
using zentoba::platform::FromCp932;
using zentoba::platform::ToCp932;
using zentoba::platform::ToPath;

TForm1* Form1 = nullptr;

namespace {

QPushButton* MakeButton(QWidget* parent, const QString& caption, int left) {
  auto* button = new QPushButton(caption, parent);
  button->setGeometry(left, 312, 75, 25);
  button->setAutoDefault(false);
  return button;
}

// Whether a text begins, after blanks, with the marker of encoded texts.
bool LooksEncoded(const QString& text) {
  for (const QChar c : text) {
    if (c.unicode() <= 0x20) continue;
    return c.unicode() == 0xFF9D;  // ﾝ, CP932 0xDD
  }
  return false;
}

// One file conversion with its progress display, which goes away before
// any box comes up, the conversion's own failure reports included.
class Conversion : public zentoba::Reporter {
 public:
  Conversion(zentoba::platform::Dialogs& dialogs, const QString& label)
      : dialogs_(dialogs), progress_(dialogs.BeginProgress(label)) {
    options_.progress = [this](uint64_t done, uint64_t total) {
      return progress_ == nullptr || progress_->Update(done, total);
    };
  }
  const zentoba::FileOptions& options() const { return options_; }

  void Error(std::string_view text) override {
    progress_.reset();
    dialogs_.Error(FromCp932(text));
  }
  void Information(std::string_view text) override {
    progress_.reset();
    dialogs_.Information(FromCp932(text));
  }

 private:
  zentoba::platform::Dialogs& dialogs_;
  std::unique_ptr<zentoba::platform::Progress> progress_;
  zentoba::FileOptions options_;
};

// Closes a file descriptor on every path out of a scope.
class FdCloser {
 public:
  explicit FdCloser(int fd) : fd_(fd) {}
  ~FdCloser() { ::close(fd_); }
  FdCloser(const FdCloser&) = delete;
  FdCloser& operator=(const FdCloser&) = delete;

 private:
  int fd_;
};

}  // namespace

TForm1::TForm1(zentoba::platform::Dialogs& dialogs, const std::filesystem::path& settings,
               QWidget* parent)
    : Form(parent), dialogs_(dialogs), settings_(settings) {
  Form1 = this;
  setWindowTitle(QStringLiteral("Zentoba"));
  setWindowIcon(zentoba::platform::ProgramIcon());
  dialogs_.SetOwner(this);

  auto* client = new QWidget(this);
  setCentralWidget(client);

  Panel1 = new zentoba::platform::Panel(client);
  Panel1->setGeometry(0, 0, 321, 297);
  Memo1 = new zentoba::platform::Memo(Panel1);
  Memo1->setGeometry(1, 1, 319, 295);
  Memo1->SetText(QStringLiteral("ここに変換対象文字列を入力してください。\r\n"));

  Panel2 = new zentoba::platform::Panel(client);
  Panel2->setGeometry(321, 0, 320, 297);
  Memo2 = new zentoba::platform::Memo(Panel2);
  Memo2->setGeometry(1, 1, 318, 295);
  Memo2->setReadOnly(true);
  // Read-only, but its text can still be selected and copied by keyboard.
  Memo2->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  Memo2->setFocusPolicy(Qt::StrongFocus);
  QPalette output = Memo2->palette();
  output.setColor(QPalette::Base, zentoba::platform::InactiveBorderColour());
  Memo2->setPalette(output);

  Button_Encode = MakeButton(client, QStringLiteral("変換"), 24);
  Button_Decode = MakeButton(client, QStringLiteral("復号"), 120);
  Button_PasteCB = MakeButton(client, QStringLiteral("ペースト"), 216);
  Button_CopyCB = MakeButton(client, QStringLiteral("コピー"), 344);
  // The tab order puts the result's copy button right after the encoder.
  setTabOrder(Memo1, Memo2);
  setTabOrder(Memo2, Button_Encode);
  setTabOrder(Button_Encode, Button_CopyCB);
  setTabOrder(Button_CopyCB, Button_Decode);
  setTabOrder(Button_Decode, Button_PasteCB);

  ActionList = new QObject(this);
  EditSelectAll = new zentoba::platform::SelectAllAction(ActionList);
  EditSelectAll->setText(QStringLiteral("すべてを選択(&A)"));
  addAction(EditSelectAll);

  SaveDialog =
      new zentoba::platform::FileDialog(zentoba::platform::FileDialog::Kind::kSave, dialogs_, this);
  OpenDialog =
      new zentoba::platform::FileDialog(zentoba::platform::FileDialog::Kind::kOpen, dialogs_, this);

  MainMenu = menuBar();
  F1 = MainMenu->addMenu(QStringLiteral("ファイル(&F)"));
  MainMenu_Open = F1->addAction(QStringLiteral("開く(&O)"));
  MainMenu_N1 = F1->addSeparator();
  MainMenu_Exit = F1->addAction(QStringLiteral("終了(&X)"));
  // A command on the menu bar itself, with no submenu.
  MainMenu_Version = MainMenu->addAction(QStringLiteral("バージョン(&V)"));

  Bind(Button_Encode, &QPushButton::clicked, this, [this] { Button_EncodeClick(Button_Encode); });
  Bind(Button_Decode, &QPushButton::clicked, this, [this] { Button_DecodeClick(Button_Decode); });
  Bind(EditSelectAll, &zentoba::platform::SelectAllAction::Execute, this,
       [this] { EditSelectAllExecute(EditSelectAll); });
  Bind(Button_CopyCB, &QPushButton::clicked, this, [this] { Button_CopyCBClick(Button_CopyCB); });
  Bind(MainMenu_Exit, &QAction::triggered, this, [this] { MainMenu_ExitClick(MainMenu_Exit); });
  Bind(MainMenu_Open, &QAction::triggered, this, [this] { MainMenu_OpenClick(MainMenu_Open); });
  Bind(MainMenu_Version, &QAction::triggered, this,
       [this] { MainMenu_VersionClick(MainMenu_Version); });
  Bind(Button_PasteCB, &QPushButton::clicked, this,
       [this] { Button_PasteCBClick(Button_PasteCB); });

  SetFixedClientSize(641, 351);
  move(194, 239);

  if (auto* app = zentoba::platform::Application::Instance()) {
    app->SetTitle(windowTitle());
    app->SetIcon(windowIcon());
  }
  LoadSettings();
}

TForm1::~TForm1() {
  dialogs_.SetOwner(nullptr);
  if (Form1 == this) Form1 = nullptr;
}

void TForm1::LoadSettings() {
  BoxReporter reporter(dialogs_);
  zentoba::LoadSettings(settings_, reporter);
}

void TForm1::Button_EncodeClick(QObject* /*Sender*/) {
  BoxReporter reporter(dialogs_);
  const std::optional<std::string> input = ToCp932(Memo1->Text());
  if (!input) {
    reporter.Error(zentoba::kMsgNotCp932);
    return;
  }
  Memo2->SetText(FromCp932(zentoba::EncodeText(*input, reporter)));
}

void TForm1::Button_DecodeClick(QObject* /*Sender*/) {
  BoxReporter reporter(dialogs_);
  const QString text = Memo1->Text();
  Memo2->SetText(QString());
  const std::optional<std::string> input = ToCp932(text);
  if (!input) {
    // A character that no symbol table holds: the text cannot be an encoded
    // one. Say why only when it claims to be.
    if (LooksEncoded(text)) reporter.Error(zentoba::kMsgNotCp932);
    return;
  }
  Memo2->SetText(FromCp932(zentoba::DecodeText(*input, reporter)));
}

void TForm1::EditSelectAllExecute(QObject* /*Sender*/) {
  Memo1->SelectAll();
  Memo2->SelectAll();
}

void TForm1::Button_CopyCBClick(QObject* /*Sender*/) {
  // The clipboard of this desktop ends lines with LF alone.
  dialogs_.SetClipboardText(Memo2->toPlainText());
}

void TForm1::Button_PasteCBClick(QObject* /*Sender*/) {
  if (!dialogs_.ClipboardHasText()) return;
  Memo1->SetText(dialogs_.ClipboardText());
}

void TForm1::MainMenu_ExitClick(QObject* /*Sender*/) { Close(); }

void TForm1::MainMenu_OpenClick(QObject* /*Sender*/) {
  if (OpenDialog->Execute()) ProcessFile(OpenDialog->FileName());
}

void TForm1::MainMenu_VersionClick(QObject* /*Sender*/) {
  if (Form2 != nullptr) dialogs_.ShowModal(*Form2);
}

void TForm1::FormShow(QObject* /*Sender*/) {
  const auto* app = zentoba::platform::Application::Instance();
  const QStringList params = app != nullptr ? app->Params() : QStringList();
  if (params.isEmpty()) return;
  ProcessFile(params.front());
  Close();
}

void TForm1::WMDropFiles(const QString& path) { ProcessFile(path); }

void TForm1::ProcessFile(const QString& path) {
  BoxReporter reporter(dialogs_);
  const int fd = zentoba::OpenSource(ToPath(path));
  if (fd < 0) {
    reporter.Error(zentoba::kMsgCannotOpen);
    return;
  }
  FdCloser closer(fd);

  char first[4];
  const ssize_t got = ::pread(fd, first, sizeof first, 0);
  if (got < 0 || zentoba::GetFileLength(fd) < 0) {
    reporter.Error(zentoba::kMsgCannotRead);
    return;
  }
  const zentoba::EncodedHeader header =
      zentoba::ReadEncodedHeader(std::string_view(first, static_cast<size_t>(got)));
  if (header.encoded) {
    DecodeSource(fd, path, header.header_length, header.version);
  } else {
    EncodeSource(fd, path);
  }
}

void TForm1::EncodeSource(int fd, const QString& path) {
  SaveDialog->SetInitialDir(QFileInfo(path).absolutePath());
  if (!dialogs_.Confirm(FromCp932(zentoba::kMsgAskEncode))) return;
  if (!SaveDialog->Execute()) return;

  zentoba::OutputTarget target;
  target.path = ToPath(SaveDialog->FileName());
  target.replace_existing = true;
  // The version dialog's label is the one source of the version byte.
  const std::string version = ToCp932(Form2->Label7->text()).value_or(std::string());

  Conversion conversion(dialogs_, QStringLiteral("ファイルを変換しています..."));
  const zentoba::FileResult result =
      zentoba::EncodeFile(fd, ToPath(path), target, version, conversion, conversion.options());
  if (result == zentoba::FileResult::kOk) conversion.Information(zentoba::kMsgEncoded);
}

void TForm1::DecodeSource(int fd, const QString& path, int header_length,
                          std::optional<int> version) {
  if (!dialogs_.Confirm(FromCp932(zentoba::kMsgAskDecode))) return;

  // The restored file goes beside the encoded one, whatever the current
  // directory is.
  zentoba::OutputTarget target;
  target.folder = ToPath(QFileInfo(path).absolutePath());

  Conversion conversion(dialogs_, QStringLiteral("ファイルを復号しています..."));
  switch (zentoba::DecodeFile(fd, header_length, target, conversion, conversion.options())) {
    case zentoba::FileResult::kOk:
      conversion.Information(zentoba::kMsgDecoded);
      break;
    case zentoba::FileResult::kFailed:
      // Tell which version wrote the file that this one could not read.
      conversion.Error(
          std::string(zentoba::kMsgVersionPrefix) +
          (version ? zentoba::VersionText(*version) : std::string(zentoba::kMsgUnknownVersion)));
      break;
    case zentoba::FileResult::kCancelled:
      break;
  }
}

namespace zentoba {

int RunProgram(platform::Application& app, platform::Dialogs& dialogs,
               const std::filesystem::path& settings) {
  try {
    auto form1 = std::make_unique<TForm1>(dialogs, settings);
    // Owned by the main window, so it closes and goes with it.
    Form2 = new TForm2(form1.get());
    app.Run(*form1);
    Form2 = nullptr;
  } catch (...) {
    // A window whose construction failed is no window: clear its reference.
    Form1 = nullptr;
    Form2 = nullptr;
    app.ShowException();
  }
  return 0;
}

}  // namespace zentoba
