#pragma once

#include <QMenu>
#include <functional>
#include <memory>

namespace parlumo {

class QtTrayMenu;

// What the items of the tray menu run.
struct TTrayMenuHandlers {
  std::function<void()> showTranslationWnd;
  std::function<void()> showWebsiteTranslationWnd;
  std::function<void()> callHelp;
  std::function<void()> info;
  std::function<void()> searchForUpdate;
  std::function<void()> settings;
  std::function<void()> close;
};

// The tray icon's popup menu poTrayMenu: its items (named as the form texts
// name them, "miTranslation" ... "miClose"), their captions in the interface
// language, and the default item a double-click on the icon runs.
class TTrayMenu final : public QMenu {
 public:
  TTrayMenu(TTrayMenuHandlers handlers, QWidget* parent);
  ~TTrayMenu() override;
  TTrayMenu(const TTrayMenu&) = delete;
  TTrayMenu& operator=(const TTrayMenu&) = delete;

  // The menu as the tray icon component takes it.
  QtTrayMenu& Adapter() { return *adapter_; }

  // The item of that name; "miHelp" is the submenu's item. Null for no item.
  QAction* MenuItem(const char* name) const;

  // Makes the item a TrayIconType names the default item (0 settings, 1 text
  // translation, 2 website translation); any other type changes nothing.
  void SetDefaultTrayItem(int type);

  // The captions in the interface language.
  void ApplyTexts(int language);

 private:
  TTrayMenuHandlers handlers_;
  std::unique_ptr<QtTrayMenu> adapter_;
};

}  // namespace parlumo
