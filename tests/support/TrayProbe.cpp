#include "TrayProbe.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace parlumo::test {

namespace {

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T>
Reply<T> Own(T* reply) {
  return Reply<T>(reply, &std::free);
}

std::vector<xcb_window_t> Children(xcb_connection_t* c, xcb_window_t window) {
  const auto reply = Own(xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
  if (!reply) return {};
  const xcb_window_t* first = xcb_query_tree_children(reply.get());
  return {first, first + xcb_query_tree_children_length(reply.get())};
}

std::string Property(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property,
                     xcb_atom_t type) {
  const auto reply = Own(
      xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, type, 0, 256), nullptr));
  if (!reply) return {};
  return {static_cast<const char*>(xcb_get_property_value(reply.get())),
          static_cast<std::size_t>(xcb_get_property_value_length(reply.get()))};
}

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
  const auto reply = Own(xcb_intern_atom_reply(
      c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr));
  return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

bool Viewable(xcb_connection_t* c, xcb_window_t window) {
  const auto reply =
      Own(xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr));
  return reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
}

// The first viewable window of the process below window, depth first.
std::optional<xcb_window_t> WindowOf(xcb_connection_t* c, xcb_window_t window, xcb_atom_t pidAtom,
                                     pid_t pid) {
  for (xcb_window_t child : Children(c, window)) {
    const std::string value = Property(c, child, pidAtom, XCB_ATOM_CARDINAL);
    if (value.size() == 4) {
      std::uint32_t owner = 0;
      std::memcpy(&owner, value.data(), 4);
      if (owner == static_cast<std::uint32_t>(pid) && Viewable(c, child)) return child;
    }
    if (auto found = WindowOf(c, child, pidAtom, pid)) return found;
  }
  return std::nullopt;
}

}  // namespace

TrayProbe::TrayProbe(const char* display) : connection_(xcb_connect(display, nullptr)) {}

TrayProbe::~TrayProbe() {
  xcb_disconnect(connection_);
}

bool TrayProbe::Connected() const {
  return xcb_connection_has_error(connection_) == 0;
}

std::optional<ScreenRect> TrayProbe::IconOf(pid_t pid, const std::string& hostClass) {
  if (!Connected()) return std::nullopt;
  xcb_connection_t* c = connection_;
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  const xcb_atom_t pidAtom = Atom(c, "_NET_WM_PID");
  for (xcb_window_t host : Children(c, root)) {
    if (Property(c, host, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING).find(hostClass) ==
        std::string::npos) {
      continue;
    }
    const auto icon = WindowOf(c, host, pidAtom, pid);
    if (!icon) continue;
    const auto geometry = Own(xcb_get_geometry_reply(c, xcb_get_geometry(c, *icon), nullptr));
    const auto at = Own(xcb_translate_coordinates_reply(
        c, xcb_translate_coordinates(c, *icon, root, 0, 0), nullptr));
    if (!geometry || !at) continue;
    return ScreenRect{at->dst_x, at->dst_y, geometry->width, geometry->height};
  }
  return std::nullopt;
}

}  // namespace parlumo::test
