// XWayland's PRIMARY as a program without focus reads it, on the real X
// server: a selection owner of our own on a connection of its own (another
// thread, as another client would be) answers the way the case says.
#include "platform/x11/X11Selection.h"

#include <gtest/gtest.h>
#include <poll.h>
// Xlib after gtest: its None macro would break gtest's own None.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <atomic>
#include <future>
#include <thread>

namespace parlumo {
namespace {

// How the owner answers a request for a type.
enum class Answer {
  Utf8Only,    // UTF8_STRING with the text; other types refused
  StringOnly,  // STRING (Latin-1) with the text; UTF8_STRING refused
  Silent,      // never answers
};

// An X client that owns PRIMARY with a text until it is destroyed.
class SelectionOwner {
 public:
  SelectionOwner(std::string text, Answer answer) : text_(std::move(text)), answer_(answer) {
    std::promise<bool> owned;
    auto result = owned.get_future();
    thread_ = std::thread([this, &owned] { Serve(owned); });
    owns_ = result.get();
  }
  ~SelectionOwner() {
    stop_ = true;
    thread_.join();
  }
  bool Owns() const { return owns_; }

 private:
  void Serve(std::promise<bool>& owned) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
      owned.set_value(false);
      return;
    }
    const Window window =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    XSetSelectionOwner(display, XA_PRIMARY, window, CurrentTime);
    XSync(display, False);
    owned.set_value(XGetSelectionOwner(display, XA_PRIMARY) == window);
    while (!stop_) {
      while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type != SelectionRequest || answer_ == Answer::Silent) continue;
        const XSelectionRequestEvent& request = event.xselectionrequest;
        const Atom wanted = answer_ == Answer::Utf8Only ? utf8 : XA_STRING;
        XSelectionEvent reply{};
        reply.type = SelectionNotify;
        reply.requestor = request.requestor;
        reply.selection = request.selection;
        reply.target = request.target;
        reply.time = request.time;
        reply.property = None;
        if (request.target == wanted) {
          XChangeProperty(display, request.requestor, request.property, wanted, 8, PropModeReplace,
                          reinterpret_cast<const unsigned char*>(text_.data()),
                          static_cast<int>(text_.size()));
          reply.property = request.property;
        }
        XSendEvent(display, request.requestor, False, 0, reinterpret_cast<XEvent*>(&reply));
        XFlush(display);
      }
      pollfd p{ConnectionNumber(display), POLLIN, 0};
      ::poll(&p, 1, 20);
    }
    XDestroyWindow(display, window);
    XCloseDisplay(display);
  }

  std::string text_;
  Answer answer_;
  std::atomic<bool> stop_ = false;
  bool owns_ = false;
  std::thread thread_;
};

TEST(X11PrimarySelectionTest, ReadsTheMarkedTextAsUtf8) {
  std::unique_ptr<X11PrimarySelection> primary = X11PrimarySelection::Connect();
  ASSERT_TRUE(primary) << "no X server";
  const struct {
    const char* name;
    std::string owned;  // the owner's bytes
    Answer answer;
    std::optional<std::string> expected;
  } cases[] = {
      {"UTF-8 text", "Grüße aus Köln", Answer::Utf8Only, "Grüße aus Köln"},
      {"Latin-1 text only",
       "Gr\xFC\xDF"
       "e",
       Answer::StringOnly, "Grüße"},
      {"an owner that never answers", "x", Answer::Silent, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SelectionOwner owner(c.owned, c.answer);
    ASSERT_TRUE(owner.Owns());
    EXPECT_EQ(primary->ReadMarkedText(), c.expected);
  }
  // The last owner is gone: nothing is marked.
  EXPECT_EQ(primary->ReadMarkedText(), std::string());
}

}  // namespace
}  // namespace parlumo
