#include "net/HttpClient.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "net/MimeCodec.h"
#include "net/Url.h"
#include "runtime/Ascii.h"

namespace parlumo {

namespace {

constexpr std::size_t kChunkSize = 8193;
// One read from the socket; the body goes on from there without a copy.
constexpr std::size_t kReadSize = 64 << 10;
const char* const kCutShort = "Connection closed before the whole document was received";

// The whole text as an integer, or -1 when it is none.
std::int64_t ParseLength(const std::string& text) {
  const std::string_view t = TrimBlanks(text);
  std::int64_t value = -1;
  const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
  if (t.empty() || ec != std::errc() || end != t.data() + t.size() || value < 0) return -1;
  return value;
}

// The request-URI up to and including the last "/" or ":" before its first "?".
std::string UriDirectory(const std::string& uri) {
  const std::string beforeQuery = uri.substr(0, uri.find('?'));
  const auto cut = beforeQuery.find_last_of("/:");
  return cut == std::string::npos ? std::string() : beforeQuery.substr(0, cut + 1);
}

std::string HttpDate(std::time_t when) {
  std::tm tm{};
  gmtime_r(&when, &tm);
  static constexpr std::string_view kDays = "SunMonTueWedThuFriSat";
  static constexpr std::string_view kMonths = "JanFebMarAprMayJunJulAugSepOctNovDec";
  char text[64];
  std::snprintf(text, sizeof text, "%.3s, %2.2d %.3s %4.4d %2.2d:%2.2d:%2.2d GMT",
                kDays.data() + 3 * tm.tm_wday, tm.tm_mday, kMonths.data() + 3 * tm.tm_mon,
                tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
  return text;
}

}  // namespace

THttpClient::THttpClient(EventLoop& loop)
    : loop_(loop), socket_(std::make_unique<TAsyncSocket>(loop)) {
  TAsyncSocket& s = *socket_;
  s.OnDnsLookupDone = [this](TAsyncSocket&, int e) { LookupDone(e); };
  s.OnSessionConnected = [this](TAsyncSocket&, int e) { SessionConnected(e); };
  s.OnDataAvailable = [this](TAsyncSocket&, int) { DataAvailable(); };
  s.OnDataSent = [this](TAsyncSocket&, int) {
    Progress();
    if (allowedToSend_) SendNextChunk();
  };
  s.OnSessionClosed = [this](TAsyncSocket&, int e) {
    if (closedRoute_ == ClosedRoute::Reconnect) {
      Reconnect();
    } else {
      SessionClosed(e);
    }
  };
  s.OnError = [this](TAsyncSocket&) { Raise(OnSocketError); };
}

THttpClient::~THttpClient() {
  timer_.reset();
  // The socket goes without events: the client is no longer there to get them.
  socket_->OnSessionClosed = nullptr;
  socket_->OnDnsLookupDone = nullptr;
  socket_->OnError = nullptr;
}

template <typename Event, typename... Args>
bool THttpClient::Raise(const Event& event, Args&&... args) {
  if (!event) return true;
  const RequestMark mark = Mark();
  const Event handler = event;
  handler(*this, std::forward<Args>(args)...);
  return Ongoing(mark);
}

void THttpClient::SetRequestVer(const std::string& version) {
  if (version != "1.0" && version != "1.1") {
    throw EHttpException("Insupported HTTP version", kHttpErrorUnsupportedVersion);
  }
  requestVer_ = version;
}

bool THttpClient::SetState(THttpClientState state) {
  if (state_ == state) return true;
  state_ = state;
  return Raise(OnStateChange);
}

bool THttpClient::IsConnected() const {
  return connected_ && socket_->State() == TSocketState::wsConnected;
}

// ---------------------------------------------------------------------------
// Running a request

void THttpClient::RunRequest(THttpRequest kind) {
  StartRequest(kind);
  const auto alive = lifetime_.Token();
  while (!alive.expired() && state_ != THttpClientState::hcsIdle) {
    if (loop_.Terminating()) {
      Abort();
      break;
    }
    loop_.ProcessEvents(std::chrono::milliseconds(1000));
  }
  if (alive.expired()) return;
  if (statusCode_ >= 400 && statusCode_ != 401 && statusCode_ != 407) {
    throw EHttpException(reasonPhrase_, static_cast<std::uint16_t>(statusCode_));
  }
}

void THttpClient::StartRequest(THttpRequest kind) {
  if (kind != THttpRequest::httpCLOSE && state_ != THttpClientState::hcsIdle) {
    throw EHttpException("HTTP component is busy", kHttpErrorBusy);
  }
  if ((kind == THttpRequest::httpPOST || kind == THttpRequest::httpPUT) &&
      (RequestStream == nullptr || RequestStream->Position() >= RequestStream->Size())) {
    throw EHttpException("HTTP component has nothing to post or put", kHttpErrorNothingToSend);
  }
  ++request_;  // what an earlier request left queued does nothing now
  relocations_ = 0;
  StartAuthenticationOver();
  finishPosted_ = false;
  ArmTimer();
  if (kind == THttpRequest::httpCLOSE) {
    statusCode_ = 200;
    reasonPhrase_ = "OK";
    if (!SetState(THttpClientState::hcsClosing)) return;
    if (socket_->State() == TSocketState::wsClosed) {
      Finish();
    } else {
      closedRoute_ = ClosedRoute::Normal;
      socket_->CloseAfterEvent();
    }
    return;
  }
  requestType_ = kind;
  ResetPerRequest();
  ForgetUnfinishedAuthentication();
  WorkOutTargets();
  if (socket_->State() == TSocketState::wsConnected) {
    if (connectHost_ == openHost_ && connectPort_ == openPort_ && protocol_ == openProtocol_) {
      SessionConnected(0);
      return;
    }
    socket_->Abort();
  }
  connected_ = false;
  if (!SetState(THttpClientState::hcsNotConnected)) return;
  Connect();
}

void THttpClient::ResetAnswer() {
  responseHeader_.clear();
  statusCode_ = 0;
  reasonPhrase_.clear();
  headerProgress_ = HeaderProgress::NotBegun;
  headerLineCount_ = 0;
  bodyCount_ = 0;
  headerBytes_ = 0;
  contentLength_ = -1;
  contentType_.clear();
  transferEncoding_.clear();
  closeRequested_ = requestVer_ == "1.0";
}

void THttpClient::ResetPerRequest() {
  ResetAnswer();
  requestDoneError_ = 0;
  documentName_.clear();
  rcvdCount_ = 0;
  sentCount_ = 0;
  allowedToSend_ = false;
  location_ = URL;
  challenges_.clear();
  relocationPending_ = false;
  headerOpen_ = false;
  failed_ = false;
  lineHandler_ = LineHandler::None;
}

void THttpClient::ForgetUnfinishedAuthentication() {
  const auto unfinished = [](NtlmState& state) {
    if (state == NtlmState::NegotiateSent || state == NtlmState::AuthenticateSent) {
      state = NtlmState::None;
    }
  };
  unfinished(authNtlmState_);
  unfinished(proxyAuthNtlmState_);
  if (authBasicState_ == BasicState::CredentialsSent) authBasicState_ = BasicState::None;
  if (proxyAuthBasicState_ == BasicState::CredentialsSent) proxyAuthBasicState_ = BasicState::None;
}

void THttpClient::PostBecomesGet() {
  if (requestType_ == THttpRequest::httpPOST) requestType_ = THttpRequest::httpGET;
}

void THttpClient::WorkOutTargets() {
  const TUrlParts url = SplitUrl(URL);
  if (!url.user.empty()) Username = url.user;
  if (!url.password.empty()) Password = url.password;
  targetHost_ = url.host;
  protocol_ = url.protocol;
  if (Proxy.empty()) {
    requestUri_ = url.path;
    connectHost_ = url.host;
    connectPort_ = url.port.empty() ? "80" : url.port;
  } else {
    requestUri_ = (url.protocol.empty() ? std::string("http") : url.protocol) + "://" + url.host +
                  (url.port.empty() ? "" : ":" + url.port) + url.path;
    ConnectThroughProxy();
  }
  if (requestUri_.empty()) requestUri_ = "/";
  SetDocumentNameFromPath(url.path);
}

void THttpClient::ConnectThroughProxy() {
  const TUrlParts proxy = SplitUrl(Proxy);
  connectHost_ = proxy.host;
  connectPort_ = proxy.port.empty() ? ProxyPort : proxy.port;
}

void THttpClient::SetDocumentNameFromPath(const std::string& path) {
  const std::string p = path.substr(0, path.find('?'));
  if (p.empty() || p.back() == '/') {
    documentName_ = "document.htm";
    return;
  }
  const auto slash = p.rfind('/');
  documentName_ = p.substr(slash == std::string::npos ? 0 : slash + 1, 255);
}

// ---------------------------------------------------------------------------
// Connecting

void THttpClient::Connect() {
  closedRoute_ = ClosedRoute::Normal;
  if (IsConnected()) {
    SessionConnected(0);
    return;
  }
  if (!SetState(THttpClientState::hcsResolving)) return;
  socket_->SetLocalAddr(LocalAddr);
  try {
    socket_->DnsLookup(connectHost_);
  } catch (const std::exception& e) {
    MarkFailed(e.what(), 0);
    connected_ = false;
    Finish();
  }
}

void THttpClient::LookupDone(int error) {
  if (state_ == THttpClientState::hcsAborting || state_ == THttpClientState::hcsIdle) return;
  Progress();
  if (error != 0) {
    // A failure that cancelled the lookup (the time-out) keeps its own result.
    if (!failed_) MarkFailed("can't resolve hostname to IP address", error);
    SessionClosed(error);
    return;
  }
  if (!SetState(THttpClientState::hcsResolved)) return;
  // Forget finished authentications.
  if (authNtlmState_ == NtlmState::Accepted) authNtlmState_ = NtlmState::None;
  if (proxyAuthNtlmState_ == NtlmState::Accepted) {
    proxyAuthNtlmState_ = authNtlmState_ = NtlmState::None;
  }
  if (authBasicState_ == BasicState::Accepted) authBasicState_ = BasicState::None;
  // (Not the proxy's Basic acceptance of this very request: the retry that
  // answers the server on a new connection carries it.)
  if (proxyAuthBasicState_ == BasicState::Accepted && !proxyBasicAcceptedHere_) {
    proxyAuthBasicState_ = authBasicState_ = BasicState::None;
  }

  socket_->SetAddr(socket_->DnsResult());
  socket_->SetLocalAddr(LocalAddr);
  socket_->SetPort(connectPort_);
  socket_->SetProto("tcp");
  openHost_ = connectHost_;
  openPort_ = connectPort_;
  openProtocol_ = protocol_;
  const RequestMark mark = Mark();
  socket_->Connect();
  if (!Ongoing(mark)) return;
  const TSocketState s = socket_->State();
  if (s != TSocketState::wsConnecting && s != TSocketState::wsConnected) {
    // Rejected at once (a bad address or port, a failing system call): the
    // socket reported it through OnError; the request ends with its message.
    MarkFailed("can't connect: " + socket_->LastErrorMessage(),
               socket_->LastError() != 0 ? socket_->LastError() : WSAEINVAL);
    socket_->Abort();
    if (!Ongoing(mark)) return;
    connected_ = false;
    if (state_ != THttpClientState::hcsIdle) Finish();
  }
}

void THttpClient::SessionConnected(int error) {
  Progress();
  if (error != 0) {
    MarkFailed(SocketErrorReason(error), error);
    Raise(OnSessionConnected, error);
    return;  // the socket reports the session closed next, which finishes
  }
  relocationPending_ = false;
  connected_ = true;
  if (!SetState(THttpClientState::hcsConnected)) return;
  if (!Raise(OnSessionConnected, 0)) return;
  lineHandler_ = LineHandler::Header;
  receiveBuffer_.clear();
  if (!Proxy.empty() && protocol_ == "https") {
    // Tunnelling needs TLS, which this client does not have.
    Fail("https is not supported", 0);
    return;
  }
  if (!SetState(THttpClientState::hcsAwaitingHeader)) return;
  if (!SendRequestHeader(MethodName())) return;
  if ((requestType_ == THttpRequest::httpPOST || requestType_ == THttpRequest::httpPUT) &&
      !NtlmNegotiating()) {
    StartBody();  // the first piece of body takes the queued header along
  } else {
    SendQueuedHeader();
  }
}

std::string THttpClient::MethodName() const {
  switch (requestType_) {
    case THttpRequest::httpPOST:
      return "POST";
    case THttpRequest::httpPUT:
      return "PUT";
    case THttpRequest::httpHEAD:
      return "HEAD";
    default:
      return "GET";
  }
}

bool THttpClient::NtlmNegotiating() const {
  return (ntlmForServer_ ? authNtlmState_ : proxyAuthNtlmState_) == NtlmState::NegotiateSent;
}

// ---------------------------------------------------------------------------
// Sending

bool THttpClient::SendRequestHeader(const std::string& method) {
  headerQueued_ = false;
  if (!Raise(OnRequestHeaderBegin)) return false;
  const bool withBody =
      requestType_ == THttpRequest::httpPOST || requestType_ == THttpRequest::httpPUT;
  std::vector<std::string> lines;
  lines.push_back(method + " " + requestUri_ + " HTTP/" + requestVer_);
  if (!Sender.empty()) lines.push_back("From: " + Sender);
  if (!Accept.empty()) lines.push_back("Accept: " + Accept);
  if (!Reference.empty()) lines.push_back("Referer: " + Reference);
  if (!Connection.empty()) lines.push_back("Connection: " + Connection);
  if (!ProxyConnection.empty()) lines.push_back("Proxy-Connection: " + ProxyConnection);
  if (!AcceptLanguage.empty()) lines.push_back("Accept-Language: " + AcceptLanguage);
  if (withBody && !ContentTypePost.empty()) lines.push_back("Content-Type: " + ContentTypePost);
  if (!Agent.empty()) lines.push_back("User-Agent: " + Agent);
  lines.push_back("Host: " + targetHost_);
  if (NoCache) lines.push_back("Pragma: no-cache");
  if (withBody) {
    const std::int64_t length =
        NtlmNegotiating() ? 0 : RequestStream->Size() - RequestStream->Position();
    lines.push_back("Content-Length: " + std::to_string(length));
  }
  if (ModifiedSince != 0) lines.push_back("If-Modified-Since: " + HttpDate(ModifiedSince));
  const NtlmState ntlmState = ntlmForServer_ ? authNtlmState_ : proxyAuthNtlmState_;
  const std::string ntlmHeader =
      ntlmForServer_ ? "Authorization: NTLM " : "Proxy-Authorization: NTLM ";
  if (ntlmState == NtlmState::NegotiateSent) {
    lines.push_back(ntlmHeader + EncodeNtlmBase64(NtlmNegotiateMessage()));
  } else if (ntlmState == NtlmState::AuthenticateSent) {
    lines.push_back(ntlmHeader +
                    EncodeNtlmBase64(NtlmAuthenticateMessage(
                        ntlmChallenge_.challenge, ntlmForServer_ ? Username : ProxyUsername,
                        ntlmForServer_ ? Password : ProxyPassword, NtlmWorkstationName())));
  } else if (basicForServer_ && authBasicState_ == BasicState::CredentialsSent) {
    lines.push_back("Authorization: Basic " + EncodeBase64(Username + ":" + Password));
  } else if (!basicForServer_ && proxyAuthBasicState_ == BasicState::CredentialsSent) {
    lines.push_back("Proxy-Authorization: Basic " +
                    EncodeBase64(ProxyUsername + ":" + ProxyPassword));
  }
  if (proxyBasicAcceptedHere_ && proxyAuthBasicState_ == BasicState::Accepted) {
    // The retry that answers the server passes the proxy too: without the
    // line the proxy refused it again, and the two took turns for good.
    lines.push_back("Proxy-Authorization: Basic " +
                    EncodeBase64(ProxyUsername + ":" + ProxyPassword));
  }
  if (!Cookie.empty()) lines.push_back("Cookie: " + Cookie);
  if (!ContentRangeBegin.empty() || !ContentRangeEnd.empty()) {
    lines.push_back("Range: bytes=" + ContentRangeBegin + "-" + ContentRangeEnd);
    ContentRangeBegin.clear();
    ContentRangeEnd.clear();
  }
  acceptRanges_.clear();
  if (!Raise(OnBeforeHeaderSend, method, lines)) return false;

  std::string header;
  for (auto& line : lines) {
    if (!Raise(OnCommand, line)) return false;
    header += line;
    header += "\r\n";
  }
  if (!Raise(OnRequestHeaderEnd)) return false;
  std::string empty;
  if (!Raise(OnCommand, empty)) return false;
  header += empty;
  header += "\r\n";
  // Queued whole; it leaves with the first piece of body, so that a small
  // request goes out in one write and its body never waits behind the
  // header's acknowledgement (Nagle).
  socket_->QueueData(header.data(), static_cast<int>(header.size()));
  headerQueued_ = true;
  return true;
}

void THttpClient::SendQueuedHeader() {
  if (!headerQueued_) return;
  headerQueued_ = false;
  socket_->Send(nullptr, 0);
}

void THttpClient::StartBody() {
  if (!Raise(OnSendBegin)) return;
  allowedToSend_ = true;
  SendNextChunk();
}

void THttpClient::SendNextChunk() {
  char chunk[kChunkSize];
  const std::size_t n = RequestStream != nullptr ? RequestStream->Read(chunk, sizeof chunk) : 0;
  if (n == 0) {
    SendQueuedHeader();
    allowedToSend_ = false;
    Raise(OnSendEnd);
    return;
  }
  sentCount_ += static_cast<std::int64_t>(n);
  if (!Raise(OnSendData, static_cast<const char*>(chunk), n)) return;
  headerQueued_ = false;
  socket_->Send(chunk, static_cast<int>(n));
}

// ---------------------------------------------------------------------------
// Receiving

void THttpClient::DataAvailable() {
  char data[kReadSize];
  const int n = socket_->Receive(data, sizeof data);
  if (n <= 0) return;
  Progress();
  const RequestMark mark = Mark();
  if (state_ == THttpClientState::hcsAwaitingBody && lineHandler_ == LineHandler::Body &&
      receiveBuffer_.empty() && requestType_ != THttpRequest::httpHEAD) {
    // The body's usual path: straight to the body handler, no copy on the way.
    BodyData(data, BodyBytesWanted(static_cast<std::size_t>(n)));
    if (!Ongoing(mark)) return;
    if (state_ == THttpClientState::hcsBodyReceived) AfterDocument();
    return;
  }
  receiveBuffer_.append(data, static_cast<std::size_t>(n));
  if (!ReadLines(false)) return;
  if (state_ == THttpClientState::hcsAwaitingBody && lineHandler_ == LineHandler::Body) {
    if (requestType_ == THttpRequest::httpHEAD) {
      receiveBuffer_.clear();
      socket_->Abort();
      return;
    }
    if (HandBodyFromBuffer()) AfterDocument();
  }
}

bool THttpClient::ReadLines(bool atClose) {
  const RequestMark mark = Mark();
  while (state_ != THttpClientState::hcsAwaitingBody && !receiveBuffer_.empty()) {
    auto lf = receiveBuffer_.find('\n');
    if (lf == std::string::npos) {
      if (receiveBuffer_.size() > kMaxHeaderSize) {
        if (state_ == THttpClientState::hcsAwaitingHeader) {
          Fail("Response header too large", 0);
        } else {
          receiveBuffer_.clear();  // nobody reads these lines
        }
        return false;
      }
      if (!atClose) return false;      // the rest of the line is still to come
      lf = receiveBuffer_.size() - 1;  // the connection's end ends the last line
    }
    const std::size_t end = receiveBuffer_[lf] == '\n' ? lf : lf + 1;
    std::string line = receiveBuffer_.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string terminator = receiveBuffer_.substr(line.size(), lf + 1 - line.size());
    receiveBuffer_.erase(0, lf + 1);
    if (state_ == THttpClientState::hcsAwaitingHeader) {
      if (lineHandler_ == LineHandler::None) {
        Finish();
        return false;
      }
      headerBytes_ += lf + 1;
      if (headerBytes_ > kMaxHeaderSize) {
        Fail("Response header too large", 0);
        return false;
      }
      // A header-less answer: its first line is body, with its line end. (The
      // first line of the answer after an interim one is such a line too.)
      if (headerProgress_ != HeaderProgress::Reading && StartsWithNoCase(line, "<HTML>")) {
        receiveBuffer_.insert(0, line + terminator);
      }
      HeaderLine(line);
      if (!Ongoing(mark)) return false;
      // The header's end handed the rest of the buffer to the body.
      if (state_ == THttpClientState::hcsAwaitingBody) return false;
    } else {
      if (!Raise(OnDataPush, 0)) return false;
    }
  }
  return true;
}

// How many of 'available' body bytes belong to the document: all of them,
// unless a ContentLength (without chunks) ends it sooner.
std::size_t THttpClient::BodyBytesWanted(std::size_t available) const {
  if (contentLength_ < 0 || transferEncoding_ == "chunked") return available;
  return static_cast<std::size_t>(
      std::min<std::int64_t>(static_cast<std::int64_t>(available),
                             std::max<std::int64_t>(contentLength_ - rcvdCount_, 0)));
}

// Hands the buffered bytes to the body handler, no further than ContentLength;
// true when that completed the document.
bool THttpClient::HandBodyFromBuffer() {
  if (receiveBuffer_.empty() && bodyCount_ > 0) return false;
  const std::size_t n = BodyBytesWanted(receiveBuffer_.size());
  const std::string piece = receiveBuffer_.substr(0, n);
  receiveBuffer_.erase(0, n);
  const RequestMark mark = Mark();
  BodyData(piece.data(), piece.size());
  if (!Ongoing(mark)) return false;
  if (state_ == THttpClientState::hcsBodyReceived) {
    receiveBuffer_.clear();  // bytes past the document belong to nobody
    return true;
  }
  return false;
}

void THttpClient::HeaderLine(const std::string& line) {
  if (headerProgress_ == HeaderProgress::NotBegun) {
    if (!Raise(OnHeaderBegin)) return;
    headerOpen_ = true;
  }
  if (headerProgress_ != HeaderProgress::Reading) {
    headerProgress_ = HeaderProgress::Reading;
    headerLineCount_ = 0;
  }
  ++headerLineCount_;

  if (headerLineCount_ == 1 && StartsWithNoCase(line, "<HTML>")) {
    HeaderlessAnswer();
    return;
  }
  if (line.empty()) {
    HeaderEnded();
    return;
  }
  responseHeader_.push_back(line);
  const bool goOn = headerLineCount_ == 1 ? StatusLine(line) : HeaderField(line);
  if (goOn) Raise(OnHeaderData);
}

// An answer without a header: its first line, already back in the receive
// buffer, begins the body.
void THttpClient::HeaderlessAnswer() {
  if (contentType_.empty()) contentType_ = "text/html";
  if (!SetState(THttpClientState::hcsAwaitingBody)) return;
  lineHandler_ = LineHandler::Body;
  headerOpen_ = false;
  if (!Raise(OnHeaderEnd)) return;
  if (HandBodyFromBuffer()) AfterDocument();
}

bool THttpClient::StatusLine(const std::string& line) {
  if (line.size() < 8 ||
      (line.compare(0, 8, "HTTP/1.0") != 0 && line.compare(0, 8, "HTTP/1.1") != 0)) {
    responseVersion_.clear();
    return Raise(OnDataPush2);
  }
  responseVersion_ = line.substr(5, 3);
  int code = 0;
  const std::string digits = line.size() >= 12 ? line.substr(9, 3) : std::string();
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), code);
  if (digits.size() != 3 || ec != std::errc() || end != digits.data() + digits.size()) {
    Fail("Invalid status line: " + line, 0);
    return false;
  }
  statusCode_ = code;
  reasonPhrase_ = line.size() > 13 ? line.substr(13) : std::string();
  return true;
}

bool THttpClient::HeaderField(const std::string& line) {
  const auto colon = line.find(':');
  if (colon == std::string::npos) return true;  // kept in ResponseHeader only
  const std::string name = AsciiLower(line.substr(0, colon));
  std::string value = line.substr(colon + 1);
  const auto start = value.find_first_not_of(' ');
  value = start == std::string::npos ? std::string() : value.substr(start);
  if (name == "location") {
    if (requestType_ == THttpRequest::httpPUT) {
      location_ = value;
    } else if (FollowRelocation) {
      if (++relocations_ > kMaxRelocations) {
        Fail("Too many redirections", 0);
        return false;
      }
      relocationPending_ = true;
      NewRelocationTarget(value);
    }
  } else if (name == "content-length") {
    contentLength_ = ParseLength(value);
  } else if (name == "transfer-encoding") {
    transferEncoding_ = value;
  } else if (name == "content-range") {
    const auto dash = value.find('-');
    const auto slash = value.find('/');
    if (value.size() > 6 && dash != std::string::npos && dash > 6) {
      ContentRangeBegin = value.substr(6, dash - 6);
      ContentRangeEnd =
          value.substr(dash + 1, slash == std::string::npos ? std::string::npos : slash - dash - 1);
    }
  } else if (name == "accept-ranges") {
    acceptRanges_ = value;
  } else if (name == "content-type") {
    contentType_ = AsciiLower(value);
  } else if (name == "www-authenticate" || name == "proxy-authenticate") {
    challenges_.push_back(value);
  } else if (name == "set-cookie") {
    bool accept = true;
    return Raise(OnCookie, value, accept);
  } else if (name == "connection" || name == "proxy-connection") {
    const std::string v = AsciiLower(TrimBlanks(value));
    if (v == "close") closeRequested_ = true;
    if (v == "keep-alive") closeRequested_ = false;
  }
  return true;
}

void THttpClient::HeaderEnded() {
  if (responseVersion_ == "1.1" && statusCode_ == 100) {
    responseHeader_.clear();
    headerProgress_ = HeaderProgress::AfterInterim;
    return;
  }
  headerOpen_ = false;
  if (!Raise(OnHeaderEnd)) return;
  const bool noBody = (contentLength_ == -1 && transferEncoding_ != "chunked" &&
                       (statusCode_ < 200 || statusCode_ == 204 || statusCode_ == 301 ||
                        statusCode_ == 302 || statusCode_ == 304)) ||
                      contentLength_ == 0 || requestType_ == THttpRequest::httpHEAD;
  if (noBody) {
    if (relocationPending_) {
      // Followed whether or not the server keeps the connection open.
      FollowPendingRelocation();
      return;
    }
    if (closeRequested_) {
      if (requestType_ == THttpRequest::httpHEAD) {
        receiveBuffer_.clear();
        if (!SetState(THttpClientState::hcsAwaitingBody)) return;
        lineHandler_ = LineHandler::None;
      }
      if (!SetState(THttpClientState::hcsBodyReceived)) return;
      socket_->CloseAfterEvent();
    } else {
      Finish();
    }
    return;
  }
  const auto dot = documentName_.rfind('.');
  const std::string ext =
      dot == std::string::npos ? std::string() : AsciiLower(documentName_.substr(dot));
  if ((ext == ".exe" || ext.empty()) && contentType_ == "text/html") {
    documentName_ =
        (dot == std::string::npos ? documentName_ : documentName_.substr(0, dot)) + ".htm";
  }
  if (!SetState(THttpClientState::hcsAwaitingBody)) return;
  lineHandler_ = LineHandler::Body;
  if (HandBodyFromBuffer()) AfterDocument();
}

void THttpClient::BodyData(const char* data, std::size_t n) {
  if (bodyCount_ == 0) {
    chunkLength_ = 0;
    chunkReceived_ = 0;
    chunkState_ = ChunkState::Length;
    if (!Raise(OnDocBegin)) return;
  }
  ++bodyCount_;
  const auto deliver = [this](const char* bytes, std::size_t count) {
    if (count == 0) return true;
    if (rcvdCount_ + static_cast<std::int64_t>(count) > kMaxBodySize) {
      Fail("Document too large", 0);
      return false;
    }
    rcvdCount_ += static_cast<std::int64_t>(count);
    if (ResponseStream != nullptr) ResponseStream->Write(bytes, count);
    return Raise(OnDocData, bytes, count);
  };
  const RequestMark mark = Mark();
  if (transferEncoding_ != "chunked") {
    if (!deliver(data, n)) return;
    if (contentLength_ >= 0 && rcvdCount_ >= contentLength_) DocumentComplete();
    return;
  }
  std::size_t i = 0;
  while (i < n && chunkState_ != ChunkState::Done) {
    switch (chunkState_) {
      case ChunkState::Length: {
        const int digit = HexValue(data[i]);
        if (digit < 0) {
          chunkState_ = ChunkState::LengthLine;
          continue;  // the same byte is looked at again as part of the line's rest
        }
        chunkLength_ = chunkLength_ * 16 + digit;
        if (chunkLength_ > kMaxBodySize) {
          Fail("Invalid chunk length", 0);
          return;
        }
        ++i;
        break;
      }
      case ChunkState::LengthLine:
        if (data[i++] == '\n') {
          // The zero-length chunk ends the body; trailers are not read.
          chunkState_ = chunkLength_ == 0 ? ChunkState::Done : ChunkState::Data;
        }
        break;
      case ChunkState::Data: {
        const std::size_t take = static_cast<std::size_t>(std::min<std::int64_t>(
            static_cast<std::int64_t>(n - i), chunkLength_ - chunkReceived_));
        if (!deliver(data + i, take) || !Ongoing(mark)) return;
        chunkReceived_ += static_cast<std::int64_t>(take);
        i += take;
        if (chunkReceived_ >= chunkLength_) chunkState_ = ChunkState::DataLineEnd;
        break;
      }
      case ChunkState::DataLineEnd:
        if (data[i++] == '\n') {
          chunkState_ = ChunkState::Length;
          chunkLength_ = chunkReceived_ = 0;
        }
        break;
      case ChunkState::Done:
        break;
    }
  }
  if (chunkState_ == ChunkState::Done) DocumentComplete();
}

void THttpClient::DocumentComplete() {
  bodyCount_ = 0;
  lineHandler_ = LineHandler::None;
  if (!SetState(THttpClientState::hcsBodyReceived)) return;
  Raise(OnDocEnd);
}

// What follows a complete document: a pending relocation, a close, or the end.
void THttpClient::AfterDocument() {
  if (relocationPending_) {
    FollowPendingRelocation();
  } else if (closeRequested_) {
    socket_->CloseAfterEvent();
  } else {
    Finish();
  }
}

void THttpClient::SessionClosed(int error) {
  if (error != 0 && requestDoneError_ == 0) requestDoneError_ = error;
  connected_ = false;
  if (state_ == THttpClientState::hcsIdle || state_ == THttpClientState::hcsAborting) return;
  if (state_ == THttpClientState::hcsAwaitingHeader && !receiveBuffer_.empty()) {
    // A last line without a line feed is a line like any other: the close ends it.
    const RequestMark mark = Mark();
    ReadLines(true);
    if (!Ongoing(mark) || state_ == THttpClientState::hcsIdle) return;
  }
  // A connection that ends with an error (a reset, ...) ends no answer
  // normally: what was still open fails with the error's own reason.
  const auto failClosed = [this, error](const char* cleanReason) {
    if (error != 0) {
      MarkFailed(SocketErrorReason(error), error);
    } else {
      MarkFailed(cleanReason, 0);
    }
  };
  if (headerOpen_) {
    headerOpen_ = false;
    if (!Raise(OnHeaderEnd)) return;
    if (relocationPending_) {
      Reconnect();
      return;
    }
    if (!failed_) failClosed(kCutShort);
    Finish();
    return;
  }
  if (bodyCount_ > 0) {
    // Without a length the close ends the document, but only a clean close.
    const bool cutShort =
        (transferEncoding_ == "chunked" && chunkState_ != ChunkState::Done) ||
        (transferEncoding_ != "chunked" && contentLength_ >= 0 && rcvdCount_ < contentLength_) ||
        (transferEncoding_ != "chunked" && contentLength_ < 0 && error != 0);
    bodyCount_ = 0;
    if (!Raise(OnDocEnd)) return;
    if (cutShort && !relocationPending_ && !failed_) failClosed(kCutShort);
  } else if (!failed_ && !relocationPending_ && state_ == THttpClientState::hcsAwaitingBody &&
             (contentLength_ > 0 || transferEncoding_ == "chunked" ||
              (contentLength_ < 0 && error != 0))) {
    failClosed(kCutShort);
  } else if (!failed_ && state_ == THttpClientState::hcsAwaitingHeader && statusCode_ == 0) {
    failClosed("Connection closed without an answer");
  }
  if (relocationPending_) {
    Reconnect();
    return;
  }
  if (!Raise(OnSessionClosed)) return;
  if (state_ != THttpClientState::hcsIdle) Finish();
}

// ---------------------------------------------------------------------------
// Finishing, failing, time-out

void THttpClient::Finish() {
  if (finishPosted_) return;
  finishPosted_ = true;
  loop_.Post(lifetime_.Guard([this, request = request_] {
    if (request != request_) return;  // that request has ended already
    finishPosted_ = false;
    EnterIdle();
  }));
}

void THttpClient::EnterIdle() {
  timer_.reset();
  const auto alive = lifetime_.Token();
  SetState(THttpClientState::hcsIdle);
  if (alive.expired() || state_ != THttpClientState::hcsIdle) return;
  if (!Options.httpoNoNTLMAuth && NtlmCheck()) return;
  if (!Options.httpoNoBasicAuth && BasicCheck()) return;
  const THttpRequest kind = requestType_;
  const int error = requestDoneError_;
  loop_.Post(lifetime_.Guard([this, kind, error] { Raise(OnRequestDone, kind, error); }));
}

void THttpClient::MarkFailed(const std::string& reason, int error) {
  failed_ = true;
  statusCode_ = 404;
  reasonPhrase_ = reason;
  if (error != 0) requestDoneError_ = error;
}

void THttpClient::AbandonAnswer(const std::string& reason, int error) {
  MarkFailed(reason, error);
  relocationPending_ = false;
  headerOpen_ = false;
  bodyCount_ = 0;
  closedRoute_ = ClosedRoute::Normal;
}

void THttpClient::Fail(const std::string& reason, int error) {
  AbandonAnswer(reason, error);
  allowedToSend_ = false;
  lineHandler_ = LineHandler::None;
  const RequestMark mark = Mark();
  if (socket_->State() != TSocketState::wsClosed || socket_->LookupPending()) {
    socket_->Abort();
    if (!Ongoing(mark)) return;
  }
  connected_ = false;
  if (state_ != THttpClientState::hcsIdle) Finish();
}

void THttpClient::Progress() {
  lastProgress_ = std::chrono::steady_clock::now();
}

// The time-out check runs only while a request does: an idle client wakes nobody.
void THttpClient::ArmTimer() {
  Progress();
  if (timer_) return;
  const auto tick =
      std::clamp(Timeout / 4, std::chrono::milliseconds(10), std::chrono::milliseconds(1000));
  timer_ = loop_.StartTimer(tick, true, [this] { OnTimer(); });
}

void THttpClient::OnTimer() {
  if (state_ == THttpClientState::hcsIdle || finishPosted_) return;
  if (std::chrono::steady_clock::now() - lastProgress_ >= Timeout) {
    Fail(SocketErrorReason(WSAETIMEDOUT), WSAETIMEDOUT);
  }
}

void THttpClient::Abort() {
  ++request_;  // the request's steps under way and its posted tasks end here
  if (state_ != THttpClientState::hcsIdle) {
    const bool lookup = socket_->LookupPending();
    SetState(THttpClientState::hcsAborting);
    try {
      socket_->CancelLookup();
    } catch (...) {
    }
    AbandonAnswer("Connection aborted on request", kHttpErrorAborted);
    const auto alive = lifetime_.Token();
    if (!lookup && socket_->State() != TSocketState::wsClosed) {
      socket_->Close();  // its closed report is ignored while aborting
      if (alive.expired()) return;
    }
    connected_ = false;
    finishPosted_ = false;
    EnterIdle();
    return;
  }
  SetState(THttpClientState::hcsAborting);
  if (socket_->State() != TSocketState::wsClosed) socket_->Abort();
  connected_ = false;
  statusCode_ = 200;
  reasonPhrase_ = "OK";
  requestDoneError_ = 0;
  // Idle again without the authentication checks: nothing was asked.
  if (!SetState(THttpClientState::hcsIdle)) return;
  Raise(OnRequestDone, requestType_, 0);
}

// ---------------------------------------------------------------------------
// Relocation

void THttpClient::NewRelocationTarget(const std::string& value) {
  const bool absolute = StartsWithNoCase(value, "http://");
  auto takeCredentials = [this](const TUrlParts& parts) {
    if (!parts.user.empty() && !parts.password.empty()) {
      Username = parts.user;
      Password = parts.password;
    }
  };
  if (Proxy.empty()) {
    if (!value.empty() && value.front() == '/') {
      requestUri_ = value;
      location_ = "http://" + connectHost_ + value;
    } else if (!absolute) {
      requestUri_ = UriDirectory(requestUri_) + value;
      location_ = "http://" + connectHost_ + requestUri_;
    } else {
      const TUrlParts parts = SplitUrl(value);
      connectHost_ = parts.host;
      requestUri_ = parts.path;
      connectPort_ = parts.port.empty() ? "80" : parts.port;
      protocol_ = parts.protocol;
      takeCredentials(parts);
      if (!parts.protocol.empty() && !parts.host.empty()) {
        targetHost_ = parts.host;
        if (!parts.path.empty()) {
          location_ = parts.protocol + "://" + parts.host + parts.path;
        } else {
          requestUri_ = "/";
          location_ = parts.protocol + "://" + parts.host;
        }
      }
    }
    return;
  }
  if (!value.empty() && value.front() == '/') {
    const TUrlParts current = SplitUrl(requestUri_);
    location_ = (current.protocol.empty() ? std::string("http") : current.protocol) + "://" +
                current.host + value;
    requestUri_ = location_;
    takeCredentials(current);
  } else if (!absolute) {
    requestUri_ = UriDirectory(requestUri_) + value;
    location_ = requestUri_;
  } else {
    const TUrlParts parts = SplitUrl(value);
    connectPort_ = parts.port.empty() ? "80" : parts.port;
    takeCredentials(parts);
    if (!parts.protocol.empty() && !parts.host.empty()) {
      targetHost_ = parts.host;
      location_ = parts.protocol + "://" + parts.host + parts.path;
      requestUri_ = location_;
    }
  }
}

void THttpClient::FollowPendingRelocation() {
  // The redirecting answer's body is no part of the document asked for.
  CutBackResponse();
  receiveBuffer_.clear();
  // Both paths below reset the answer (ResetAnswer in Reconnect, ResetPerRequest
  // here), but not at once: a new connection may first wait for a posted close,
  // and both raise OnLocationChange first, whose handler may run the event loop.
  // Bytes read meanwhile begin a new answer, not more lines of this header.
  // (The line count starts again with that answer's first line, and the body
  // count is 0 already: the document is complete, or its header has just ended.)
  headerProgress_ = HeaderProgress::NotBegun;
  if (openHost_ != connectHost_ || openPort_ != connectPort_ || openProtocol_ != protocol_ ||
      closeRequested_ || !IsConnected() || BodyUnfinished()) {
    closedRoute_ = ClosedRoute::Reconnect;
    if (socket_->State() == TSocketState::wsClosed) {
      Reconnect();
    } else {
      socket_->CloseAfterEvent();
    }
    return;
  }
  if (!Raise(OnLocationChange)) return;
  const std::string keep = location_;
  ResetPerRequest();
  StartAuthenticationOver();
  location_ = keep;
  SetDocumentNameFromPath(SplitUrl(requestUri_).path);
  PostBecomesGet();
  PostRestart();
}

void THttpClient::Reconnect() {
  closedRoute_ = ClosedRoute::Normal;
  const std::string withoutFragment = location_.substr(0, location_.find('#'));
  location_ = withoutFragment;
  SetDocumentNameFromPath(SplitUrl(location_).path);
  connected_ = false;
  relocationPending_ = false;
  allowedToSend_ = false;  // a body still going out stays with the closed connection
  PostBecomesGet();
  if (!Raise(OnLocationChange)) return;
  ResetAnswer();
  StartAuthenticationOver();
  if (!Proxy.empty()) ConnectThroughProxy();
  CutBackResponse();
  RewindRequest();
  PostRestart();
}

// Takes the body of the last answer out of ResponseStream again; RcvdCount 0.
void THttpClient::CutBackResponse() {
  if (ResponseStream != nullptr && rcvdCount_ > 0) {
    ResponseStream->SetSize(std::max<std::int64_t>(ResponseStream->Size() - rcvdCount_, 0));
    ResponseStream->SetPosition(ResponseStream->Size());
  }
  rcvdCount_ = 0;
}

// Moves RequestStream back to where the body started, to send it again; SentCount 0.
void THttpClient::RewindRequest() {
  if (RequestStream != nullptr && sentCount_ > 0) {
    RequestStream->SetPosition(RequestStream->Position() - sentCount_);
  }
  sentCount_ = 0;
}

void THttpClient::PostRestart() {
  loop_.Post(lifetime_.Guard([this, request = request_] {
    if (request != request_ || state_ == THttpClientState::hcsAborting) return;
    ArmTimer();
    Connect();
  }));
}

// ---------------------------------------------------------------------------
// Authentication retry

void THttpClient::StartAuthenticationOver() {
  authRetries_ = 0;
  proxyBasicAcceptedHere_ = false;
}

bool THttpClient::RetryAllowed() {
  if (authRetries_ >= kMaxAuthRetries) return false;
  ++authRetries_;
  return true;
}

bool THttpClient::BodyUnfinished() const {
  return allowedToSend_ && RequestStream != nullptr &&
         RequestStream->Position() < RequestStream->Size();
}

bool THttpClient::RewindForRetry() {
  if (BodyUnfinished()) {
    // The retry goes out on a new connection; the rest of the body stays
    // behind with the one it was meant for.
    allowedToSend_ = false;
    connected_ = false;
    const auto alive = lifetime_.Token();
    socket_->Abort();
    if (alive.expired()) return false;
  }
  CutBackResponse();
  RewindRequest();
  receiveBuffer_.clear();
  const std::string keep = documentName_;
  ResetPerRequest();
  documentName_ = keep;
  return true;
}

// The last challenge of scheme that can be answered: a 401 with server
// credentials or a 407 with proxy credentials; nullptr when there is none.
const std::string* THttpClient::ChallengeToAnswer(std::string_view scheme, bool& server) const {
  if (statusCode_ == 401 && !Username.empty() && !Password.empty()) {
    server = true;
  } else if (statusCode_ == 407 && !ProxyUsername.empty() && !ProxyPassword.empty()) {
    server = false;
  } else {
    return nullptr;
  }
  const auto entry =
      std::find_if(challenges_.rbegin(), challenges_.rend(),
                   [&](const std::string& c) { return c.compare(0, scheme.size(), scheme) == 0; });
  return entry == challenges_.rend() ? nullptr : &*entry;
}

namespace {

// The acceptance rules both schemes share, for the server's and the proxy's state:
// credentials sent and not refused again are accepted; accepted credentials that
// meet a challenge again (on a connection kept open, where no name lookup forgot
// them) start over, and a proxy's take the server's with them. True when the
// proxy's credentials were accepted by this answer.
template <typename State>
bool SettleAcceptance(State& server, State& proxy, State sent, int status) {
  if (server == sent && status != 401) server = State::Accepted;
  if (server == State::Accepted && status == 401) server = State::None;
  bool proxyAccepted = false;
  if (proxy == sent && status != 407) {
    proxy = State::Accepted;
    proxyAccepted = true;
  }
  if (proxy == State::Accepted && status == 407) proxy = server = State::None;
  return proxyAccepted;
}

}  // namespace

bool THttpClient::NtlmCheck() {
  SettleAcceptance(authNtlmState_, proxyAuthNtlmState_, NtlmState::AuthenticateSent, statusCode_);

  bool server = false;
  const std::string* entry = ChallengeToAnswer("NTLM", server);
  if (entry == nullptr) return false;
  NtlmState& state = server ? authNtlmState_ : proxyAuthNtlmState_;
  if ((state == NtlmState::None || state == NtlmState::NegotiateSent) && !RetryAllowed()) {
    challenges_.clear();
    state = NtlmState::None;
    return false;  // ends with this answer, as a refused last step does
  }
  switch (state) {
    case NtlmState::None:
      ntlmForServer_ = server;
      if (!RewindForRetry()) return true;
      state = NtlmState::NegotiateSent;
      if (requestVer_ == "1.0") (server ? Connection : ProxyConnection) = "Keep-alive";
      PostRestart();
      return true;
    case NtlmState::NegotiateSent:
      ntlmChallenge_ = DecodeNtlmChallengeValue(*entry);
      if (!RewindForRetry()) return true;
      state = NtlmState::AuthenticateSent;
      PostRestart();
      return true;
    case NtlmState::AuthenticateSent:
      challenges_.clear();
      state = NtlmState::None;
      return false;  // the caller posts OnRequestDone
    case NtlmState::Accepted:
      break;
  }
  throw EHttpException(server ? "Unexpected AuthNTLMState" : "Unexpected ProxyAuthNTLMState",
                       kHttpErrorAuthState);
}

bool THttpClient::BasicCheck() {
  if (SettleAcceptance(authBasicState_, proxyAuthBasicState_, BasicState::CredentialsSent,
                       statusCode_)) {
    proxyBasicAcceptedHere_ = true;
  }

  bool server = false;
  if (ChallengeToAnswer("Basic", server) == nullptr) return false;
  BasicState& state = server ? authBasicState_ : proxyAuthBasicState_;
  if (state == BasicState::None && !RetryAllowed()) {
    challenges_.clear();
    return false;  // ends with this answer, as refused credentials do
  }
  switch (state) {
    case BasicState::None:
      basicForServer_ = server;
      if (!RewindForRetry()) return true;
      state = BasicState::CredentialsSent;
      PostRestart();
      return true;
    case BasicState::CredentialsSent:
      challenges_.clear();
      state = BasicState::None;
      return false;
    case BasicState::Accepted:
      break;
  }
  throw EHttpException(server ? "Unexpected AuthBasicState" : "Unexpected ProxyAuthBasicState",
                       kHttpErrorAuthState);
}

}  // namespace parlumo
