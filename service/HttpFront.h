#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "Exchange.h"

namespace parlumo::service {

struct FrontOptions {
  std::string host = "127.0.0.1";
  int port = 8085;  // 0: any free port
  std::size_t maxBodyBytes = std::size_t{1} << 20;
  int clientTimeoutSeconds = 10;  // a client that sends nothing for this long is dropped
};

// What the front asks of the service. Both may be called on any thread, several at a
// time.
struct FrontHandlers {
  // Answers a request that the front has read whole.
  std::function<ServiceAnswer(const ServiceRequest&)> answer;
  // The answer to a request the front refuses itself: 400 (unreadable), 413 (body
  // over maxBodyBytes), 414 (target too long), ...
  std::function<ServiceAnswer(int status)> refusal;
};

// The HTTP/1.1 server side of the service: accepts connections, reads requests,
// hands each to FrontHandlers::answer, writes the answers and logs one line per
// exchange on standard error.
class HttpFront {
 public:
  HttpFront(FrontOptions options, FrontHandlers handlers);
  ~HttpFront();
  HttpFront(const HttpFront&) = delete;
  HttpFront& operator=(const HttpFront&) = delete;

  // Binds the listening socket; gives the port (the chosen one for port 0) or -1.
  int Bind();
  // Serves until Stop; false when the server could not run.
  bool Run();
  // Ends Run from any thread (a signal thread); requests under way are finished.
  void Stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace parlumo::service
