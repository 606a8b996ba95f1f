#include "PageFetch.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "FormData.h"
#include "runtime/Ascii.h"

namespace parlumo::service {

namespace {

// %-encodes the bytes that may not stand in a request target as they are.
std::string EncodeTarget(std::string_view target) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : target) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F ||
        std::string_view("\"<>\\^`{|}").find(c) != std::string_view::npos) {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    } else {
      out += c;
    }
  }
  return out;
}

// Ends a fetch at its deadline, whatever it waits for: the client's own time-outs
// bound each wait, not their sum, and a server that sends a byte now and then would
// otherwise hold the request thread for as long as it likes.
class FetchWatchdog {
 public:
  explicit FetchWatchdog(std::chrono::steady_clock::time_point deadline)
      : deadline_(deadline), thread_([this] { Run(); }) {}
  ~FetchWatchdog() {
    {
      const std::lock_guard lock(mutex_);
      done_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }
  FetchWatchdog(const FetchWatchdog&) = delete;
  FetchWatchdog& operator=(const FetchWatchdog&) = delete;

  bool Expired() const { return expired_; }

  // The client whose request the watchdog stops at the deadline, for the watch's life.
  class Watch {
   public:
    Watch(FetchWatchdog& watchdog, httplib::Client& client) : watchdog_(watchdog) {
      const std::lock_guard lock(watchdog_.mutex_);
      watchdog_.client_ = &client;
    }
    ~Watch() {
      const std::lock_guard lock(watchdog_.mutex_);
      watchdog_.client_ = nullptr;
    }
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;

   private:
    FetchWatchdog& watchdog_;
  };

 private:
  void Run() {
    std::unique_lock lock(mutex_);
    if (wake_.wait_until(lock, deadline_, [this] { return done_; })) return;
    expired_ = true;
    // Shuts the client's socket down, so that the request fails at once.
    if (client_ != nullptr) client_->stop();
  }

  const std::chrono::steady_clock::time_point deadline_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false;                  // the fetch is over
  httplib::Client* client_ = nullptr;  // the client of the request under way
  std::atomic<bool> expired_ = false;
  std::thread thread_;  // last: it runs on the members above
};

}  // namespace

std::string HttpAddress::ToString() const {
  std::string text = "http://";
  const bool v6 = host.find(':') != std::string::npos;
  if (v6) text += '[';
  text += host;
  if (v6) text += ']';
  if (port != 80) text += ":" + std::to_string(port);
  text += target;
  return text;
}

std::optional<HttpAddress> ParseHttpAddress(std::string_view text, std::string& error) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
    text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
    text.remove_suffix(1);
  // A "://" after something that is no scheme name belongs to the path or query of
  // an address typed without "http://".
  const auto scheme = text.find("://");
  const bool hasScheme = scheme != std::string_view::npos && scheme > 0 &&
                         text.substr(0, scheme).find_first_not_of(
                             "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+-.") ==
                             std::string_view::npos;
  if (StartsWithNoCase(text, "http://")) {
    text.remove_prefix(7);
  } else if (hasScheme) {
    error = "Only http addresses can be translated; \"" + std::string(text.substr(0, scheme)) +
            "\" is not supported.";
    return std::nullopt;
  }
  const auto authorityEnd = text.find_first_of("/?#");
  const std::string_view authority = text.substr(0, authorityEnd);
  std::string_view rest =
      authorityEnd == std::string_view::npos ? std::string_view() : text.substr(authorityEnd);
  if (const auto hash = rest.find('#'); hash != std::string_view::npos) rest = rest.substr(0, hash);
  if (authority.find('@') != std::string_view::npos) {
    error = "Addresses with a user name or password are not fetched.";
    return std::nullopt;
  }
  HttpAddress address;
  std::string_view portText;
  if (authority.starts_with("[")) {
    const auto close = authority.find(']');
    if (close == std::string_view::npos) {
      error = "The address has a malformed host.";
      return std::nullopt;
    }
    address.host = std::string(authority.substr(1, close - 1));
    if (close + 1 < authority.size()) {
      if (authority[close + 1] != ':') {
        error = "The address has a malformed host.";
        return std::nullopt;
      }
      portText = authority.substr(close + 2);
    }
  } else {
    const auto colon = authority.find(':');
    address.host = std::string(authority.substr(0, colon));
    if (colon != std::string_view::npos) portText = authority.substr(colon + 1);
  }
  if (address.host.empty()) {
    error = "The address names no host.";
    return std::nullopt;
  }
  if (!portText.empty()) {
    int port = 0;
    const auto [end, ec] =
        std::from_chars(portText.data(), portText.data() + portText.size(), port);
    if (ec != std::errc() || end != portText.data() + portText.size() || port < 1 || port > 65535) {
      error = "The address has a bad port number.";
      return std::nullopt;
    }
    address.port = port;
  }
  std::string target(rest);
  if (target.empty() || target[0] != '/') target.insert(0, "/");
  address.target = EncodeTarget(target);
  return address;
}

namespace {

// A redirection's Location made absolute against the address that sent it: a
// scheme-relative, a host-relative or a directory-relative one.
std::string AbsoluteLocation(const HttpAddress& from, const std::string& location) {
  const std::string origin = HttpAddress{from.host, from.port, ""}.ToString();
  if (location.starts_with("//")) return "http:" + location;
  if (location.starts_with("/")) return origin + location;
  if (location.find("://") != std::string::npos) return location;
  std::string directory = from.target.substr(0, from.target.find('?'));
  directory = directory.substr(0, directory.rfind('/') + 1);
  return origin + directory + location;
}

}  // namespace

std::optional<FetchedPage> FetchPage(const HttpAddress& start, const FetchLimits& limits,
                                     const AddressCheck& check, std::string& error) {
  const auto deadline = std::chrono::steady_clock::now() + limits.totalTimeout;
  FetchWatchdog watchdog(deadline);
  const auto tooSlow = [&] {
    error = "The page took too long to arrive.";
    return std::nullopt;
  };
  HttpAddress address = start;
  for (int hop = 0; hop <= limits.maxRedirects; ++hop) {
    if (std::string refused = check ? check(address) : std::string(); !refused.empty()) {
      error = std::move(refused);
      return std::nullopt;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return tooSlow();
    // The client's own time-outs only back the watchdog up, which ends the request at
    // the deadline; so a time-out is always reported as one.
    const auto backstop = left + std::chrono::milliseconds(1000);
    httplib::Client client(address.host, address.port);
    client.set_connection_timeout(std::min(limits.connectTimeout, backstop));
    client.set_read_timeout(backstop);
    client.set_write_timeout(std::min(limits.connectTimeout, backstop));
    client.set_follow_location(false);
    std::string body;
    bool tooLarge = false;
    const httplib::Headers headers = {{"User-Agent", "parlumo-service"}, {"Accept", "text/html"}};
    httplib::Result result = [&] {
      const FetchWatchdog::Watch watch(watchdog, client);
      return client.Get(
          address.target.c_str(), headers, [](const httplib::Response&) { return true; },
          [&](const char* data, std::size_t length) {
            if (body.size() + length > limits.maxBytes) {
              tooLarge = true;
              return false;
            }
            body.append(data, length);
            return !watchdog.Expired();
          });
    }();
    if (tooLarge) {
      error = "The page is larger than " + SizeText(limits.maxBytes) + ".";
      return std::nullopt;
    }
    if (watchdog.Expired() || std::chrono::steady_clock::now() > deadline) return tooSlow();
    if (!result) {
      error = "The page could not be fetched from " + address.host + ": " +
              httplib::to_string(result.error()) + ".";
      return std::nullopt;
    }
    const int status = result->status;
    if (status == 301 || status == 302 || status == 303 || status == 307 || status == 308) {
      std::string location = result->get_header_value("Location");
      if (location.empty()) {
        error = "The server sent a redirection without a new address.";
        return std::nullopt;
      }
      auto next = ParseHttpAddress(AbsoluteLocation(address, location), error);
      if (!next) return std::nullopt;
      address = std::move(*next);
      continue;
    }
    if (status < 200 || status > 299) {
      error = "The server of the page answered with status " + std::to_string(status) + ".";
      return std::nullopt;
    }
    FetchedPage page;
    page.body = std::move(body);
    page.contentType = result->get_header_value("Content-Type");
    page.address = address;
    return page;
  }
  error = "The page redirects too often.";
  return std::nullopt;
}

}  // namespace parlumo::service
