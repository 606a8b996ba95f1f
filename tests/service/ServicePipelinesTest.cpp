// parlumo-service's Apertium pipelines over time: stopped when unused, capped over
// every pair with the one unused the longest going first, shared by concurrent first
// requests, and noticed when they end between requests. A real service process on
// loopback with the installed Apertium pairs; what runs is read from /proc, not from
// the service's own account.

#include <dirent.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <latch>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "ServiceProcess.h"
#include "translate/TranslationPage.h"

namespace parlumo {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using testing::ProcessCommandLine;
using testing::ProcessRunning;
using testing::ServiceProcess;
using Clock = std::chrono::steady_clock;
using Modes = std::multiset<std::string>;
using namespace std::chrono_literals;

// Without the dictionary the service starts at once, even in a sanitizer build.
std::vector<std::string> Args(std::vector<std::string> options) {
  options.insert(options.end(), {"--dictionary", "/nonexistent/de-en"});
  return options;
}

// The translation of text, or the failure and the page.
std::string Translate(const ServiceProcess& service, std::string_view text, std::string_view pair) {
  httplib::Client client("127.0.0.1", service.Port());
  client.set_read_timeout(120s);
  const auto res = client.Post("/translate_t",
                               "text=" + FormUrlEncode(text) + "&langpair=" + FormUrlEncode(pair),
                               "application/x-www-form-urlencoded");
  if (!res) return "(no answer)";
  const auto outcome = ExtractTranslation(res->body);
  return outcome.Succeeded() ? outcome.Text() : "(failed) " + res->body;
}

std::string StartPage(const ServiceProcess& service) {
  httplib::Client client("127.0.0.1", service.Port());
  const auto res = client.Get("/");
  return res ? res->body : "(no answer)";
}

// The modes whose pipelines run: each pipeline has one analyser, "<mode>.automorf.bin".
Modes RunningPipelines(const ServiceProcess& service) {
  constexpr std::string_view kAnalyser = ".automorf.bin";
  Modes modes;
  for (const pid_t pid : service.Descendants()) {
    const std::string command = ProcessCommandLine(pid);
    const auto end = command.find(kAnalyser);
    if (end == std::string::npos || !ProcessRunning(pid)) continue;
    const auto start = command.rfind('/', end);
    modes.insert(command.substr(start + 1, end - start - 1));
  }
  return modes;
}

// How many programs the pipeline of an installed mode has.
std::size_t ProgramsOf(const std::string& mode) {
  std::ifstream in("/usr/share/apertium/modes/" + mode + ".mode");
  const std::string text{std::istreambuf_iterator<char>(in), {}};
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '|')) + 1;
}

// The service's descendants that have ended but were not reaped.
std::vector<pid_t> Zombies(const ServiceProcess& service) {
  std::vector<pid_t> zombies;
  for (const pid_t pid : service.Descendants()) {
    if (!ProcessRunning(pid) && ::access(("/proc/" + std::to_string(pid)).c_str(), F_OK) == 0) {
      zombies.push_back(pid);
    }
  }
  return zombies;
}

// The pipes the process holds open.
int PipeCount(pid_t pid) {
  const std::string folder = "/proc/" + std::to_string(pid) + "/fd";
  int pipes = 0;
  if (DIR* fds = ::opendir(folder.c_str())) {
    while (const dirent* entry = ::readdir(fds)) {
      char target[256];
      const std::string link = folder + "/" + entry->d_name;
      const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
      if (n > 0 && std::string_view(target, static_cast<std::size_t>(n)).starts_with("pipe:")) {
        ++pipes;
      }
    }
    ::closedir(fds);
  }
  return pipes;
}

bool WaitFor(const std::function<bool()>& done, std::chrono::seconds limit) {
  const auto end = Clock::now() + limit;
  while (!done()) {
    if (Clock::now() > end) return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

TEST(ServicePipelinesTest, AnUnusedPipelineIsStoppedAndItsNextRequestStartsItAgain) {
  ServiceProcess service(Args({"--engine-idle", "2"}));
  const int pipesBefore = PipeCount(service.Pid());
  for (int round = 1; round <= 2; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    EXPECT_THAT(Translate(service, "The dog sleeps in the house.", "en|es"), HasSubstr("perro"));
    EXPECT_EQ(RunningPipelines(service), Modes{"eng-spa"});
    EXPECT_THAT(StartPage(service), HasSubstr("<td>eng-spa</td><td>1</td>"));
    // Unused for the idle time: every program gone, none left unreaped, its pipes closed.
    EXPECT_TRUE(WaitFor([&] { return service.Descendants().empty(); }, 20s))
        << service.Descendants().size() << " processes left";
    EXPECT_EQ(PipeCount(service.Pid()), pipesBefore);
    EXPECT_THAT(StartPage(service), HasSubstr("None is running"));
  }
}

// Four pipelines at most: a fifth mode stops the one unused the longest, which need
// not be the one started first. (Without a memory bound, which would stop some of
// these before the cap does.)
TEST(ServicePipelinesTest, TheCapStopsThePipelineUnusedTheLongest) {
  ServiceProcess service(
      Args({"--max-pipelines", "4", "--engine-memory", "0", "--engine-idle", "600"}));
  struct Step {
    const char* pair;
    const char* text;
    const char* says;
    Modes running;  // after the step
  };
  const Step steps[] = {
      {"en|es", "The dog sleeps in the house.", "perro", {"eng-spa"}},
      {"es|en", "El perro duerme en la casa.", "dog", {"eng-spa", "spa-eng"}},
      {"fr|es", "Le chien dort dans la maison.", "perro", {"eng-spa", "spa-eng", "fr-es"}},
      {"es|fr", "El perro duerme en la casa.", "chien", {"eng-spa", "spa-eng", "fr-es", "es-fr"}},
      // Used again: no new pipeline, and the last used now.
      {"en|es", "The dog sleeps in the house.", "perro", {"eng-spa", "spa-eng", "fr-es", "es-fr"}},
      // A fifth mode: Spanish-English's pipeline goes, not the first started.
      {"es|pt",
       "El perro duerme en la casa.",
       "c\xC3\xA3o",
       {"eng-spa", "fr-es", "es-fr", "es-pt"}},
      {"es|en", "El perro duerme en la casa.", "dog", {"eng-spa", "es-fr", "es-pt", "spa-eng"}},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.pair);
    EXPECT_THAT(Translate(service, step.text, step.pair), HasSubstr(step.says));
    EXPECT_EQ(RunningPipelines(service), step.running);
    // Whole pipelines: every program of the stopped one is gone and reaped.
    std::size_t programs = 0;
    for (const auto& mode : step.running)
      programs += ProgramsOf(mode);
    EXPECT_EQ(service.Descendants().size(), programs);
    EXPECT_THAT(Zombies(service), ::testing::IsEmpty());
    const std::string page = StartPage(service);
    for (const auto& mode : step.running)
      EXPECT_THAT(page, HasSubstr("<td>" + mode + "</td>"));
  }
}

// The megabytes one pipeline of the mode takes, as the start page shows it; 0 when
// the page does not show it.
int ShownMegabytes(const std::string& page, const std::string& mode) {
  const std::regex row("<td>" + mode + "</td>(?:<td>[^<]*</td>){3}<td>([0-9]+) MB</td>");
  std::smatch match;
  return std::regex_search(page, match, row) ? std::stoi(match[1]) : 0;
}

// The pipelines stay within --engine-memory together: for a new one, the idle ones
// unused the longest are stopped until it fits, one not measured yet counting as
// the largest measured so far. A chained pair whose two pipelines do not fit side by
// side is still answered, one pipeline after the other.
TEST(ServicePipelinesTest, TheMemoryBoundStopsThePipelinesUnusedTheLongest) {
  // What the two English-Spanish pipelines take, as a service without a bound
  // measures them.
  int larger = 0;
  {
    ServiceProcess unbounded(Args({"--engine-memory", "0", "--engine-idle", "600"}));
    ASSERT_THAT(Translate(unbounded, "The dog sleeps in the house.", "en|es"), HasSubstr("perro"));
    ASSERT_THAT(Translate(unbounded, "El perro duerme en la casa.", "es|en"), HasSubstr("dog"));
    const std::string page = StartPage(unbounded);
    for (const char* mode : {"eng-spa", "spa-eng"}) {
      const int shown = ShownMegabytes(page, mode);
      ASSERT_GT(shown, 30) << mode << " in " << page;
      larger = std::max(larger, shown);
    }
  }
  struct Step {
    const char* pair;
    const char* text;
    const char* says;
    Modes running;  // after the step
  };
  struct Case {
    std::string bound;  // --engine-memory
    std::vector<Step> steps;
  };
  const Case cases[] = {
      // Room for two of them (with a margin for what a measure varies by), not three.
      {std::to_string(2 * larger + 30),
       {{"en|es", "The dog sleeps in the house.", "perro", {"eng-spa"}},
        {"es|en", "El perro duerme en la casa.", "dog", {"eng-spa", "spa-eng"}},
        // A third mode: English-Spanish, unused the longest, goes.
        {"fr|es", "Le chien dort dans la maison.", "perro", {"spa-eng", "fr-es"}},
        {"en|es", "The dog sleeps in the house.", "perro", {"fr-es", "eng-spa"}}}},
      // Room for none beside another: each new pipeline stops every idle one, and a
      // chained pair runs its two in turn.
      {"1",
       {{"en|es", "The dog sleeps in the house.", "perro", {"eng-spa"}},
        {"en|fr", "The dog sleeps in the house.", "chien", {"es-fr"}},
        {"es|en", "El perro duerme en la casa.", "dog", {"spa-eng"}}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("--engine-memory " + c.bound);
    ServiceProcess service(Args({"--engine-memory", c.bound, "--engine-idle", "600"}));
    for (const auto& step : c.steps) {
      SCOPED_TRACE(step.pair);
      EXPECT_THAT(Translate(service, step.text, step.pair), HasSubstr(step.says));
      EXPECT_EQ(RunningPipelines(service), step.running);
      EXPECT_THAT(Zombies(service), ::testing::IsEmpty());
    }
    EXPECT_THAT(StartPage(service), HasSubstr("in at most " + c.bound + " MB together"));
  }
}

// Requests that come together for a pair nobody has used yet wait for one start: a
// direct pair, and a chained one whose two modes each start once.
TEST(ServicePipelinesTest, ConcurrentFirstRequestsShareOnePipeline) {
  struct Case {
    const char* pair;
    const char* text;
    const char* says;
    Modes running;
  };
  const Case cases[] = {
      {"en|es", "The dog sleeps in the house.", "perro", {"eng-spa"}},
      {"fr|en", "Le chien dort dans la maison.", "dog", {"fr-es", "spa-eng"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pair);
    // A time-out long enough that a slow start still counts as starting.
    ServiceProcess service(Args({"--engine-timeout", "60", "--engine-idle", "600"}));
    constexpr int kClients = 6;
    std::latch ready(kClients);
    std::vector<std::string> answers(kClients);
    std::vector<std::thread> clients;
    for (int i = 0; i < kClients; ++i) {
      clients.emplace_back([&, i] {
        ready.arrive_and_wait();
        answers[i] = Translate(service, c.text, c.pair);
      });
    }
    for (auto& t : clients)
      t.join();
    for (const auto& answer : answers)
      EXPECT_THAT(answer, HasSubstr(c.says));
    EXPECT_EQ(RunningPipelines(service), c.running);
  }
}

// A pipeline that ends while nobody uses it (its first program, one in the middle or
// its last killed) is noticed at once: its programs are reaped and its pipes closed
// without waiting for a request, and the next request starts a new one.
TEST(ServicePipelinesTest, APipelineThatEndsBetweenRequestsIsReapedAndStartedAgain) {
  ServiceProcess service(Args({"--engine-idle", "600"}));
  const int pipesBefore = PipeCount(service.Pid());
  for (const std::string program :
       {"eng-spa.automorf.bin", "apertium-pretransfer", "eng-spa.autopgen.bin"}) {
    SCOPED_TRACE(program);
    ASSERT_THAT(Translate(service, "The dog sleeps in the house.", "en|es"), HasSubstr("perro"));
    ASSERT_EQ(RunningPipelines(service), Modes{"eng-spa"});
    pid_t victim = -1;
    for (const pid_t pid : service.Descendants()) {
      if (ProcessCommandLine(pid).find(program) != std::string::npos) victim = pid;
    }
    ASSERT_GT(victim, 0) << "no " << program << " among the service's processes";
    ::kill(victim, SIGKILL);
    EXPECT_TRUE(WaitFor([&] { return service.Descendants().empty(); }, 10s))
        << service.Descendants().size() << " processes left";
    EXPECT_EQ(PipeCount(service.Pid()), pipesBefore);
  }
  EXPECT_THAT(Translate(service, "The dog sleeps in the house.", "en|es"), HasSubstr("perro"));
  EXPECT_EQ(RunningPipelines(service), Modes{"eng-spa"});
}

// With every pipeline on a request at the cap, a request of another pair waits for
// one to come free and is then answered: never more pipelines than the cap, never a
// request lost.
TEST(ServicePipelinesTest, AtTheCapARequestWaitsForAPipelineToComeFree) {
  ServiceProcess service(Args({"--max-pipelines", "1", "--engine-idle", "600"}));
  // Long enough to keep the one pipeline busy for a while.
  std::string longText;
  for (int i = 0; i < 1000; ++i)
    longText += "The old man walks his small dog in the park every morning.\n";
  std::atomic<bool> sampling{true};
  std::size_t most = 0;
  std::thread sampler([&] {
    while (sampling) {
      most = std::max(most, RunningPipelines(service).size());
      std::this_thread::sleep_for(10ms);
    }
  });
  std::string longAnswer;
  std::thread busy([&] { longAnswer = Translate(service, longText, "en|es"); });
  ASSERT_TRUE(WaitFor([&] { return RunningPipelines(service) == Modes{"eng-spa"}; }, 20s));
  const std::string shortAnswer = Translate(service, "El perro duerme en la casa.", "es|en");
  busy.join();
  sampling = false;
  sampler.join();
  EXPECT_THAT(shortAnswer, HasSubstr("dog"));
  EXPECT_THAT(longAnswer, HasSubstr("parque"));
  EXPECT_EQ(RunningPipelines(service), Modes{"spa-eng"});
  EXPECT_EQ(most, 1u);
}

// The limits are on the command line, in the usage text with their defaults, and
// refuse values out of their range.
TEST(ServicePipelinesTest, TheLimitsAreOptionsWithTheirDefaults) {
  const auto run = [](const std::string& args, int& status) {
    const std::string command = std::string(PARLUMO_SERVICE_BINARY) + " " + args + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string out;
    char buffer[4096];
    for (std::size_t n; pipe != nullptr && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
      out.append(buffer, n);
    status = pipe != nullptr ? ::pclose(pipe) : -1;
    return out;
  };
  int status = 0;
  const std::string usage = run("--help", status);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  for (const auto& [option, fallback] : {std::pair{"--engine-idle SECONDS", "(default 120)"},
                                         std::pair{"--max-pipelines N", "(default 4)"},
                                         std::pair{"--engine-memory MB", "(default 256)"}}) {
    const auto at = usage.find(option);
    ASSERT_NE(at, std::string::npos) << usage;
    const auto next = usage.find("\n  --", at);
    EXPECT_THAT(usage.substr(at, next - at), HasSubstr(fallback));
  }
  for (const char* bad : {"--engine-idle 0", "--engine-idle 86401", "--engine-idle x",
                          "--max-pipelines 0", "--max-pipelines -1", "--max-pipelines 1025",
                          "--engine-memory -1", "--engine-memory 1048577"}) {
    SCOPED_TRACE(bad);
    const std::string out = run(bad, status);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2);
    const std::string option(bad, std::string_view(bad).find(' '));
    EXPECT_THAT(out, HasSubstr("bad " + option + " value"));
  }
}

}  // namespace
}  // namespace parlumo
