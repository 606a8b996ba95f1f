// parlumo-desktop: the tray-resident translator, started through the parlumo
// front. Reads the command line, builds the
// desktop adapters (X11, or a Wayland session's), runs the single-instance test
// and the main form, and turns the end of the session into an orderly close.
#include <QApplication>
#include <QMessageBox>
#include <QSessionManager>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/EndSessionSignals.h"
#include "app/Settings.h"
#include "desktop/CommandLine.h"
#include "platform/linux/Autostart.h"
#include "platform/linux/CommandEntry.h"
#include "platform/linux/HelpPages.h"
#include "platform/linux/InstanceChannel.h"
#include "platform/linux/LocalService.h"
#include "platform/linux/SessionPlatform.h"
#include "platform/qt/PortalShortcuts.h"
#include "platform/qt/QtClipboard.h"
#include "platform/qt/QtClipboardWatch.h"
#include "platform/qt/QtDesktop.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtTray.h"
#include "platform/wayland/WaylandSelections.h"
#include "platform/x11/X11HotKeys.h"
#include "platform/x11/X11Keyboard.h"
#include "platform/x11/X11Selection.h"
#include "runtime/DesktopProgram.h"
#include "runtime/SettingsPath.h"

namespace fs = std::filesystem;

namespace {

// What the program works over in this session: the X server's grabs and
// keystrokes, or on a Wayland desktop the selections it may read and the
// shortcuts the desktop binds. Each member is null where the session has none.
struct DesktopSession {
  std::unique_ptr<parlumo::HotKeyPlatform> hotKeys;
  // The portal among them, kept for its changes of CanGrab.
  parlumo::PortalShortcuts* portal = nullptr;
  std::unique_ptr<parlumo::KeyboardPlatform> keyboard;
  std::unique_ptr<parlumo::X11Keyboard> x11Keyboard;  // also the key fields' lookup
  // Wayland: the seat's selections, else XWayland's PRIMARY, else nothing.
  std::unique_ptr<parlumo::WaylandSelections> selections;
  std::unique_ptr<parlumo::X11PrimarySelection> x11Primary;
  parlumo::MarkedTextPlatform* marked = nullptr;
};

// Qt chose the platform: a Wayland session runs natively unless the user set
// QT_QPA_PLATFORM=xcb, which keeps the X11 way through XWayland.
DesktopSession OpenSession(parlumo::EventLoop& loop) {
  DesktopSession session;
  if (QGuiApplication::platformName() == QLatin1String("wayland")) {
    // No program can grab keys or send them to another here. The desktop may
    // bind them for the program (the GlobalShortcuts portal); else the user
    // binds the commands (--quick-translation ...) in the desktop.
    std::unique_ptr<parlumo::PortalShortcuts> portal = parlumo::PortalShortcuts::ForSessionBus({
        {QStringLiteral("quick-translation-1"), QStringLiteral("Quick translation (hotkey 1)")},
        {QStringLiteral("quick-translation-2"), QStringLiteral("Quick translation (hotkey 2)")},
        {QStringLiteral("file-translation"), QStringLiteral("Translation to file")},
    });
    if (portal) {
      session.portal = portal.get();
      session.hotKeys = std::move(portal);
    } else {
      session.hotKeys = std::make_unique<parlumo::NoHotKeyPlatform>();
    }
    session.keyboard = std::make_unique<parlumo::NoKeyboard>();
    session.selections = parlumo::WaylandSelections::Connect(loop);
    if (session.selections) {
      session.marked = session.selections.get();
    } else if ((session.x11Primary = parlumo::X11PrimarySelection::Connect())) {
      session.marked = session.x11Primary.get();
    }
    return session;
  }
  session.hotKeys = parlumo::X11HotKeyPlatform::ForApplication();
  session.x11Keyboard = parlumo::X11Keyboard::ForApplication();
  return session;
}

}  // namespace

int main(int argc, char** argv) {
  // The command line first: a command bound in the desktop's shortcut
  // settings hands its action to the running copy at once, before anything
  // of the desktop is built.
  const parlumo::TCommandEntry entry = parlumo::EnterCommandLine(argc, argv, PARLUMO_VERSION);
  if (entry.exitStatus) return *entry.exitStatus;
  const parlumo::TStartAction action = entry.action;
  const std::vector<std::string> parameters(argv + 1, argv + argc);

  if (const std::string choice =
          parlumo::QtPlatformChoice(std::getenv("XDG_SESSION_TYPE"), std::getenv("WAYLAND_DISPLAY"),
                                    std::getenv("QT_QPA_PLATFORM"));
      !choice.empty()) {
    ::setenv("QT_QPA_PLATFORM", choice.c_str(), 1);
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("parlumo"));
  QApplication::setApplicationVersion(QStringLiteral(PARLUMO_VERSION));
  // The program lives in the tray: closing its last window does not end it.
  QApplication::setQuitOnLastWindowClosed(false);

  parlumo::QtEventLoop loop;
  // Started through the front, the program is known by the front's path.
  const fs::path program = parlumo::FrontProgramPath(parlumo::CurrentProgramPath());
  parlumo::LinuxInstancePlatform instance(loop, parlumo::TSettings::kApplicationTitle,
                                          parlumo::TSettings::kApplicationClass, parameters);

  DesktopSession session = OpenSession(loop);
  const bool onWayland = session.keyboard != nullptr;
  if (!onWayland && (!session.hotKeys || !session.x11Keyboard)) {
    QMessageBox::critical(nullptr, QString::fromLatin1(parlumo::TSettings::kApplicationTitle),
                          QStringLiteral("Parlumo needs an X11 display: its hotkeys and the "
                                         "copying of marked text work through the X server."));
    return 1;
  }

  parlumo::QtClipboard qtClipboard;
  // On a Wayland seat with data-control the clipboard too goes through it: a
  // program without keyboard focus can neither read nor set it otherwise.
  parlumo::ClipboardPlatform& clipboard =
      session.selections ? static_cast<parlumo::ClipboardPlatform&>(*session.selections)
                         : qtClipboard;
  parlumo::QtClipboardWatch clipboardWatch;
  parlumo::QtDesktopShell shell;
  parlumo::QtTrayShell trayShell;
  parlumo::TSettings* mainForm = nullptr;
  parlumo::HelpPagesEngine help(
      parlumo::FindHelpRoot(program), [&mainForm] { return mainForm ? mainForm->UILanguage() : 1; },
      [&shell](const std::string& url) { shell.Open(url); });

  parlumo::TSettingsPlatform platform{
      .loop = loop,
      .hotKeys = *session.hotKeys,
      .clipboard = clipboard,
      .clipboardWatch = clipboardWatch,
      .keyboard = onWayland ? *session.keyboard : *session.x11Keyboard,
      .shell = shell,
      .trayShell = trayShell,
      .instance = instance,
      .help = help,
      .markedText = session.marked,
      .iniPath = parlumo::SettingsFilePath(program),
      .programPath = program,
      .autostartFolder = parlumo::AutostartFolder(),
      // Balloons, the tray, the file dialogs and the end of the program: the
      // form's own defaults over the desktop.
      .keyLookup = session.x11Keyboard ? parlumo::TKeyLookup([&session](std::uint32_t keycode) {
        return session.x11Keyboard->VirtualKeyOfKeycode(keycode);
      })
                                       : parlumo::TKeyLookup(),
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

  // Actions later copies hand over. One may come while the form is still
  // being made; it runs once the form is there. Each runs from the loop, so
  // the copy that handed it over hears at once that it was taken.
  std::vector<parlumo::TStartAction> pendingActions;
  instance.OnParameters = [&mainForm, &pendingActions, &loop](const std::string& text) {
    const std::optional<parlumo::TStartAction> handed = parlumo::ActionOfHandedOverText(text);
    if (!handed) return;
    if (mainForm == nullptr) {
      pendingActions.push_back(*handed);
      return;
    }
    loop.Post([&mainForm, handed] {
      if (mainForm != nullptr) mainForm->RunAction(*handed);
    });
  };

  // A second copy hands over and ends inside this construction.
  parlumo::TSettings settings(platform);
  mainForm = &settings;
  if (endRequested) loop.Post([&settings] { settings.EndSession(); });
  shell.SetMainForm(&settings);
  instance.OnBringForward = [&settings] { settings.BringForward(); };
  // The portal answers late (the user may have to agree first): the hotkey
  // pages show the commands to bind as long as nothing is bound.
  if (session.portal != nullptr)
    session.portal->SetOnCanGrabChange(
        [&settings] { settings.Dialog().HotKeyAvailabilityChanged(); });
  for (const parlumo::TStartAction handed : pendingActions)
    loop.Post([&settings, handed] { settings.RunAction(handed); });

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

  // This start's own action, once the program is ready: a translation waits
  // until the service it may just have started answers.
  if (action == parlumo::TStartAction::saShowSettings) {
    loop.Post([&settings] { settings.RunAction(parlumo::TStartAction::saShowSettings); });
  } else if (action != parlumo::TStartAction::saNone) {
    localService.WhenAnswering([&loop, &settings, action] {
      loop.Post([&settings, action] { settings.RunAction(action); });
    });
  }

  if (settings.ShowAtStart()) settings.show();
  const int status = QApplication::exec();
  if (session.portal != nullptr) session.portal->SetOnCanGrabChange(nullptr);
  mainForm = nullptr;
  return status;
}
