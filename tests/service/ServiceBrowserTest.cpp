// A translated page in a real browser (headless Chromium): its script must not be
// able to read another answer of the service. Skipped when Chromium is not installed.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "ServiceProcess.h"
#include "support/TempFolder.h"

namespace parlumo {
namespace {

using ::testing::HasSubstr;
using testing::ServiceProcess;

// The browser's program: the first of the usual names found on PATH; empty when none.
std::string BrowserProgram() {
  const char* path = std::getenv("PATH");
  std::string_view rest = path != nullptr ? path : "/usr/bin";
  while (!rest.empty()) {
    const auto colon = rest.find(':');
    const std::string folder(rest.substr(0, colon));
    for (const char* name : {"chromium", "chromium-browser"}) {
      const std::string candidate = folder + "/" + name;
      if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    if (colon == std::string_view::npos) break;
    rest.remove_prefix(colon + 1);
  }
  return {};
}

// The probe page. Its script tries two reads and reports both in #report:
// - control: a resource of the page's own server that allows every origin, which a
//   sandboxed page may read; it shows that the script runs and can fetch at all;
// - service: the service's start page, by its absolute address.
std::string ProbePage(const std::string& controlUrl, const std::string& serviceUrl) {
  return "<html><head><title>Probe</title></head><body><p>The house is very big.</p>"
         "<div id=\"report\">waiting</div><script>\n"
         "function read(url) {\n"
         "  return fetch(url).then(function (r) { return r.text(); })\n"
         "      .then(function (t) { return 'READ-' + t.length; },\n"
         "            function () { return 'BLOCKED'; });\n"
         "}\n"
         "Promise.all([read('" +
         controlUrl + "'), read('" + serviceUrl +
         "')]).then(function (r) {\n"
         "  document.getElementById('report').textContent =\n"
         "      'origin=' + self.origin + ' control=' + r[0] + ' service=' + r[1] + ' done';\n"
         "});\n"
         "</script></body></html>";
}

TEST(ServiceBrowserTest, ATranslatedPagesScriptCannotReadTheServicesAnswers) {
  const std::string browser = BrowserProgram();
  if (browser.empty()) GTEST_SKIP() << "no chromium on PATH";

  ServiceProcess service({"--dictionary", "/nonexistent/de-en"});
  const std::string serviceUrl = "http://" + service.HostPort() + "/";

  httplib::Server pages;
  const int pagePort = pages.bind_to_any_port("127.0.0.1");
  const std::string pageBase = "http://127.0.0.1:" + std::to_string(pagePort);
  pages.Get("/probe.html", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content(ProbePage(pageBase + "/open.txt", serviceUrl), "text/html; charset=UTF-8");
  });
  pages.Get("/open.txt", [](const httplib::Request&, httplib::Response& res) {
    res.set_header("Access-Control-Allow-Origin", "*");
    res.set_content("open to all", "text/plain");
  });
  std::thread serving([&] { pages.listen_after_bind(); });
  while (!pages.is_running())
    std::this_thread::sleep_for(std::chrono::milliseconds(1));

  const parlumo::test::TempFolder profile("parlumo-browser");
  const std::string translated =
      serviceUrl + "translate?u=" + pageBase + "/probe.html&langpair=en|es";
  // --no-sandbox: the browser's own process sandbox cannot start as root (CI); the
  // page's sandbox under test is the one the service's answer asks for.
  const std::string command = "timeout 120 '" + browser +
                              "' --headless --no-sandbox --disable-gpu --no-first-run "
                              "--user-data-dir='" +
                              profile.Path().string() +
                              "' --virtual-time-budget=10000 --dump-dom '" + translated +
                              "' 2>/dev/null";
  FILE* pipe = ::popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string dom;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    dom.append(buffer, n);
  const int status = ::pclose(pipe);
  pages.stop();
  serving.join();

  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command << "\n" << dom;
  // The page was translated, and its script ran to the end.
  EXPECT_THAT(dom, HasSubstr("La casa es muy grande."));
  EXPECT_THAT(dom, HasSubstr(" done<"));
  // It runs in an opaque origin; it can fetch, but not the service's answer.
  EXPECT_THAT(dom, HasSubstr("origin=null "));
  EXPECT_THAT(dom, HasSubstr("control=READ-11 "));
  EXPECT_THAT(dom, HasSubstr("service=BLOCKED "));
}

}  // namespace
}  // namespace parlumo
