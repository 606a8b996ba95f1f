// The selected-text capture over a fake keyboard, clipboard and change watch:
// the synthetic events of both variants, the early end of the wait and what
// the clipboard gives.
#include "hotkeys/SelectedText.h"

#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <string>
#include <vector>

#include "desktop/VirtualKeyCodes.h"
#include "fakes/FakeKeyboard.h"
#include "runtime/PollEventLoop.h"

namespace parlumo {
namespace {

using fake::FakeClipboard;
using fake::FakeClipboardWatch;
using fake::FakeKeyboard;
using Strings = std::vector<std::string>;

class SelectedTextTest : public ::testing::Test {
 protected:
  SelectedTextTest() {
    keyboard.log = &log;
    watch.log = &log;
    clipboard.watch = &watch;
    keyboard.scanCodes = {{kVkControl, 29}, {kVkC, 46}};
    // The focused application copies in its own time: after the keystroke
    // has gone through the system's input.
    keyboard.onCopy = [this] {
      if (!copies) return;
      loop.Post([this] {
        log.push_back("application copies");
        clipboard.Copy(selection);
      });
    };
  }

  std::optional<std::string> Capture(TCaptureVariant variant,
                                     std::chrono::milliseconds wait = kCaptureWait) {
    return CaptureSelectedText(variant, TCapturePlatform{keyboard, clipboard, watch, loop, wait});
  }

  PollEventLoop loop;
  Strings log;
  FakeKeyboard keyboard;
  FakeClipboard clipboard;
  FakeClipboardWatch watch;
  bool copies = true;
  std::optional<std::string> selection = "marked";
};

TEST_F(SelectedTextTest, SyntheticEventsOfBothVariants) {
  const struct {
    const char* name;
    TCaptureVariant variant;
    std::set<std::uint8_t> held;
    Strings expected;  // the whole log: the watch, the keys and the copy
  } cases[] = {
      {"quick, nothing held",
       TCaptureVariant::cvQuick,
       {},
       {"watch armed", "Ctrl down", "C down", "C up", "Ctrl up", "application copies",
        "watch disarmed"}},
      {"quick, Ctrl+Alt held",
       TCaptureVariant::cvQuick,
       {kVkControl, kVkMenu},
       {"watch armed", "Alt up", "Ctrl up", "Ctrl down", "C down", "C up", "Ctrl up", "Alt down",
        "Ctrl down", "application copies", "watch disarmed"}},
      {"quick, Shift held",
       TCaptureVariant::cvQuick,
       {kVkShift},
       {"watch armed", "Shift up", "Ctrl down", "C down", "C up", "Ctrl up", "Shift down",
        "application copies", "watch disarmed"}},
      {"quick, all three held",
       TCaptureVariant::cvQuick,
       {kVkShift, kVkControl, kVkMenu},
       {"watch armed", "Alt up", "Ctrl up", "Shift up", "Ctrl down", "C down", "C up", "Ctrl up",
        "Alt down", "Ctrl down", "Shift down", "application copies", "watch disarmed"}},
      // The file variant waits between the key-downs and the key-ups; held
      // modifiers go up around the keystroke, as in the quick variant, or an
      // Alt chord's Alt would make it Ctrl+Alt+C, which copies nothing.
      {"file, nothing held",
       TCaptureVariant::cvFile,
       {},
       {"watch armed", "Ctrl down/29", "C down/46", "application copies", "C up/46", "Ctrl up/29",
        "watch disarmed"}},
      {"file, Ctrl+Alt held",
       TCaptureVariant::cvFile,
       {kVkControl, kVkMenu},
       {"watch armed", "Alt up", "Ctrl up", "Ctrl down/29", "C down/46", "application copies",
        "C up/46", "Ctrl up/29", "Alt down", "Ctrl down", "watch disarmed"}},
      {"file, Alt held",
       TCaptureVariant::cvFile,
       {kVkMenu},
       {"watch armed", "Alt up", "Ctrl down/29", "C down/46", "application copies", "C up/46",
        "Ctrl up/29", "Alt down", "watch disarmed"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    log.clear();
    keyboard.down = c.held;
    EXPECT_EQ(Capture(c.variant), "marked");
    EXPECT_EQ(log, c.expected);
    // The keys are down again as the user holds them.
    EXPECT_EQ(keyboard.down, c.held);
    EXPECT_FALSE(watch.Armed());
  }
}

TEST_F(SelectedTextTest, WaitEndsWhenTheClipboardChanges) {
  using Clock = std::chrono::steady_clock;
  for (const TCaptureVariant variant : {TCaptureVariant::cvQuick, TCaptureVariant::cvFile}) {
    SCOPED_TRACE(variant == TCaptureVariant::cvQuick ? "quick" : "file");
    // The application copies: the capture goes on at once.
    copies = true;
    auto start = Clock::now();
    EXPECT_EQ(Capture(variant, std::chrono::milliseconds(2000)), "marked");
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1000));

    // Nothing copies: the capture waits the whole time, then reads what the
    // clipboard held before.
    copies = false;
    clipboard.content = "earlier";
    start = Clock::now();
    EXPECT_EQ(Capture(variant), "earlier");
    EXPECT_GE(Clock::now() - start, kCaptureWait);
  }
}

TEST_F(SelectedTextTest, ClipboardOutcomes) {
  const struct {
    const char* name;
    bool applicationCopies;
    std::optional<std::string> copied;    // what the application puts there
    std::optional<std::string> before;    // what the clipboard held
    int failingReads;                     // reads another program blocks
    std::optional<std::string> expected;  // nothing: clipboard not available
    int reads;
  } cases[] = {
      {"marked text", true, "Hällo", "old", 0, "Hällo", 1},
      {"nothing marked: the earlier text", false, {}, "old", 0, "old", 1},
      {"nothing marked, no earlier text", false, {}, {}, 0, "", 1},
      {"a picture only: empty text", true, {}, "old", 0, "", 1},
      {"busy once: the second attempt reads", true, "text", {}, 1, "text", 2},
      {"busy twice: not available", true, "text", {}, 2, std::nullopt, 2},
  };
  for (const TCaptureVariant variant : {TCaptureVariant::cvQuick, TCaptureVariant::cvFile}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(c.name);
      copies = c.applicationCopies;
      selection = c.copied;
      clipboard.content = c.before;
      clipboard.failingReads = c.failingReads;
      clipboard.reads = 0;
      EXPECT_EQ(Capture(variant, std::chrono::milliseconds(20)), c.expected);
      EXPECT_EQ(clipboard.reads, c.reads);
    }
  }
}

// A marked text the program reads itself (a Wayland seat): no keystroke at
// all, in either variant; the clipboard only when nothing is marked or the
// marked text cannot be read.
TEST_F(SelectedTextTest, MarkedTextIsReadWithoutKeystrokes) {
  struct FakeMarked final : MarkedTextPlatform {
    std::optional<std::string> text;
    int reads = 0;
    std::optional<std::string> ReadMarkedText() override {
      ++reads;
      return text;
    }
  };
  const struct {
    const char* name;
    std::optional<std::string> marked;  // nothing: the selection cannot be read
    std::optional<std::string> before;  // the clipboard's text
    std::optional<std::string> expected;
    int clipboardReads;
  } cases[] = {
      {"marked text", "Grüße", "old", "Grüße", 0},
      {"nothing marked: the clipboard", "", "old", "old", 1},
      {"selection unreadable: the clipboard", std::nullopt, "old", "old", 1},
      {"nothing marked, clipboard empty", "", "", "", 1},
      {"nothing marked, clipboard unavailable", "", std::nullopt, std::nullopt, 2},
  };
  for (const TCaptureVariant variant : {TCaptureVariant::cvQuick, TCaptureVariant::cvFile}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(c.name);
      FakeMarked marked;
      marked.text = c.marked;
      clipboard.content = c.before;
      clipboard.failingReads = c.before ? 0 : 2;
      clipboard.reads = 0;
      keyboard.events.clear();
      TCapturePlatform platform{keyboard, clipboard, watch, loop, kCaptureWait, &marked};
      EXPECT_EQ(CaptureSelectedText(variant, platform), c.expected);
      EXPECT_EQ(marked.reads, 1);
      EXPECT_EQ(clipboard.reads, c.clipboardReads);
      EXPECT_EQ(keyboard.events, Strings{});
    }
  }
}

TEST(LinesTest, SplitAndJoin) {
  const struct {
    std::string text;
    Strings lines;
    std::string joined;
  } cases[] = {
      {"", {}, ""},
      {"a\r\nb", {"a", "b"}, "a\r\nb\r\n"},
      {"one\ntwo", {"one", "two"}, "one\r\ntwo\r\n"},
      {"a\rb\r", {"a", "b"}, "a\r\nb\r\n"},
      {"a\r\n", {"a"}, "a\r\n"},
      {"\r\n", {""}, "\r\n"},
      {"a\n\nb", {"a", "", "b"}, "a\r\n\r\nb\r\n"},
      {"a\n\rb", {"a", "", "b"}, "a\r\n\r\nb\r\n"},
      {"Grüße\r\n€", {"Grüße", "€"}, "Grüße\r\n€\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(SplitLines(c.text), c.lines);
    EXPECT_EQ(JoinLines(SplitLines(c.text)), c.joined);
  }
}

}  // namespace
}  // namespace parlumo
