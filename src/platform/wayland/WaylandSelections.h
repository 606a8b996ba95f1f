#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "desktop/Keyboard.h"
#include "desktop/MarkedText.h"
#include "runtime/EventLoop.h"

namespace parlumo {

// The selections of a Wayland seat over the data-control protocol, on a
// connection of its own beside the toolkit's: the primary selection (the text
// the user has marked) and the clipboard, read and written without keyboard
// focus, which a program in the notification area never has. The first seat
// the compositor announces is used.
//
// Only text is read: the UTF-8 flavours first, plain text after them. A
// selection that offers no text reads as empty.
class WaylandSelections final : public MarkedTextPlatform, public ClipboardPlatform {
 public:
  // Which protocol the compositor offers; both carry the same messages.
  enum class Protocol {
    Ext,  // ext-data-control-v1 (wayland-protocols staging)
    Wlr,  // zwlr-data-control-unstable-v1, version 2 (the primary selection)
  };

  // Connects to the compositor of WAYLAND_DISPLAY. Nothing when there is no
  // Wayland display, or the compositor offers neither protocol (GNOME's
  // mutter) or no seat. The connection's events are dispatched on the loop,
  // which must outlive the object.
  static std::unique_ptr<WaylandSelections> Connect(EventLoop& loop);
  ~WaylandSelections() override;
  WaylandSelections(const WaylandSelections&) = delete;
  WaylandSelections& operator=(const WaylandSelections&) = delete;

  Protocol Used() const;

  // The longest a read waits for the selection's owner to write its data;
  // a program that does not answer in time counts as unreadable.
  static constexpr std::chrono::milliseconds kReadWait{1000};
  // Longer texts are cut off here (no one marks more for a translation).
  static constexpr std::size_t kMaxText = 16u << 20;

  // MarkedTextPlatform: the primary selection.
  std::optional<std::string> ReadMarkedText() override;
  // ClipboardPlatform: the clipboard. Reading fails when the connection is
  // lost or the owner does not answer; a written text stays the clipboard's
  // until another program copies, and is handed out while the loop runs.
  bool ReadText(std::string& text) override;
  bool WriteText(const std::string& text) override;

  // The protocol's side, one per protocol (in the source file).
  class Client;

 private:
  explicit WaylandSelections(std::unique_ptr<Client> client);
  std::unique_ptr<Client> client_;
};

// The text of a selection's data: UTF-8 as it is; data that is no valid UTF-8
// read as Latin-1, whatever the type said (programs label Latin-1 text as
// UTF-8, and the program must never pass on invalid UTF-8). A NUL ends it.
std::string SelectionText(std::string data);

}  // namespace parlumo
