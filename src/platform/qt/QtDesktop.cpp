#include "platform/qt/QtDesktop.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QUrl>

#include "platform/qt/QtText.h"

namespace parlumo {

TMsgResult QtDesktopShell::MessageBox(const std::string& text, const std::string& caption,
                                      TMsgButtons buttons, TMsgIcon icon, bool owned) {
  return ShowBox(owned ? mainForm_.data() : nullptr, text, caption, buttons, icon);
}

TMsgResult QtDesktopShell::WindowMessageBox(const void* window, const std::string& text,
                                            const std::string& caption, TMsgButtons buttons,
                                            TMsgIcon icon) {
  // The window type is ours: the caller's QWidget, const only in the
  // interface that keeps Qt out of the components.
  auto* parent = const_cast<QWidget*>(static_cast<const QWidget*>(window));
  return ShowBox(parent ? parent : mainForm_.data(), text, caption, buttons, icon);
}

TMsgResult QtDesktopShell::ShowBox(QWidget* parent, const std::string& text,
                                   const std::string& caption, TMsgButtons buttons, TMsgIcon icon) {
  QMessageBox box(parent);
  box.setWindowTitle(FromUtf8(caption));
  box.setText(FromUtf8(text));
  // Message texts are plain: a "<" in a translation must show as it is.
  box.setTextFormat(Qt::PlainText);
  switch (icon) {
    case TMsgIcon::miNone:
      box.setIcon(QMessageBox::NoIcon);
      break;
    case TMsgIcon::miInformation:
      box.setIcon(QMessageBox::Information);
      break;
    case TMsgIcon::miWarning:
      box.setIcon(QMessageBox::Warning);
      break;
    case TMsgIcon::miError:
      box.setIcon(QMessageBox::Critical);
      break;
    case TMsgIcon::miQuestion:
      box.setIcon(QMessageBox::Question);
      break;
  }
  QMessageBox::StandardButtons standard;
  QMessageBox::StandardButton escape = QMessageBox::Ok;
  switch (buttons) {
    case TMsgButtons::mbOK:
      standard = QMessageBox::Ok;
      escape = QMessageBox::Ok;
      break;
    case TMsgButtons::mbOKCancel:
      standard = QMessageBox::Ok | QMessageBox::Cancel;
      escape = QMessageBox::Cancel;
      break;
    case TMsgButtons::mbYesNo:
      standard = QMessageBox::Yes | QMessageBox::No;
      escape = QMessageBox::No;
      break;
    case TMsgButtons::mbYesNoCancel:
      standard = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
      escape = QMessageBox::Cancel;
      break;
  }
  box.setStandardButtons(standard);
  box.setEscapeButton(escape);
  // The program lives in the tray: a box it raises must come to the front
  // over whatever application has the focus.
  // Modal before it is shown: a window already visible keeps its modality,
  // and the program's other windows must not be usable under the box.
  box.setWindowModality(Qt::ApplicationModal);
  box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  box.show();
  box.raise();
  box.activateWindow();
  int answer = box.exec();
  // Closed some other way: as the escape button.
  if (!standard.testFlag(static_cast<QMessageBox::StandardButton>(answer))) answer = escape;
  switch (answer) {
    case QMessageBox::Yes:
      return TMsgResult::mrYes;
    case QMessageBox::No:
      return TMsgResult::mrNo;
    case QMessageBox::Cancel:
      return TMsgResult::mrCancel;
    default:
      return TMsgResult::mrOK;
  }
}

bool QtDesktopShell::Open(const std::string& fileOrUrl) {
  const QString target = FromUtf8(fileOrUrl);
  // A path (absolute or relative to the working folder) becomes a file URL;
  // anything with a scheme stays as it is.
  QUrl url = QUrl(target, QUrl::StrictMode);
  if (url.scheme().size() < 2 || QFileInfo::exists(target))
    url = QUrl::fromLocalFile(QFileInfo(target).absoluteFilePath());
  return url.isValid() && QDesktopServices::openUrl(url);
}

bool QtDesktopShell::OpenWith(const std::string& program, const std::string& file) {
  if (program.empty()) return false;
  return QProcess::startDetached(FromUtf8(program), {FromUtf8(file)});
}

}  // namespace parlumo
