#include "ui/WindowSupport.h"

#include <QApplication>
#include <QLayout>
#include <QScreen>
#include <QStringList>
#include <QWidget>

#include "platform/qt/QtText.h"
#include "text/LanguageText.h"
#include "ui/FormFont.h"
#include "ui/WindowHost.h"

namespace parlumo {

QString HostText(const TWindowHost& host, int key) {
  return FromUtf8(LanguageText(host.UILanguage(), key));
}

std::string ToUtf8(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

namespace {

// Windows patterns of program files: Linux programs carry no extension, so a
// filter of these offers every file.
bool IsProgramPattern(const QString& pattern) {
  static const QStringList kPrograms = {QStringLiteral("*.exe"), QStringLiteral("*.bat"),
                                        QStringLiteral("*.pif"), QStringLiteral("*.cmd"),
                                        QStringLiteral("*.com")};
  return kPrograms.contains(pattern, Qt::CaseInsensitive);
}

}  // namespace

QString DialogFilter(const std::string& filter) {
  const QStringList parts = FromUtf8(filter).split(u'|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i].trimmed();
    QStringList patterns;
    for (const QString& given : parts[i + 1].split(u';', Qt::SkipEmptyParts)) {
      const QString pattern = given.trimmed();
      if (IsProgramPattern(pattern)) continue;
      patterns << (pattern == u"*.*" ? QStringLiteral("*") : pattern);
    }
    if (patterns.isEmpty()) patterns << QStringLiteral("*");
    // QFileDialog reads the patterns from the parentheses at the end of the
    // description; a description that shows them already has them replaced.
    if (description.endsWith(u')')) {
      const qsizetype open = description.lastIndexOf(u'(');
      if (open > 0) description = description.left(open).trimmed();
    }
    filters << description + QStringLiteral(" (") + patterns.join(u' ') + u')';
  }
  return filters.join(QStringLiteral(";;"));
}

void PrepareForm(QWidget& form) {
  form.setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                      Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                      Qt::WindowCloseButtonHint);
  form.setWindowIcon(QApplication::windowIcon());
  SetIconTitleFont(form);
}

void FixFormSize(QWidget& form, int designWidth, int designHeight) {
  form.setMinimumSize(0, 0);
  form.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  QSize size(designWidth, designHeight);
  if (QLayout* layout = form.layout()) {
    layout->invalidate();
    layout->activate();
    size = size.expandedTo(layout->totalMinimumSize());
    // Word-wrapped labels need more height when a language's texts are longer.
    if (layout->hasHeightForWidth()) {
      size.setHeight(std::max(size.height(), layout->totalHeightForWidth(size.width())));
    }
  }
  form.setFixedSize(size);
}

void CentreOnScreen(QWidget& form) {
  const QScreen* screen = form.screen() ? form.screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  QRect frame = form.frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  form.move(frame.topLeft());
}

void ShowErrorBox(QWidget& window, TWindowHost& host, const std::string& message) {
  QString caption = QGuiApplication::applicationDisplayName();
  if (caption.isEmpty()) caption = QStringLiteral("Parlumo");
  host.Shell().WindowMessageBox(&window, message, ToUtf8(caption), TMsgButtons::mbOK,
                                TMsgIcon::miError);
}

}  // namespace parlumo
