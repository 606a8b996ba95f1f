#include "hotkeys/HotKeyTranslations.h"

#include "hotkeys/AtomicFile.h"
#include "text/LanguageText.h"
#include "translate/FailureMessages.h"
#include "translate/ServiceHosts.h"
#include "translate/TranslateText.h"

namespace parlumo {

// Marks a translation as running for as long as it lives, and tells whether
// the object is still there after a call that dispatched events.
class THotKeyTranslations::RunGuard {
 public:
  explicit RunGuard(THotKeyTranslations& owner) : owner_(owner), alive_(owner.lifetime_.Token()) {
    owner_.running_ = true;
  }
  ~RunGuard() {
    if (Alive()) owner_.running_ = false;
  }
  RunGuard(const RunGuard&) = delete;
  RunGuard& operator=(const RunGuard&) = delete;

  bool Alive() const { return !alive_.expired(); }

 private:
  THotKeyTranslations& owner_;
  std::weak_ptr<const int> alive_;
};

THotKeyTranslations::THotKeyTranslations(THotKeyHost& host, EventLoop& loop, THttpClient& cHttp,
                                         TParser& cParser, KeyboardPlatform& keyboard,
                                         ClipboardPlatform& clipboard,
                                         ClipboardChangeWatch& clipboardWatch, DesktopShell& shell,
                                         TTrayIcon& trayIcon)
    : host_(host),
      loop_(loop),
      cHttp_(cHttp),
      cParser_(cParser),
      keyboard_(keyboard),
      clipboard_(clipboard),
      clipboardWatch_(clipboardWatch),
      shell_(shell),
      trayIcon_(trayIcon) {}

THotKeyTranslations::~THotKeyTranslations() = default;

void THotKeyTranslations::QuickTranslation(int hotkey) {
  // A second run would reconfigure the client and splitter the first one is
  // waiting on; the press is dropped rather than queued, since the text it was
  // meant for may no longer be marked when the first run ends.
  if (running_) return;
  RunGuard run(*this);
  RunQuick(hotkey, run);
}

void THotKeyTranslations::FileTranslation() {
  if (running_) return;
  RunGuard run(*this);
  RunFile(run);
}

std::optional<std::string> THotKeyTranslations::Capture(TCaptureVariant variant) {
  return CaptureSelectedText(variant, TCapturePlatform{keyboard_, clipboard_, clipboardWatch_,
                                                       loop_, captureWait_, marked_});
}

namespace {

// The proxy values the main form's client holds at this moment: what was last
// loaded or applied.
TProxySettings ProxyOf(const THttpClient& client) {
  return TProxySettings{client.Proxy, client.ProxyPort, client.ProxyUsername, client.ProxyPassword};
}

}  // namespace

void THotKeyTranslations::RunQuick(int hotkey, const RunGuard& run) {
  // Everything the translation depends on, as it stands at the press.
  const TQuickOptions options = host_.QuickOptions();
  const int language = host_.UILanguage();
  const TServiceHosts hosts = host_.Hosts();
  const int pair = host_.QuickPair(hotkey);
  const int listPosition = host_.QuickPairListPosition(hotkey);
  auto text = [language](int key) { return LanguageText(language, key); };

  const std::optional<std::string> marked = Capture(TCaptureVariant::cvQuick);
  // A program that ends while the text is copied sends nothing and says nothing.
  if (!run.Alive() || loop_.Terminating()) return;
  if (!marked) {
    ShowQuickMessage(text(610), text(611), TMsgIcon::miWarning, false, options);
    return;
  }
  // An empty text is sent as it is: the service answers it like any other.
  if (!ShowQuickMessage(text(614), text(615), TMsgIcon::miWarning, true, options)) return;
  const TranslateOutcome outcome =
      TranslateText(cHttp_, cParser_, *marked, pair, hosts.service, ProxyOf(cHttp_));
  if (!run.Alive()) return;
  if (!outcome.Succeeded()) {
    ReportFailure(*outcome.Failure(), language, hosts, [&](int textKey) {
      ShowQuickMessage(text(textKey), text(textKey + 1), TMsgIcon::miWarning, false, options);
    });
    return;
  }

  // Key 500 + position names the pair; no selection gives an unknown key and
  // so the text for a missing resource.
  const std::string pairName = text(500 + listPosition);
  if (options.copyToClipboard) {
    if (!clipboard_.WriteText(outcome.Text())) {
      ShowUnknownDataFormat(language, hosts);
      return;
    }
    if (options.notifyBalloonHint &&
        !ShowQuickMessage(text(612), text(613), TMsgIcon::miWarning, true, options)) {
      return;
    }
  }
  if (options.translationMsgBox) {
    ShowQuickMessage(outcome.Text(), text(900) + " " + pairName, TMsgIcon::miInformation, false,
                     options);
  }
}

bool THotKeyTranslations::ShowQuickMessage(const std::string& text, const std::string& title,
                                           TMsgIcon icon, bool isNotice,
                                           const TQuickOptions& options) {
  const TQuickMessageDelivery delivery = ChooseQuickMessageDelivery(
      text, title, icon, isNotice, options, host_.BalloonTipsAvailable());
  switch (delivery.route) {
    case TQuickMessageRoute::qmNone:
      break;
    case TQuickMessageRoute::qmBalloon:
      // A balloon the shell does not show is lost, not turned into a box: the
      // user chose balloons, and a box would stop the next hotkey's work.
      trayIcon_.ShowBalloon(title, text, delivery.kind, delivery.timeoutSeconds);
      break;
    case TQuickMessageRoute::qmMessageBox: {
      const auto alive = lifetime_.Token();
      shell_.MessageBox(text, title, TMsgButtons::mbOK, icon, true);
      return !alive.expired();
    }
  }
  return true;
}

bool THotKeyTranslations::ShowFileMessage(int textKey, TMsgIcon icon, int language) {
  const auto alive = lifetime_.Token();
  shell_.MessageBox(LanguageText(language, textKey), LanguageText(language, textKey + 1),
                    TMsgButtons::mbOK, icon, true);
  return !alive.expired();
}

void THotKeyTranslations::ShowUnknownDataFormat(int language, const TServiceHosts& hosts) {
  const auto alive = lifetime_.Token();
  // Not owned by the main form: it stands for a fault of the program itself
  // and must show whatever state the main form is in.
  const TMsgResult answer =
      shell_.MessageBox(LanguageText(language, 606), LanguageText(language, 607),
                        TMsgButtons::mbYesNo, TMsgIcon::miQuestion, false);
  if (alive.expired() || answer != TMsgResult::mrYes) return;
  // A home page that does not open leaves nothing to do: the box was the news.
  shell_.Open(HomePageUrl(hosts));
}

void THotKeyTranslations::ReportFailure(TranslateFailure failure, int language,
                                        const TServiceHosts& hosts,
                                        const std::function<void(int textKey)>& report) {
  // A program that is ending has aborted the request itself: no message for that.
  if (loop_.Terminating()) return;
  const TFailureMessage& message = FailureMessageOf(failure);
  if (message.offersHomePage) {
    ShowUnknownDataFormat(language, hosts);
  } else {
    report(message.textKey);
  }
}

void THotKeyTranslations::RunFile(const RunGuard& run) {
  const TFileOptions options = host_.FileOptions();
  const int language = host_.UILanguage();
  const TServiceHosts hosts = host_.Hosts();

  if (options.saveAs.empty()) {
    ShowFileMessage(616, TMsgIcon::miError, language);
    return;
  }
  if (!options.startAssocProgram && options.program.empty()) {
    ShowFileMessage(618, TMsgIcon::miError, language);
    return;
  }

  const std::optional<std::string> marked = Capture(TCaptureVariant::cvFile);
  if (!run.Alive() || loop_.Terminating()) return;
  if (!marked) {
    ShowFileMessage(610, TMsgIcon::miWarning, language);
    return;
  }
  // The text travels as lines: every line break becomes CR LF, and a
  // non-empty text ends with one.
  const TranslateOutcome outcome = TranslateText(cHttp_, cParser_, JoinLines(SplitLines(*marked)),
                                                 options.filePair, hosts.service, ProxyOf(cHttp_));
  if (!run.Alive()) return;
  if (!outcome.Succeeded()) {
    ReportFailure(*outcome.Failure(), language, hosts,
                  [&](int textKey) { ShowFileMessage(textKey, TMsgIcon::miWarning, language); });
    return;
  }

  const std::string content = JoinLines(SplitLines(outcome.Text()));
  if (!options.overwriteWoPrompt && FileExists(options.saveAs)) {
    const TMsgResult answer =
        shell_.MessageBox(LanguageText(language, 620), LanguageText(language, 621),
                          TMsgButtons::mbYesNo, TMsgIcon::miQuestion, true);
    if (!run.Alive() || answer != TMsgResult::mrYes) return;
  }
  if (WriteFileAtomically(options.saveAs, content)) {
    ShowFileMessage(622, TMsgIcon::miError, language);
    return;
  }
  // What the opened program makes of the file is its own business; a start
  // that fails shows nothing, as the desktop's own "open" would.
  if (options.startAssocProgram) {
    shell_.Open(options.saveAs);
  } else {
    shell_.OpenWith(options.program, options.saveAs);
  }
}

}  // namespace parlumo
