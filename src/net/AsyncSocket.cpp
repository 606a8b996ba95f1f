#include "net/AsyncSocket.h"

#include <ares.h>
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "runtime/Ascii.h"

namespace parlumo {

namespace {

std::string DottedFromNetworkOrder(std::uint32_t address) {
  char text[INET_ADDRSTRLEN] = {};
  in_addr in{};
  in.s_addr = address;
  ::inet_ntop(AF_INET, &in, text, sizeof text);
  return text;
}

// Errors of a non-blocking connect that are the outcome of the attempt rather
// than a misuse of the call. They arrive as the connect notification, as they
// would had the system answered "in progress" first.
bool IsConnectOutcome(int error) {
  switch (error) {
    case WSAETIMEDOUT:
    case WSAECONNREFUSED:
    case WSAENETDOWN:
    case WSAENETUNREACH:
    case WSAEHOSTDOWN:
    case WSAEHOSTUNREACH:
    case WSAEACCES:         // blocked by a firewall rule
    case WSAEADDRNOTAVAIL:  // no local address or port left for it
      return true;
    default:
      return false;
  }
}

int WaitingBytes(int fd) {
  int waiting = 0;
  if (fd < 0 || ::ioctl(fd, FIONREAD, &waiting) != 0) return 0;
  return waiting;
}

void InitAresOnce() {
  static std::once_flag once;
  std::call_once(once, [] { ::ares_library_init(ARES_LIB_INIT_ALL); });
}

}  // namespace

// ---------------------------------------------------------------------------
// Name lookup over c-ares, driven by the socket's event loop. One channel per
// lookup; the result is always delivered through a posted task, never from
// inside c-ares, so the socket may destroy the lookup when it gets the result.

class TAsyncSocket::Lookup {
 public:
  using Done = std::function<void(int error, std::vector<std::string> addresses)>;

  Lookup(EventLoop& loop, TDnsSettings settings, Done done)
      : loop_(loop), settings_(settings), done_(std::move(done)) {}

  ~Lookup() {
    destroying_ = true;
    timer_.reset();
    if (channel_ != nullptr) ::ares_destroy(channel_);
    watches_.clear();
  }

  Lookup(const Lookup&) = delete;
  Lookup& operator=(const Lookup&) = delete;

  // Returns 0 or the c-ares status of a lookup that could not start.
  int Start(const std::string& name) {
    InitAresOnce();
    ares_options options{};
    options.sock_state_cb = &Lookup::SockStateCallback;
    options.sock_state_cb_data = this;
    options.timeout = settings_.timeoutMs;
    options.tries = settings_.tries;
    const int status = ::ares_init_options(
        &channel_, &options, ARES_OPT_SOCK_STATE_CB | ARES_OPT_TIMEOUTMS | ARES_OPT_TRIES);
    if (status != ARES_SUCCESS) {
      channel_ = nullptr;
      return status;
    }
    ::ares_gethostbyname(channel_, name.c_str(), AF_INET, &Lookup::HostCallback, this);
    ArmTimer();
    return ARES_SUCCESS;
  }

 private:
  static void SockStateCallback(void* data, ares_socket_t fd, int readable, int writable) {
    auto* self = static_cast<Lookup*>(data);
    if (self->destroying_) return;
    const unsigned events =
        (readable ? EventLoop::kRead : 0u) | (writable ? EventLoop::kWrite : 0u);
    if (events == 0) {
      self->watches_.erase(fd);
      return;
    }
    auto& watch = self->watches_[fd];
    if (watch) {
      watch->SetEvents(events);
    } else {
      watch = self->loop_.WatchFd(fd, events, [self, fd](unsigned bits) {
        const bool read = (bits & (EventLoop::kRead | EventLoop::kError)) != 0;
        const bool write = (bits & (EventLoop::kWrite | EventLoop::kError)) != 0;
        ::ares_process_fd(self->channel_, read ? fd : ARES_SOCKET_BAD,
                          write ? fd : ARES_SOCKET_BAD);
        self->ArmTimer();
      });
    }
  }

  static void HostCallback(void* arg, int status, int /*timeouts*/, hostent* host) {
    auto* self = static_cast<Lookup*>(arg);
    if (self->destroying_ || self->finished_) return;
    self->finished_ = true;
    std::vector<std::string> addresses;
    if (status == ARES_SUCCESS && host != nullptr && host->h_addrtype == AF_INET) {
      for (char** a = host->h_addr_list; *a != nullptr; ++a) {
        std::uint32_t address = 0;
        std::memcpy(&address, *a, sizeof address);
        addresses.push_back(DottedFromNetworkOrder(address));
      }
    }
    int error = SocketErrorFromAres(status);
    if (error == 0 && addresses.empty()) error = WSANO_DATA;
    self->loop_.Post(
        self->lifetime_.Guard([self, error, addresses = std::move(addresses)]() mutable {
          self->done_(error, std::move(addresses));
        }));
  }

  void ArmTimer() {
    timer_.reset();
    if (finished_ || channel_ == nullptr) return;
    timeval tv{};
    if (::ares_timeout(channel_, nullptr, &tv) == nullptr) return;
    const auto wait = std::chrono::milliseconds(tv.tv_sec * 1000 + (tv.tv_usec + 999) / 1000);
    timer_ = loop_.StartTimer(wait, false, [this] {
      ::ares_process_fd(channel_, ARES_SOCKET_BAD, ARES_SOCKET_BAD);
      ArmTimer();
    });
  }

  EventLoop& loop_;
  TDnsSettings settings_;
  Done done_;
  ares_channel channel_ = nullptr;
  std::map<ares_socket_t, std::unique_ptr<EventLoop::Watch>> watches_;
  std::unique_ptr<EventLoop::Timer> timer_;
  bool finished_ = false;
  bool destroying_ = false;
  Lifetime lifetime_;
};

// ---------------------------------------------------------------------------
// Conversions

std::string NormaliseDottedAddress(std::string_view text) {
  text = TrimBlanks(text);
  if (text.empty() || text.front() == '.') return {};
  unsigned groups[4] = {};
  int group = 0;
  bool digitSeen = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '.') {
      if (++group > 3 || i + 1 >= text.size() ||
          !std::isdigit(static_cast<unsigned char>(text[i + 1]))) {
        return {};
      }
      digitSeen = false;
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
      groups[group] = groups[group] * 10 + static_cast<unsigned>(c - '0');
      if (groups[group] > 255) return {};
      digitSeen = true;
    } else {
      return {};
    }
  }
  if (group != 3 || !digitSeen) return {};
  return std::to_string(groups[0]) + "." + std::to_string(groups[1]) + "." +
         std::to_string(groups[2]) + "." + std::to_string(groups[3]);
}

std::uint32_t SocketResolveHost(std::string_view host) {
  const std::string text(host);
  if (text.empty() || text.size() > 256) {
    throw ESocketException("SocketResolveHost: '" + text + "' Invalid Hostname.");
  }
  const std::string_view trimmed = TrimBlanks(text);
  if (!trimmed.empty() && std::isdigit(static_cast<unsigned char>(trimmed.front()))) {
    const std::string dotted = NormaliseDottedAddress(trimmed);
    in_addr in{};
    if (dotted.empty() || ::inet_pton(AF_INET, dotted.c_str(), &in) != 1) {
      throw ESocketException("SocketResolveHost: '" + text + "' Invalid IP address.");
    }
    return in.s_addr;
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* result = nullptr;
  const int status = ::getaddrinfo(std::string(trimmed).c_str(), nullptr, &hints, &result);
  if (status != 0 || result == nullptr) {
    const int error = status == EAI_NONAME  ? WSAHOST_NOT_FOUND
                      : status == EAI_AGAIN ? WSATRY_AGAIN
                                            : WSANO_RECOVERY;
    throw ESocketException("SocketResolveHost: Cannot convert host address '" + text +
                           "', Error #" + std::to_string(error));
  }
  std::uint32_t address = reinterpret_cast<sockaddr_in*>(result->ai_addr)->sin_addr.s_addr;
  ::freeaddrinfo(result);
  return address;
}

std::uint16_t SocketResolvePort(std::string_view port, std::string_view proto) {
  if (port.empty() || port.size() >= 32) throw ESocketException("SocketResolvePort: Invalid Port.");
  if (proto.empty() || proto.size() >= 32) {
    throw ESocketException("SocketResolvePort: Invalid Proto.");
  }
  const std::string_view trimmed = TrimBlanks(port);
  if (!trimmed.empty() && std::isdigit(static_cast<unsigned char>(trimmed.front()))) {
    unsigned long value = 0;
    for (char c : trimmed) {
      if (!std::isdigit(static_cast<unsigned char>(c))) break;
      value = value * 10 + static_cast<unsigned long>(c - '0');
      // A number past the port range would wrap round to another port.
      if (value > 65535) throw ESocketException("SocketResolvePort: Invalid Port.");
    }
    return static_cast<std::uint16_t>(value);
  }
  const std::string name(trimmed);
  const std::string protoName = AsciiLower(TrimBlanks(proto));
  servent entry{};
  servent* found = nullptr;
  char buffer[1024];
  ::getservbyname_r(name.c_str(), protoName.c_str(), &entry, buffer, sizeof buffer, &found);
  if (found == nullptr) {
    throw ESocketException("SocketResolvePort: Cannot convert port '" + std::string(port) +
                           "', Error #" + std::to_string(WSANO_DATA));
  }
  return ntohs(static_cast<std::uint16_t>(found->s_port));
}

int SocketResolveProto(std::string_view proto) {
  if (proto.empty() || proto.size() >= 32) {
    throw ESocketException("SocketResolveProto: Invalid Protocol.");
  }
  const std::string name = AsciiLower(TrimBlanks(proto));
  if (!name.empty() && std::isdigit(static_cast<unsigned char>(name.front()))) {
    int value = 0;
    for (char c : name) {
      if (!std::isdigit(static_cast<unsigned char>(c)) || value > 255) break;
      value = value * 10 + (c - '0');
    }
    return value;
  }
  if (name == "tcp") return IPPROTO_TCP;
  if (name == "udp") return IPPROTO_UDP;
  if (name == "raw") return IPPROTO_RAW;
  protoent entry{};
  protoent* found = nullptr;
  char buffer[1024];
  ::getprotobyname_r(name.c_str(), &entry, buffer, sizeof buffer, &found);
  if (found == nullptr) {
    throw ESocketException("SocketResolveProto: Cannot convert protocol '" + std::string(proto) +
                           "', Error #" + std::to_string(WSANO_DATA));
  }
  return found->p_proto;
}

// ---------------------------------------------------------------------------
// TAsyncSocket

TAsyncSocket::TAsyncSocket(EventLoop& loop) : loop_(loop) {}

TAsyncSocket::~TAsyncSocket() {
  destroying_ = true;
  lookup_.reset();
  watch_.reset();
  if (fd_ >= 0) ::close(fd_);
}

void TAsyncSocket::Release(std::unique_ptr<TAsyncSocket> socket) {
  if (!socket) return;
  EventLoop& loop = socket->loop_;
  loop.Post(
      [owned = std::shared_ptr<TAsyncSocket>(std::move(socket))]() mutable { owned.reset(); });
}

template <typename Event, typename... Args>
bool TAsyncSocket::Raise(const Event& event, Args&&... args) {
  if (!event || destroying_) return true;
  const auto alive = lifetime_.Token();
  const Event handler = event;  // the handler may reassign the event it runs from
  handler(*this, std::forward<Args>(args)...);
  return !alive.expired();
}

void TAsyncSocket::Dispatch(const std::function<void()>& handler) {
  const auto alive = lifetime_.Token();
  try {
    handler();
  } catch (const std::exception& e) {
    if (!alive.expired()) HandleBgException(e);
  } catch (...) {
    if (!alive.expired()) HandleBgException(std::runtime_error("unknown exception"));
  }
}

void TAsyncSocket::HandleBgException(const std::exception& e) {
  const auto alive = lifetime_.Token();
  bool canClose = true;
  try {
    Raise(OnBgException, e, canClose);
  } catch (...) {
  }
  if (alive.expired() || !canClose) return;
  try {
    Abort();
  } catch (...) {
  }
}

bool TAsyncSocket::ChangeState(TSocketState newState) {
  const TSocketState old = state_;
  if (old == newState) return true;
  state_ = newState;
  return Raise(OnChangeState, old, newState);
}

bool TAsyncSocket::ReportError(const std::string& message) {
  lastErrorMessage_ = message;
  if (!OnError) throw ESocketException(message);
  return Raise(OnError);
}

bool TAsyncSocket::ReportCallError(int error, const std::string& call) {
  lastError_ = error;
  if (error == WSAECONNRESET || error == WSAENOTCONN) {
    watch_.reset();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (state_ != TSocketState::wsClosed) {
      const bool raise = !closeInvoked_;
      closeInvoked_ = true;
      if (raise && !Raise(OnSessionClosed, error)) return false;
      if (!ChangeState(TSocketState::wsClosed)) return false;
    }
  }
  return ReportError(SocketCallErrorMessage(error, call));
}

// ---- name lookup

void TAsyncSocket::DnsLookup(const std::string& host) {
  if (TrimBlanks(host).empty()) {
    // The result comes as an event of its own, so that it arrives whether the
    // report below goes to OnError or is raised as an exception.
    const auto lookup = ++lookupGeneration_;
    loop_.Post(lifetime_.Guard([this, lookup] {
      if (lookup == lookupGeneration_) Dispatch([this] { Raise(OnDnsLookupDone, WSAEINVAL); });
    }));
    ReportError("DNS lookup: invalid host name.");
    return;
  }
  lookup_.reset();  // a lookup still pending is dropped without an event
  ++lookupGeneration_;
  dnsResult_.clear();
  dnsResultList_.clear();

  const std::string dotted = NormaliseDottedAddress(host);
  if (!dotted.empty()) {
    dnsResult_ = dotted;
    dnsResultList_ = {dotted};
    Raise(OnDnsLookupDone, 0);
    return;
  }
  lookup_ = std::make_unique<Lookup>(
      loop_, dnsSettings_, [this](int error, std::vector<std::string> addresses) {
        Dispatch([this, error, &addresses] { LookupFinished(error, std::move(addresses)); });
      });
  const int status = lookup_->Start(host);
  if (status != ARES_SUCCESS) {
    lookup_.reset();
    ReportError(host + ": can't start DNS lookup, error #" +
                std::to_string(SocketErrorFromAres(status)));
  }
}

void TAsyncSocket::LookupFinished(int error, std::vector<std::string> addresses) {
  lookup_.reset();
  if (error == 0) {
    dnsResultList_ = std::move(addresses);
    dnsResult_ = dnsResultList_.front();
  }
  Raise(OnDnsLookupDone, error);
}

void TAsyncSocket::CancelLookup() {
  ++lookupGeneration_;
  if (!lookup_) return;
  lookup_.reset();
  Raise(OnDnsLookupDone, WSAEINTR);
}

// ---- connecting

void TAsyncSocket::Connect() {
  if (!ConnectSettingsComplete()) return;
  sockaddr_in remote{};
  sockaddr_in local{};
  if (!ResolveEndpoints(remote, local)) return;
  if (!OpenHandle()) return;
  if (!SetStreamOptions(local)) return;
  StartConnect(remote);
}

bool TAsyncSocket::ConnectSettingsComplete() {
  const char* refusal = nullptr;
  if (fd_ >= 0 && state_ != TSocketState::wsClosed) {
    refusal = "Connect: Socket already in use";
  } else if (port_.empty()) {
    refusal = "Connect: No Port Specified";
  } else if (addr_.empty()) {
    refusal = "Connect: No IP Address Specified";
  } else if (proto_.empty()) {
    refusal = "Connect: No Protocol Specified";
  }
  if (refusal == nullptr) return true;
  ReportError(refusal);
  return false;
}

bool TAsyncSocket::ResolveEndpoints(sockaddr_in& remote, sockaddr_in& local) {
  try {
    if (SocketResolveProto(proto_) != IPPROTO_TCP) {
      ReportError("connect: only TCP connections are supported");
      return false;
    }
    remote.sin_family = AF_INET;
    remote.sin_port = htons(SocketResolvePort(port_, proto_));
    remote.sin_addr.s_addr = SocketResolveHost(addr_);
    local.sin_family = AF_INET;
    local.sin_port = htons(SocketResolvePort(localPort_, proto_));
    local.sin_addr.s_addr = SocketResolveHost(localAddr_);
  } catch (const ESocketException& e) {
    ReportError(std::string("connect: ") + e.what());
    return false;
  }
  return true;
}

bool TAsyncSocket::OpenHandle() {
  sendQueue_.Clear();
  allSent_ = true;
  writeNotificationPosted_ = false;
  ++connection_;
  closeInvoked_ = false;
  receiveError_ = false;
  readPaused_ = false;
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) {
    ReportCallError(SocketErrorFromErrno(errno), "Connect (socket)");
    return false;
  }
  if (!ChangeState(TSocketState::wsOpened)) return false;
  if (state_ != TSocketState::wsOpened) {
    ReportCallError(WSAEINVAL, "Connect (Invalid operation in OnChangeState)");
    return false;
  }
  return true;
}

bool TAsyncSocket::SetStreamOptions(const sockaddr_in& local) {
  auto option = [this](int level, int name, const void* value, socklen_t size, const char* call) {
    if (::setsockopt(fd_, level, name, value, size) == 0) return true;
    ReportCallError(SocketErrorFromErrno(errno), call);
    return false;
  };
  const int on = 1;
  if (!option(SOL_SOCKET, SO_REUSEADDR, &on, sizeof on, "setsockopt(SO_REUSEADDR)")) return false;
  if (options_.wsoTcpNoDelay &&
      !option(IPPROTO_TCP, TCP_NODELAY, &on, sizeof on, "setsockopt(IPPROTO_TCP, TCP_NODELAY)")) {
    return false;
  }
  // Linger off is what a new socket has already; only "on" needs the call.
  if (lingerOnOff_ == TSocketLingerOnOff::wsLingerOn) {
    linger value{};
    value.l_onoff = 1;
    value.l_linger = lingerTimeout_;
    if (!option(SOL_SOCKET, SO_LINGER, &value, sizeof value, "setsockopt(SO_LINGER)")) {
      return false;
    }
  }
  if (!option(SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on, "setsockopt(SO_KEEPALIVE)")) return false;
  if (local.sin_port != 0 || local.sin_addr.s_addr != htonl(INADDR_ANY)) {
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
      ReportCallError(SocketErrorFromErrno(errno), "bind");
      return false;
    }
  }
  return true;
}

void TAsyncSocket::StartConnect(const sockaddr_in& remote) {
  watch_ = loop_.WatchFd(fd_, EventLoop::kWrite,
                         [this](unsigned bits) { Dispatch([this, bits] { OnReadiness(bits); }); });
  int error = 0;
  if (::connect(fd_, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) != 0) {
    error = SocketErrorFromErrno(errno);
  }
  if (error == 0 || error == WSAEINPROGRESS || error == WSAEWOULDBLOCK) {
    ChangeState(TSocketState::wsConnecting);
    return;
  }
  if (IsConnectOutcome(error)) {
    // Reported as the connect notification, after the current handler.
    watch_->SetEvents(0);
    if (!ChangeState(TSocketState::wsConnecting)) return;
    const auto connection = connection_;
    loop_.Post(lifetime_.Guard([this, error, connection] {
      if (connection != connection_ || state_ != TSocketState::wsConnecting) return;
      Dispatch([this, error] { HandleConnectNotification(error); });
    }));
    return;
  }
  lastError_ = error;
  watch_.reset();  // an unconnected socket would read as ready for ever
  ReportCallError(error, "Connect");
}

// ---- notifications

void TAsyncSocket::OnReadiness(unsigned bits) {
  if (fd_ < 0) return;
  const auto connection = connection_;
  if (state_ == TSocketState::wsConnecting) {
    int soError = 0;
    // A loop that checked for errors spares the system call on the common
    // path: writable without an error is a completed connect.
    if (!(bits & EventLoop::kErrorChecked) || (bits & EventLoop::kError)) {
      socklen_t size = sizeof soError;
      ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &soError, &size);
    }
    if (!HandleConnectNotification(SocketErrorFromErrno(soError))) return;
    if (soError != 0) return;
  }
  if (connection != connection_ || state_ != TSocketState::wsConnected) return;

  bool closed = false;
  int closeError = 0;
  // While the data handler has not read what it was told of, an error or hang-up
  // is nothing it can act on: it meets it when it reads (the watch waits for reading
  // again then), or a send meets it below. Telling it again would repeat for as long
  // as the hang-up stands.
  if ((bits & EventLoop::kRead) || ((bits & EventLoop::kError) && !readPaused_)) {
    if (WaitingBytes(fd_) > 0 && !ReceiveLoop(false)) return;
    if (connection != connection_ || state_ != TSocketState::wsConnected) return;
    if (receiveError_) {
      // The handler's own read met the reset, and with it took the system's only
      // report of it.
      closed = true;
      closeError = lastError_;
    } else {
      if (readPaused_) return;  // data left for the handler: not the end yet
      // The end of the stream, or a reset, shows as a readable socket with
      // nothing to read.
      char probe;
      const ssize_t n = ::recv(fd_, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
      if (n == 0) {
        closed = true;
      } else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        closed = true;
        closeError = SocketErrorFromErrno(errno);
      }
    }
  }
  // After a reset, a send could only fail with a broken pipe and report that
  // instead of the reset.
  if ((bits & EventLoop::kWrite) && !allSent_ && closeError == 0) {
    if (!TryToSend()) return;
    if (connection != connection_ || state_ != TSocketState::wsConnected) return;
    if (sendQueue_.Empty() && !allSent_) {
      allSent_ = true;
      if (!Raise(OnDataSent, 0)) return;
      if (connection != connection_ || state_ != TSocketState::wsConnected) return;
    }
  }
  if (closed) {
    HandleCloseNotification(closeError);
    return;
  }
  UpdateWatch();
}

bool TAsyncSocket::HandleConnectNotification(int error) {
  if (state_ == TSocketState::wsConnected) return true;
  const auto alive = lifetime_.Token();
  const auto connection = connection_;
  if (!ChangeState(TSocketState::wsConnected)) return false;
  if (!Raise(OnSessionConnected, error)) return false;
  if (error != 0) {
    // Unless the handler already closed it or opened another connection.
    if (connection == connection_ && state_ != TSocketState::wsClosed) Close();
    return !alive.expired();
  }
  UpdateWatch();
  return true;
}

bool TAsyncSocket::ReceiveLoop(bool forceLoop) {
  const auto connection = connection_;
  receiveError_ = false;
  for (;;) {
    // Until the handler reads, the socket stops waiting for more data: a
    // handler that leaves the data (or fails before reading it) would otherwise
    // be called again and again. Receive waits for data again.
    readPaused_ = true;
    UpdateWatch();
    if (OnDataAvailable) {
      if (!Raise(OnDataAvailable, 0)) return false;
    } else {
      char discard[1024];
      Receive(discard, sizeof discard);
    }
    if (connection != connection_ || fd_ < 0) return true;
    if ((options_.wsoNoReceiveLoop && !forceLoop) || receiveError_ || readPaused_) return true;
    if (WaitingBytes(fd_) <= 0) return true;
  }
}

bool TAsyncSocket::HandleCloseNotification(int error) {
  if (state_ == TSocketState::wsConnecting) return true;
  const auto alive = lifetime_.Token();
  const auto connection = connection_;
  if (WaitingBytes(fd_) > 0 && !ReceiveLoop(true)) return false;
  if (connection != connection_) return true;
  if (!closeInvoked_) {
    closeInvoked_ = true;
    if (!Raise(OnSessionClosed, error)) return false;
    if (connection != connection_) return true;
  }
  if (state_ != TSocketState::wsClosed) Close();
  return !alive.expired();
}

// ---- sending and receiving

int TAsyncSocket::Send(const void* data, int count) {
  if (state_ != TSocketState::wsConnected) {
    ReportCallError(WSAENOTCONN, "Send");
    return -1;
  }
  allSent_ = false;
  if (count > 0) {
    sendQueue_.Append(std::span(static_cast<const std::byte*>(data), static_cast<size_t>(count)));
  }
  const auto connection = connection_;
  if (!TryToSend()) return count;
  if (connection != connection_ || state_ != TSocketState::wsConnected) return count;
  if (sendQueue_.Empty()) {
    PostWriteNotification();
  } else {
    UpdateWatch();
  }
  return count;
}

void TAsyncSocket::QueueData(const void* data, int count) {
  if (count <= 0) return;
  sendQueue_.Append(std::span(static_cast<const std::byte*>(data), static_cast<size_t>(count)));
}

void TAsyncSocket::PostWriteNotification() {
  if (writeNotificationPosted_) return;
  writeNotificationPosted_ = true;
  const auto connection = connection_;
  loop_.Post(lifetime_.Guard([this, connection] {
    writeNotificationPosted_ = false;
    if (connection != connection_ || state_ != TSocketState::wsConnected) return;
    Dispatch([this] { OnReadiness(EventLoop::kWrite); });
  }));
}

bool TAsyncSocket::TryToSend() {
  const auto connection = connection_;
  for (;;) {
    const auto chunk = sendQueue_.Front();
    if (chunk.empty()) break;
    const ssize_t n = ::send(fd_, chunk.data(), chunk.size(), MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) break;  // until the next write readiness
      const int error = SocketErrorFromErrno(errno);
      if (error == WSAEINVAL || error == WSAENOTSOCK || error == WSAECONNABORTED ||
          error == WSAECONNRESET || error == WSAENOTCONN) {
        const auto alive = lifetime_.Token();
        closeInvoked_ = true;
        Close();
        if (alive.expired()) return false;
        return Raise(OnSessionClosed, error);
      }
      return ReportCallError(error, "TryToSend failed");
    }
    sendQueue_.RemoveFront(static_cast<size_t>(n));
    if (!Raise(OnSendData, static_cast<int>(n))) return false;
    if (connection != connection_ || fd_ < 0) return true;
  }
  return true;
}

int TAsyncSocket::Receive(void* buffer, int size) {
  if (fd_ < 0) {
    lastError_ = WSAENOTCONN;
    return -1;
  }
  if (size <= 0) return 0;
  if (readPaused_) {
    readPaused_ = false;
    UpdateWatch();
  }
  for (;;) {
    const ssize_t n = ::recv(fd_, buffer, static_cast<size_t>(size), 0);
    if (n >= 0) {
      readCount_ += n;
      return static_cast<int>(n);
    }
    if (errno == EINTR) continue;
    lastError_ = SocketErrorFromErrno(errno);
    if (lastError_ != WSAEWOULDBLOCK) receiveError_ = true;
    return -1;
  }
}

void TAsyncSocket::UpdateWatch() {
  if (!watch_) return;
  unsigned events = 0;
  if (state_ == TSocketState::wsConnecting) {
    events = EventLoop::kWrite;
  } else if (state_ == TSocketState::wsConnected) {
    events = (readPaused_ ? 0u : EventLoop::kRead) | (sendQueue_.Empty() ? 0u : EventLoop::kWrite);
  }
  watch_->SetEvents(events);
}

// ---- closing

void TAsyncSocket::CloseHandle(bool shutdownFirst) {
  watch_.reset();
  if (fd_ < 0) return;
  const int fd = fd_;
  fd_ = -1;
  if (shutdownFirst) ::shutdown(fd, SHUT_WR);
  if (::close(fd) != 0 && errno != EINTR) {
    ReportCallError(SocketErrorFromErrno(errno), "Disconnect (closesocket)");
  }
}

void TAsyncSocket::FinishClose(bool shutdownFirst) {
  const auto alive = lifetime_.Token();
  const auto connection = connection_;
  const bool wasOpen = fd_ >= 0;
  CloseHandle(shutdownFirst);
  if (alive.expired()) return;
  if (!ChangeState(TSocketState::wsClosed)) return;
  if (wasOpen && !closeInvoked_ && !destroying_) {
    closeInvoked_ = true;
    if (!Raise(OnSessionClosed, 0)) return;
  }
  // A handler that opened a new connection keeps its settings.
  if (connection == connection_ && fd_ < 0) RestoreDefaults();
}

void TAsyncSocket::Close() {
  FinishClose(true);
}

void TAsyncSocket::CloseAfterEvent() {
  const auto connection = connection_;
  loop_.Post(lifetime_.Guard([this, connection] {
    if (connection == connection_) Dispatch([this] { Close(); });
  }));
}

void TAsyncSocket::Abort() {
  const auto alive = lifetime_.Token();
  CancelLookup();
  if (alive.expired()) return;
  sendQueue_.Clear();
  if (fd_ >= 0 && state_ == TSocketState::wsConnected) {
    linger off{};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &off, sizeof off);
  }
  FinishClose(false);
}

void TAsyncSocket::RestoreDefaults() {
  addr_.clear();
  port_.clear();
  proto_ = "tcp";
  localAddr_ = "0.0.0.0";
  localPort_ = "0";
  dnsResult_.clear();
  dnsResultList_.clear();
  readCount_ = 0;
  lastError_ = 0;
  sendQueue_.Clear();
  allSent_ = true;
  closeInvoked_ = false;
  writeNotificationPosted_ = false;
}

}  // namespace parlumo
