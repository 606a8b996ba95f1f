// parlumo-service against a fresh Apertium process, in the same run:
// - a ten-word English-Spanish translation through the running service (one HTTP
//   request on a new connection, as the program sends it), beside
// - the same sentence through a newly started `apertium -u eng-spa`, which is what
//   translating without a warm engine costs;
// and the German dictionary's translation of a ten-word sentence (no reference; it
// should stay well below a millisecond).
// The service under attack: the same translation's median and 99th percentile
// while 500 connections trickle a partial header, one byte a second, and 50
// kept-alive connections sit idle beside them, against the same requests on the
// quiet service; the same beside eight clients that keep sending text made to hang
// the engines ("house ^", and a 300 KB word), and beside eight page translations
// of a page that never comes; and the throughput of eight clients translating at
// once.
// Wall-clock time: the work happens in other processes.

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "DictionaryEngine.h"
#include "RatioReporter.h"
#include "ServiceProcess.h"
#include "ServiceTranslations.h"
#include "translate/LanguagePairs.h"
#include "translate/TranslationPage.h"

extern char** environ;

namespace {

constexpr const char* kSentence = "The old man walks his small dog in the park.";

parlumo::testing::ServiceProcess& Service() {
  // Without the dictionary: only the English-Spanish engine is measured.
  static parlumo::testing::ServiceProcess service({"--dictionary", "/nonexistent/de-en"});
  return service;
}

void BM_ServiceEnglishSpanish(benchmark::State& state) {
  parlumo::bench::MeasureTranslations(state, Service().Port(), kSentence, "en|es");
}

// Runs `apertium -u eng-spa` on the sentence and reads its whole output.
bool FreshApertium(std::string& output) {
  int in[2];
  int out[2];
  if (::pipe2(in, O_CLOEXEC) != 0) return false;
  if (::pipe2(out, O_CLOEXEC) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  std::string program = "apertium";
  std::string unknown = "-u";
  std::string mode = "eng-spa";
  char* argv[] = {program.data(), unknown.data(), mode.data(), nullptr};
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, "apertium", &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  if (rc == 0) {
    const std::string text = std::string(kSentence) + "\n";
    // A failed write shows as a wrong translation below.
    [[maybe_unused]] const auto written = ::write(in[1], text.data(), text.size());
  }
  ::close(in[1]);
  output.clear();
  char buffer[4096];
  for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
    output.append(buffer, static_cast<std::size_t>(n));
  ::close(out[0]);
  int status = 0;
  if (rc == 0) ::waitpid(pid, &status, 0);
  return rc == 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0 && !output.empty();
}

void BM_FreshApertiumProcess(benchmark::State& state) {
  std::string output;
  for (auto _ : state) {
    if (!FreshApertium(output)) {
      state.SkipWithError("apertium eng-spa failed");
      break;
    }
  }
}

void BM_DictionarySentenceEnglishGerman(benchmark::State& state) {
  static const auto dictionary = parlumo::service::Dictionary::LoadFile("/usr/share/trans/de-en");
  if (!dictionary) {
    state.SkipWithError("no dictionary at /usr/share/trans/de-en");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        dictionary->Translate(kSentence, parlumo::service::Dictionary::Direction::EnglishToGerman));
  }
}

// One translation request on a new connection, as the program sends it; false when
// no translation came back.
bool TranslateOnce(int port, const std::string& body) {
  httplib::Client client("127.0.0.1", port);
  client.set_keep_alive(false);
  client.set_read_timeout(std::chrono::seconds(60));
  const auto res = client.Post("/translate_t", body, "application/x-www-form-urlencoded");
  return res && parlumo::ExtractTranslation(res->body).Succeeded();
}

// Median and 99th percentile of the request times of one benchmark, in
// milliseconds, for the comparison printed at the end.
struct Percentiles {
  double median = 0;
  double p99 = 0;
};
Percentiles gQuiet;
Percentiles gUnderAttack;
Percentiles gBesideHostileText;
Percentiles gBesideSlowPages;

// Each iteration is one translation request; its time is the iteration's time.
// The requests are spread over eleven seconds, longer than the service's header
// deadline and idle time-out, so that under attack the measurement also sees the
// service closing the attacking connections and the attack opening them again.
// Reports the median and the 99th percentile as counters.
void MeasureRequests(benchmark::State& state, Percentiles& out) {
  const int port = Service().Port();
  const std::string body =
      parlumo::BuildRequestBody(kSentence, parlumo::LanguagePairIndex("en|es"));
  TranslateOnce(port, body);  // the engine starts with its first request
  std::vector<double> ms;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const bool ok = TranslateOnce(port, body);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (!ok) {
      state.SkipWithError("no translation from the service");
      break;
    }
    state.SetIterationTime(took.count());
    ms.push_back(took.count() * 1000);
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  if (ms.empty()) return;
  std::sort(ms.begin(), ms.end());
  out.median = ms[ms.size() / 2];
  out.p99 = ms[std::min(ms.size() - 1, ms.size() * 99 / 100)];
  state.counters["median_ms"] = out.median;
  state.counters["p99_ms"] = out.p99;
}

// Connects to the service; -1 on failure.
int ConnectTo(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 && errno != EINPROGRESS) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Clients that take the service's connections without asking it anything
// worthwhile: tricklers send a header one byte a second and never end it; idlers
// ask for one page and then keep the connection open. Whoever the service closes
// (its limits) comes back at once, so the attack stays the same all along.
class Attack {
 public:
  Attack(int port, int tricklers, int idlers) : port_(port) {
    clients_.resize(static_cast<std::size_t>(tricklers + idlers));
    for (std::size_t i = 0; i < clients_.size(); ++i)
      clients_[i].idler = i >= static_cast<std::size_t>(tricklers);
    for (auto& c : clients_)
      Open(c);
    thread_ = std::thread([this] { Run(); });
  }
  ~Attack() {
    stop_ = true;
    thread_.join();
    for (auto& c : clients_)
      if (c.fd >= 0) ::close(c.fd);
  }
  Attack(const Attack&) = delete;
  Attack& operator=(const Attack&) = delete;

  // Connections the service closed and the attack opened again.
  int Reopened() const { return reopened_.load(); }

 private:
  struct Client {
    int fd = -1;
    bool idler = false;
  };

  void Open(Client& c) {
    if (c.fd >= 0) ::close(c.fd);
    c.fd = ConnectTo(port_);
    if (c.fd < 0) return;
    // Sent on a fresh connection: it fits the socket buffer at once.
    const std::string_view start = c.idler ? "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"
                                           : "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ";
    pollfd p{c.fd, POLLOUT, 0};
    ::poll(&p, 1, 1000);
    [[maybe_unused]] const auto sent = ::send(c.fd, start.data(), start.size(), MSG_NOSIGNAL);
  }

  void Run() {
    std::vector<pollfd> fds(clients_.size());
    auto nextByte = std::chrono::steady_clock::now();
    char buffer[16384];
    while (!stop_.load()) {
      for (std::size_t i = 0; i < clients_.size(); ++i)
        fds[i] = {clients_[i].fd, POLLIN, 0};
      ::poll(fds.data(), fds.size(), 100);
      for (std::size_t i = 0; i < clients_.size(); ++i) {
        if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
        // An idler reads its answer and stays; a zero read is the service closing.
        const ssize_t n = ::recv(clients_[i].fd, buffer, sizeof buffer, 0);
        if (n <= 0 && !(n < 0 && errno == EAGAIN)) {
          Open(clients_[i]);
          ++reopened_;
        }
      }
      if (std::chrono::steady_clock::now() >= nextByte) {
        nextByte += std::chrono::seconds(1);
        for (auto& c : clients_) {
          if (!c.idler && c.fd >= 0) {
            [[maybe_unused]] const auto sent = ::send(c.fd, "a", 1, MSG_NOSIGNAL);
          }
        }
      }
    }
  }

  int port_;
  std::vector<Client> clients_;
  std::atomic<bool> stop_{false};
  std::atomic<int> reopened_{0};
  std::thread thread_;
};

void BM_ServiceQuiet(benchmark::State& state) {
  MeasureRequests(state, gQuiet);
}

void BM_ServiceUnderAttack(benchmark::State& state) {
  Attack attack(Service().Port(), 500, 50);
  // Every attacking connection open and sending before the first measurement.
  std::this_thread::sleep_for(std::chrono::seconds(2));
  MeasureRequests(state, gUnderAttack);
  state.counters["reopened"] = attack.Reopened();
}

// Eight clients translating at once, each request on a new connection.
void BM_ServiceConcurrentClients(benchmark::State& state) {
  const int port = Service().Port();
  const std::string body =
      parlumo::BuildRequestBody(kSentence, parlumo::LanguagePairIndex("en|es"));
  if (state.thread_index() == 0) TranslateOnce(port, body);
  for (auto _ : state) {
    if (!TranslateOnce(port, body)) {
      state.SkipWithError("no translation from the service");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());
}

// The attack needs more descriptors than a default soft limit may give.
void RaiseDescriptorLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max) return;
  limit.rlim_cur = limit.rlim_max;
  ::setrlimit(RLIMIT_NOFILE, &limit);
}

// Clients that each keep one request of their own under way, sending the next as
// soon as the last is answered, until the load ends.
class Load {
 public:
  Load(int clients, std::function<void()> request) {
    for (int i = 0; i < clients; ++i) {
      threads_.emplace_back([this, request] {
        while (!stop_.load())
          request();
      });
    }
  }
  ~Load() {
    stop_ = true;
    for (auto& t : threads_)
      t.join();
  }
  Load(const Load&) = delete;
  Load& operator=(const Load&) = delete;

 private:
  std::atomic<bool> stop_{false};
  std::vector<std::thread> threads_;
};

void BM_ServiceBesideHostileText(benchmark::State& state) {
  const int port = Service().Port();
  const std::string caret =
      parlumo::BuildRequestBody("house ^", parlumo::LanguagePairIndex("en|es"));
  const std::string word = parlumo::BuildRequestBody("the house " + std::string(300 * 1024, 'x'),
                                                     parlumo::LanguagePairIndex("en|es"));
  std::atomic<int> turn{0};
  Load hostile(8, [&] { TranslateOnce(port, ++turn % 2 == 0 ? caret : word); });
  MeasureRequests(state, gBesideHostileText);
}

// A page server that takes connections and never answers: nobody accepts them, the
// system's listen queue holds them.
class PageThatNeverComes {
 public:
  PageThatNeverComes() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof addr;
    ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(fd_, 1024);
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &length);
    port_ = ntohs(addr.sin_port);
  }
  ~PageThatNeverComes() { ::close(fd_); }
  PageThatNeverComes(const PageThatNeverComes&) = delete;
  PageThatNeverComes& operator=(const PageThatNeverComes&) = delete;

  std::string Translation() const {
    return "/translate?u=http://127.0.0.1:" + std::to_string(port_) + "/&langpair=en|es";
  }

 private:
  int fd_;
  int port_ = 0;
};

void BM_ServiceBesideSlowPages(benchmark::State& state) {
  const int port = Service().Port();
  const PageThatNeverComes page;
  Load slow(8, [&] {
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(std::chrono::seconds(60));
    client.Get(page.Translation());
  });
  // Every page translation under way before the first measurement.
  std::this_thread::sleep_for(std::chrono::seconds(1));
  MeasureRequests(state, gBesideSlowPages);
}

// Five repetitions each: the console shows their median beside the mean.
BENCHMARK(BM_ServiceEnglishSpanish)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(0.5)
    ->Repetitions(5);
BENCHMARK(BM_FreshApertiumProcess)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(0.5)
    ->Repetitions(5);
BENCHMARK(BM_DictionarySentenceEnglishGerman)->Unit(benchmark::kMicrosecond)->UseRealTime();
// A fixed number of requests each, enough for a 99th percentile.
BENCHMARK(BM_ServiceQuiet)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(400);
BENCHMARK(BM_ServiceUnderAttack)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(400);
BENCHMARK(BM_ServiceBesideHostileText)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(400);
BENCHMARK(BM_ServiceBesideSlowPages)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(400);
BENCHMARK(BM_ServiceConcurrentClients)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Threads(8)
    ->MinTime(2.0)
    ->Repetitions(3);

}  // namespace

int main(int argc, char** argv) {
  using parlumo::bench::RatioReporter;
  RaiseDescriptorLimit();
  const int result =
      parlumo::bench::RunWithRatios(argc, argv, RatioReporter::Time::Real,
                                    {{"BM_ServiceEnglishSpanish", "BM_FreshApertiumProcess"},
                                     {"BM_ServiceUnderAttack", "BM_ServiceQuiet"},
                                     {"BM_ServiceBesideHostileText", "BM_ServiceQuiet"},
                                     {"BM_ServiceBesideSlowPages", "BM_ServiceQuiet"}});
  const auto compare = [](const char* what, const Percentiles& loaded) {
    if (gQuiet.median <= 0 || loaded.median <= 0) return;
    std::printf(
        "  %s against quiet: median %.2f ms / %.2f ms = %.2fx,"
        " p99 %.2f ms / %.2f ms = %.2fx\n",
        what, loaded.median, gQuiet.median, loaded.median / gQuiet.median, loaded.p99, gQuiet.p99,
        loaded.p99 / gQuiet.p99);
  };
  compare("under attack", gUnderAttack);
  compare("beside hostile text", gBesideHostileText);
  compare("beside slow pages", gBesideSlowPages);
  return result;
}
