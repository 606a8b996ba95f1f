#include "PageFetch.h"

#include <netdb.h>
#include <sys/socket.h>

#include <algorithm>
#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core/error.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/http/write.hpp>
#include <charconv>
#include <cstring>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

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

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;

// How one request of a fetch ended.
enum class GetEnd {
  Answered,        // a whole answer arrived within the limits
  TooSlow,         // the fetch's total time ran out
  TooLarge,        // the body is larger than FetchLimits::maxBytes
  HeaderTooLarge,  // the header is larger than FetchLimits::maxHeaderBytes
  Cancelled,       // the client of the page translation has gone
  Failed,          // no such server, refused, reset, a malformed answer: see Failure()
};

// The addresses of a host name (numeric or looked up); an empty list, with the
// reason in error, when there are none.
std::vector<tcp::endpoint> LookUp(const std::string& host, int port, std::string& error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_ADDRCONFIG;
  addrinfo* found = nullptr;
  const int rc = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
  std::vector<tcp::endpoint> endpoints;
  if (rc != 0) {
    error = rc == EAI_NONAME ? "there is no server of that name" : ::gai_strerror(rc);
    return endpoints;
  }
  for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
    if (a->ai_addrlen > sizeof(sockaddr_in6)) continue;
    tcp::endpoint endpoint;
    std::memcpy(endpoint.data(), a->ai_addr, a->ai_addrlen);
    endpoint.resize(a->ai_addrlen);
    endpoints.push_back(endpoint);
  }
  ::freeaddrinfo(found);
  if (endpoints.empty()) error = "there is no server of that name";
  return endpoints;
}

// One GET of a fetch, on an event loop of its own that Run drives on the calling
// thread: resolve the name, connect (all its addresses within the connect time-out),
// send the request, read the answer within the size limits. A timer ends every step
// at the fetch's deadline, and a cancellation ends them at once, so the request
// thread is never held longer than the fetch may take: a name lookup, which cannot
// be interrupted, runs on a thread of its own and is left behind when the fetch
// ends first.
class PageGet {
 public:
  PageGet(const HttpAddress& address, const FetchLimits& limits, Clock::time_point deadline)
      : address_(address),
        limits_(limits),
        deadline_(deadline),
        // The parser keeps a chunk-size line or the trailer in the buffer until it
        // ends, and sets no limit of its own on them: a full buffer ends the fetch.
        buffer_(limits.maxHeaderBytes + 16 * 1024) {
    parser_.header_limit(static_cast<std::uint32_t>(limits.maxHeaderBytes));
    parser_.body_limit(limits.maxBytes);
  }
  ~PageGet() { LeaveLookup(); }
  PageGet(const PageGet&) = delete;
  PageGet& operator=(const PageGet&) = delete;

  GetEnd Run(Cancellation* cancellation) {
    // No cancellation may post to the loop once Run has returned, whatever way.
    struct CancelWatch {
      Cancellation* cancellation;
      ~CancelWatch() {
        if (cancellation != nullptr) cancellation->OnCancel({});
      }
    } watch{cancellation};
    if (cancellation != nullptr) {
      cancellation->OnCancel([this] { asio::post(io_, [this] { End(GetEnd::Cancelled); }); });
    }
    deadlineTimer_.expires_at(deadline_);
    deadlineTimer_.async_wait([this](boost::system::error_code ec) {
      if (!ec) End(GetEnd::TooSlow);
    });
    StartLookup();
    while (true) {
      try {
        io_.run();
        break;
      } catch (const std::length_error&) {
        // A field of the answer (a trailer: the header limit bounds the header's)
        // longer than the parser's fields can hold.
        End(GetEnd::HeaderTooLarge);
      }
    }
    LeaveLookup();
    return end_.value_or(GetEnd::Failed);
  }

  const http::response<http::string_body>& Answer() const { return parser_.get(); }
  const std::string& Failure() const { return failure_; }

 private:
  // A lookup under way, shared with its thread: get is cleared when the fetch no
  // longer waits for it.
  struct Lookup {
    std::mutex mutex;
    PageGet* get = nullptr;
  };

  void StartLookup() {
    boost::system::error_code ec;
    const auto numeric = asio::ip::make_address(address_.host, ec);
    if (!ec) {
      const tcp::endpoint endpoint(numeric, static_cast<unsigned short>(address_.port));
      asio::post(io_, [this, endpoint] { OnResolved({endpoint}, {}); });
      return;
    }
    lookup_ = std::make_shared<Lookup>();
    lookup_->get = this;
    std::thread([lookup = lookup_, host = address_.host, port = address_.port] {
      std::string error;
      auto found = LookUp(host, port, error);
      const std::lock_guard lock(lookup->mutex);
      if (lookup->get == nullptr) return;
      PageGet* get = lookup->get;
      asio::post(get->io_, [get, found = std::move(found), error = std::move(error)] {
        get->OnResolved(found, error);
      });
    }).detach();
  }

  // The lookup's answer, should it still come, goes nowhere.
  void LeaveLookup() {
    if (!lookup_) return;
    const std::lock_guard lock(lookup_->mutex);
    lookup_->get = nullptr;
  }

  void OnResolved(const std::vector<tcp::endpoint>& found, const std::string& error) {
    if (end_) return;
    if (found.empty()) return End(GetEnd::Failed, error);
    stream_.expires_at(std::min(deadline_, Clock::now() + limits_.connectTimeout));
    stream_.async_connect(found, [this](boost::system::error_code connectError,
                                        const tcp::endpoint&) { OnConnected(connectError); });
  }

  void OnConnected(boost::system::error_code ec) {
    if (end_) return;
    if (ec == beast::error::timeout) {
      if (Clock::now() >= deadline_) return End(GetEnd::TooSlow);
      return End(GetEnd::Failed, "the server did not take the connection in time");
    }
    if (ec) return End(GetEnd::Failed, ec.message());
    // From here the deadline timer alone bounds the exchange.
    stream_.expires_never();
    request_.version(11);
    request_.method(http::verb::get);
    request_.target(address_.target);
    const std::string origin = HttpAddress{address_.host, address_.port, ""}.ToString();
    request_.set(http::field::host, origin.substr(std::string_view("http://").size()));
    request_.set(http::field::user_agent, "parlumo-service");
    request_.set(http::field::accept, "text/html");
    // The service decodes no content coding.
    request_.set(http::field::accept_encoding, "identity");
    request_.set(http::field::connection, "close");
    http::async_write(stream_, request_, [this](boost::system::error_code writeError, std::size_t) {
      if (end_) return;
      if (writeError) return End(GetEnd::Failed, writeError.message());
      http::async_read(
          stream_, buffer_, parser_,
          [this](boost::system::error_code readError, std::size_t) { OnRead(readError); });
    });
  }

  void OnRead(boost::system::error_code ec) {
    if (end_) return;
    if (!ec) return End(GetEnd::Answered);
    if (ec == http::error::header_limit) return End(GetEnd::HeaderTooLarge);
    if (ec == http::error::body_limit) return End(GetEnd::TooLarge);
    if (ec == http::error::buffer_overflow) return End(GetEnd::HeaderTooLarge);
    if (ec == http::error::end_of_stream) {
      return End(GetEnd::Failed, "the server closed the connection without an answer");
    }
    if (ec == http::error::partial_message) {
      return End(GetEnd::Failed, "the server's answer was cut short");
    }
    End(GetEnd::Failed, ec.message());
  }

  // Ends the request: whatever is still pending completes with an error and returns.
  void End(GetEnd end, std::string failure = {}) {
    if (end_) return;
    end_ = end;
    failure_ = std::move(failure);
    deadlineTimer_.cancel();
    stream_.close();
  }

  const HttpAddress& address_;
  const FetchLimits& limits_;
  const Clock::time_point deadline_;
  asio::io_context io_{1};
  asio::steady_timer deadlineTimer_{io_};
  std::shared_ptr<Lookup> lookup_;
  beast::tcp_stream stream_{io_};
  beast::flat_buffer buffer_;
  http::request<http::empty_body> request_;
  http::response_parser<http::string_body> parser_;
  std::optional<GetEnd> end_;
  std::string failure_;
};

// The value of a header field of answer, or "".
std::string FieldOf(const http::response<http::string_body>& answer, http::field name) {
  const auto it = answer.find(name);
  return it == answer.end() ? std::string() : std::string(it->value());
}

}  // namespace

std::optional<FetchedPage> FetchPage(const HttpAddress& start, const FetchLimits& limits,
                                     const AddressCheck& check, std::string& error,
                                     Cancellation* cancellation) {
  const auto deadline = Clock::now() + limits.totalTimeout;
  HttpAddress address = start;
  for (int hop = 0; hop <= limits.maxRedirects; ++hop) {
    if (std::string refused = check ? check(address) : std::string(); !refused.empty()) {
      error = std::move(refused);
      return std::nullopt;
    }
    PageGet get(address, limits, deadline);
    switch (get.Run(cancellation)) {
      case GetEnd::Answered:
        break;
      case GetEnd::TooSlow:
        error = "The page took too long to arrive.";
        return std::nullopt;
      case GetEnd::TooLarge:
        error = "The page is larger than " + SizeText(limits.maxBytes) + ".";
        return std::nullopt;
      case GetEnd::HeaderTooLarge:
        error = "The header of the page's answer is larger than " +
                SizeText(limits.maxHeaderBytes) + ".";
        return std::nullopt;
      case GetEnd::Cancelled:
        error = "The page translation was cancelled: its client has gone.";
        return std::nullopt;
      case GetEnd::Failed:
        error = "The page could not be fetched from " + address.host + ": " + get.Failure() + ".";
        return std::nullopt;
    }
    const auto& answer = get.Answer();
    const int status = static_cast<int>(answer.result_int());
    if (status == 301 || status == 302 || status == 303 || status == 307 || status == 308) {
      // The address as the server wrote it: no percent sequence in it is decoded.
      const std::string location = FieldOf(answer, http::field::location);
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
    if (const std::string coding = FieldOf(answer, http::field::content_encoding);
        !coding.empty() && !beast::iequals(coding, "identity")) {
      error = "The page came in the content coding \"" + coding +
              "\", which the service does not decode.";
      return std::nullopt;
    }
    FetchedPage page;
    page.body = answer.body();
    page.contentType = FieldOf(answer, http::field::content_type);
    page.address = address;
    return page;
  }
  error = "The page redirects too often.";
  return std::nullopt;
}

}  // namespace parlumo::service
