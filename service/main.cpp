// parlumo-service [--listen HOST:PORT] [--apertium-modes DIR] [--dictionary FILE]
//                 [--index-cache FILE] [--warm] [--allow-host NAME]... [LIMIT OPTIONS]
// The local translation service. Prints the address it listens on (the chosen port
// for port 0) on standard output, serves until SIGTERM or SIGINT, then ends its
// engines and exits 0.

#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>

#include <atomic>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>
#include <type_traits>
#include <variant>

#include "RequestPolicy.h"
#include "Service.h"
#include "runtime/HostPort.h"
#include "translate/TranslateText.h"

namespace {

using parlumo::service::EngineOptions;
using parlumo::service::FrontOptions;
using parlumo::service::ServiceOptions;

// A limit that the command line sets: its option, its name and what it means for
// the usage text, and its field (in the front's or the engines' options) with the
// values it may take.
struct LimitOption {
  const char* option;
  const char* unit;     // "SECONDS" or "N"
  const char* meaning;  // lines of at most 72 characters
  const char* zero;     // what the value 0 (a default only) means, or nullptr
  std::variant<int FrontOptions::*, std::size_t FrontOptions::*, int EngineOptions::*> field;
  std::size_t low;
  std::size_t high;
};

// The part of the service's options that holds a limit's field.
FrontOptions& PartOf(ServiceOptions& options, const FrontOptions*) {
  return options.front;
}
EngineOptions& PartOf(ServiceOptions& options, const EngineOptions*) {
  return options.engines;
}

// The field a limit names, in options.
template <typename Value, typename Part>
Value& FieldOf(ServiceOptions& options, Value Part::*field) {
  return PartOf(options, static_cast<const Part*>(nullptr)).*field;
}

const LimitOption kLimits[] = {
    {"--client-timeout", "SECONDS", "client timeout: a client silent this long is dropped", nullptr,
     &FrontOptions::clientTimeoutSeconds, 1, 3600},
    {"--header-timeout", "SECONDS",
     "header deadline: the whole request header must arrive within this time\n"
     "of its first byte",
     nullptr, &FrontOptions::headerTimeoutSeconds, 1, 3600},
    {"--body-timeout", "SECONDS",
     "body deadline: the whole request body must arrive within this time of the\n"
     "end of its header",
     nullptr, &FrontOptions::bodyTimeoutSeconds, 1, 3600},
    {"--idle-timeout", "SECONDS",
     "idle timeout: a connection waiting this long for its next request is\nclosed", nullptr,
     &FrontOptions::idleTimeoutSeconds, 1, 3600},
    {"--max-connections", "N",
     "connection cap: at N open connections the one idle the longest (else the\n"
     "oldest still sending its request) is closed for a new one",
     nullptr, &FrontOptions::maxConnections, 1, 1000000},
    {"--max-waiting", "N",
     "waiting-request cap: requests waiting for a worker beyond N are answered\n"
     "503 with Retry-After",
     nullptr, &FrontOptions::maxWaitingRequests, 1, 1000000},
    {"--workers", "N", "threads answering requests", "twice the processor cores, at least 8",
     &FrontOptions::workers, 1, 1024},
    {"--fetch-workers", "N",
     "fetch share: page translations (which wait on other servers) run on at\n"
     "most N workers at once (and never on every worker but with --workers 1)",
     "half the workers, at least 1", &FrontOptions::fetchWorkers, 1, 1024},
    {"--max-waiting-fetches", "N",
     "waiting-fetch cap: page translations waiting for one of those workers\n"
     "beyond N are answered 503 with Retry-After",
     nullptr, &FrontOptions::maxWaitingFetches, 1, 1000000},
    {"--engine-timeout", "SECONDS",
     "engine time-out: an engine that has not answered a request within this\n"
     "time is restarted and the request fails; requests waiting for an engine\n"
     "whose every pipeline is stuck give up after a third of it",
     nullptr, &EngineOptions::engineTimeoutSeconds, 1, 3600},
    {"--engine-idle", "SECONDS",
     "engine idle time: an engine pipeline unused this long is stopped (its\n"
     "programs and their data leave memory); its next request starts it again.\n"
     "The German engine's index leaves memory likewise",
     nullptr, &EngineOptions::engineIdleSeconds, 1, 86400},
    {"--max-pipelines", "N",
     "pipeline cap: at most N engine pipelines run at once over every pair; for\n"
     "a new one the one unused the longest is stopped, and while every one is\n"
     "on a request, a request waits for one to come free (and gives up like a\n"
     "request waiting for a stuck engine)",
     nullptr, &EngineOptions::maxPipelines, 1, 1024},
    {"--engine-memory", "MB",
     "engine memory: the engine pipelines take at most about MB megabytes\n"
     "together (each is measured once it has answered); for a new one those\n"
     "unused the longest are stopped until it fits, but pipelines on a request\n"
     "are never stopped for it; 0 sets no bound",
     nullptr, &EngineOptions::engineMemoryMegabytes, 0, 1048576},
};

std::size_t ValueOf(ServiceOptions& options, const LimitOption& limit) {
  return std::visit([&](auto field) { return static_cast<std::size_t>(FieldOf(options, field)); },
                    limit.field);
}

std::string Usage() {
  ServiceOptions defaults;
  std::string usage =
      "usage: parlumo-service [--listen HOST:PORT] [--apertium-modes DIR] [--dictionary FILE]\n"
      "                       [--index-cache FILE] [--warm] [--allow-host NAME]...\n"
      "                       [LIMIT OPTIONS]\n"
      "Serves the translation protocol and the maker's and provider's pages.\n"
      "Answers only requests addressed to its listen address (and on loopback to\n"
      "127.0.0.1, localhost and [::1]) or to a NAME[:PORT] given with --allow-host.\n"
      "Translation engines start at their first use, or at once with --warm (as\n"
      "many as --max-pipelines lets run).\n"
      "The German engine's index is built from the dictionary and the German\n"
      "Hunspell files once and kept in --index-cache (default\n"
      "$XDG_CACHE_HOME/parlumo/german-index, else ~/.cache/parlumo/german-index);\n"
      "an empty FILE builds it in memory at every start.\n"
      "Default address " +
      std::string(parlumo::kDefaultServiceHost) +
      "; port 0 picks a free port.\n"
      "Limits:\n";
  for (const auto& limit : kLimits) {
    const std::size_t value = ValueOf(defaults, limit);
    std::string meaning = limit.meaning;
    for (auto at = meaning.find('\n'); at != std::string::npos; at = meaning.find('\n', at + 1)) {
      meaning.insert(at + 1, "      ");
    }
    usage +=
        std::string("  ") + limit.option + " " + limit.unit + "\n      " + meaning + " (default " +
        (value == 0 && limit.zero != nullptr ? std::string(limit.zero) : std::to_string(value)) +
        ")\n";
  }
  return usage;
}

bool ParseCount(std::string_view text, std::size_t low, std::size_t high, std::size_t& value) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && value >= low && value <= high;
}

const LimitOption* FindLimit(std::string_view option) {
  for (const auto& limit : kLimits) {
    if (option == limit.option) return &limit;
  }
  return nullptr;
}

// Sets the limit from its command-line value; false for a value out of its range.
bool SetLimit(std::string_view text, const LimitOption& limit, ServiceOptions& options) {
  std::size_t value = 0;
  if (!ParseCount(text, limit.low, limit.high, value)) return false;
  std::visit(
      [&](auto field) {
        auto& target = FieldOf(options, field);
        target = static_cast<std::remove_reference_t<decltype(target)>>(value);
      },
      limit.field);
  return true;
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

// HOST:PORT, the port required; an IPv6 host in brackets.
bool ParseListen(std::string_view text, std::string& host, int& port) {
  const auto address = parlumo::ParseHostPort(text);
  if (!address || !address->port) return false;
  host = address->host;
  port = *address->port;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  parlumo::service::ServiceOptions options;
  bool indexCacheGiven = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--help" || arg == "-h") {
      std::fputs(Usage().c_str(), stdout);
      return 0;
    } else if (arg == "--listen" && hasValue) {
      if (!ParseListen(argv[++i], options.front.host, options.front.port)) {
        std::fprintf(stderr, "parlumo-service: bad --listen value \"%s\" (HOST:PORT)\n", argv[i]);
        return 2;
      }
    } else if (arg == "--apertium-modes" && hasValue) {
      options.engines.apertiumModes = argv[++i];
    } else if (arg == "--dictionary" && hasValue) {
      options.engines.dictionaryFile = argv[++i];
    } else if (arg == "--index-cache" && hasValue) {
      options.engines.germanIndexFile = argv[++i];
      indexCacheGiven = true;
    } else if (arg == "--allow-host" && hasValue) {
      if (!parlumo::service::ParseHostName(argv[++i])) {
        std::fprintf(stderr, "parlumo-service: bad --allow-host value \"%s\"\n", argv[i]);
        return 2;
      }
      options.allowedHosts.emplace_back(argv[i]);
    } else if (arg == "--warm") {
      options.engines.startAtOnce = true;
    } else if (const LimitOption* limit = FindLimit(arg); limit != nullptr && hasValue) {
      if (!SetLimit(argv[++i], *limit, options)) {
        std::fprintf(stderr, "parlumo-service: bad %s value \"%s\"\n", limit->option, argv[i]);
        return 2;
      }
    } else {
      std::fputs(Usage().c_str(), stderr);
      return 2;
    }
  }

  if (!indexCacheGiven)
    options.engines.germanIndexFile = parlumo::service::DefaultGermanIndexPath();

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

  parlumo::service::HttpFront front(options.front);
  const int port = front.Bind();
  if (port < 0) {
    std::fprintf(stderr, "parlumo-service: cannot listen on %s:%d: %s\n",
                 options.front.host.c_str(), options.front.port, std::strerror(errno));
    return 1;
  }
  // Connections that come while the engines start wait in the listen queue.
  parlumo::service::Service service(options, port);
  std::printf("parlumo-service listening on http://%s:%d/\n", options.front.host.c_str(), port);
  std::fflush(stdout);

  // The first signal stops the service, which finishes the requests under way; a
  // second one while it does ends the process at once. Once Run has returned, the
  // thread is woken with a signal of our own and sees ended.
  std::atomic<bool> ended{false};
  std::thread signalThread([&] {
    int signal = 0;
    sigwait(&stopSignals, &signal);
    if (ended) return;
    front.Stop();
    sigwait(&stopSignals, &signal);
    if (ended) return;
    std::fputs("parlumo-service: stopped at once\n", stderr);
    std::_Exit(1);
  });
  const bool served = front.Run(service.Handlers());
  ended = true;
  ::kill(::getpid(), SIGTERM);
  signalThread.join();
  std::fprintf(stderr, "parlumo-service: stopped\n");
  return served ? 0 : 1;
}
