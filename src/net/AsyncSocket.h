#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "net/SocketBuffer.h"
#include "net/SocketErrors.h"
#include "runtime/EventLoop.h"

struct sockaddr_in;

namespace parlumo {

// The socket's state; ChangeState is the one place it changes. A client
// socket only: it neither listens nor accepts nor talks SOCKS.
enum class TSocketState {
  wsOpened,      // a handle exists, nothing started yet
  wsConnecting,  // the non-blocking connect is under way
  wsConnected,   // the connection is open
  wsClosed,      // no handle; the state after construction and after every close
};

enum class TSocketLingerOnOff { wsLingerOff, wsLingerOn, wsLingerNoSet };

// Component options.
struct TSocketOptions {
  bool wsoNoReceiveLoop = false;  // one OnDataAvailable per readiness notification
  bool wsoTcpNoDelay = false;     // switch the Nagle delay off
};

// A non-blocking TCP client socket whose notifications arrive as events on the
// EventLoop of the thread that created it: name lookup done, connected, data
// available, everything sent, closed. No operation blocks (SocketResolveHost of
// a name aside, which the program never calls with one).
//
// Events run last in the operation that raises them, and a handler may close,
// abort or destroy the socket; the socket checks that it is still alive after
// every event it raises. An exception escaping a handler run from the event
// loop goes to OnBgException and then aborts the connection; it never reaches
// the loop.
//
// Failures inside the socket go through one reporting step: OnError when it is
// assigned (LastErrorMessage() then holds the text), else an ESocketException.
class TAsyncSocket {
 public:
  using TNotifyEvent = std::function<void(TAsyncSocket&)>;
  // ErrCode: a socket error number, 0 for success.
  using TErrorEvent = std::function<void(TAsyncSocket&, int errCode)>;
  using TChangeStateEvent = std::function<void(TAsyncSocket&, TSocketState, TSocketState)>;
  using TSendDataEvent = std::function<void(TAsyncSocket&, int bytesSent)>;
  using TBgExceptionEvent =
      std::function<void(TAsyncSocket&, const std::exception&, bool& canClose)>;

  // How long and how often a name lookup asks the name servers.
  // The waits double from try to try: 2 s and 4 s by default, 6 s per server.
  struct TDnsSettings {
    int timeoutMs = 2000;
    int tries = 2;
  };

  explicit TAsyncSocket(EventLoop& loop);
  ~TAsyncSocket();
  TAsyncSocket(const TAsyncSocket&) = delete;
  TAsyncSocket& operator=(const TAsyncSocket&) = delete;

  // Destroys the socket from a posted event, after the current handler returns.
  static void Release(std::unique_ptr<TAsyncSocket> socket);

  // Published properties; every close restores their defaults.
  const std::string& Addr() const { return addr_; }
  void SetAddr(std::string value) { addr_ = std::move(value); }
  const std::string& Port() const { return port_; }
  void SetPort(std::string value) { port_ = std::move(value); }
  const std::string& Proto() const { return proto_; }
  void SetProto(std::string value) { proto_ = std::move(value); }
  const std::string& LocalAddr() const { return localAddr_; }
  void SetLocalAddr(std::string value) { localAddr_ = std::move(value); }
  const std::string& LocalPort() const { return localPort_; }
  void SetLocalPort(std::string value) { localPort_ = std::move(value); }
  const std::string& DnsResult() const { return dnsResult_; }
  const std::vector<std::string>& DnsResultList() const { return dnsResultList_; }
  TSocketState State() const { return state_; }
  std::int64_t ReadCount() const { return readCount_; }
  int LastError() const { return lastError_; }
  const std::string& LastErrorMessage() const { return lastErrorMessage_; }
  TSocketOptions& ComponentOptions() { return options_; }
  TSocketLingerOnOff LingerOnOff() const { return lingerOnOff_; }
  void SetLingerOnOff(TSocketLingerOnOff value) { lingerOnOff_ = value; }
  int LingerTimeout() const { return lingerTimeout_; }
  void SetLingerTimeout(int seconds) { lingerTimeout_ = seconds; }
  void SetDnsSettings(TDnsSettings settings) { dnsSettings_ = settings; }
  EventLoop& Loop() const { return loop_; }

  // Events.
  TErrorEvent OnDataAvailable;
  TErrorEvent OnDataSent;
  TSendDataEvent OnSendData;
  TErrorEvent OnSessionClosed;
  TErrorEvent OnSessionConnected;
  TErrorEvent OnDnsLookupDone;
  TChangeStateEvent OnChangeState;
  TNotifyEvent OnError;
  TBgExceptionEvent OnBgException;

  // Starts a lookup of an IPv4 address for host; ends with OnDnsLookupDone. A
  // dotted address is answered inside the call; a name always later, from the
  // event loop.
  void DnsLookup(const std::string& host);
  // Stops a pending lookup; raises OnDnsLookupDone(WSAEINTR).
  void CancelLookup();
  bool LookupPending() const { return lookup_ != nullptr; }

  // Opens a TCP connection to Addr:Port; ends with OnSessionConnected.
  void Connect();

  // Queues the bytes and tries to send them now; returns count, or -1 when the
  // socket is not connected. OnDataSent follows once everything is out, always
  // as an event of its own.
  int Send(const void* data, int count);
  // Appends to the send queue without sending.
  void QueueData(const void* data, int count);
  // Reads at most size bytes: the count, 0 at the end of the stream, or -1
  // (LastError says why; WSAEWOULDBLOCK is no error).
  int Receive(void* buffer, int size);

  // Graceful close: shut down sending, close the handle, raise OnSessionClosed.
  void Close();
  // Close from a posted event, after the current handler has returned.
  void CloseAfterEvent();
  // Immediate close, dropping queued data; no shutdown step.
  void Abort();

 private:
  class Lookup;

  // Each returns false when a handler destroyed the socket.
  bool ChangeState(TSocketState newState);
  bool ReportError(const std::string& message);
  bool ReportCallError(int error, const std::string& call);
  template <typename Event, typename... Args>
  bool Raise(const Event& event, Args&&... args);
  // Runs a handler from the event loop; exceptions go to OnBgException.
  void Dispatch(const std::function<void()>& handler);
  void HandleBgException(const std::exception& e);

  // The steps of Connect; each returns false when it reported a failure (or
  // a handler destroyed the socket).
  bool ConnectSettingsComplete();
  bool ResolveEndpoints(sockaddr_in& remote, sockaddr_in& local);
  bool OpenHandle();
  bool SetStreamOptions(const sockaddr_in& local);
  void StartConnect(const sockaddr_in& remote);

  void OnReadiness(unsigned bits);
  bool HandleConnectNotification(int error);
  bool ReceiveLoop(bool forceLoop);
  bool HandleCloseNotification(int error);
  bool TryToSend();
  void UpdateWatch();
  void PostWriteNotification();
  void LookupFinished(int error, std::vector<std::string> addresses);
  void CloseHandle(bool shutdownFirst);
  void FinishClose(bool shutdownFirst);
  void RestoreDefaults();

  EventLoop& loop_;
  std::string addr_;
  std::string port_;
  std::string proto_ = "tcp";
  std::string localAddr_ = "0.0.0.0";
  std::string localPort_ = "0";
  std::string dnsResult_;
  std::vector<std::string> dnsResultList_;
  TSocketState state_ = TSocketState::wsClosed;
  std::int64_t readCount_ = 0;
  int lastError_ = 0;
  std::string lastErrorMessage_;
  TSocketOptions options_;
  TSocketLingerOnOff lingerOnOff_ = TSocketLingerOnOff::wsLingerOn;
  int lingerTimeout_ = 0;
  TDnsSettings dnsSettings_;

  int fd_ = -1;
  std::unique_ptr<EventLoop::Watch> watch_;
  TSocketBuffer sendQueue_;
  bool allSent_ = true;
  bool closeInvoked_ = false;
  bool writeNotificationPosted_ = false;
  bool destroying_ = false;
  bool receiveError_ = false;
  bool readPaused_ = false;  // the data handler has not read since it was called
  std::uint64_t lookupGeneration_ = 0;
  // Counts connections, so that deferred work of an earlier one is dropped.
  std::uint64_t connection_ = 0;
  std::unique_ptr<Lookup> lookup_;
  Lifetime lifetime_;  // last member: expires first when the socket goes
};

// Text to number conversions; each raises ESocketException on failure.
// The IPv4 address in network byte order; a name is looked up synchronously.
std::uint32_t SocketResolveHost(std::string_view host);
// The port number (host byte order): a text that begins with a digit is read
// up to its first non-digit, anything else is a service name for proto.
std::uint16_t SocketResolvePort(std::string_view port, std::string_view proto);
// The protocol number: tcp 6, udp 17, raw 255, a number, or a protocol name.
int SocketResolveProto(std::string_view proto);

// The dotted IPv4 address in text, normalised, or empty when text is not one
// (optional blanks around it, exactly three dots, each followed by a digit,
// every group at most 255).
std::string NormaliseDottedAddress(std::string_view text);

}  // namespace parlumo
