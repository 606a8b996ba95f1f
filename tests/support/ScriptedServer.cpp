#include "ScriptedServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <limits>
#include <stdexcept>

namespace parlumo::testing {

namespace {

using Clock = std::chrono::steady_clock;

int ListenOnLoopback(std::uint16_t& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("socket");
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof addr;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 16) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &size) != 0) {
    ::close(fd);
    throw std::runtime_error("bind/listen");
  }
  port = ntohs(addr.sin_port);
  return fd;
}

// Waits until fd is readable; false when the time is up.
bool WaitReadable(int fd, Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  if (left.count() <= 0) return false;
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, static_cast<int>(left.count())) > 0;
}

}  // namespace

ServerConnection::~ServerConnection() {
  if (fd_ >= 0) ::close(fd_);
}

void ServerConnection::Send(std::string_view data) {
  while (!data.empty() && fd_ >= 0) {
    const ssize_t n = ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      return;
    }
    data.remove_prefix(static_cast<size_t>(n));
  }
}

std::string ServerConnection::ReadUntil(std::string_view delimiter,
                                        std::chrono::milliseconds limit) {
  // Looks at what has arrived and takes only the bytes up to the delimiter, so
  // that what follows stays for the next read, as a byte-by-byte read would
  // leave it, at two calls per arrival instead of two per byte.
  if (delimiter.empty()) return {};
  const auto deadline = Clock::now() + limit;
  std::string got;
  char buffer[65536];
  while (fd_ >= 0 && WaitReadable(fd_, deadline)) {
    const ssize_t seen = ::recv(fd_, buffer, sizeof buffer, MSG_PEEK);
    if (seen <= 0) break;
    const std::size_t searchFrom =
        got.size() >= delimiter.size() ? got.size() - delimiter.size() + 1 : 0;
    got.append(buffer, static_cast<std::size_t>(seen));
    const auto at = got.find(delimiter, searchFrom);
    const std::size_t keep = at == std::string::npos ? got.size() : at + delimiter.size();
    const std::size_t take = static_cast<std::size_t>(seen) - (got.size() - keep);
    got.resize(keep);
    if (::recv(fd_, buffer, take, 0) != static_cast<ssize_t>(take)) break;
    if (at != std::string::npos) break;
  }
  return got;
}

std::string ServerConnection::Read(std::size_t count, std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  std::string got;
  char buffer[65536];
  while (fd_ >= 0 && got.size() < count && WaitReadable(fd_, deadline)) {
    const ssize_t n = ::recv(fd_, buffer, std::min(sizeof buffer, count - got.size()), 0);
    if (n <= 0) break;
    got.append(buffer, static_cast<size_t>(n));
  }
  return got;
}

std::string ServerConnection::ReadRequest(std::chrono::milliseconds limit) {
  std::string request = ReadUntil("\r\n\r\n", limit);
  std::string lower = request;
  for (char& c : lower)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const auto at = lower.find("\r\ncontent-length:");
  if (at != std::string::npos) {
    request += Read(std::strtoul(request.c_str() + at + 17, nullptr, 10), limit);
  }
  return request;
}

std::string ServerConnection::ReadToEnd(std::chrono::milliseconds limit) {
  return Read(std::numeric_limits<std::size_t>::max(), limit);
}

void ServerConnection::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void ServerConnection::Reset() {
  if (fd_ < 0) return;
  linger value{1, 0};
  ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &value, sizeof value);
  Close();
}

void ServerConnection::ShutdownWrite() {
  if (fd_ >= 0) ::shutdown(fd_, SHUT_WR);
}

ScriptedServer::ScriptedServer(Script script) : script_(std::move(script)) {
  listenFd_ = ListenOnLoopback(port_);
  stopFd_ = ::eventfd(0, EFD_CLOEXEC);
  thread_ = std::thread([this] { Run(); });
}

ScriptedServer::~ScriptedServer() {
  stop_ = true;
  const std::uint64_t one = 1;
  [[maybe_unused]] auto n = ::write(stopFd_, &one, sizeof one);
  thread_.join();
  ::close(listenFd_);
  ::close(stopFd_);
}

void ScriptedServer::Run() {
  while (!stop_) {
    pollfd fds[2] = {{listenFd_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0 && errno != EINTR) return;
    if (fds[1].revents != 0) return;
    if (fds[0].revents == 0) continue;
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    ++accepted_;
    ServerConnection connection(fd);
    script_(connection);
  }
}

std::uint16_t ClosedPort() {
  std::uint16_t port = 0;
  ::close(ListenOnLoopback(port));
  return port;
}

}  // namespace parlumo::testing
