#include "HttpFront.h"

#include <sys/socket.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/thread_pool.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/rfc7230.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/http/write.hpp>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <deque>
#include <list>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

namespace parlumo::service {

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;

// A request target longer than this is refused with 414.
constexpr std::size_t kMaxTargetBytes = 8192;
// The whole request header at most; beyond it the request is refused with 431.
constexpr std::uint32_t kMaxHeaderBytes = 64 * 1024;
// After a refusal the rest of the request is read and dropped for at most this
// long, so that the client, still sending, gets the refusal and not a reset.
constexpr auto kLingerTime = std::chrono::seconds(2);
// What a refusal for a full queue asks the client to wait.
constexpr const char* kRetryAfterSeconds = "1";
// How long to wait before accepting again after accept failed (out of descriptors).
constexpr auto kAcceptRetry = std::chrono::milliseconds(100);

std::string HttpDate() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  ::gmtime_r(&now, &utc);
  char text[64];
  const std::size_t length = std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &utc);
  return std::string(text, length);
}

// The status that refuses a request for its header, or 0 when it may be served.
// The parser reads a body's length from a Transfer-Encoding whose last coding is
// chunked and takes any other as no body at all, so the body would be read as the
// next request (a smuggled one): only a lone "chunked" is served, and only from
// HTTP/1.1, whose requests must also name exactly one Host.
int HeaderRefusal(const http::request_header<>& header) {
  std::vector<std::string_view> codings;
  const auto [first, last] = header.equal_range(http::field::transfer_encoding);
  for (auto field = first; field != last; ++field) {
    for (const auto& coding : http::token_list(field->value())) {
      codings.emplace_back(coding.data(), coding.size());
    }
  }
  const std::size_t hosts = header.count(http::field::host);
  if (first != last) {
    if (header.version() < 11 || codings.empty() || !beast::iequals(codings.back(), "chunked")) {
      return 400;
    }
    if (codings.size() > 1) return 501;  // a coding before chunked that we do not decode
  }
  if (hosts > 1 || (hosts == 0 && header.version() >= 11)) return 400;
  return 0;
}

void Log(const ServiceRequest& request, const ServiceAnswer& answer, Clock::time_point start) {
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  std::fputs(ExchangeLogLine(request, answer, took).c_str(), stderr);
}

}  // namespace

struct HttpFront::Impl {
  class Connection;

  explicit Impl(FrontOptions o) : options(std::move(o)) {}

  void Accept();
  void OnAccept(boost::system::error_code ec, tcp::socket socket);
  // Starts serving an accepted connection.
  void Admit(tcp::socket socket);
  // Admits the parked connection when there is room, or room can be made.
  void AdmitParked();
  // The connection to close to make room for a new one: the one idle the longest,
  // else the one whose header has been arriving the longest; nullptr when every
  // connection has a request under way.
  Connection* Evictable() const;
  // Called whenever a connection may have become evictable or has gone: accepting
  // goes on when it waited for room.
  void RoomMayHaveChanged();
  void Remove(std::list<std::shared_ptr<Connection>>::iterator where);
  // Takes a fetch worker for a request in the fetch lane; false when all are taken.
  bool TakeFetchWorker();
  // Gives a fetch worker back and hands it the request waiting the longest for one.
  void FetchEnded();
  void StopOnLoop();
  // The refusal page for status, never throwing.
  ServiceAnswer Refusal(int status);

  FrontOptions options;
  FrontHandlers handlers;  // set by Run

  asio::io_context loop{1};
  tcp::acceptor acceptor{loop};
  asio::steady_timer acceptRetry{loop};
  // Keeps Run going while workers hold requests (the loop has nothing of its own
  // to wait for then); released when the front stops and the last connection goes.
  std::optional<asio::executor_work_guard<asio::io_context::executor_type>> keepRunning;
  std::optional<asio::thread_pool> workers;
  // Requests handed to the workers and not yet taken up by one.
  std::atomic<std::size_t> waiting{0};
  // The fetch lane (loop thread only): its share of the workers, how many of them
  // its requests hold, and its requests waiting for one, oldest first.
  std::size_t fetchWorkers = 1;
  std::size_t fetchesRunning = 0;
  std::deque<std::shared_ptr<Connection>> fetchQueue;

  std::list<std::shared_ptr<Connection>> connections;
  // A connection accepted at the cap when none could be closed; it is admitted as
  // soon as there is room, and no other is accepted before it.
  std::optional<tcp::socket> parked;
  bool admitPosted = false;  // AdmitParked is posted to the loop
  bool accepting = false;    // an accept is pending
  bool roomAwaited = false;  // at the cap with nothing to close: accepting waits
  bool stopping = false;
  Clock::time_point stopDeadline;  // when reading the requests under way ends
};

// One client connection, owned by the front's list; every pending operation holds
// it too, so it lives until its last handler has run.
class HttpFront::Impl::Connection : public std::enable_shared_from_this<Connection> {
 public:
  enum class Phase {
    Idle,       // waiting for the first byte of a request (a new or a kept-alive connection)
    Header,     // part of a request header has arrived; the header deadline runs
    Body,       // the header is read, the body is arriving
    Working,    // the request is with the workers (waiting for one or being answered)
    Writing,    // the answer is being sent
    Lingering,  // a refusal was sent; the rest of the request is read and dropped
    Closed,     // closed and gone from the front's list
  };

  Connection(HttpFront::Impl& front, tcp::socket socket)
      : front_(front), stream_(std::move(socket)) {}

  void Start(std::list<std::shared_ptr<Connection>>::iterator self) {
    self_ = self;
    NextRequest();
  }

  Phase CurrentPhase() const { return phase_; }
  // Whether bytes wait unread: an idle connection whose request has arrived.
  bool HasUnreadBytes() {
    boost::system::error_code ec;
    return stream_.socket().available(ec) > 0 && !ec;
  }
  // When the connection became idle or its header started, for the eviction order.
  Clock::time_point Since() const { return since_; }

  // Closes the connection at once; pending operations end with an error.
  void Close() {
    if (phase_ == Phase::Closed) return;
    const auto keep = shared_from_this();
    SetPhase(Phase::Closed);
    boost::system::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
    stream_.close();
    front_.Remove(self_);
  }

 private:
  void SetPhase(Phase phase) {
    phase_ = phase;
    if (phase == Phase::Idle || phase == Phase::Header) {
      since_ = Clock::now();
      front_.RoomMayHaveChanged();
    }
  }

  int ClientTimeout() const { return front_.options.clientTimeoutSeconds; }
  Clock::time_point SilenceLimit() const {
    return Clock::now() + std::chrono::seconds(ClientTimeout());
  }

  void NextRequest() {
    parser_.emplace();
    parser_->header_limit(kMaxHeaderBytes);
    parser_->body_limit(front_.options.maxBodyBytes);
    request_.reset();
    continueSent_ = false;
    if (front_.stopping) {
      Close();
      return;
    }
    // Bytes of a pipelined request may already be there.
    if (buffer_.size() > 0) {
      SetPhase(Phase::Header);
      headerStart_ = Clock::now();
      Parse();
    } else {
      SetPhase(Phase::Idle);
      Read();
    }
  }

  void Read() {
    Clock::time_point limit = SilenceLimit();
    if (phase_ == Phase::Idle) {
      limit = std::min(limit, since_ + std::chrono::seconds(front_.options.idleTimeoutSeconds));
    } else if (phase_ == Phase::Header) {
      limit =
          std::min(limit, headerStart_ + std::chrono::seconds(front_.options.headerTimeoutSeconds));
    } else if (phase_ == Phase::Body) {
      limit = std::min(limit, bodyDeadline_);
    }
    // A body still arriving when the front stops has one client time-out to end.
    if (front_.stopping) limit = std::min(limit, front_.stopDeadline);
    stream_.expires_at(limit);
    // The header must fit the buffer whole; past kMaxHeaderBytes the parser refuses.
    // The parser keeps a chunk-size line or a trailer in the buffer until it ends,
    // and sets no limit of its own on them: a full buffer is a refusal.
    const std::size_t room = buffer_.max_size() - buffer_.size();
    if (room == 0) return Refuse(phase_ == Phase::Body ? 400 : 431);
    const auto space = buffer_.prepare(std::min<std::size_t>(16 * 1024, room));
    stream_.async_read_some(
        space, [self = shared_from_this()](boost::system::error_code ec, std::size_t n) {
          self->Guarded([&] { self->OnRead(ec, n); });
        });
  }

  // Runs a completion handler's work. Nothing may throw out of the loop's dispatch:
  // a connection whose handler failed (out of memory) is closed, so that none is
  // left without a pending operation and the others are served on.
  template <typename Work>
  void Guarded(Work&& work) {
    try {
      work();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "parlumo-service: a connection failed: %s\n", e.what());
      Close();
    }
  }

  void OnRead(boost::system::error_code ec, std::size_t n) {
    if (phase_ == Phase::Closed) return;
    buffer_.commit(n);
    if (ec == asio::error::eof && parser_->is_header_done()) {
      // The end of a body delimited by the end of the connection, or a cut body.
      boost::system::error_code eofError;
      parser_->put_eof(eofError);
      peerClosed_ = true;
      if (!eofError && parser_->is_done()) {
        Dispatch();
      } else {
        Refuse(400);
      }
      return;
    }
    if (ec) {
      // Timed out, closed by the client, or closed by the front.
      Close();
      return;
    }
    if (phase_ == Phase::Idle) {
      SetPhase(Phase::Header);
      headerStart_ = Clock::now();
    }
    Parse();
  }

  void Parse() {
    while (buffer_.size() > 0 && !parser_->is_done()) {
      boost::system::error_code ec;
      std::size_t used = 0;
      try {
        used = parser_->put(buffer_.data(), ec);
      } catch (const std::length_error&) {
        // A chunked body's trailer field longer than the parser's fields can hold
        // (64 KiB): the header limit does not cover trailers.
        return Refuse(431);
      }
      buffer_.consume(used);
      if (ec == http::error::need_more) break;
      if (ec == http::error::body_limit) return Refuse(413);
      if (ec == http::error::header_limit) return Refuse(431);
      if (ec) return Refuse(400);
      if (parser_->is_header_done() && phase_ == Phase::Header) {
        if (!HeaderAccepted()) return;
      }
      if (used == 0) break;
    }
    if (parser_->is_header_done() && phase_ == Phase::Header) {
      if (!HeaderAccepted()) return;
    }
    if (parser_->is_done()) {
      Dispatch();
    } else if (phase_ == Phase::Body && NeedsContinue()) {
      SendContinue();
    } else {
      Read();
    }
  }

  // Called once the header is parsed; false when the request was refused.
  bool HeaderAccepted() {
    SetPhase(Phase::Body);
    requestStart_ = Clock::now();
    bodyDeadline_ = requestStart_ + std::chrono::seconds(front_.options.bodyTimeoutSeconds);
    if (parser_->get().target().size() > kMaxTargetBytes) {
      Refuse(414);
      return false;
    }
    if (const int status = HeaderRefusal(parser_->get()); status != 0) {
      Refuse(status);
      return false;
    }
    return true;
  }

  // An HTTP/1.1 client that asked for it waits for "100 Continue" before sending
  // its body.
  bool NeedsContinue() const {
    if (continueSent_) return false;
    const auto& header = parser_->get();
    const auto expect = header.find(http::field::expect);
    return header.version() >= 11 && expect != header.end() &&
           beast::iequals(expect->value(), "100-continue");
  }

  void SendContinue() {
    continueSent_ = true;
    static constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
    stream_.expires_at(SilenceLimit());
    asio::async_write(stream_, asio::buffer(kContinue.data(), kContinue.size()),
                      [self = shared_from_this()](boost::system::error_code ec, std::size_t) {
                        if (self->phase_ == Phase::Closed) return;
                        if (ec) return self->Close();
                        self->Guarded([&] { self->Read(); });
                      });
  }

  ServiceRequest MadeRequest() {
    auto& message = parser_->get();
    std::optional<std::string> host;
    if (const auto it = message.find(http::field::host); it != message.end()) {
      host = std::string(it->value());
    }
    return ServiceRequest::Make(std::string(message.method_string()), std::string(message.target()),
                                std::move(host), std::move(message.body()));
  }

  void Dispatch() {
    SetPhase(Phase::Working);
    stream_.expires_never();
    keepAlive_ = parser_->get().keep_alive() && !peerClosed_;
    http10_ = parser_->get().version() < 11;
    head_ = parser_->get().method() == http::verb::head;
    request_ = MadeRequest();
    lane_ = front_.handlers.lane ? front_.handlers.lane(*request_) : Lane::Quick;
    if (lane_ == Lane::Fetch) {
      WatchClient();
      if (!front_.TakeFetchWorker()) {
        // While the front stops, nothing is queued: the stop would wait for it.
        if (front_.stopping || front_.fetchQueue.size() >= front_.options.maxWaitingFetches) {
          return RespondBusy();
        }
        front_.fetchQueue.push_back(shared_from_this());
        return;
      }
    }
    HandToWorkers();
  }

 public:
  // Gives the request read whole to the workers (a request in the fetch lane holds
  // a fetch worker by now), or refuses it when too many wait for them already:
  // false then, and the fetch worker it held is free again.
  bool HandToWorkers() {
    if (front_.waiting.load() >= front_.options.maxWaitingRequests) {
      if (lane_ == Lane::Fetch) --front_.fetchesRunning;
      RespondBusy();
      return false;
    }
    ++front_.waiting;
    asio::post(*front_.workers, [self = shared_from_this()] {
      --self->front_.waiting;
      ServiceAnswer answer;
      try {
        answer = self->front_.handlers.answer(*self->request_);
      } catch (...) {
        answer = self->front_.Refusal(500);
      }
      // Only the loop touches the connection's network side.
      asio::post(self->front_.loop, [self, answer = std::move(answer)]() mutable {
        self->Guarded([&] {
          if (self->lane_ == Lane::Fetch) self->front_.FetchEnded();
          self->Respond(std::move(answer));
        });
      });
    });
    return true;
  }

  // The refusal for a request that would wait beyond the caps, or that waits for a
  // fetch worker when the front stops.
  void RespondBusy() {
    ServiceAnswer busy = front_.Refusal(503);
    busy.headers.emplace_back("Retry-After", kRetryAfterSeconds);
    Respond(std::move(busy));
  }

  // Watches the connection of a request under way for its client's end: nobody
  // would read the answer, so the work for it is cancelled and the connection
  // closed at once. Bytes of a next request mean the client is there: the watch
  // ends. (A client that half-closes its side after the request, which HTTP
  // allows but browsers and the program do not do, is taken as gone.)
  void WatchClient() {
    if (peerClosed_) return;
    watching_ = true;
    stream_.socket().async_wait(tcp::socket::wait_read,
                                [self = shared_from_this()](boost::system::error_code ec) {
                                  self->Guarded([&] { self->OnClientActivity(ec); });
                                });
  }

  void OnClientActivity(boost::system::error_code ec) {
    watching_ = false;
    if (ec || phase_ != Phase::Working) return;
    char byte = 0;
    const ssize_t n = ::recv(stream_.socket().native_handle(), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n > 0) return;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
      return WatchClient();
    }
    request_->cancellation->Cancel();
    Close();
  }

 private:
  // Answers a request that could not be read, then drops the rest of it.
  void Refuse(int status) {
    // A header refused for its body's length has its request line parsed.
    if (parser_->is_header_done() || !parser_->get().method_string().empty()) {
      request_ = MadeRequest();
      head_ = parser_->get().method() == http::verb::head;
    } else {
      request_ = ServiceRequest::Make("-", "-", std::nullopt, "");
      head_ = false;
    }
    if (phase_ == Phase::Header) requestStart_ = headerStart_;
    keepAlive_ = false;
    Respond(front_.Refusal(status));
  }

  void Respond(ServiceAnswer answer) {
    if (phase_ == Phase::Closed) {
      Log(*request_, answer, requestStart_);
      return;
    }
    SetPhase(Phase::Writing);
    if (watching_) {
      // The client's watch ends with the answer; its wait completes as cancelled.
      boost::system::error_code ignored;
      stream_.socket().cancel(ignored);
    }
    answer_ = std::move(answer);
    const bool keepAlive = keepAlive_ && !front_.stopping;
    response_ = {};
    response_.version(11);
    response_.result(static_cast<unsigned>(answer_.status));
    if (!answer_.contentType.empty()) response_.set(http::field::content_type, answer_.contentType);
    for (const auto& [name, value] : answer_.headers)
      response_.insert(name, value);
    response_.set(http::field::content_length, std::to_string(answer_.body.size()));
    response_.set(http::field::date, HttpDate());
    if (keepAlive) {
      const int idle = std::min(front_.options.idleTimeoutSeconds, ClientTimeout());
      response_.set(http::field::keep_alive, "timeout=" + std::to_string(idle));
      // An HTTP/1.0 client keeps the connection only when the answer says so.
      if (http10_) response_.set(http::field::connection, "keep-alive");
    } else {
      response_.set(http::field::connection, "close");
    }
    // An answer to HEAD carries the length of the body it leaves out.
    if (!head_) response_.body() = answer_.body;
    serializer_.emplace(response_);
    stream_.expires_at(SilenceLimit());
    http::async_write(
        stream_, *serializer_,
        [self = shared_from_this(), keepAlive](boost::system::error_code ec, std::size_t) {
          self->Guarded([&] { self->OnWritten(ec, keepAlive); });
        });
  }

  void OnWritten(boost::system::error_code ec, bool keepAlive) {
    Log(*request_, answer_, requestStart_);
    serializer_.reset();
    answer_ = {};
    if (phase_ == Phase::Closed) return;
    if (ec) return Close();
    if (keepAlive) return NextRequest();
    if (parser_->is_done() || peerClosed_) return Close();
    Linger();
  }

  // The client may still be sending the request that was refused: read and drop
  // it for a while, so that closing does not reset the connection before the
  // client has read the refusal.
  void Linger() {
    SetPhase(Phase::Lingering);
    boost::system::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
    lingerEnd_ = Clock::now() + kLingerTime;
    Drain();
  }

  void Drain() {
    buffer_.clear();
    stream_.expires_at(lingerEnd_);
    stream_.async_read_some(buffer_.prepare(64 * 1024),
                            [self = shared_from_this()](boost::system::error_code ec, std::size_t) {
                              if (self->phase_ == Phase::Closed) return;
                              if (ec) return self->Close();
                              self->Guarded([&] { self->Drain(); });
                            });
  }

  HttpFront::Impl& front_;
  std::list<std::shared_ptr<Connection>>::iterator self_;
  Phase phase_ = Phase::Idle;
  Clock::time_point since_ = Clock::now();
  beast::tcp_stream stream_;
  beast::flat_buffer buffer_{kMaxHeaderBytes + 16 * 1024};

  std::optional<http::request_parser<http::string_body>> parser_;
  Clock::time_point headerStart_;
  Clock::time_point requestStart_;
  Clock::time_point bodyDeadline_;  // the whole body must have arrived by then
  bool continueSent_ = false;
  bool peerClosed_ = false;  // the client ended its side after the request
  bool keepAlive_ = false;
  bool http10_ = false;
  bool head_ = false;
  std::optional<ServiceRequest> request_;
  Lane lane_ = Lane::Quick;
  bool watching_ = false;  // WatchClient's wait is pending

  ServiceAnswer answer_;
  http::response<http::string_body> response_;
  std::optional<http::response_serializer<http::string_body>> serializer_;
  Clock::time_point lingerEnd_;
};

void HttpFront::Impl::Accept() {
  if (stopping || accepting || parked || !acceptor.is_open()) return;
  if (connections.size() >= options.maxConnections && Evictable() == nullptr) {
    roomAwaited = true;
    return;
  }
  roomAwaited = false;
  accepting = true;
  acceptor.async_accept(loop, [this](boost::system::error_code ec, tcp::socket socket) {
    OnAccept(ec, std::move(socket));
  });
}

void HttpFront::Impl::OnAccept(boost::system::error_code ec, tcp::socket socket) {
  accepting = false;
  if (stopping || ec == asio::error::operation_aborted) return;
  if (ec) {
    // Out of descriptors, most likely: try again shortly rather than spin.
    acceptRetry.expires_after(kAcceptRetry);
    acceptRetry.async_wait([this](boost::system::error_code waitError) {
      if (!waitError) Accept();
    });
    return;
  }
  // The connections may have taken up their requests since the accept was armed:
  // without one to close, the new connection waits until there is room.
  if (connections.size() >= options.maxConnections) {
    Connection* oldest = Evictable();
    if (oldest == nullptr) {
      parked.emplace(std::move(socket));
      roomAwaited = true;
      return;
    }
    oldest->Close();
  }
  Admit(std::move(socket));
  Accept();
}

void HttpFront::Impl::Admit(tcp::socket socket) {
  boost::system::error_code ignored;
  socket.set_option(tcp::no_delay(true), ignored);
  auto connection = std::make_shared<Connection>(*this, std::move(socket));
  connections.push_back(connection);
  connection->Start(std::prev(connections.end()));
}

HttpFront::Impl::Connection* HttpFront::Impl::Evictable() const {
  Connection* idle = nullptr;
  Connection* header = nullptr;
  Connection* body = nullptr;
  const auto older = [](Connection* current, Connection* candidate) {
    return current == nullptr || candidate->Since() < current->Since() ? candidate : current;
  };
  for (const auto& connection : connections) {
    switch (connection->CurrentPhase()) {
      case Connection::Phase::Idle:
        // Its request has arrived and is about to be read: closing would lose it.
        if (!connection->HasUnreadBytes()) idle = older(idle, connection.get());
        break;
      case Connection::Phase::Header:
        header = older(header, connection.get());
        break;
      case Connection::Phase::Body:
        body = older(body, connection.get());
        break;
      default:
        break;
    }
  }
  return idle != nullptr ? idle : header != nullptr ? header : body;
}

void HttpFront::Impl::RoomMayHaveChanged() {
  if (!roomAwaited || stopping) return;
  if (!parked) return Accept();
  // Called from within a connection's own handlers (a phase change), which must not
  // see that connection closed under them: the parked one is admitted on a turn of
  // the loop of its own.
  if (admitPosted) return;
  admitPosted = true;
  asio::post(loop, [this] {
    admitPosted = false;
    AdmitParked();
  });
}

void HttpFront::Impl::AdmitParked() {
  if (!parked || stopping) return;
  if (connections.size() >= options.maxConnections) {
    Connection* oldest = Evictable();
    if (oldest == nullptr) return;  // still no room: a later change comes back here
    oldest->Close();
  }
  tcp::socket socket = std::move(*parked);
  parked.reset();
  roomAwaited = false;
  Admit(std::move(socket));
  Accept();
}

void HttpFront::Impl::Remove(std::list<std::shared_ptr<Connection>>::iterator where) {
  // The list's reference may be the last; the connection's handlers hold their own
  // while they run.
  auto keep = std::move(*where);
  connections.erase(where);
  std::erase(fetchQueue, keep);
  if (stopping && connections.empty()) keepRunning.reset();
  RoomMayHaveChanged();
}

bool HttpFront::Impl::TakeFetchWorker() {
  if (fetchesRunning >= fetchWorkers) return false;
  ++fetchesRunning;
  return true;
}

void HttpFront::Impl::FetchEnded() {
  --fetchesRunning;
  // Closed connections have left the queue (Remove). One that the full worker
  // queue refuses gives its fetch worker straight back to the next.
  while (!fetchQueue.empty()) {
    auto next = std::move(fetchQueue.front());
    fetchQueue.pop_front();
    ++fetchesRunning;
    if (next->HandToWorkers()) break;
  }
}

void HttpFront::Impl::StopOnLoop() {
  if (stopping) return;
  stopping = true;
  stopDeadline = Clock::now() + std::chrono::seconds(options.clientTimeoutSeconds);
  boost::system::error_code ignored;
  acceptor.close(ignored);
  acceptRetry.cancel();
  parked.reset();
  std::vector<Connection*> waitingForRequests;
  for (const auto& connection : connections) {
    const auto phase = connection->CurrentPhase();
    if (phase == Connection::Phase::Idle || phase == Connection::Phase::Header) {
      waitingForRequests.push_back(connection.get());
    }
  }
  for (Connection* connection : waitingForRequests)
    connection->Close();
  // Page translations still waiting for a fetch worker would keep the stop waiting
  // for several fetch time-outs: they are refused as busy instead.
  auto queued = std::move(fetchQueue);
  fetchQueue.clear();
  for (const auto& connection : queued)
    connection->RespondBusy();
  if (connections.empty()) keepRunning.reset();
}

ServiceAnswer HttpFront::Impl::Refusal(int status) {
  try {
    return handlers.refusal(status);
  } catch (...) {
    ServiceAnswer answer;
    answer.status = status;
    answer.contentType = "text/plain; charset=UTF-8";
    answer.body = "The request could not be served.\n";
    return answer;
  }
}

HttpFront::HttpFront(FrontOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {}

HttpFront::~HttpFront() {
  auto& impl = *impl_;
  impl.connections.clear();
  if (impl.workers) impl.workers->join();
}

int HttpFront::Bind() {
  auto& impl = *impl_;
  boost::system::error_code ec;
  auto address = asio::ip::make_address(impl.options.host, ec);
  if (ec) {
    // A name such as "localhost".
    tcp::resolver resolver(impl.loop);
    const auto found = resolver.resolve(impl.options.host, "", ec);
    if (ec || found.empty()) {
      errno = EADDRNOTAVAIL;
      return -1;
    }
    address = found.begin()->endpoint().address();
  }
  const tcp::endpoint endpoint(address, static_cast<unsigned short>(impl.options.port));
  impl.acceptor.open(endpoint.protocol(), ec);
  if (!ec) impl.acceptor.set_option(tcp::acceptor::reuse_address(true), ec);
  if (!ec) impl.acceptor.bind(endpoint, ec);
  if (!ec) impl.acceptor.listen(asio::socket_base::max_listen_connections, ec);
  if (ec) {
    boost::system::error_code ignored;
    impl.acceptor.close(ignored);
    errno = ec.category() == boost::system::system_category() ? ec.value() : EINVAL;
    return -1;
  }
  return impl.acceptor.local_endpoint().port();
}

bool HttpFront::Run(FrontHandlers handlers) {
  auto& impl = *impl_;
  if (!impl.acceptor.is_open()) return false;
  impl.handlers = std::move(handlers);
  // The handlers mostly wait (on the engine processes, on fetched pages), so the
  // pool has more threads than cores: enough to keep every core's engines busy.
  const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
  const std::size_t workers = impl.options.workers > 0
                                  ? static_cast<std::size_t>(impl.options.workers)
                                  : std::max<std::size_t>(8, 2 * cores);
  impl.workers.emplace(workers);
  // With more than one worker, one at least is always left to the other lanes.
  const std::size_t fetchCap = std::max<std::size_t>(1, workers - 1);
  impl.fetchWorkers = std::min(fetchCap, impl.options.fetchWorkers > 0
                                             ? static_cast<std::size_t>(impl.options.fetchWorkers)
                                             : std::max<std::size_t>(1, workers / 2));
  impl.keepRunning.emplace(impl.loop.get_executor());
  asio::post(impl.loop, [&impl] { impl.Accept(); });
  // Nothing is meant to throw out of a handler; should something (out of memory)
  // do so, the one connection it concerned is lost and the others are served on.
  while (true) {
    try {
      impl.loop.run();
      break;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "parlumo-service: a connection failed: %s\n", e.what());
    }
  }
  // Every request has been answered; nothing is left with the workers.
  impl.workers->join();
  return true;
}

void HttpFront::Stop() {
  auto& impl = *impl_;
  asio::post(impl.loop, [&impl] { impl.StopOnLoop(); });
}

}  // namespace parlumo::service
