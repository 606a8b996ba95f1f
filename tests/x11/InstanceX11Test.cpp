// The single-instance guard between real processes on the X server: a second
// copy hands its parameters to the first, brings it forward and exits 0; of
// copies started together exactly one stays.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>
#include <memory>

#include "x11/X11TestSupport.h"

namespace parlumo {
namespace {

using x11test::Pump;
using x11test::WaitUntil;
using x11test::Xdotool;

class Peer {
 public:
  Peer(const QString& folder, const QStringList& parameters) {
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(PARLUMO_INSTANCE_PEER, QStringList{folder} + parameters);
  }
  ~Peer() {
    if (process_.state() != QProcess::NotRunning) {
      process_.kill();
      process_.waitForFinished(5000);
    }
  }

  // Everything the peer printed so far.
  QString Output() {
    output_ += QString::fromUtf8(process_.readAllStandardOutput());
    return output_;
  }
  bool Printed(const QString& line) { return Output().split('\n').contains(line); }
  bool Running() const { return process_.state() != QProcess::NotRunning; }
  int ExitCode() const { return process_.exitCode(); }
  QProcess::ExitStatus ExitStatus() const { return process_.exitStatus(); }
  qint64 Pid() const { return process_.processId(); }

 private:
  QProcess process_;
  QString output_;
};

TEST(InstanceX11Test, SecondCopyHandsOverBringsTheFirstForwardAndExitsZero) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  Peer first(folder.path(), {});
  ASSERT_TRUE(WaitUntil([&] { return first.Printed("ready"); }, 15000))
      << first.Output().toStdString();
  const qint64 firstPid = first.Pid();

  // ".EXE" in any case starts the text again.
  Peer second(folder.path(), {"ignored", "C:\\Parlumo\\parlumo.ExE", "Straße", "b c"});
  ASSERT_TRUE(WaitUntil([&] { return !second.Running(); }, 15000));
  EXPECT_EQ(second.ExitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.ExitCode(), 0);
  EXPECT_FALSE(second.Printed("ready"));

  ASSERT_TRUE(WaitUntil([&] { return first.Printed("forward"); }, 5000))
      << first.Output().toStdString();
  EXPECT_TRUE(first.Printed("parameters:Straße b c ")) << first.Output().toStdString();
  // The first copy's window is shown and has the input focus.
  const QString title = QString("instance peer %1").arg(firstPid);
  EXPECT_TRUE(WaitUntil([&] {
    return Xdotool({"getwindowfocus", "getwindowname"}).trimmed() == title;
  }));
  EXPECT_TRUE(first.Running());

  // A copy without parameters only brings the first forward.
  Peer third(folder.path(), {});
  ASSERT_TRUE(WaitUntil([&] { return !third.Running(); }, 15000));
  EXPECT_EQ(third.ExitCode(), 0);
  EXPECT_TRUE(WaitUntil([&] { return first.Output().count("forward") == 2; }));
  EXPECT_EQ(first.Output().count("parameters:"), 1);
}

TEST(InstanceX11Test, CopiesStartedTogetherLeaveExactlyOne) {
  for (int round = 0; round < 5; ++round) {
    SCOPED_TRACE(round);
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    auto a = std::make_unique<Peer>(folder.path(), QStringList{"from-a"});
    auto b = std::make_unique<Peer>(folder.path(), QStringList{"from-b"});
    ASSERT_TRUE(WaitUntil([&] { return !a->Running() || !b->Running(); }, 15000));
    Peer& gone = a->Running() ? *b : *a;
    Peer& stays = a->Running() ? *a : *b;
    EXPECT_EQ(gone.ExitStatus(), QProcess::NormalExit);
    EXPECT_EQ(gone.ExitCode(), 0);
    ASSERT_TRUE(WaitUntil([&] { return stays.Printed("ready"); }, 15000));
    // The one that stayed got the other's parameters.
    const QString other = &gone == a.get() ? "parameters:from-a " : "parameters:from-b ";
    EXPECT_TRUE(WaitUntil([&] { return stays.Printed(other); })) << stays.Output().toStdString();
    Pump(300);
    EXPECT_TRUE(stays.Running());
  }
}

}  // namespace
}  // namespace parlumo
