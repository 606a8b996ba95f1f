#pragma once

#include <string>

#include "desktop/DesktopShell.h"
#include "desktop/Keyboard.h"
#include "runtime/EventLoop.h"
#include "runtime/IniFile.h"
#include "translate/ServiceHosts.h"
#include "translate/TranslateText.h"

namespace parlumo {

// What the secondary windows (text translation, website translation, program
// information) need of the main form that owns them. The main form implements
// it; the window tests implement it over a temporary settings file.
//
// Everything is read at the moment of use: the interface language and the proxy
// values are those in force when a window applies its texts or starts an
// exchange.
class TWindowHost {
 public:
  virtual ~TWindowHost() = default;

  // The settings file the main form holds for the program's life.
  virtual TIniFile& Ini() = 0;
  // The interface language in force: 0 English, 1 German.
  virtual int UILanguage() const = 0;
  // The main client's proxy values as last loaded or applied.
  virtual TProxySettings ProxyValues() const = 0;
  // The service, maker's and provider's hosts.
  virtual TServiceHosts Hosts() const = 0;

  // The program's event loop: exchanges wait on it.
  virtual EventLoop& Loop() = 0;
  // Message boxes and the shell's "open".
  virtual DesktopShell& Shell() = 0;
  virtual ClipboardPlatform& Clipboard() = 0;
  // Opens the help at a context number (help context 502: the data sent).
  virtual void ShowHelpContext(int context) = 0;

  // The window has closed and asks to be released. The host destroys it later
  // (never inside this call) and forgets its reference.
  virtual void TranslationWndClosed() = 0;
  virtual void WebsiteTranslationWndClosed() = 0;
  virtual void InfoWndClosed() = 0;

  // The compiled version as the main form computed it at start: "2.5" and 41.
  virtual std::string VersionString() const = 0;
  virtual int BuildNumber() const = 0;
};

}  // namespace parlumo
