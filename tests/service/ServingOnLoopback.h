#pragma once

#include <httplib.h>

#include <chrono>
#include <thread>

namespace parlumo::testing {

// Serves a test's own httplib::Server on a free loopback port, on a thread of its
// own, from construction until destruction. The server's handlers are set before;
// declare this after everything the handlers use, so that it stops first.
class ServingOnLoopback {
 public:
  explicit ServingOnLoopback(httplib::Server& server)
      : server_(server), port_(server.bind_to_any_port("127.0.0.1")) {
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running())
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~ServingOnLoopback() {
    server_.stop();
    thread_.join();
  }
  ServingOnLoopback(const ServingOnLoopback&) = delete;
  ServingOnLoopback& operator=(const ServingOnLoopback&) = delete;

  int Port() const { return port_; }

 private:
  httplib::Server& server_;
  int port_;
  std::thread thread_;
};

}  // namespace parlumo::testing
