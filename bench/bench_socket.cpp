// TAsyncSocket on PollEventLoop against plain blocking socket calls, over the
// same loopback connection setup in the same run:
// - receiving 256 MiB that a local peer sends as fast as it can;
// - one connect, send of 100 bytes, close per iteration; beside the blocking
//   calls also the non-blocking calls that the socket's contract asks for, made by
//   hand, which shows what of the difference is the socket's own.
// Wall-clock time: the work is the exchange with the peer thread.

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <thread>

#include "RatioReporter.h"
#include "ScriptedServer.h"
#include "net/AsyncSocket.h"
#include "runtime/PollEventLoop.h"

namespace {

using parlumo::PollEventLoop;
using parlumo::TAsyncSocket;
using parlumo::testing::ScriptedServer;
using parlumo::testing::ServerConnection;

constexpr std::size_t kStreamBytes = std::size_t{256} << 20;
constexpr std::size_t kReadSize = 64 << 10;
const std::string kMessage(100, 'm');

// Sends kStreamBytes on every connection, then closes it.
void StreamScript(ServerConnection& c) {
  const std::string chunk(std::size_t{1} << 20, 's');
  for (std::size_t sent = 0; sent < kStreamBytes; sent += chunk.size())
    c.Send(chunk);
}

// Reads until the client is done, closes, and counts the connection. Each
// iteration waits for its connection to be counted, so the client never runs
// ahead of the server into a full accept queue (whose dropped handshakes would
// be measured instead of the sockets).
class Sink {
 public:
  Sink()
      : server_([this](ServerConnection& c) {
          c.ReadToEnd();
          c.Close();
          ++done_;
        }) {}
  std::uint16_t Port() const { return server_.Port(); }
  std::string PortText() const { return server_.PortText(); }
  void WaitFor(int connections) const {
    while (done_ < connections)
      std::this_thread::yield();
  }

 private:
  std::atomic<int> done_ = 0;
  ScriptedServer server_;
};

int BlockingConnect(std::uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

void BM_BlockingRecv(benchmark::State& state) {
  ScriptedServer server(StreamScript);
  std::string buffer(kReadSize, '\0');
  for (auto _ : state) {
    const int fd = BlockingConnect(server.Port());
    std::size_t total = 0;
    for (ssize_t n; (n = ::recv(fd, buffer.data(), buffer.size(), 0)) > 0;) {
      total += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (total != kStreamBytes) state.SkipWithError("short stream");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kStreamBytes));
}

void BM_AsyncSocketRecv(benchmark::State& state) {
  ScriptedServer server(StreamScript);
  PollEventLoop loop;
  std::string buffer(kReadSize, '\0');
  for (auto _ : state) {
    TAsyncSocket socket(loop);
    std::size_t total = 0;
    bool closed = false;
    socket.OnDataAvailable = [&](TAsyncSocket& s, int) {
      const int n = s.Receive(buffer.data(), static_cast<int>(buffer.size()));
      if (n > 0) total += static_cast<std::size_t>(n);
    };
    socket.OnSessionClosed = [&](TAsyncSocket&, int) { closed = true; };
    socket.SetAddr("127.0.0.1");
    socket.SetPort(server.PortText());
    socket.Connect();
    while (!closed)
      loop.ProcessEvents(std::chrono::seconds(1));
    if (total != kStreamBytes) state.SkipWithError("short stream");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kStreamBytes));
}

void BM_BlockingConnectSendClose(benchmark::State& state) {
  Sink server;
  int cycles = 0;
  for (auto _ : state) {
    const int fd = BlockingConnect(server.Port());
    if (fd < 0 || ::send(fd, kMessage.data(), kMessage.size(), MSG_NOSIGNAL) < 0) {
      state.SkipWithError("connect or send failed");
    }
    ::shutdown(fd, SHUT_WR);
    ::close(fd);
    server.WaitFor(++cycles);
  }
}

// The system calls of the socket's connect-send-close, without the socket: its
// options (address reuse and keep-alive are on by default), a non-blocking
// connect and a wait for it, then the send and the graceful close.
void BM_NonBlockingConnectSendClose(benchmark::State& state) {
  Sink server;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(server.Port());
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int cycles = 0;
  for (auto _ : state) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    if (!connected && errno == EINPROGRESS) {
      pollfd wait{fd, POLLOUT, 0};
      connected = ::poll(&wait, 1, 1000) == 1 && (wait.revents & (POLLERR | POLLHUP)) == 0;
    }
    if (!connected || ::send(fd, kMessage.data(), kMessage.size(), MSG_NOSIGNAL) < 0) {
      state.SkipWithError("connect or send failed");
    }
    ::shutdown(fd, SHUT_WR);
    ::close(fd);
    server.WaitFor(++cycles);
  }
}

void BM_AsyncSocketConnectSendClose(benchmark::State& state) {
  Sink server;
  PollEventLoop loop;
  int cycles = 0;
  for (auto _ : state) {
    TAsyncSocket socket(loop);
    // A graceful close, as the plain close() of the reference does, so that
    // both measure the same exchange on the wire.
    socket.SetLingerOnOff(parlumo::TSocketLingerOnOff::wsLingerOff);
    bool closed = false;
    socket.OnSessionConnected = [&](TAsyncSocket& s, int error) {
      if (error == 0) s.Send(kMessage.data(), static_cast<int>(kMessage.size()));
    };
    socket.OnDataSent = [](TAsyncSocket& s, int) { s.Close(); };
    socket.OnSessionClosed = [&](TAsyncSocket&, int) { closed = true; };
    socket.SetAddr("127.0.0.1");
    socket.SetPort(server.PortText());
    socket.Connect();
    while (!closed)
      loop.ProcessEvents(std::chrono::seconds(1));
    server.WaitFor(++cycles);
  }
}

BENCHMARK(BM_BlockingRecv)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_AsyncSocketRecv)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
// A fixed count: every cycle leaves a port in TIME_WAIT for a minute, which makes
// the next connects slower; the repetitions of the two run interleaved (see main)
// and each counts with its median.
BENCHMARK(BM_BlockingConnectSendClose)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->Iterations(400)
    ->Repetitions(10)
    ->ReportAggregatesOnly();
BENCHMARK(BM_NonBlockingConnectSendClose)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->Iterations(400)
    ->Repetitions(10)
    ->ReportAggregatesOnly();
BENCHMARK(BM_AsyncSocketConnectSendClose)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->Iterations(400)
    ->Repetitions(10)
    ->ReportAggregatesOnly();

}  // namespace

int main(int argc, char** argv) {
  using parlumo::bench::RatioReporter;
  return parlumo::bench::RunWithRatios(
      argc, argv, RatioReporter::Time::Real,
      {{"BM_AsyncSocketRecv", "BM_BlockingRecv"},
       {"BM_AsyncSocketConnectSendClose", "BM_BlockingConnectSendClose"},
       {"BM_AsyncSocketConnectSendClose", "BM_NonBlockingConnectSendClose"},
       {"BM_NonBlockingConnectSendClose", "BM_BlockingConnectSendClose"}},
      parlumo::bench::Order::Interleaved);
}
