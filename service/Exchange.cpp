#include "Exchange.h"

#include <cstdio>

#include "FormData.h"

namespace parlumo::service {

ServiceRequest ServiceRequest::Make(std::string method, std::string target,
                                    std::optional<std::string> host, std::string body) {
  ServiceRequest request;
  request.method = std::move(method);
  request.target = std::move(target);
  const std::string_view rawPath =
      std::string_view(request.target).substr(0, request.target.find('?'));
  // A path with a bad percent sequence names no page of ours either way; keeping it
  // raw lets it reach the "not found" answer and the log as it was sent.
  request.path = PercentDecode(rawPath, false).value_or(std::string(rawPath));
  request.host = std::move(host);
  request.body = std::move(body);
  request.cancellation = std::make_shared<Cancellation>();
  return request;
}

std::string_view ServiceRequest::Query() const {
  const auto question = target.find('?');
  return question == std::string::npos ? std::string_view()
                                       : std::string_view(target).substr(question + 1);
}

std::string ExchangeLogLine(const ServiceRequest& request, const ServiceAnswer& answer,
                            std::chrono::milliseconds took) {
  char numbers[96];
  std::snprintf(numbers, sizeof numbers, " in=%zu out=%zu status=%d %lldms\n", request.body.size(),
                answer.body.size(), answer.status, static_cast<long long>(took.count()));
  return request.method + " " + request.path +
         " pair=" + (answer.pair.empty() ? std::string("-") : answer.pair) + numbers;
}

}  // namespace parlumo::service
