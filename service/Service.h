#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "Engines.h"
#include "PageFetch.h"

namespace parlumo::service {

struct ServiceOptions {
  std::string host = "127.0.0.1";
  int port = 8085;  // 0: any free port
  EngineOptions engines;
  FetchLimits fetch;
  std::size_t maxBodyBytes = std::size_t{1} << 20;
  int clientTimeoutSeconds = 10;  // a client that sends nothing for this long is dropped
  // The limits that keep slow and idle clients from taking the service from the
  // others (see FrontOptions).
  int headerTimeoutSeconds = 10;
  int idleTimeoutSeconds = 10;
  std::size_t maxConnections = 1000;
  std::size_t maxWaitingRequests = 64;
  int workers = 0;  // 0: twice the processor cores, at least 8
  // --allow-host: more names the service answers to ("name" or "name:port").
  std::vector<std::string> allowedHosts;
};

// parlumo-service: the translation protocol (POST /translate_t, GET /translate), the
// provider's pages ("/", "/help/faq_translation.html") and the maker's pages
// ("/tools/parlumo/", "/tools/parlumo/updates/<version>b<build>.html") over HTTP.
// Connections are served by one event-driven thread, the requests answered on a
// pool of workers. One line per request is logged on standard error.
class Service {
 public:
  explicit Service(ServiceOptions options);
  ~Service();
  Service(const Service&) = delete;
  Service& operator=(const Service&) = delete;

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
