#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Cancellation.h"

namespace parlumo::service {

// One request as the service's handlers see it, whatever HTTP front read it.
struct ServiceRequest {
  std::string method;               // as sent: "GET", "POST", "HEAD", ...
  std::string target;               // the request target as sent: path and query
  std::string path;                 // the target's path, percent-decoded where it is valid
  std::optional<std::string> host;  // the Host header; nothing when the request has none
  std::string body;
  // Cancelled by the front when the client goes before its answer (for requests in
  // the fetch lane); never null in a request made by Make.
  std::shared_ptr<Cancellation> cancellation;

  // A request whose path is taken from target.
  static ServiceRequest Make(std::string method, std::string target,
                             std::optional<std::string> host, std::string body);
  // The part of target after "?", or "".
  std::string_view Query() const;
};

// The answer to one request. The front adds what HTTP itself needs (Content-Length,
// Connection, Date) and leaves out the body of an answer to HEAD.
struct ServiceAnswer {
  int status = 200;
  std::string contentType;
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;  // more header fields
  std::string pair;  // the language pair the request named, for the log; "" for none
};

// The line logged for an exchange (with its line feed):
// "<method> <path> pair=<pair or -> in=<request body bytes> out=<answer body bytes>
//  status=<status> <milliseconds>ms".
std::string ExchangeLogLine(const ServiceRequest& request, const ServiceAnswer& answer,
                            std::chrono::milliseconds took);

}  // namespace parlumo::service
