#include "ui/WebsiteTranslationWnd.h"

#include <QLineEdit>
#include <exception>

#include "platform/qt/QtText.h"
#include "text/LanguageText.h"
#include "translate/LanguagePairs.h"
#include "translate/ServiceHosts.h"
#include "ui/WindowHost.h"
#include "ui/WindowSupport.h"
#include "ui_WebsiteTranslationWnd.h"

namespace parlumo {

namespace {

// The window's help topic 800 and the design size of its client area.
const TSecondaryWnd::Frame kFrame{&TWindowHost::WebsiteTranslationWndClosed, 800, QSize(409, 241)};

}  // namespace

class TWebsiteTranslationWnd::Impl {
 public:
  Impl(TWebsiteTranslationWnd& window, TWindowHost& windowHost) : wnd(window), host(windowHost) {}

  void ApplyTexts();
  void Translate();

  TWebsiteTranslationWnd& wnd;
  TWindowHost& host;
  Ui::TWebsiteTranslationWndForm ui;
};

void TWebsiteTranslationWnd::Impl::ApplyTexts() {
  TIniFile& ini = host.Ini();
  const TIniFile::ReadSession reading(ini);
  wnd.setWindowTitle(HostText(host, 200));
  ui.laTranslateUrlInfo->setText(HostText(host, 201));
  ui.laTranslateWebsite->setText(HostText(host, 202));
  ui.btnTranslate->setText(HostText(host, 203));
  ui.btnClose->setText(HostText(host, 204));
  ui.laLanguageSelection->setText(HostText(host, 205));
  ui.cbCloseAutomaticallyAfterTranslation->setText(HostText(host, 206));

  ui.cbLanguages->clear();
  for (int index = 0; index < kLanguagePairCount; ++index) {
    ui.cbLanguages->addItem(HostText(host, LanguagePairNameKey(index)));
  }
  const int stored = ini.ReadInteger("Languages", "WebsiteTranslationLanguage", 0);
  ui.cbLanguages->setCurrentIndex(IsLanguagePairIndex(stored) ? stored : -1);
  ui.cbCloseAutomaticallyAfterTranslation->setChecked(
      ini.ReadBool("General", "CloseWebsiteTranslation", false));

  wnd.FixSize();
}

void TWebsiteTranslationWnd::Impl::Translate() {
  const std::string address = ToUtf8(ui.cbUrlToTranslate->currentText());
  if (address.empty()) {
    const int language = host.UILanguage();
    host.Shell().WindowMessageBox(&wnd, LanguageText(language, 600), LanguageText(language, 601),
                                  TMsgButtons::mbOK, TMsgIcon::miError);
    return;
  }
  // Whether a browser could be started is not reported: the desktop shows its
  // own message when it has none.
  host.Shell().Open(PageTranslationUrl(host.Hosts(), address, ui.cbLanguages->currentIndex()));
  if (ui.cbCloseAutomaticallyAfterTranslation->isChecked()) wnd.close();
}

TWebsiteTranslationWnd::TWebsiteTranslationWnd(TWindowHost& host, QWidget* owner)
    : TSecondaryWnd(host, owner, kFrame), impl_(std::make_unique<Impl>(*this, host)) {
  Impl& d = *impl_;
  d.ui.setupUi(this);
  d.ui.imgProgramLanguage->setPixmap(windowIcon().pixmap(32, 32));

  // No mechanism on this desktop tells the address of the page a browser shows:
  // the proposal is empty, and the list holds that one empty entry.
  d.ui.cbUrlToTranslate->addItem(QString());
  d.ui.cbUrlToTranslate->setEditText(QString());

  connect(d.ui.btnTranslate, &QPushButton::clicked, this, [&d] { d.Translate(); });
  connect(d.ui.btnClose, &QPushButton::clicked, this, [this] { close(); });
  // Enter in the address field translates, as the default button does elsewhere.
  connect(d.ui.cbUrlToTranslate->lineEdit(), &QLineEdit::returnPressed, this,
          [&d] { d.Translate(); });
}

TWebsiteTranslationWnd::~TWebsiteTranslationWnd() = default;

void TWebsiteTranslationWnd::ApplyTexts() {
  impl_->ApplyTexts();
}

void TWebsiteTranslationWnd::FirstShown() {
  // Typing replaces the proposed address.
  impl_->ui.cbUrlToTranslate->lineEdit()->selectAll();
  impl_->ui.cbUrlToTranslate->setFocus(Qt::OtherFocusReason);
}

void TWebsiteTranslationWnd::Closing() {
  Impl& d = *impl_;
  try {
    TIniFile::Batch ini(d.host.Ini());
    ini.WriteInteger("Languages", "WebsiteTranslationLanguage", d.ui.cbLanguages->currentIndex());
    ini.WriteBool("General", "CloseWebsiteTranslation",
                  d.ui.cbCloseAutomaticallyAfterTranslation->isChecked());
    ini.Commit();
  } catch (const std::exception& e) {
    ShowErrorBox(*this, d.host, e.what());
  }
}

}  // namespace parlumo
