#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "net/AsyncSocket.h"
#include "net/Ntlm.h"
#include "runtime/EventLoop.h"
#include "runtime/Stream.h"

namespace parlumo {

// Request kinds.
enum class THttpRequest {
  httpGET,
  httpPOST,
  httpPUT,
  httpHEAD,
  httpCLOSE,  // closes the open connection; no request goes out
};

// The client's state; SetState is the one place it changes.
enum class THttpClientState {
  hcsIdle,            // no request runs
  hcsNotConnected,    // a request starts and has no connection yet
  hcsConnected,       // connected, the request header not yet sent
  hcsResolving,       // the connect host is being looked up
  hcsResolved,        // looked up; the connection is being opened
  hcsAwaitingHeader,  // the request went out; reading the response header
  hcsAwaitingBody,    // reading the response body
  hcsBodyReceived,    // the document is complete
  hcsClosing,         // an httpCLOSE request waits for the connection to close
  hcsAborting,        // Abort is under way
};

struct THttpClientOptions {
  bool httpoNoBasicAuth = false;  // no automatic Basic retry
  bool httpoNoNTLMAuth = false;   // no automatic NTLM retry
};

// The client's own error numbers: the codes of EHttpException and the error
// OnRequestDone reports for an abort (its other errors are socket error
// numbers, net/SocketErrors.h, or 0). Callers and stored results compare the
// numbers, so they never change; 4 is not used.
// Raised by StartRequest (so Post, Get, ...) while a request runs, for any
// kind but httpCLOSE; nothing changes.
inline constexpr std::uint16_t kHttpErrorBusy = 1;
// Raised by StartRequest for httpPOST or httpPUT when RequestStream is not set
// or has nothing left after its position; nothing is sent.
inline constexpr std::uint16_t kHttpErrorNothingToSend = 2;
// Not raised: the request-done error of a request that Abort ended.
inline constexpr std::uint16_t kHttpErrorAborted = 3;
// Raised by SetRequestVer for anything but "1.0" or "1.1"; the old value stays.
inline constexpr std::uint16_t kHttpErrorUnsupportedVersion = 5;
// Raised when an authentication retry finds its NTLM or Basic state in a
// step it cannot follow.
inline constexpr std::uint16_t kHttpErrorAuthState = 6;

// The client's exception: a message and a 16-bit code (after a failed
// synchronous request, the status code; else one of the kHttpError numbers).
class EHttpException : public std::runtime_error {
 public:
  EHttpException(const std::string& message, std::uint16_t code)
      : std::runtime_error(message), code_(code) {}
  std::uint16_t ErrorCode() const { return code_; }

 private:
  std::uint16_t code_;
};

// An HTTP/1.0 or HTTP/1.1 client running one request at a time over one
// TAsyncSocket on the caller's event loop. Post and RunRequest wait by running
// that loop, so the caller's other events go on meanwhile; StartRequest returns
// at once and OnRequestDone tells the end. Redirections are followed and 401/407
// challenges answered with Basic or NTLM credentials on the client's own.
//
// Every local failure (lookup, connect, time-out, abort, a broken or oversized
// response) ends the request in hcsIdle with StatusCode 404 and its own
// ReasonPhrase, which the synchronous run raises as EHttpException.
class THttpClient {
 public:
  using TNotifyEvent = std::function<void(THttpClient&)>;
  using TErrorEvent = std::function<void(THttpClient&, int errCode)>;
  using TCommandEvent = std::function<void(THttpClient&, std::string& line)>;
  using TDocDataEvent = std::function<void(THttpClient&, const char* data, std::size_t len)>;
  using TRequestDoneEvent = std::function<void(THttpClient&, THttpRequest, int errCode)>;
  using TCookieEvent = std::function<void(THttpClient&, const std::string& data, bool& accept)>;
  using TBeforeHeaderSendEvent =
      std::function<void(THttpClient&, const std::string& method, std::vector<std::string>&)>;

  // Limits on what a peer can make the client hold.
  static constexpr std::int64_t kMaxBodySize = std::int64_t{16} << 20;
  static constexpr std::size_t kMaxHeaderSize = 64 << 10;
  static constexpr int kMaxRelocations = 10;
  // Authentication retries of one request (counted again after each
  // relocation): a normal exchange needs at most two NTLM steps or one Basic
  // retry per side, and one more where an accepted side challenges again.
  // Peers that refuse in turn end with the last 401 or 407 instead of
  // keeping the client busy for good.
  static constexpr int kMaxAuthRetries = 6;

  explicit THttpClient(EventLoop& loop);
  ~THttpClient();
  THttpClient(const THttpClient&) = delete;
  THttpClient& operator=(const THttpClient&) = delete;

  // Published properties.
  std::string URL;
  std::string LocalAddr = "0.0.0.0";
  std::string Proxy;  // host or host:port; empty for a direct connection
  std::string ProxyPort = "80";
  std::string Sender;
  std::string Agent = "Mozilla/4.0 (compatible; Parlumo)";
  std::string Accept = "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";
  std::string AcceptLanguage;
  std::string Reference;
  std::string Connection;
  std::string ProxyConnection;
  std::string Username;
  std::string Password;
  std::string ProxyUsername;
  std::string ProxyPassword;
  bool NoCache = false;
  std::time_t ModifiedSince = 0;  // 0: no If-Modified-Since
  std::string Cookie;
  std::string ContentTypePost = "application/x-www-form-urlencoded";
  std::string ContentRangeBegin;
  std::string ContentRangeEnd;
  bool FollowRelocation = true;
  THttpClientOptions Options;
  // A request that makes no progress (no byte sent or received) for this long
  // ends as "Connection timed out (Error #10060)".
  std::chrono::milliseconds Timeout = std::chrono::seconds(30);
  TStream* RequestStream = nullptr;   // sent from its position to its end
  TStream* ResponseStream = nullptr;  // the body is written at its position

  const std::string& RequestVer() const { return requestVer_; }
  // "1.0" or "1.1"; anything else raises "Insupported HTTP version"
  // (kHttpErrorUnsupportedVersion).
  void SetRequestVer(const std::string& version);

  // Results.
  int StatusCode() const { return statusCode_; }
  const std::string& ReasonPhrase() const { return reasonPhrase_; }
  const std::string& Location() const { return location_; }
  const std::vector<std::string>& ResponseHeader() const { return responseHeader_; }
  std::int64_t ContentLength() const { return contentLength_; }
  const std::string& ContentType() const { return contentType_; }
  const std::string& TransferEncoding() const { return transferEncoding_; }
  const std::string& AcceptRanges() const { return acceptRanges_; }
  const std::string& DocumentName() const { return documentName_; }
  std::int64_t RcvdCount() const { return rcvdCount_; }
  std::int64_t SentCount() const { return sentCount_; }
  THttpClientState State() const { return state_; }
  THttpRequest RequestType() const { return requestType_; }
  TAsyncSocket& Socket() { return *socket_; }

  // Events.
  TErrorEvent OnSessionConnected;
  TNotifyEvent OnSessionClosed;
  TNotifyEvent OnHeaderData;
  TCommandEvent OnCommand;
  TNotifyEvent OnHeaderBegin;
  TNotifyEvent OnHeaderEnd;
  TNotifyEvent OnRequestHeaderBegin;
  TNotifyEvent OnRequestHeaderEnd;
  TNotifyEvent OnDocBegin;
  TDocDataEvent OnDocData;
  TNotifyEvent OnDocEnd;
  TNotifyEvent OnSendBegin;
  TDocDataEvent OnSendData;
  TNotifyEvent OnSendEnd;
  TNotifyEvent OnStateChange;
  TRequestDoneEvent OnRequestDone;
  TNotifyEvent OnLocationChange;
  TCookieEvent OnCookie;
  TErrorEvent OnDataPush;
  TNotifyEvent OnDataPush2;
  TNotifyEvent OnSocketError;
  TBeforeHeaderSendEvent OnBeforeHeaderSend;

  // Synchronous POST; raises EHttpException on failure.
  void Post() { RunRequest(THttpRequest::httpPOST); }
  void Get() { RunRequest(THttpRequest::httpGET); }
  // StartRequest, wait for hcsIdle on the loop, then raise for StatusCode >= 400
  // other than 401 and 407.
  void RunRequest(THttpRequest kind);
  // Starts a request and returns at once; OnRequestDone follows.
  void StartRequest(THttpRequest kind);
  // Ends the running request at once.
  void Abort();

 private:
  // Where a received line goes.
  enum class LineHandler {
    None,    // nowhere: the answer is over, or no request runs
    Header,  // to HeaderLine, one response header line at a time
    Body,    // to BodyData, as bytes of the document
  };
  // What the socket's closed report leads to.
  enum class ClosedRoute {
    Normal,     // SessionClosed: the end of an answer or a failure
    Reconnect,  // Reconnect: a relocation to another connection follows
  };
  // How far the response header has come.
  enum class HeaderProgress {
    NotBegun,      // no line of the answer yet; the first raises OnHeaderBegin
    AfterInterim,  // an interim 100 answer ended; the next line is the status
                   // line of the real answer, without a second OnHeaderBegin
    Reading,       // lines of the header are coming in (headerLineCount_ of them)
  };
  // The decoder of a chunked body.
  enum class ChunkState {
    Length,       // hexadecimal digits of the chunk's length
    LengthLine,   // the rest of the length line, up to and including its line feed
    Data,         // the chunk's bytes, handed on as the document
    DataLineEnd,  // the line end after the chunk's bytes
    Done,         // the zero-length chunk's line has been read; trailers are not
  };
  // The NTLM exchange with one side (the server or the proxy).
  enum class NtlmState {
    None,              // no exchange under way
    NegotiateSent,     // the negotiate message went out, without the body
    AuthenticateSent,  // the authenticate message went out, with the body
    Accepted,          // the side took it; forgotten at the next name lookup
  };
  // The Basic exchange with one side (the server or the proxy).
  enum class BasicState {
    None,             // no credentials sent
    CredentialsSent,  // the credentials went out once
    Accepted,         // the side took them; forgotten at the next name lookup
  };

  // Working state
  // Raises OnStateChange on a real change; false when a handler destroyed the
  // client or ended the request.
  bool SetState(THttpClientState state);
  // The values one answer sets, back to "nothing received".
  void ResetAnswer();
  // Everything a request starts from, the answer's values included.
  void ResetPerRequest();
  // An authentication exchange that an earlier request left in mid-step (a
  // failure, a time-out or an abort ended it) starts again from nothing: its
  // next message belongs to that request, not to a new one. Accepted states
  // stay.
  void ForgetUnfinishedAuthentication();
  // A relocation is followed with GET: a POST's body is not sent again.
  void PostBecomesGet();
  void WorkOutTargets();
  void ConnectThroughProxy();
  void SetDocumentNameFromPath(const std::string& path);
  void Connect();
  void LookupDone(int error);
  void SessionConnected(int error);
  // Builds the request header and queues it on the socket; false when a
  // handler destroyed the client.
  bool SendRequestHeader(const std::string& method);
  // Starts sending a header that no body follows.
  void SendQueuedHeader();
  void StartBody();
  void SendNextChunk();
  void DataAvailable();
  // Hands each complete line of the receive buffer to the header handler (or
  // to OnDataPush outside the header); atClose, a last line without a line
  // feed too. False when reading stops: a failure, a line still incomplete,
  // the header's end taking the rest, or a handler destroying the client.
  bool ReadLines(bool atClose);
  void HeaderLine(const std::string& line);
  void HeaderlessAnswer();
  // Each returns false when the answer goes no further (a failure, or a
  // handler destroyed the client).
  bool StatusLine(const std::string& line);
  bool HeaderField(const std::string& line);
  void HeaderEnded();
  bool HandBodyFromBuffer();
  std::size_t BodyBytesWanted(std::size_t available) const;
  void BodyData(const char* data, std::size_t n);
  void DocumentComplete();
  void AfterDocument();
  void SessionClosed(int error);
  void Finish();
  void EnterIdle();
  bool NtlmCheck();
  bool BasicCheck();
  // Whether the request body has not all been handed to the socket: the
  // connection then owes the peer the rest of it, and a request that followed
  // on it would be read as body bytes. A follow-up opens a new connection.
  bool BodyUnfinished() const;
  // Back to the start of the request for an authentication retry; false when
  // a handler destroyed the client meanwhile.
  bool RewindForRetry();
  // A new request, or a relocation to follow: no retries counted, and no
  // proxy acceptance of its own yet.
  void StartAuthenticationOver();
  // Counts an authentication retry; false when the request has had its
  // kMaxAuthRetries.
  bool RetryAllowed();
  void CutBackResponse();
  void RewindRequest();
  const std::string* ChallengeToAnswer(std::string_view scheme, bool& server) const;
  void PostRestart();
  void NewRelocationTarget(const std::string& value);
  void FollowPendingRelocation();
  void Reconnect();
  // A local failure: StatusCode 404 with its own reason.
  void MarkFailed(const std::string& reason, int error);
  // MarkFailed, and forget what the answer under way had begun: a relocation
  // to follow, an open header, a document, a reconnect on the coming close.
  // What follows the close is then the end of the request, without
  // OnHeaderEnd or OnDocEnd. Fail and Abort share it.
  void AbandonAnswer(const std::string& reason, int error);
  // AbandonAnswer, then drop the connection and finish.
  void Fail(const std::string& reason, int error);
  void ArmTimer();
  void Progress();
  void OnTimer();
  bool NtlmNegotiating() const;
  std::string MethodName() const;
  bool IsConnected() const;

  // The request under way, as seen by a step that calls out: Ongoing is false
  // once the client is destroyed or the request has ended (Abort, or a new
  // StartRequest from a handler), and the step then goes no further.
  struct RequestMark {
    std::weak_ptr<const int> alive;
    std::uint64_t request;
  };
  RequestMark Mark() const { return {lifetime_.Token(), request_}; }
  bool Ongoing(const RequestMark& mark) const {
    return !mark.alive.expired() && request_ == mark.request;
  }

  // Raises an event; false when its handler destroyed the client or ended the
  // request under way (Abort, StartRequest): the caller then stops.
  template <typename Event, typename... Args>
  bool Raise(const Event& event, Args&&... args);

  EventLoop& loop_;
  std::unique_ptr<TAsyncSocket> socket_;
  std::string requestVer_ = "1.0";

  int statusCode_ = 0;
  std::string reasonPhrase_;
  std::string location_;
  std::vector<std::string> responseHeader_;
  std::int64_t contentLength_ = -1;
  std::string contentType_;
  std::string transferEncoding_;
  std::string acceptRanges_;
  std::string documentName_;
  std::int64_t rcvdCount_ = 0;
  std::int64_t sentCount_ = 0;
  THttpClientState state_ = THttpClientState::hcsIdle;
  THttpRequest requestType_ = THttpRequest::httpGET;

  // Working state of one request.
  std::string targetHost_;
  std::string connectHost_;
  std::string connectPort_;
  std::string protocol_;
  std::string requestUri_;
  std::string openHost_;
  std::string openPort_;
  std::string openProtocol_;
  bool connected_ = false;
  std::string receiveBuffer_;
  std::size_t headerBytes_ = 0;
  std::string responseVersion_;
  HeaderProgress headerProgress_ = HeaderProgress::NotBegun;
  int headerLineCount_ = 0;  // lines of the current answer's header, its status line included
  int bodyCount_ = 0;
  ChunkState chunkState_ = ChunkState::Length;
  std::int64_t chunkLength_ = 0;
  std::int64_t chunkReceived_ = 0;
  bool closeRequested_ = false;
  bool relocationPending_ = false;
  bool headerOpen_ = false;
  bool allowedToSend_ = false;
  bool headerQueued_ = false;  // the request header waits in the socket's queue
  bool finishPosted_ = false;
  bool failed_ = false;
  int relocations_ = 0;
  LineHandler lineHandler_ = LineHandler::None;
  ClosedRoute closedRoute_ = ClosedRoute::Normal;
  std::vector<std::string> challenges_;
  NtlmState authNtlmState_ = NtlmState::None;
  NtlmState proxyAuthNtlmState_ = NtlmState::None;
  BasicState authBasicState_ = BasicState::None;
  BasicState proxyAuthBasicState_ = BasicState::None;
  bool ntlmForServer_ = true;
  bool basicForServer_ = true;
  // The proxy accepted Basic credentials within this request (since its start
  // or its last relocation): a retry that answers the server sends them again,
  // and the name lookup of that retry keeps the acceptance.
  bool proxyBasicAcceptedHere_ = false;
  int authRetries_ = 0;
  TNtlmChallenge ntlmChallenge_;
  int requestDoneError_ = 0;
  // Counts the requests: Abort and StartRequest begin a new count, so that
  // the steps and posted tasks of an ended request do nothing.
  std::uint64_t request_ = 0;
  std::chrono::steady_clock::time_point lastProgress_;
  std::unique_ptr<EventLoop::Timer> timer_;
  Lifetime lifetime_;  // last member: expires first
};

}  // namespace parlumo
