#include "ui/TranslationWnd.h"

#include <QFile>
#include <QFileDialog>
#include <QFocusEvent>
#include <QPointer>
#include <QSaveFile>
#include <QStringDecoder>
#include <QTextCursor>
#include <QTextDocumentFragment>
#include <exception>

#include "platform/qt/QtText.h"
#include "text/LanguageText.h"
#include "translate/FailureMessages.h"
#include "translate/LanguagePairs.h"
#include "ui/WindowHost.h"
#include "ui/WindowSupport.h"
#include "ui_TranslationWnd.h"

namespace parlumo {

namespace {

// Text keys of the window.
constexpr int kCaptionKey = 100;
constexpr int kSourcePlaceholderKey = 104;
constexpr int kDestinationPlaceholderKey = 107;
constexpr int kOpenTitleKey = 111;
constexpr int kFilterKey = 112;
constexpr int kSaveTitleKey = 113;
// The window's help topic 700 and the design size of its client area.
const TSecondaryWnd::Frame kFrame{&TWindowHost::TranslationWndClosed, 700, QSize(455, 403)};

// A file's bytes as text: UTF-8, the program's encoding; a file that is not valid
// UTF-8 was written in the Western Windows code page (or Latin-1), byte for byte.
QString DecodeFileText(const QByteArray& bytes) {
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = utf8.decode(bytes);
  if (!utf8.hasError()) return text;
  QStringDecoder windows1252("windows-1252");
  if (windows1252.isValid()) {
    text = windows1252.decode(bytes);
    if (!windows1252.hasError()) return text;
  }
  return QString::fromLatin1(bytes);
}

}  // namespace

class TTranslationWnd::Impl {
 public:
  Impl(TTranslationWnd& window, TWindowHost& windowHost)
      : wnd(window),
        host(windowHost),
        client(std::make_shared<THttpClient>(windowHost.Loop())),
        splitter(std::make_shared<TParser>()) {
    // The window's own client: every answer fresh from the service, never from a
    // cache on the way.
    client->NoCache = true;
    client->SetRequestVer("1.0");
    client->FollowRelocation = true;
    client->ContentTypePost = "application/x-www-form-urlencoded";
    client->Accept = "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";
    client->Agent = "Mozilla/3.0 (compatible)";
    client->LocalAddr = "0.0.0.0";
    client->ProxyPort = "80";
    splitter->SetCaseSensitive(false);
  }

  // A box holds its placeholder when its text is the placeholder of either
  // interface language: a placeholder put in before a language change is still
  // one (it is not replaced when the language changes).
  bool IsPlaceholder(const QString& text, int key) const {
    return text == FromUtf8(LanguageText(kUILanguageEnglish, key)) ||
           text == FromUtf8(LanguageText(kUILanguageGerman, key));
  }

  // The enter and leave rules of a box and its placeholder.
  void Entered(QPlainTextEdit& box, int placeholderKey) {
    if (placeholdersEnabled && IsPlaceholder(box.toPlainText(), placeholderKey)) box.clear();
  }
  void Left(QPlainTextEdit& box, int placeholderKey) {
    if (placeholdersEnabled && box.document()->isEmpty()) {
      box.setPlainText(HostText(host, placeholderKey));
    }
  }

  void ApplyTexts();
  void LoadFromFile();
  void SaveToFile();
  void PasteFromClipboard();
  void CopyToClipboard();
  void Translate();
  void SetControlsEnabled(bool enabled);
  void ShowFailure(const TranslateOutcome& outcome);

  TTranslationWnd& wnd;
  TWindowHost& host;
  Ui::TTranslationWndForm ui;
  // Shared so that an exchange keeps them alive even if the window is destroyed
  // while it waits.
  std::shared_ptr<THttpClient> client;
  std::shared_ptr<TParser> splitter;
  bool placeholdersEnabled = true;
  bool translating = false;
  QString openTitle;
  QString saveTitle;
  QString filter;
};

void TTranslationWnd::Impl::ApplyTexts() {
  TIniFile& ini = host.Ini();
  const TIniFile::ReadSession reading(ini);
  placeholdersEnabled = !ini.ReadBool("General", "NoTranslationHints", false);
  wnd.setWindowTitle(HostText(host, kCaptionKey));
  ui.laTranslateInfo->setText(HostText(host, 101));
  ui.btnLoadFromFile->setText(HostText(host, 102));
  ui.btnLoadFromClipboard->setText(HostText(host, 103));
  if (placeholdersEnabled && ui.edSource->document()->isEmpty()) {
    ui.edSource->setPlainText(HostText(host, kSourcePlaceholderKey));
  }
  ui.laLanguageSelection->setText(HostText(host, 105));
  ui.btnTranslate->setText(HostText(host, 106));
  if (placeholdersEnabled && ui.edDestination->document()->isEmpty()) {
    ui.edDestination->setPlainText(HostText(host, kDestinationPlaceholderKey));
  }
  ui.btnSaveToFile->setText(HostText(host, 108));
  ui.btnSaveToClipboard->setText(HostText(host, 109));
  ui.btnClose->setText(HostText(host, 110));
  openTitle = HostText(host, kOpenTitleKey);
  saveTitle = HostText(host, kSaveTitleKey);
  filter = DialogFilter(LanguageText(host.UILanguage(), kFilterKey));

  // The pair list shows the stored choice; what is on screen is stored on close.
  ui.cbLanguages->clear();
  for (int index = 0; index < kLanguagePairCount; ++index) {
    ui.cbLanguages->addItem(HostText(host, LanguagePairNameKey(index)));
  }
  const int stored = ini.ReadInteger("Languages", "TextTranslationLanguage", 0);
  ui.cbLanguages->setCurrentIndex(IsLanguagePairIndex(stored) ? stored : -1);

  wnd.FixSize();
}

void TTranslationWnd::Impl::LoadFromFile() {
  QFileDialog dialog(&wnd, openTitle, QString(), filter);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(QStringLiteral("txt"));
  dialog.setOption(QFileDialog::ReadOnly, false);
  QPointer<TTranslationWnd> alive(&wnd);
  if (dialog.exec() != QDialog::Accepted || !alive) return;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return;
  QFile file(files.first());
  if (!file.open(QIODevice::ReadOnly)) {
    ShowErrorBox(
        wnd, host,
        "Cannot open file \"" + ToUtf8(files.first()) + "\". " + ToUtf8(file.errorString()));
    return;
  }
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    ShowErrorBox(
        wnd, host,
        "Cannot read file \"" + ToUtf8(files.first()) + "\". " + ToUtf8(file.errorString()));
    return;
  }
  ui.edSource->setPlainText(DecodeFileText(bytes));
}

void TTranslationWnd::Impl::SaveToFile() {
  QFileDialog dialog(&wnd, saveTitle, QString(), filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
  QPointer<TTranslationWnd> alive(&wnd);
  if (dialog.exec() != QDialog::Accepted || !alive) return;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return;
  // The lines of the translation, each ended by a line break. Written to a
  // temporary file that replaces the old one only when complete, so a failed
  // write leaves the old file as it was.
  QString text = ui.edDestination->toPlainText();
  if (!text.isEmpty()) text += u'\n';
  QSaveFile file(files.first());
  file.setDirectWriteFallback(true);
  if (!file.open(QIODevice::WriteOnly)) {
    ShowErrorBox(
        wnd, host,
        "Cannot create file \"" + ToUtf8(files.first()) + "\". " + ToUtf8(file.errorString()));
    return;
  }
  const QByteArray bytes = text.toUtf8();
  if (file.write(bytes) != bytes.size() || !file.commit()) {
    ShowErrorBox(
        wnd, host,
        "Cannot write file \"" + ToUtf8(files.first()) + "\". " + ToUtf8(file.errorString()));
  }
}

void TTranslationWnd::Impl::PasteFromClipboard() {
  std::string text;
  // An unavailable clipboard leaves the box as it was.
  if (!host.Clipboard().ReadText(text)) return;
  ui.edSource->setPlainText(FromUtf8(text));
}

void TTranslationWnd::Impl::CopyToClipboard() {
  QTextCursor cursor = ui.edDestination->textCursor();
  if (cursor.hasSelection()) {
    // The selection as plain text (QTextCursor marks paragraphs with U+2029).
    host.Clipboard().WriteText(ToUtf8(cursor.selection().toPlainText()));
    return;
  }
  host.Clipboard().WriteText(ToUtf8(ui.edDestination->toPlainText()));
  cursor.movePosition(QTextCursor::Start);
  ui.edDestination->setTextCursor(cursor);
}

void TTranslationWnd::Impl::SetControlsEnabled(bool enabled) {
  QWidget* const controls[] = {
      ui.btnTranslate,    ui.cbLanguages,
      ui.laTranslateInfo, ui.laLanguageSelection,
      ui.btnLoadFromFile, ui.btnLoadFromClipboard,
      ui.btnSaveToFile,   ui.btnSaveToClipboard,
      ui.btnClose,        ui.edSource,
      ui.edDestination,
  };
  for (QWidget* control : controls)
    control->setEnabled(enabled);
}

void TTranslationWnd::Impl::ShowFailure(const TranslateOutcome& outcome) {
  const int language = host.UILanguage();
  const TFailureMessage& message = FailureMessageOf(*outcome.Failure());
  const std::string text = LanguageText(language, message.textKey);
  const std::string caption = LanguageText(language, message.textKey + 1);
  if (!message.offersHomePage) {
    // A request that failed is the window's error; an answer it cannot use, a warning.
    const TMsgIcon icon = *outcome.Failure() == TranslateFailure::ConnectionFailed
                              ? TMsgIcon::miError
                              : TMsgIcon::miWarning;
    host.Shell().WindowMessageBox(&wnd, text, caption, TMsgButtons::mbOK, icon);
    return;
  }
  TWindowHost& windowHost = host;
  const TMsgResult answer = windowHost.Shell().WindowMessageBox(
      &wnd, text, caption, TMsgButtons::mbYesNo, TMsgIcon::miQuestion);
  // Whether the browser could be started is not reported.
  if (answer == TMsgResult::mrYes) windowHost.Shell().Open(HomePageUrl(windowHost.Hosts()));
}

void TTranslationWnd::Impl::Translate() {
  if (translating) return;
  const QString source = ui.edSource->toPlainText();
  // The placeholder is no text: it never goes to the service.
  if (source.isEmpty() || IsPlaceholder(source, kSourcePlaceholderKey)) {
    const int language = host.UILanguage();
    host.Shell().WindowMessageBox(&wnd, LanguageText(language, 602), LanguageText(language, 603),
                                  TMsgButtons::mbOK, TMsgIcon::miWarning);
    return;
  }
  translating = true;
  SetControlsEnabled(false);

  // The exchange runs the program's event loop while it waits; the window refuses
  // to close meanwhile, but its owner may still destroy it: everything used after
  // the wait is checked or held here.
  QPointer<TTranslationWnd> alive(&wnd);
  const std::shared_ptr<THttpClient> exchangeClient = client;
  const std::shared_ptr<TParser> exchangeSplitter = splitter;
  const TranslateOutcome outcome =
      TranslateText(*exchangeClient, *exchangeSplitter, ToUtf8(source),
                    ui.cbLanguages->currentIndex(), host.Hosts().service, host.ProxyValues());
  if (!alive) return;

  if (outcome.Succeeded()) {
    ui.edDestination->setPlainText(FromUtf8(outcome.Text()));
  } else if (!host.Loop().Terminating()) {
    // A program that is ending has aborted the request itself: no box for that.
    ShowFailure(outcome);
    if (!alive) return;
  }
  SetControlsEnabled(true);
  translating = false;

  if (outcome.Failure() != TranslateFailure::ConnectionFailed) {
    // Entering the box applies its enter rule even when the window is not the
    // active one (focus then moves only when it is activated).
    ui.edDestination->setFocus(Qt::OtherFocusReason);
    Entered(*ui.edDestination, kDestinationPlaceholderKey);
    QTextCursor cursor = ui.edDestination->textCursor();
    cursor.movePosition(QTextCursor::Start);
    ui.edDestination->setTextCursor(cursor);
  }
}

TTranslationWnd::TTranslationWnd(TWindowHost& host, QWidget* owner)
    : TSecondaryWnd(host, owner, kFrame), impl_(std::make_unique<Impl>(*this, host)) {
  impl_->ui.setupUi(this);
  impl_->ui.imgProgramLanguage->setPixmap(windowIcon().pixmap(32, 32));
  impl_->ui.edSource->installEventFilter(this);
  impl_->ui.edDestination->installEventFilter(this);

  Impl& d = *impl_;
  connect(d.ui.btnLoadFromFile, &QPushButton::clicked, this, [&d] { d.LoadFromFile(); });
  connect(d.ui.btnLoadFromClipboard, &QPushButton::clicked, this, [&d] { d.PasteFromClipboard(); });
  connect(d.ui.btnTranslate, &QPushButton::clicked, this, [&d] { d.Translate(); });
  connect(d.ui.btnSaveToFile, &QPushButton::clicked, this, [&d] { d.SaveToFile(); });
  connect(d.ui.btnSaveToClipboard, &QPushButton::clicked, this, [&d] { d.CopyToClipboard(); });
  connect(d.ui.btnClose, &QPushButton::clicked, this, [this] { close(); });
}

TTranslationWnd::~TTranslationWnd() {
  // An exchange still waiting (the owner destroyed the window meanwhile) ends now.
  if (impl_->client->State() != THttpClientState::hcsIdle) impl_->client->Abort();
}

void TTranslationWnd::ApplyTexts() {
  impl_->ApplyTexts();
}

void TTranslationWnd::FirstShown() {
  // Without placeholders the user can type at once; with them the focus stays on
  // the first control so that the source placeholder stays visible.
  if (impl_->placeholdersEnabled) {
    impl_->ui.btnLoadFromFile->setFocus(Qt::OtherFocusReason);
  } else {
    impl_->ui.edSource->setFocus(Qt::OtherFocusReason);
  }
}

bool TTranslationWnd::eventFilter(QObject* watched, QEvent* event) {
  Impl& d = *impl_;
  const bool source = watched == d.ui.edSource;
  const bool destination = watched == d.ui.edDestination;
  if ((source || destination) &&
      (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)) {
    // A context menu or another window taking the focus for a while is no
    // leaving: the user comes back to the same box (and may paste into it).
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
      QPlainTextEdit& box = source ? *d.ui.edSource : *d.ui.edDestination;
      const int key = source ? kSourcePlaceholderKey : kDestinationPlaceholderKey;
      if (event->type() == QEvent::FocusIn) {
        d.Entered(box, key);
      } else {
        d.Left(box, key);
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

// No closing while an exchange waits: the window and its client must outlive it.
// When the program ends, the exchange gives up and the window goes.
bool TTranslationWnd::MayClose() const {
  return !impl_->translating || impl_->host.Loop().Terminating();
}

void TTranslationWnd::Closing() {
  Impl& d = *impl_;
  try {
    d.host.Ini().WriteInteger("Languages", "TextTranslationLanguage",
                              d.ui.cbLanguages->currentIndex());
  } catch (const std::exception& e) {
    ShowErrorBox(*this, d.host, e.what());
  }
}

}  // namespace parlumo
