#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

namespace parlumo::testing {

// One accepted connection of a ScriptedServer, seen from the server's side.
// Every wait is bounded, so a broken client fails the test instead of hanging it.
class ServerConnection {
 public:
  explicit ServerConnection(int fd) : fd_(fd) {}
  ~ServerConnection();
  ServerConnection(const ServerConnection&) = delete;
  ServerConnection& operator=(const ServerConnection&) = delete;

  void Send(std::string_view data);
  // Reads until delimiter (included) or the peer closes; returns what came.
  std::string ReadUntil(std::string_view delimiter,
                        std::chrono::milliseconds limit = std::chrono::seconds(10));
  // Reads exactly count bytes, or less when the peer closes first.
  std::string Read(std::size_t count, std::chrono::milliseconds limit = std::chrono::seconds(10));
  // Reads one HTTP request: the header up to the empty line, then as many
  // body bytes as its Content-Length says.
  std::string ReadRequest(std::chrono::milliseconds limit = std::chrono::seconds(10));
  // Reads until the peer closes (or resets) the connection.
  std::string ReadToEnd(std::chrono::milliseconds limit = std::chrono::seconds(10));
  // Graceful close of both directions.
  void Close();
  // Sends a reset instead of a close (SO_LINGER with zero time-out).
  void Reset();
  // Half close: the peer reads the end of the stream, and can still send.
  void ShutdownWrite();
  int Fd() const { return fd_; }

 private:
  int fd_;
};

// A TCP server on 127.0.0.1 with a port the system chooses. It accepts
// connections one after the other on its own thread and runs the script on
// each; the connection is closed when the script returns (unless the script
// closed or reset it). The destructor stops the server and joins the thread.
class ScriptedServer {
 public:
  using Script = std::function<void(ServerConnection&)>;

  explicit ScriptedServer(Script script);
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  std::uint16_t Port() const { return port_; }
  std::string PortText() const { return std::to_string(port_); }
  int Accepted() const { return accepted_; }
  // Wakes scripts that wait on StopRequested() so the destructor can join.
  bool StopRequested() const { return stop_; }

 private:
  void Run();

  Script script_;
  int listenFd_ = -1;
  int stopFd_ = -1;
  std::uint16_t port_ = 0;
  std::atomic<int> accepted_ = 0;
  std::atomic<bool> stop_ = false;
  std::thread thread_;
};

// A loopback port on which nothing listens (bound once, then closed).
std::uint16_t ClosedPort();

}  // namespace parlumo::testing
