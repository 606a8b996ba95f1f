// parlumo: the tray-resident translator. Builds the desktop adapters, runs the
// single-instance test and the main form, and turns the end of the session
// into an orderly close.
#include <QApplication>
#include <QMessageBox>
#include <QSessionManager>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/EndSessionSignals.h"
#include "app/Settings.h"
#include "platform/linux/Autostart.h"
#include "platform/linux/HelpPages.h"
#include "platform/linux/InstanceChannel.h"
#include "platform/linux/LocalService.h"
#include "platform/qt/QtClipboard.h"
#include "platform/qt/QtClipboardWatch.h"
#include "platform/qt/QtDesktop.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtTray.h"
#include "platform/x11/X11HotKeys.h"
#include "platform/x11/X11Keyboard.h"
#include "runtime/SettingsPath.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("parlumo"));
  QApplication::setApplicationVersion(QStringLiteral(PARLUMO_VERSION));
  // The program lives in the tray: closing its last window does not end it.
  QApplication::setQuitOnLastWindowClosed(false);

  parlumo::QtEventLoop loop;
  const fs::path program = parlumo::CurrentProgramPath();
  const std::vector<std::string> parameters(argv + 1, argv + argc);
  parlumo::LinuxInstancePlatform instance(loop, parlumo::TSettings::kApplicationTitle,
                                          parlumo::TSettings::kApplicationClass, parameters);

  std::unique_ptr<parlumo::X11HotKeyPlatform> hotKeys =
      parlumo::X11HotKeyPlatform::ForApplication();
  std::unique_ptr<parlumo::X11Keyboard> keyboard = parlumo::X11Keyboard::ForApplication();
  if (!hotKeys || !keyboard) {
    QMessageBox::critical(nullptr, QString::fromLatin1(parlumo::TSettings::kApplicationTitle),
                          QStringLiteral("Parlumo needs an X11 display: its hotkeys and the "
                                         "copying of marked text work through the X server."));
    return 1;
  }

  parlumo::QtClipboard clipboard;
  parlumo::QtClipboardWatch clipboardWatch;
  parlumo::QtDesktopShell shell;
  parlumo::QtTrayShell trayShell;
  parlumo::TSettings* mainForm = nullptr;
  parlumo::HelpPagesEngine help(
      parlumo::FindHelpRoot(program), [&mainForm] { return mainForm ? mainForm->UILanguage() : 1; },
      [&shell](const std::string& url) { shell.Open(url); });

  parlumo::TSettingsPlatform platform{
      .loop = loop,
      .hotKeys = *hotKeys,
      .clipboard = clipboard,
      .clipboardWatch = clipboardWatch,
      .keyboard = *keyboard,
      .shell = shell,
      .trayShell = trayShell,
      .instance = instance,
      .help = help,
      .iniPath = parlumo::SettingsFilePath(program),
      .programPath = program,
      .autostartFolder = parlumo::AutostartFolder(),
      // Balloons, the tray, the file dialogs and the end of the program: the
      // form's own defaults over the desktop.
      .keyLookup =
          [&keyboard](std::uint32_t keycode) { return keyboard->VirtualKeyOfKeycode(keycode); },
  };
  // The end of the session: the signals a session or service manager sends.
  // They are caught before the main form exists, since its icon can show (and
  // a session end come) while it is still being made; one that comes before
  // the form is there ends the program as soon as it is.
  bool endRequested = false;
  parlumo::TEndSessionSignals endSignals(loop, [&mainForm, &endRequested] {
    if (mainForm != nullptr) {
      mainForm->EndSession();
    } else {
      endRequested = true;
    }
  });

  // A second copy hands over and ends inside this construction.
  parlumo::TSettings settings(platform);
  mainForm = &settings;
  if (endRequested) loop.Post([&settings] { settings.EndSession(); });
  shell.SetMainForm(&settings);
  instance.OnBringForward = [&settings] { settings.BringForward(); };

  // The X session manager's request to save: the session may end, so closing
  // is allowed from now on and the settings are saved. The program itself ends
  // when the session manager tells it to (Qt turns that into quitting); a
  // plain save of the session leaves it running.
  QObject::connect(&app, &QGuiApplication::commitDataRequest, &settings,
                   [&settings](QSessionManager&) { settings.QueryEndSession(); });

  // The local service comes with the program: started where the settings name
  // a loopback address nothing listens on, stopped at the end only when this
  // copy started it. The start does not wait for it.
  parlumo::TLocalService localService(loop, settings.Hosts().service,
                                      parlumo::TLocalService::DefaultCandidates(program),
                                      parlumo::TLocalService::DefaultLog());
  localService.Start();

  if (settings.ShowAtStart()) settings.show();
  const int status = QApplication::exec();
  mainForm = nullptr;
  return status;
}
