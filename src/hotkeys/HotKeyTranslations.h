#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "desktop/ClipboardWatch.h"
#include "desktop/DesktopShell.h"
#include "desktop/Keyboard.h"
#include "desktop/TrayIcon.h"
#include "hotkeys/HotKeyHost.h"
#include "hotkeys/QuickMessage.h"
#include "hotkeys/SelectedText.h"
#include "net/HttpClient.h"
#include "runtime/EventLoop.h"
#include "translate/Parser.h"
#include "translate/TranslationPage.h"

namespace parlumo {

// The work of the main form's hotkey handlers: quick translation
// (cHotKey1HotKey, for hotkey 1 and 2) and translation to file
// (cHotKeyFileHotKey). Each call returns when its translation is over,
// including every message box the user has to close; the program's events are
// dispatched meanwhile, so the handlers can be entered again. A press of any of
// the three hotkeys while a translation runs is ignored: the running one is not
// disturbed and nothing is queued.
//
// The exchange runs on cHttp and cParser, with the proxy values cHttp holds;
// cHttp is expected to be configured as the main form's client (RequestVer
// "1.0", NoCache false). Every interface given to the constructor must outlive
// the object and any translation still running in it. The object itself may be
// destroyed while a translation waits (in a box, for the copy or for the
// service); the translation then ends without touching it again.
class THotKeyTranslations {
 public:
  THotKeyTranslations(THotKeyHost& host, EventLoop& loop, THttpClient& cHttp, TParser& cParser,
                      KeyboardPlatform& keyboard, ClipboardPlatform& clipboard,
                      ClipboardChangeWatch& clipboardWatch, DesktopShell& shell,
                      TTrayIcon& trayIcon);
  ~THotKeyTranslations();
  THotKeyTranslations(const THotKeyTranslations&) = delete;
  THotKeyTranslations& operator=(const THotKeyTranslations&) = delete;

  // Quick translation of the marked text with the pair of hotkey 1 or 2 (any
  // other number counts as 2, the second hotkey).
  void QuickTranslation(int hotkey);
  // Translation of the marked text into the file set in the options, which is
  // then opened.
  void FileTranslation();
  // A hotkey translation is under way.
  bool Running() const { return running_; }

  // The longest the capture waits for the copy; kCaptureWait unless a test
  // shortens it.
  void SetCaptureWait(std::chrono::milliseconds wait) { captureWait_ = wait; }
  // Where the marked text can be read without keystrokes (see
  // TCapturePlatform::marked); null, the default, sends the copy keystrokes.
  void SetMarkedText(MarkedTextPlatform* marked) { marked_ = marked; }

 private:
  class RunGuard;

  void RunQuick(int hotkey, const RunGuard& run);
  void RunFile(const RunGuard& run);
  // ShowQuickMessage: a balloon or a box owned by the main form, or nothing.
  // False when this object went away while a box was open.
  bool ShowQuickMessage(const std::string& text, const std::string& title, TMsgIcon icon,
                        bool isNotice, const TQuickOptions& options);
  // ShowFileMessage: an owned box with an OK button. False as above.
  bool ShowFileMessage(int textKey, TMsgIcon icon, int language);
  // The box of UnknownDataFormat, with no owner; Yes opens the home page.
  void ShowUnknownDataFormat(int language, const TServiceHosts& hosts);
  // Reports a failed exchange: the box of UnknownDataFormat for a failure whose
  // message offers the home page, else report with the message's text key; nothing
  // while the program ends.
  void ReportFailure(TranslateFailure failure, int language, const TServiceHosts& hosts,
                     const std::function<void(int textKey)>& report);
  std::optional<std::string> Capture(TCaptureVariant variant);

  THotKeyHost& host_;
  EventLoop& loop_;
  THttpClient& cHttp_;
  TParser& cParser_;
  KeyboardPlatform& keyboard_;
  ClipboardPlatform& clipboard_;
  ClipboardChangeWatch& clipboardWatch_;
  DesktopShell& shell_;
  TTrayIcon& trayIcon_;
  std::chrono::milliseconds captureWait_ = kCaptureWait;
  MarkedTextPlatform* marked_ = nullptr;
  bool running_ = false;
  Lifetime lifetime_;
};

}  // namespace parlumo
