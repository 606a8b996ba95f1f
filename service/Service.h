#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "Engines.h"
#include "HttpFront.h"
#include "PageFetch.h"

namespace parlumo::service {

struct ServiceOptions {
  // The listen address, the body limit and the limits that keep slow and idle clients
  // from taking the service from the others.
  FrontOptions front;
  EngineOptions engines;
  FetchLimits fetch;
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
