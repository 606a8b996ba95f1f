// parlumo-service [--listen HOST:PORT] [--apertium-modes DIR] [--dictionary FILE]
//                 [--client-timeout SECONDS] [--header-timeout SECONDS]
//                 [--idle-timeout SECONDS] [--max-connections N] [--max-waiting N]
//                 [--workers N] [--warm] [--allow-host NAME]...
// The local translation service. Prints the address it listens on (the chosen port
// for port 0) on standard output, serves until SIGTERM or SIGINT, then ends its
// engines and exits 0.

#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>

#include "RequestPolicy.h"
#include "Service.h"

namespace {

constexpr const char* kUsage =
    "usage: parlumo-service [--listen HOST:PORT] [--apertium-modes DIR] [--dictionary FILE]\n"
    "                       [--client-timeout SECONDS] [--header-timeout SECONDS]\n"
    "                       [--idle-timeout SECONDS] [--max-connections N] [--max-waiting N]\n"
    "                       [--workers N] [--warm] [--allow-host NAME]...\n"
    "Serves the translation protocol and the maker's and provider's pages.\n"
    "Answers only requests addressed to its listen address (and on loopback to\n"
    "127.0.0.1, localhost and [::1]) or to a NAME[:PORT] given with --allow-host.\n"
    "Translation engines start at their first use, or all at once with --warm.\n"
    "Default address 127.0.0.1:8085; port 0 picks a free port.\n"
    "Limits:\n"
    "  --client-timeout SECONDS  client timeout: a client silent this long is dropped\n"
    "                            (default 10)\n"
    "  --header-timeout SECONDS  header deadline: the whole request header must arrive\n"
    "                            within this time of its first byte (default 10)\n"
    "  --idle-timeout SECONDS    idle timeout: a connection waiting this long for its next\n"
    "                            request is closed (default 10)\n"
    "  --max-connections N       connection cap: at N open connections the one idle the\n"
    "                            longest is closed for a new one (default 1000)\n"
    "  --max-waiting N           waiting-request cap: requests waiting for a worker beyond\n"
    "                            N are answered 503 with Retry-After (default 64)\n"
    "  --workers N               threads answering requests (default: twice the cores,\n"
    "                            at least 8)\n";

bool ParseInt(std::string_view text, int low, int high, int& value) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && value >= low && value <= high;
}

bool ParseCount(std::string_view text, std::size_t low, std::size_t high, std::size_t& value) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && value >= low && value <= high;
}

// Every connection and engine pipe is a descriptor: take as many as the system
// lets this process have, so that the connection cap, not the descriptor limit,
// is what a crowd of clients meets.
void RaiseDescriptorLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max) return;
  limit.rlim_cur = limit.rlim_max;
  ::setrlimit(RLIMIT_NOFILE, &limit);
}

bool ParseListen(std::string_view text, std::string& host, int& port) {
  const auto colon = text.rfind(':');
  if (colon == std::string_view::npos || colon == 0) return false;
  std::string_view hostPart = text.substr(0, colon);
  if (hostPart.starts_with("[") && hostPart.ends_with("]")) {
    hostPart = hostPart.substr(1, hostPart.size() - 2);
  }
  host = std::string(hostPart);
  return ParseInt(text.substr(colon + 1), 0, 65535, port);
}

}  // namespace

int main(int argc, char** argv) {
  parlumo::service::ServiceOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--listen" && hasValue) {
      if (!ParseListen(argv[++i], options.host, options.port)) {
        std::fprintf(stderr, "parlumo-service: bad --listen value \"%s\" (HOST:PORT)\n", argv[i]);
        return 2;
      }
    } else if (arg == "--apertium-modes" && hasValue) {
      options.engines.apertiumModes = argv[++i];
    } else if (arg == "--dictionary" && hasValue) {
      options.engines.dictionaryFile = argv[++i];
    } else if (arg == "--allow-host" && hasValue) {
      if (!parlumo::service::ParseHostName(argv[++i])) {
        std::fprintf(stderr, "parlumo-service: bad --allow-host value \"%s\"\n", argv[i]);
        return 2;
      }
      options.allowedHosts.emplace_back(argv[i]);
    } else if (arg == "--warm") {
      options.engines.startAtOnce = true;
    } else if (arg == "--client-timeout" && hasValue) {
      if (!ParseInt(argv[++i], 1, 3600, options.clientTimeoutSeconds)) {
        std::fprintf(stderr, "parlumo-service: bad --client-timeout value \"%s\"\n", argv[i]);
        return 2;
      }
    } else if (arg == "--header-timeout" && hasValue) {
      if (!ParseInt(argv[++i], 1, 3600, options.headerTimeoutSeconds)) {
        std::fprintf(stderr, "parlumo-service: bad --header-timeout value \"%s\"\n", argv[i]);
        return 2;
      }
    } else if (arg == "--idle-timeout" && hasValue) {
      if (!ParseInt(argv[++i], 1, 3600, options.idleTimeoutSeconds)) {
        std::fprintf(stderr, "parlumo-service: bad --idle-timeout value \"%s\"\n", argv[i]);
        return 2;
      }
    } else if (arg == "--max-connections" && hasValue) {
      if (!ParseCount(argv[++i], 1, 1000000, options.maxConnections)) {
        std::fprintf(stderr, "parlumo-service: bad --max-connections value \"%s\"\n", argv[i]);
        return 2;
      }
    } else if (arg == "--max-waiting" && hasValue) {
      if (!ParseCount(argv[++i], 1, 1000000, options.maxWaitingRequests)) {
        std::fprintf(stderr, "parlumo-service: bad --max-waiting value \"%s\"\n", argv[i]);
        return 2;
      }
    } else if (arg == "--workers" && hasValue) {
      if (!ParseInt(argv[++i], 1, 1024, options.workers)) {
        std::fprintf(stderr, "parlumo-service: bad --workers value \"%s\"\n", argv[i]);
        return 2;
      }
    } else {
      std::fputs(kUsage, stderr);
      return 2;
    }
  }

  // SIGTERM and SIGINT are taken by a thread of their own (blocked everywhere else,
  // so every thread started later inherits the mask); a write to a closed connection
  // or engine pipe is an error return, not a signal.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);
  RaiseDescriptorLimit();

  parlumo::service::Service service(options);
  const int port = service.Bind();
  if (port < 0) {
    std::fprintf(stderr, "parlumo-service: cannot listen on %s:%d: %s\n", options.host.c_str(),
                 options.port, std::strerror(errno));
    return 1;
  }
  std::printf("parlumo-service listening on http://%s:%d/\n", options.host.c_str(), port);
  std::fflush(stdout);

  std::thread signalThread([&] {
    int signal = 0;
    sigwait(&stopSignals, &signal);
    service.Stop();
  });
  const bool served = service.Run();
  if (!served) {
    // Wake the signal thread so that it can be joined.
    ::kill(::getpid(), SIGTERM);
  }
  signalThread.join();
  std::fprintf(stderr, "parlumo-service: stopped\n");
  return served ? 0 : 1;
}
