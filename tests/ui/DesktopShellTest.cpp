// Message boxes, the detached program start and the clipboard's text on the
// Qt adapters (offscreen).
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include "desktop/IconHide.h"
#include "platform/qt/QtClipboard.h"
#include "platform/qt/QtDesktop.h"
#include "platform/qt/QtTaskbarWindow.h"
#include "support/QtWait.h"

namespace parlumo {
namespace {

using test::WaitUntil;

struct SeenBox {
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  Qt::TextFormat format = Qt::AutoText;
  bool stayOnTop = false;
  Qt::WindowModality modality = Qt::NonModal;
  QWidget* parent = nullptr;
};

// Answers the next message box: notes what it shows, then presses the button
// (or Escape when the button is NoButton).
void AnswerNextBox(SeenBox& seen, QMessageBox::StandardButton press) {
  auto* poll = new QTimer(qApp);
  QObject::connect(poll, &QTimer::timeout, [poll, &seen, press] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    poll->stop();
    poll->deleteLater();
    seen.title = box->windowTitle();
    seen.text = box->text();
    seen.icon = box->icon();
    seen.buttons = box->standardButtons();
    seen.format = box->textFormat();
    seen.stayOnTop = box->windowFlags() & Qt::WindowStaysOnTopHint;
    seen.parent = box->parentWidget();
    seen.modality = box->windowModality();
    if (press == QMessageBox::NoButton)
      box->reject();
    else
      box->button(press)->click();
  });
  poll->start(10);
}

TEST(QtDesktopShellTest, MessageBoxShowsCaptionTextIconAndButtonsAndAnswers) {
  using SB = QMessageBox;
  struct Case {
    TMsgButtons buttons;
    TMsgIcon icon;
    SB::StandardButtons shown;
    SB::Icon qtIcon;
    SB::StandardButton press;  // NoButton: closed with Escape
    TMsgResult expected;
  };
  const Case cases[] = {
      {TMsgButtons::mbOK, TMsgIcon::miWarning, SB::Ok, SB::Warning, SB::Ok, TMsgResult::mrOK},
      {TMsgButtons::mbOK, TMsgIcon::miError, SB::Ok, SB::Critical, SB::NoButton, TMsgResult::mrOK},
      {TMsgButtons::mbYesNo, TMsgIcon::miQuestion, SB::Yes | SB::No, SB::Question, SB::Yes,
       TMsgResult::mrYes},
      {TMsgButtons::mbYesNo, TMsgIcon::miQuestion, SB::Yes | SB::No, SB::Question, SB::NoButton,
       TMsgResult::mrNo},
      {TMsgButtons::mbYesNoCancel, TMsgIcon::miWarning, SB::Yes | SB::No | SB::Cancel, SB::Warning,
       SB::No, TMsgResult::mrNo},
      {TMsgButtons::mbYesNoCancel, TMsgIcon::miWarning, SB::Yes | SB::No | SB::Cancel, SB::Warning,
       SB::NoButton, TMsgResult::mrCancel},
      {TMsgButtons::mbOKCancel, TMsgIcon::miInformation, SB::Ok | SB::Cancel, SB::Information,
       SB::NoButton, TMsgResult::mrCancel},
      {TMsgButtons::mbOKCancel, TMsgIcon::miNone, SB::Ok | SB::Cancel, SB::NoIcon, SB::Ok,
       TMsgResult::mrOK},
  };
  QtDesktopShell shell;
  for (const Case& c : cases) {
    SeenBox seen;
    AnswerNextBox(seen, c.press);
    const TMsgResult result = shell.MessageBox("Übersetzung <b>fertig</b>", "Parlumo – Hinweis",
                                               c.buttons, c.icon, false);
    SCOPED_TRACE(static_cast<int>(c.buttons) * 10 + static_cast<int>(c.press));
    EXPECT_EQ(result, c.expected);
    EXPECT_EQ(seen.title, QString("Parlumo – Hinweis"));
    // Shown as plain text: a translation holding markup is shown as it is.
    EXPECT_EQ(seen.text, QString("Übersetzung <b>fertig</b>"));
    EXPECT_EQ(seen.format, Qt::PlainText);
    EXPECT_EQ(seen.icon, c.qtIcon);
    EXPECT_EQ(seen.buttons, c.shown);
    EXPECT_TRUE(seen.stayOnTop);
    EXPECT_EQ(seen.modality, Qt::ApplicationModal);
  }
}

TEST(QtDesktopShellTest, OwnedBoxesBelongToTheMainFormOrTheirWindowOthersStandAlone) {
  QtDesktopShell shell;
  QWidget mainForm;
  QWidget window;
  shell.SetMainForm(&mainForm);
  SeenBox owned, alone, ofWindow, ofNoWindow;
  AnswerNextBox(owned, QMessageBox::Ok);
  shell.MessageBox("a", "b", TMsgButtons::mbOK, TMsgIcon::miNone, true);
  AnswerNextBox(alone, QMessageBox::Ok);
  shell.MessageBox("a", "b", TMsgButtons::mbOK, TMsgIcon::miNone, false);
  AnswerNextBox(ofWindow, QMessageBox::Ok);
  shell.WindowMessageBox(&window, "a", "b", TMsgButtons::mbOK, TMsgIcon::miNone);
  AnswerNextBox(ofNoWindow, QMessageBox::Ok);
  shell.WindowMessageBox(nullptr, "a", "b", TMsgButtons::mbOK, TMsgIcon::miNone);
  EXPECT_EQ(owned.parent, &mainForm);
  EXPECT_EQ(alone.parent, nullptr);
  EXPECT_EQ(ofWindow.parent, &window);
  EXPECT_EQ(ofNoWindow.parent, &mainForm);
}

TEST(QtDesktopShellTest, OpenWithStartsTheProgramWithTheFileAsItsOneArgument) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  // The script names a file with a blank, so a split argument would show.
  const QString script = dir.filePath("write marker.sh");
  const QString marker = dir.filePath("marker");
  {
    QFile file(script);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(("echo \"$#:$0\" > '" + marker + "'\n").toUtf8());
  }
  QtDesktopShell shell;
  ASSERT_TRUE(shell.OpenWith("/bin/sh", script.toStdString()));
  ASSERT_TRUE(WaitUntil([&] { return QFile(marker).size() > 0; }));
  QFile result(marker);
  ASSERT_TRUE(result.open(QIODevice::ReadOnly));
  EXPECT_EQ(QString::fromUtf8(result.readAll()).trimmed(), "0:" + script);

  EXPECT_FALSE(shell.OpenWith(dir.filePath("no such program").toStdString(), "x"));
  EXPECT_FALSE(shell.OpenWith("", "x"));
}

// A program named without a folder is looked up on PATH, as a shell would,
// and started directly: never from the working folder, never through a shell.
TEST(QtDesktopShellTest, OpenWithFindsAProgramNamedWithoutAFolderOnPath) {
  QTemporaryDir onPath;
  QTemporaryDir elsewhere;
  ASSERT_TRUE(onPath.isValid() && elsewhere.isValid());
  const QString marker = onPath.filePath("marker");
  const auto writeProgram = [&](const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(("#!/bin/sh\necho \"$#:$1\" > '" + marker + "'\n").toUtf8());
    file.close();
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  };
  writeProgram(onPath.filePath("parlumo-opener"));
  writeProgram(elsewhere.filePath("parlumo-elsewhere"));

  const QByteArray previousPath = qgetenv("PATH");
  const QString previousFolder = QDir::currentPath();
  qputenv("PATH", QFile::encodeName(onPath.path()) + ":" + previousPath);
  QDir::setCurrent(elsewhere.path());
  QtDesktopShell shell;
  // Blanks and a shell's special characters reach the program as they are.
  const std::string file = "/tmp/My Files/out put; $(x) 'y'.txt";
  const bool started = shell.OpenWith("parlumo-opener", file);
  const bool startedFromWorkingFolder = shell.OpenWith("parlumo-elsewhere", "x");
  QDir::setCurrent(previousFolder);
  qputenv("PATH", previousPath);

  ASSERT_TRUE(started);
  ASSERT_TRUE(WaitUntil([&] { return QFile(marker).size() > 0; }));
  QFile result(marker);
  ASSERT_TRUE(result.open(QIODevice::ReadOnly));
  EXPECT_EQ(QString::fromUtf8(result.readAll()).trimmed(), "1:" + QString::fromStdString(file));
  EXPECT_FALSE(startedFromWorkingFolder);
}

TEST(QtClipboardTest, TextGoesRoundAndOtherFormatsReadAsEmpty) {
  QtClipboard clipboard;
  ASSERT_TRUE(clipboard.WriteText("grün → ✓\r\nzweite Zeile"));
  std::string text;
  ASSERT_TRUE(clipboard.ReadText(text));
  EXPECT_EQ(text, "grün → ✓\r\nzweite Zeile");

  // Only a picture on the clipboard: available, text empty.
  QImage picture(4, 4, QImage::Format_RGB32);
  picture.fill(Qt::red);
  QGuiApplication::clipboard()->setImage(picture);
  text = "stale";
  ASSERT_TRUE(clipboard.ReadText(text));
  EXPECT_EQ(text, "");
}

TEST(QtTaskbarWindowTest, HidingKeepsTheFormOffTheTaskbarAndItsVisibility) {
  for (const bool shown : {true, false}) {
    SCOPED_TRACE(shown);
    QWidget form;
    form.setVisible(shown);
    QtTaskbarWindow window(&form);
    IconHideState state(window);
    TIconHide hide(state);
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::Tool));
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(window.ExStyle(), TaskbarWindow::kExToolWindow | TaskbarWindow::kExTopmost);
    EXPECT_EQ(form.isVisible(), shown);
    hide.SetHidden(false);
    EXPECT_FALSE(form.windowFlags().testFlag(Qt::Tool));
    EXPECT_FALSE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(form.isVisible(), shown);
  }
}

}  // namespace
}  // namespace parlumo

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Widgets without a display, also when ctest lists the tests.
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
