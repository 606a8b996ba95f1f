#include "platform/wayland/WaylandSelections.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>
#include <string_view>
#include <vector>

#include "ext-data-control-v1-client-protocol.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

namespace parlumo {

namespace {

using Clock = std::chrono::steady_clock;

// The text flavours a selection is read in, best first.
constexpr std::array<std::string_view, 5> kTextFlavours{
    "text/plain;charset=utf-8", "UTF8_STRING", "text/plain", "STRING", "TEXT",
};

bool IsUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    char32_t code = 0;
    if (c < 0x80) {
      ++i;
      continue;
    }
    if ((c & 0xE0) == 0xC0) {
      length = 2;
      code = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      length = 3;
      code = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      length = 4;
      code = c & 0x07;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and values beyond Unicode are no UTF-8.
    constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kLeast[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
      return false;
    i += length;
  }
  return true;
}

std::string Latin1ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xC0 | (byte >> 6));
      out += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return out;
}

// Writes all of the text to the descriptor of a reader, which may read slowly,
// until the deadline; then closes it.
void WriteAndClose(int fd, const std::string& text, Clock::time_point deadline) {
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  std::size_t sent = 0;
  while (sent < text.size()) {
    const ssize_t n = ::write(fd, text.data() + sent, text.size() - sent);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) break;  // the reader went away
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd p{fd, POLLOUT, 0};
    if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
  }
  ::close(fd);
}

// The globals a client needs: the registry's announcements, collected once.
struct Globals {
  std::uint32_t ext = 0;
  std::uint32_t wlr = 0;
  std::uint32_t wlrVersion = 0;
  std::uint32_t seat = 0;
};

void OnGlobal(void* data, wl_registry* /*registry*/, std::uint32_t name, const char* interface,
              std::uint32_t version) {
  auto& globals = *static_cast<Globals*>(data);
  const std::string_view which = interface;
  if (which == ext_data_control_manager_v1_interface.name) globals.ext = name;
  if (which == zwlr_data_control_manager_v1_interface.name) {
    globals.wlr = name;
    globals.wlrVersion = version;
  }
  if (which == wl_seat_interface.name && globals.seat == 0) globals.seat = name;
}

void OnGlobalRemove(void* /*data*/, wl_registry* /*registry*/, std::uint32_t /*name*/) {}

constexpr wl_registry_listener kRegistryListener{&OnGlobal, &OnGlobalRemove};

// The two protocols' generated calls under one set of names.
struct ExtProtocol {
  using Manager = ext_data_control_manager_v1;
  using Device = ext_data_control_device_v1;
  using Source = ext_data_control_source_v1;
  using Offer = ext_data_control_offer_v1;
  using DeviceListener = ext_data_control_device_v1_listener;
  using SourceListener = ext_data_control_source_v1_listener;
  using OfferListener = ext_data_control_offer_v1_listener;
  static constexpr WaylandSelections::Protocol kProtocol = WaylandSelections::Protocol::Ext;
  static constexpr const wl_interface* kManager = &ext_data_control_manager_v1_interface;
  static constexpr std::uint32_t kVersion = 1;

  static Device* GetDevice(Manager* m, wl_seat* s) {
    return ext_data_control_manager_v1_get_data_device(m, s);
  }
  static Source* CreateSource(Manager* m) {
    return ext_data_control_manager_v1_create_data_source(m);
  }
  static void SetSelection(Device* d, Source* s) { ext_data_control_device_v1_set_selection(d, s); }
  static void AddType(Source* s, const char* mime) { ext_data_control_source_v1_offer(s, mime); }
  static void Receive(Offer* o, const char* mime, int fd) {
    ext_data_control_offer_v1_receive(o, mime, fd);
  }
  static int Listen(Device* d, const DeviceListener* l, void* data) {
    return ext_data_control_device_v1_add_listener(d, l, data);
  }
  static int Listen(Source* s, const SourceListener* l, void* data) {
    return ext_data_control_source_v1_add_listener(s, l, data);
  }
  static int Listen(Offer* o, const OfferListener* l, void* data) {
    return ext_data_control_offer_v1_add_listener(o, l, data);
  }
  static void Destroy(Manager* m) { ext_data_control_manager_v1_destroy(m); }
  static void Destroy(Device* d) { ext_data_control_device_v1_destroy(d); }
  static void Destroy(Source* s) { ext_data_control_source_v1_destroy(s); }
  static void Destroy(Offer* o) { ext_data_control_offer_v1_destroy(o); }
};

struct WlrProtocol {
  using Manager = zwlr_data_control_manager_v1;
  using Device = zwlr_data_control_device_v1;
  using Source = zwlr_data_control_source_v1;
  using Offer = zwlr_data_control_offer_v1;
  using DeviceListener = zwlr_data_control_device_v1_listener;
  using SourceListener = zwlr_data_control_source_v1_listener;
  using OfferListener = zwlr_data_control_offer_v1_listener;
  static constexpr WaylandSelections::Protocol kProtocol = WaylandSelections::Protocol::Wlr;
  static constexpr const wl_interface* kManager = &zwlr_data_control_manager_v1_interface;
  // The primary selection came with version 2.
  static constexpr std::uint32_t kVersion = 2;

  static Device* GetDevice(Manager* m, wl_seat* s) {
    return zwlr_data_control_manager_v1_get_data_device(m, s);
  }
  static Source* CreateSource(Manager* m) {
    return zwlr_data_control_manager_v1_create_data_source(m);
  }
  static void SetSelection(Device* d, Source* s) {
    zwlr_data_control_device_v1_set_selection(d, s);
  }
  static void AddType(Source* s, const char* mime) { zwlr_data_control_source_v1_offer(s, mime); }
  static void Receive(Offer* o, const char* mime, int fd) {
    zwlr_data_control_offer_v1_receive(o, mime, fd);
  }
  static int Listen(Device* d, const DeviceListener* l, void* data) {
    return zwlr_data_control_device_v1_add_listener(d, l, data);
  }
  static int Listen(Source* s, const SourceListener* l, void* data) {
    return zwlr_data_control_source_v1_add_listener(s, l, data);
  }
  static int Listen(Offer* o, const OfferListener* l, void* data) {
    return zwlr_data_control_offer_v1_add_listener(o, l, data);
  }
  static void Destroy(Manager* m) { zwlr_data_control_manager_v1_destroy(m); }
  static void Destroy(Device* d) { zwlr_data_control_device_v1_destroy(d); }
  static void Destroy(Source* s) { zwlr_data_control_source_v1_destroy(s); }
  static void Destroy(Offer* o) { zwlr_data_control_offer_v1_destroy(o); }
};

}  // namespace

std::string SelectionText(std::string data) {
  if (const auto nul = data.find('\0'); nul != std::string::npos) data.resize(nul);
  if (IsUtf8(data)) return data;
  return Latin1ToUtf8(data);
}

// The connection and what the protocol has told of the seat's selections.
class WaylandSelections::Client {
 public:
  virtual ~Client() = default;
  virtual Protocol Used() const = 0;
  // The text of the primary selection or the clipboard; nothing when it
  // cannot be read.
  virtual std::optional<std::string> Read(bool primary) = 0;
  virtual bool Write(const std::string& text) = 0;
};

namespace {

template <typename P>
class DataControlClient final : public WaylandSelections::Client {
 public:
  DataControlClient(EventLoop& loop, wl_display* display, wl_registry* registry, wl_seat* seat,
                    typename P::Manager* manager)
      : display_(display), registry_(registry), seat_(seat), manager_(manager) {
    device_ = P::GetDevice(manager_, seat_);
    P::Listen(device_, &kDeviceListener, this);
    watch_ = loop.WatchFd(wl_display_get_fd(display_), EventLoop::kRead,
                          [this](unsigned) { Dispatch(); });
  }

  ~DataControlClient() override {
    watch_.reset();
    for (auto& [offer, mimes] : offers_)
      P::Destroy(offer);
    if (source_ != nullptr) P::Destroy(source_);
    if (device_ != nullptr) P::Destroy(device_);
    P::Destroy(manager_);
    wl_seat_destroy(seat_);
    wl_registry_destroy(registry_);
    wl_display_disconnect(display_);
  }

  // The first events (the current selections) have arrived.
  bool Settle() { return wl_display_roundtrip(display_) >= 0; }

  WaylandSelections::Protocol Used() const override { return P::kProtocol; }

  std::optional<std::string> Read(bool primary) override {
    // The events up to now: the selection as it is at this moment.
    if (broken_ || wl_display_roundtrip(display_) < 0 || device_ == nullptr) {
      broken_ = true;
      return std::nullopt;
    }
    // Our own clipboard text is read from memory: asking the compositor would
    // have this thread write to a pipe it reads itself.
    if (!primary && source_ != nullptr && ownsSelection_) return ownText_;
    typename P::Offer* offer = primary ? primary_ : selection_;
    if (offer == nullptr) return std::string();
    const auto found = offers_.find(offer);
    if (found == offers_.end()) return std::string();
    for (const std::string_view flavour : kTextFlavours) {
      if (std::find(found->second.begin(), found->second.end(), flavour) == found->second.end())
        continue;
      std::optional<std::string> data = Receive(offer, std::string(flavour));
      if (!data) return std::nullopt;
      return SelectionText(std::move(*data));
    }
    return std::string();  // no text among the offered types
  }

  bool Write(const std::string& text) override {
    if (broken_ || device_ == nullptr) return false;
    if (source_ != nullptr) P::Destroy(source_);
    source_ = P::CreateSource(manager_);
    P::Listen(source_, &kSourceListener, this);
    for (const std::string_view flavour : kTextFlavours)
      P::AddType(source_, std::string(flavour).c_str());
    ownText_ = text;
    P::SetSelection(device_, source_);
    ownsSelection_ = true;
    if (wl_display_flush(display_) < 0 && errno != EAGAIN) {
      broken_ = true;
      return false;
    }
    // The compositor answers with the new selection; until the roundtrip a
    // read would still see the old one.
    return wl_display_roundtrip(display_) >= 0;
  }

 private:
  void Dispatch() {
    if (wl_display_dispatch(display_) < 0) {
      // The compositor went away or refused us: nothing more comes, and the
      // descriptor would report readiness for ever.
      broken_ = true;
      watch_.reset();
    }
  }

  // Asks the owner for the data in the type and reads it until the owner
  // closes its end. Our own events are dispatched meanwhile.
  std::optional<std::string> Receive(typename P::Offer* offer, const std::string& mime) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return std::nullopt;
    P::Receive(offer, mime.c_str(), fds[1]);
    ::close(fds[1]);
    if (wl_display_flush(display_) < 0 && errno != EAGAIN) {
      ::close(fds[0]);
      broken_ = true;
      return std::nullopt;
    }
    std::string data;
    bool complete = false;
    const auto deadline = Clock::now() + WaylandSelections::kReadWait;
    while (!complete) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) break;
      pollfd p[2] = {{fds[0], POLLIN, 0}, {wl_display_get_fd(display_), POLLIN, 0}};
      if (::poll(p, 2, static_cast<int>(left.count())) < 0) {
        if (errno == EINTR) continue;
        break;
      }
      if ((p[1].revents & POLLIN) != 0 && wl_display_dispatch(display_) < 0) {
        broken_ = true;
        break;
      }
      if ((p[0].revents & (POLLIN | POLLHUP)) == 0) continue;
      char buffer[65536];
      const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) break;
      if (n == 0) {
        complete = true;
        break;
      }
      data.append(buffer,
                  std::min(static_cast<std::size_t>(n), WaylandSelections::kMaxText - data.size()));
      if (data.size() >= WaylandSelections::kMaxText) complete = true;
    }
    ::close(fds[0]);
    if (!complete) return std::nullopt;
    return data;
  }

  void ForgetOffer(typename P::Offer* offer) {
    if (offer == nullptr) return;
    if (offer != selection_ && offer != primary_) {
      offers_.erase(offer);
      P::Destroy(offer);
    }
  }

  static void OnDataOffer(void* data, typename P::Device* /*device*/, typename P::Offer* offer) {
    auto& self = *static_cast<DataControlClient*>(data);
    self.offers_[offer];
    P::Listen(offer, &kOfferListener, &self);
  }
  static void OnSelection(void* data, typename P::Device* /*device*/, typename P::Offer* offer) {
    auto& self = *static_cast<DataControlClient*>(data);
    typename P::Offer* old = self.selection_;
    self.selection_ = offer;
    self.ForgetOffer(old);
  }
  static void OnPrimarySelection(void* data, typename P::Device* /*device*/,
                                 typename P::Offer* offer) {
    auto& self = *static_cast<DataControlClient*>(data);
    typename P::Offer* old = self.primary_;
    self.primary_ = offer;
    self.ForgetOffer(old);
  }
  static void OnFinished(void* data, typename P::Device* device) {
    // The seat went away: the device is inert from now on.
    auto& self = *static_cast<DataControlClient*>(data);
    P::Destroy(device);
    self.device_ = nullptr;
  }
  static void OnOffer(void* data, typename P::Offer* offer, const char* mime) {
    auto& self = *static_cast<DataControlClient*>(data);
    self.offers_[offer].emplace_back(mime);
  }
  static void OnSend(void* data, typename P::Source* /*source*/, const char* /*mime*/, int fd) {
    // Every offered type is the same UTF-8 text.
    auto& self = *static_cast<DataControlClient*>(data);
    WriteAndClose(fd, self.ownText_, Clock::now() + WaylandSelections::kReadWait);
  }
  static void OnCancelled(void* data, typename P::Source* source) {
    // Another program copied: the text is no longer ours to hand out.
    auto& self = *static_cast<DataControlClient*>(data);
    if (source == self.source_) {
      self.source_ = nullptr;
      self.ownsSelection_ = false;
      self.ownText_.clear();
    }
    P::Destroy(source);
  }

  static constexpr typename P::DeviceListener kDeviceListener{&OnDataOffer, &OnSelection,
                                                              &OnFinished, &OnPrimarySelection};
  static constexpr typename P::SourceListener kSourceListener{&OnSend, &OnCancelled};
  static constexpr typename P::OfferListener kOfferListener{&OnOffer};

  wl_display* display_;
  wl_registry* registry_;
  wl_seat* seat_;
  typename P::Manager* manager_;
  typename P::Device* device_ = nullptr;
  std::unique_ptr<EventLoop::Watch> watch_;
  // Offers announced and not yet given up, with their MIME types.
  std::map<typename P::Offer*, std::vector<std::string>> offers_;
  typename P::Offer* selection_ = nullptr;
  typename P::Offer* primary_ = nullptr;
  // The clipboard text this program offers, while it is the clipboard's.
  typename P::Source* source_ = nullptr;
  bool ownsSelection_ = false;
  std::string ownText_;
  bool broken_ = false;
};

template <typename P>
std::unique_ptr<WaylandSelections::Client> MakeClient(EventLoop& loop, wl_display* display,
                                                      wl_registry* registry, std::uint32_t seatName,
                                                      std::uint32_t managerName) {
  auto* seat = static_cast<wl_seat*>(wl_registry_bind(registry, seatName, &wl_seat_interface, 1));
  auto* manager = static_cast<typename P::Manager*>(
      wl_registry_bind(registry, managerName, P::kManager, P::kVersion));
  auto client = std::make_unique<DataControlClient<P>>(loop, display, registry, seat, manager);
  if (!client->Settle()) return nullptr;
  return client;
}

}  // namespace

WaylandSelections::WaylandSelections(std::unique_ptr<Client> client) : client_(std::move(client)) {}
WaylandSelections::~WaylandSelections() = default;

std::unique_ptr<WaylandSelections> WaylandSelections::Connect(EventLoop& loop) {
  wl_display* display = wl_display_connect(nullptr);
  if (display == nullptr) return nullptr;
  Globals globals;
  wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &kRegistryListener, &globals);
  const bool answered = wl_display_roundtrip(display) >= 0;
  std::unique_ptr<Client> client;
  if (answered && globals.seat != 0) {
    // The client owns the display and the registry from here on.
    if (globals.ext != 0) {
      client = MakeClient<ExtProtocol>(loop, display, registry, globals.seat, globals.ext);
    } else if (globals.wlr != 0 && globals.wlrVersion >= WlrProtocol::kVersion) {
      client = MakeClient<WlrProtocol>(loop, display, registry, globals.seat, globals.wlr);
    }
    if (client) return std::unique_ptr<WaylandSelections>(new WaylandSelections(std::move(client)));
    if (globals.ext != 0 || (globals.wlr != 0 && globals.wlrVersion >= WlrProtocol::kVersion))
      return nullptr;  // the client's destructor closed the connection
  }
  wl_registry_destroy(registry);
  wl_display_disconnect(display);
  return nullptr;
}

WaylandSelections::Protocol WaylandSelections::Used() const {
  return client_->Used();
}

std::optional<std::string> WaylandSelections::ReadMarkedText() {
  return client_->Read(true);
}

bool WaylandSelections::ReadText(std::string& text) {
  std::optional<std::string> read = client_->Read(false);
  if (!read) return false;
  text = std::move(*read);
  return true;
}

bool WaylandSelections::WriteText(const std::string& text) {
  return client_->Write(text);
}

}  // namespace parlumo
