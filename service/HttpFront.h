#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "Exchange.h"
#include "translate/TranslateText.h"
#include "translate/TranslationPage.h"

namespace parlumo::service {

struct FrontOptions {
  std::string host = std::string(kDefaultServiceHostName);
  int port = kDefaultServicePort;                   // 0: any free port
  std::size_t maxBodyBytes = kMaxRequestBodyBytes;  // the program's clients keep to it
  int clientTimeoutSeconds = 10;  // a client that sends nothing for this long is dropped
  // The whole request header must arrive within this time from its first byte;
  // bytes trickling in do not extend it.
  int headerTimeoutSeconds = 10;
  // The whole request body must arrive within this time from the end of its header;
  // bytes trickling in do not extend it.
  int bodyTimeoutSeconds = 30;
  // A kept-alive connection waiting for its next request (or a new one waiting for
  // its first) is closed after this time.
  int idleTimeoutSeconds = 10;
  // Open connections at most. When a new one comes at the cap, the connection idle
  // the longest is closed, else the one whose header has been arriving the longest,
  // else the one whose body has; when every connection has a request with the
  // workers or an answer under way, new ones wait to be accepted.
  std::size_t maxConnections = 1000;
  // Requests read whole and waiting for a worker at most; beyond that a request is
  // answered 503 with Retry-After.
  std::size_t maxWaitingRequests = 64;
  // Threads that run FrontHandlers::answer (the translation engines); 0: twice the
  // processor cores, at least 8.
  int workers = 0;
  // Requests in the fetch lane (those that wait on another server) run on at most
  // this many workers at once, so that however many of them wait on slow servers,
  // the other requests find workers; 0: half the workers, at least 1. Never more
  // than all workers but one (with a single worker, that one serves both lanes).
  int fetchWorkers = 0;
  // Requests in the fetch lane waiting for one of those workers at most; beyond that
  // one is answered 503 with Retry-After. They hold no worker while they wait.
  std::size_t maxWaitingFetches = 16;
};

// Which share of the workers a request may take.
enum class Lane {
  Quick,  // answered from the service's own data and engines: any worker
  Fetch,  // waits on another server: one of FrontOptions::fetchWorkers, and its
          // cancellation is cancelled when its client goes before the answer
};

// What the front asks of the service. answer runs on the worker threads, several at a
// time; refusal on the front's own thread, or on a worker whose answer threw.
struct FrontHandlers {
  // Answers a request that the front has read whole.
  std::function<ServiceAnswer(const ServiceRequest&)> answer;
  // The answer to a request the front refuses itself: 400 (unreadable), 413 (body
  // over maxBodyBytes), 414 (target too long), 431 (header too large), 503 (too many
  // requests waiting for a worker; the front adds Retry-After), ...
  std::function<ServiceAnswer(int status)> refusal;
  // The lane of a request read whole, on the front's own thread (so it must be
  // quick); when empty, every request is Quick.
  std::function<Lane(const ServiceRequest&)> lane;
};

// The HTTP/1.1 server side of the service: accepts connections, reads requests,
// hands each to FrontHandlers::answer, writes the answers and logs one line per
// exchange on standard error. One thread (the one in Run) does all the network
// work, event-driven, so a connection that waits costs no thread; the answers are
// made on a pool of workers beside it.
class HttpFront {
 public:
  explicit HttpFront(FrontOptions options);
  ~HttpFront();
  HttpFront(const HttpFront&) = delete;
  HttpFront& operator=(const HttpFront&) = delete;

  // Binds the listening socket; gives the port (the chosen one for port 0) or -1.
  int Bind();
  // Serves until Stop, with these handlers; false when the server could not run.
  bool Run(FrontHandlers handlers);
  // Ends Run from any thread (a signal thread): idle connections and those still
  // sending their header are closed, requests under way are finished and answered.
  void Stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace parlumo::service
