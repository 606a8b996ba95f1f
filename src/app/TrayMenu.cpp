#include "app/TrayMenu.h"

#include <QAction>

#include "platform/qt/QtTray.h"
#include "text/FormTexts.h"
#include "text/LanguageText.h"

namespace parlumo {

TTrayMenu::TTrayMenu(TTrayMenuHandlers handlers, QWidget* parent)
    : QMenu(parent), handlers_(std::move(handlers)) {
  setObjectName(QStringLiteral("poTrayMenu"));
  auto item = [this](QMenu* menu, const char* name, std::function<void()> TTrayMenuHandlers::*run) {
    QAction* action = menu->addAction(QString());
    action->setObjectName(QLatin1String(name));
    connect(action, &QAction::triggered, this, [this, run] { (handlers_.*run)(); });
  };
  item(this, "miTranslation", &TTrayMenuHandlers::showTranslationWnd);
  item(this, "miWebsiteTranslation", &TTrayMenuHandlers::showWebsiteTranslationWnd);
  addSeparator();
  QMenu* help = addMenu(QString());
  help->setObjectName(QStringLiteral("miHelp"));
  help->menuAction()->setObjectName(QStringLiteral("miHelpItem"));
  item(help, "miCallHelp", &TTrayMenuHandlers::callHelp);
  item(help, "miInfo", &TTrayMenuHandlers::info);
  help->addSeparator();
  item(help, "miSearchForUpdate", &TTrayMenuHandlers::searchForUpdate);
  item(this, "miSettings", &TTrayMenuHandlers::settings);
  addSeparator();
  item(this, "miClose", &TTrayMenuHandlers::close);
  adapter_ = std::make_unique<QtTrayMenu>(this);
  // The captions come with the interface language; English until then.
  ApplyTexts(kUILanguageEnglish);
}

TTrayMenu::~TTrayMenu() = default;

QAction* TTrayMenu::MenuItem(const char* name) const {
  if (qstrcmp(name, "miHelp") == 0) {
    auto* help = findChild<QMenu*>(QStringLiteral("miHelp"));
    return help ? help->menuAction() : nullptr;
  }
  return findChild<QAction*>(QLatin1String(name));
}

void TTrayMenu::SetDefaultTrayItem(int type) {
  static constexpr const char* kItems[] = {"miSettings", "miTranslation", "miWebsiteTranslation"};
  if (type < 0 || type > 2) return;
  if (QAction* item = MenuItem(kItems[type])) setDefaultAction(item);
}

void TTrayMenu::ApplyTexts(int language) {
  for (const TFormText& text : SettingsFormTexts(language)) {
    if (text.control.rfind("mi", 0) != 0) continue;
    if (QAction* action = MenuItem(text.control.c_str())) {
      action->setText(QString::fromStdString(text.text));
    }
  }
}

}  // namespace parlumo
