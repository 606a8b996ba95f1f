// parlumo-service against a fresh Apertium process, in the same run:
// - a ten-word English-Spanish translation through the running service (one HTTP
//   request on a new connection, as the program sends it), beside
// - the same sentence through a newly started `apertium -u eng-spa`, which is what
//   translating without a warm engine costs;
// and the German dictionary's translation of a ten-word sentence (no reference; it
// should stay well below a millisecond).
// Wall-clock time: the work happens in other processes.

#include <benchmark/benchmark.h>
#include <httplib.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "DictionaryEngine.h"
#include "RatioReporter.h"
#include "ServiceProcess.h"
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
  const int port = Service().Port();
  const std::string body =
      parlumo::BuildRequestBody(kSentence, parlumo::LanguagePairIndex("en|es"));
  // The engine starts with its first request; that one is not measured.
  httplib::Client("127.0.0.1", port)
      .Post("/translate_t", body, "application/x-www-form-urlencoded");
  for (auto _ : state) {
    httplib::Client client("127.0.0.1", port);
    client.set_keep_alive(false);
    const auto res = client.Post("/translate_t", body, "application/x-www-form-urlencoded");
    if (!res || !parlumo::ExtractTranslation(res->body).Succeeded()) {
      state.SkipWithError("no translation from the service");
      break;
    }
  }
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

}  // namespace

int main(int argc, char** argv) {
  using parlumo::bench::RatioReporter;
  return parlumo::bench::RunWithRatios(argc, argv, RatioReporter::Time::Real,
                                       {{"BM_ServiceEnglishSpanish", "BM_FreshApertiumProcess"}});
}
