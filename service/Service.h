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

// What parlumo-service answers: the translation protocol (POST /translate_t, GET
// /translate), the provider's pages ("/", "/help/faq_translation.html") and the maker's
// pages ("/tools/parlumo/", "/tools/parlumo/updates/<version>b<build>.html"), each
// request only when it names the service by one of its own names. HttpFront carries
// the requests and answers over HTTP.
class Service {
 public:
  // Starts the translation engines. boundPort: the port the front listens on (the one
  // the system chose when the options ask for port 0); requests may name it.
  Service(ServiceOptions options, int boundPort);
  ~Service();
  Service(const Service&) = delete;
  Service& operator=(const Service&) = delete;

  // What the front calls, on its workers and its own thread; valid while the service is.
  FrontHandlers Handlers();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace parlumo::service
