#include "ui/InfoWnd.h"

#include "translate/ServiceHosts.h"
#include "ui/LinkLabel.h"
#include "ui/WindowHost.h"
#include "ui/WindowSupport.h"
#include "ui_InfoWnd.h"

namespace parlumo {

namespace {

// The help topic about the information the program sends, which a link opens:
// the window has no topic of its own.
constexpr int kSentInformationHelpContext = 502;
const TSecondaryWnd::Frame kFrame{&TWindowHost::InfoWndClosed, 0, QSize(384, 314)};

}  // namespace

class TInfoWnd::Impl {
 public:
  explicit Impl(TWindowHost& windowHost) : host(windowHost) {}

  TWindowHost& host;
  Ui::TInfoWndForm ui;
};

TInfoWnd::TInfoWnd(TWindowHost& host, QWidget* owner)
    : TSecondaryWnd(host, owner, kFrame), impl_(std::make_unique<Impl>(host)) {
  Impl& d = *impl_;
  d.ui.setupUi(this);
  d.ui.imgProgramLanguage->setPixmap(windowIcon().pixmap(32, 32));

  // Each link asks the desktop to open its page; whether a browser could be
  // started is not reported.
  TWindowHost& h = host;
  connect(d.ui.laLinkHomepage, &TLinkLabel::clicked, this,
          [&h] { h.Shell().Open(HomePageUrl(h.Hosts())); });
  connect(d.ui.laLinkExtendedInfo, &TLinkLabel::clicked, this,
          [&h] { h.ShowHelpContext(kSentInformationHelpContext); });
  connect(d.ui.laLinkGoogleWebsite, &TLinkLabel::clicked, this,
          [&h] { h.Shell().Open(ProviderSiteUrl(h.Hosts())); });
  connect(d.ui.laLinkGoogleTrans, &TLinkLabel::clicked, this,
          [&h] { h.Shell().Open(LanguageToolsUrl(h.Hosts())); });
  connect(d.ui.btnOK, &QPushButton::clicked, this, [this] { close(); });
}

TInfoWnd::~TInfoWnd() = default;

void TInfoWnd::ApplyTexts() {
  Impl& d = *impl_;
  setWindowTitle(HostText(d.host, 300));
  d.ui.btnOK->setText(HostText(d.host, 301));
  d.ui.laVersionInfo->setText(HostText(d.host, 302));
  d.ui.laExtendedInfo->setText(HostText(d.host, 304));
  d.ui.laLinkExtendedInfo->setText(HostText(d.host, 305));
  d.ui.laLinkExtendedInfo->MakeLink();
  d.ui.laGoogleInfo->setText(HostText(d.host, 306));
  d.ui.laLinkGoogleWebsite->setText(HostText(d.host, 307));
  d.ui.laLinkGoogleWebsite->MakeLink();
  d.ui.laLinkGoogleTrans->setText(HostText(d.host, 308));
  d.ui.laLinkGoogleTrans->MakeLink();
  d.ui.laLinkHomepage->setText(HostText(d.host, 309));
  d.ui.laLinkHomepage->MakeLink();
  FixSize();
}

void TInfoWnd::FirstShown() {
  impl_->ui.btnOK->setFocus(Qt::OtherFocusReason);
}

}  // namespace parlumo
