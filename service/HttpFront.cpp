#include "HttpFront.h"

#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <optional>

namespace parlumo::service {

namespace {

// The start of the request being handled on this thread (the server runs each
// request on one thread from routing to logging); nothing for a request refused
// before routing.
thread_local std::optional<std::chrono::steady_clock::time_point> tStart;
thread_local std::string tPair;

void Apply(const ServiceAnswer& answer, httplib::Response& res) {
  res.status = answer.status;
  for (const auto& [name, value] : answer.headers)
    res.set_header(name, value);
  res.set_content(answer.body, answer.contentType);
  tPair = answer.pair;
}

}  // namespace

struct HttpFront::Impl {
  Impl(FrontOptions o, FrontHandlers h) : options(std::move(o)), handlers(std::move(h)) {}

  FrontOptions options;
  FrontHandlers handlers;
  httplib::Server server;
};

HttpFront::HttpFront(FrontOptions options, FrontHandlers handlers)
    : impl_(std::make_unique<Impl>(std::move(options), std::move(handlers))) {
  auto& server = impl_->server;
  server.set_payload_max_length(impl_->options.maxBodyBytes);
  server.set_read_timeout(impl_->options.clientTimeoutSeconds, 0);
  server.set_write_timeout(impl_->options.clientTimeoutSeconds, 0);
  server.set_keep_alive_timeout(impl_->options.clientTimeoutSeconds);

  server.set_pre_routing_handler([](const httplib::Request&, httplib::Response&) {
    tStart = std::chrono::steady_clock::now();
    tPair.clear();
    return httplib::Server::HandlerResponse::Unhandled;
  });
  server.set_logger([](const httplib::Request& req, const httplib::Response& res) {
    ServiceAnswer logged;
    logged.status = res.status;
    logged.body = res.body;
    logged.pair = tPair;
    const auto request = ServiceRequest::Make(req.method, req.target, std::nullopt, req.body);
    const auto took = tStart ? std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now() - *tStart)
                             : std::chrono::milliseconds(0);
    std::fputs(ExchangeLogLine(request, logged, took).c_str(), stderr);
    tStart.reset();
    tPair.clear();
  });
  server.set_error_handler(
      httplib::Server::HandlerWithResponse([this](const httplib::Request&, httplib::Response& res) {
        if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
        Apply(impl_->handlers.refusal(res.status), res);
        return httplib::Server::HandlerResponse::Handled;
      }));
  server.set_exception_handler(
      [this](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
        Apply(impl_->handlers.refusal(500), res);
      });

  // Every path of every method goes to the service's own routing.
  const auto answer = [this](const httplib::Request& req, httplib::Response& res) {
    std::optional<std::string> host;
    if (req.has_header("Host")) host = req.get_header_value("Host");
    Apply(impl_->handlers.answer(ServiceRequest::Make(req.method, req.target, host, req.body)),
          res);
  };
  server.Get(".*", answer);
  server.Post(".*", answer);
  server.Put(".*", answer);
  server.Patch(".*", answer);
  server.Delete(".*", answer);
  server.Options(".*", answer);
}

HttpFront::~HttpFront() = default;

int HttpFront::Bind() {
  auto& impl = *impl_;
  if (impl.options.port == 0) return impl.server.bind_to_any_port(impl.options.host);
  return impl.server.bind_to_port(impl.options.host, impl.options.port) ? impl.options.port : -1;
}

bool HttpFront::Run() {
  return impl_->server.listen_after_bind();
}

void HttpFront::Stop() {
  impl_->server.stop();
}

}  // namespace parlumo::service
