#pragma once

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <string_view>

#include "support/LoopbackPort.h"

namespace parlumo {

// A client socket that closes itself.
class RawClient {
 public:
  explicit RawClient(int port) : fd_(test::ConnectLoopback(port)) {}
  ~RawClient() {
    if (fd_ >= 0) ::close(fd_);
  }
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;

  bool Connected() const { return fd_ >= 0; }

  bool Send(std::string_view data) {
    return ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL) == std::ssize(data);
  }

  // Whether the service has closed the connection (end of stream or reset) within
  // wait; bytes that come first are kept in Received().
  bool ClosedWithin(std::chrono::milliseconds wait) {
    const auto end = std::chrono::steady_clock::now() + wait;
    while (true) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          end - std::chrono::steady_clock::now());
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(std::max(left.count(), 0L))) <= 0) return false;
      char buffer[4096];
      const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
      if (n <= 0) return true;
      received_.append(buffer, static_cast<std::size_t>(n));
    }
  }

  // Reads until the end of one answer with Content-Length (or until wait has
  // passed); gives what has arrived.
  std::string ReadAnswer(std::chrono::milliseconds wait) {
    const auto end = std::chrono::steady_clock::now() + wait;
    while (!AnswerComplete()) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          end - std::chrono::steady_clock::now());
      pollfd p{fd_, POLLIN, 0};
      if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
      char buffer[4096];
      const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      received_.append(buffer, static_cast<std::size_t>(n));
    }
    std::string answer;
    answer.swap(received_);
    return answer;
  }

  const std::string& Received() const { return received_; }

 private:
  bool AnswerComplete() const {
    const auto headerEnd = received_.find("\r\n\r\n");
    if (headerEnd == std::string::npos) return false;
    const auto length = received_.find("Content-Length: ");
    if (length == std::string::npos || length > headerEnd) return true;
    return received_.size() >= headerEnd + 4 + std::stoul(received_.substr(length + 16));
  }

  int fd_ = -1;
  std::string received_;
};

}  // namespace parlumo
