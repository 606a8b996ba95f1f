// The translation exchange end to end against a scripted service, and the
// command-line translator on top of it.

#include "translate/TranslateText.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <mutex>

#include "FileEvents.h"
#include "ScriptedServer.h"
#include "TempFolder.h"
#include "runtime/PollEventLoop.h"

namespace parlumo {
namespace {

using testing::ClosedPort;
using testing::ScriptedServer;
using testing::ServerConnection;

const std::string kResultPage =
    "<html><a href=\"/help/faq_translation.html\">FAQ</a>"
    "<div id=result_box dir=\"ltr\">Hallo &amp; &quot;Welt&quot;<br>zwei</div></html>";

// A service that answers every request with one fixed reply and keeps the
// request it got.
class Service {
 public:
  explicit Service(std::string reply)
      : reply_(std::move(reply)), server_([this](ServerConnection& c) {
          const std::string request = c.ReadRequest();
          {
            std::lock_guard lock(mutex_);
            request_ = request;
          }
          c.Send(reply_);
        }) {}
  std::string Host() const { return "127.0.0.1:" + server_.PortText(); }
  // Connections, whether or not a request came over them.
  int Accepted() const { return server_.Accepted(); }
  std::string Request() {
    std::lock_guard lock(mutex_);
    return request_;
  }

 private:
  std::string reply_;
  std::mutex mutex_;
  std::string request_;
  ScriptedServer server_;
};

std::string Reply(const std::string& status, const std::string& body) {
  return "HTTP/1.0 " + status +
         "\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\n\r\n" + body;
}

TEST(TranslateTextTest, OutcomesOfTheExchange) {
  const struct {
    const char* name;
    std::string reply;
    std::optional<TranslateFailure> failure;
    const char* text;
    const char* detail;
  } cases[] = {
      {"translated", Reply("200 OK", kResultPage), std::nullopt, "Hallo & \"Welt\"\nzwei", ""},
      {"404", Reply("404 Not Found", "gone"), TranslateFailure::ConnectionFailed, "", "Not Found"},
      {"500", Reply("500 Broken", kResultPage), TranslateFailure::ConnectionFailed, "", "Broken"},
      {"413", Reply("413 Payload Too Large", "<html>too large</html>"),
       TranslateFailure::TextTooLarge, "", "Payload Too Large"},
      {"401 page", Reply("401 Unauthorized", "<html>login</html>"), TranslateFailure::NotTranslated,
       "", ""},
      {"signature only", Reply("200 OK", "<a href=\"/faq_translation.html\">x</a>"),
       TranslateFailure::UnknownDataFormat, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Service service(c.reply);
    PollEventLoop loop;
    THttpClient client(loop);
    TParser splitter;
    const auto outcome = TranslateText(client, splitter, "a&b", -1, service.Host(), {});
    EXPECT_EQ(outcome.Failure(), c.failure);
    EXPECT_EQ(outcome.Text(), c.text);
    EXPECT_EQ(outcome.Detail(), c.detail);
    EXPECT_NE(service.Request().find("POST /translate_t HTTP/1.0\r\n"), std::string::npos);
    EXPECT_TRUE(
        service.Request().ends_with("\r\n\r\ntext=a%26b&langpair=en%7Cde&ie=UTF-8&oe=UTF-8"))
        << service.Request();
    EXPECT_EQ(client.RequestStream, nullptr) << "the exchange's streams do not outlive it";
  }
}

// A text whose request would be larger than the service takes is refused
// before anything is sent, whether the raw text or only its form encoding is
// too large: the service must see no connection. A request of exactly the
// limit goes out.
TEST(TranslateTextTest, RequestLargerThanTheServiceTakesIsRefusedUnsent) {
  const std::size_t limit = kMaxRequestBodyBytes;
  const std::size_t frame = BuildRequestBody("", 0).size();
  std::string umlauts;  // 400 KiB, six bytes each once encoded
  while (umlauts.size() < (400 << 10))
    umlauts += "\xc3\xa4";
  const struct {
    const char* name;
    std::string text;
    bool sent;
  } cases[] = {
      {"exactly the limit", std::string(limit - frame, 'a'), true},
      {"one byte over the limit", std::string(limit - frame + 1, 'a'), false},
      {"too large only once encoded", umlauts, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Service service(Reply("200 OK", kResultPage));
    PollEventLoop loop;
    THttpClient client(loop);
    TParser splitter;
    const auto outcome = TranslateText(client, splitter, c.text, 0, service.Host(), {});
    if (c.sent) {
      EXPECT_TRUE(outcome.Succeeded()) << outcome.Detail();
      EXPECT_NE(service.Request().find("\r\nContent-Length: " + std::to_string(limit) + "\r\n"),
                std::string::npos);
    } else {
      EXPECT_EQ(outcome.Failure(), TranslateFailure::TextTooLarge);
      EXPECT_NE(outcome.Detail().find("nothing was sent"), std::string::npos) << outcome.Detail();
      EXPECT_EQ(service.Accepted(), 0) << "a refused text must not be sent";
      EXPECT_EQ(client.URL, "") << "the client is left as it was";
    }
    EXPECT_EQ(client.RequestStream, nullptr);
  }
}

TEST(TranslateTextTest, RefusedConnectionCarriesTheReason) {
  PollEventLoop loop;
  THttpClient client(loop);
  TParser splitter;
  const auto outcome =
      TranslateText(client, splitter, "x", 0, "127.0.0.1:" + std::to_string(ClosedPort()), {});
  EXPECT_EQ(outcome.Failure(), TranslateFailure::ConnectionFailed);
  EXPECT_EQ(outcome.Detail(), "Connection refused (Error #10061)");
}

// parlumo-translate, run as a program.
struct CliRun {
  int status;
  std::string out;
};

CliRun RunShell(const std::string& command) {
  FILE* pipe = ::popen(command.c_str(), "r");
  CliRun run{-1, ""};
  if (pipe == nullptr) return run;
  std::array<char, 4096> buffer{};
  for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;) {
    run.out.append(buffer.data(), n);
  }
  const int status = ::pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

CliRun Translate(const std::string& arguments, const std::string& input = "") {
  return RunShell("printf '%s' '" + input +
                  "' | " PARLUMO_TRANSLATE " --ini /nonexistent/parlumo.ini --lang en " +
                  arguments + " 2>&1");
}

// The program with only the locale variables given in environment set, and no --lang.
CliRun TranslateIn(const std::string& environment, const std::string& arguments) {
  return RunShell("env -u LC_ALL -u LC_MESSAGES -u LANG " + environment +
                  " " PARLUMO_TRANSLATE " " + arguments + " 2>&1 </dev/null");
}

TEST(ParlumoTranslateTest, ExitStatusAndOutput) {
  Service service(Reply("200 OK", kResultPage));
  const std::string at = " --service " + service.Host();

  const CliRun translated = Translate(at + " --pair de\\|en Hello world");
  EXPECT_EQ(translated.status, 0);
  EXPECT_EQ(translated.out, "Hallo & \"Welt\"\nzwei\n");
  EXPECT_NE(service.Request().find("text=Hello+world&langpair=de%7Cen"), std::string::npos);

  const CliRun piped = Translate(at + " --pair 7", "from standard input\n");
  EXPECT_EQ(piped.status, 0);
  EXPECT_NE(service.Request().find("text=from+standard+input&langpair=en%7Ces"), std::string::npos);

  const CliRun refused = Translate("--service 127.0.0.1:" + std::to_string(ClosedPort()) + " x");
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.out.find("No connection to server"), std::string::npos);
  EXPECT_NE(refused.out.find("Connection refused (Error #10061)"), std::string::npos);

  EXPECT_EQ(Translate(at, "  \n").status, 1);
  EXPECT_EQ(Translate(at + " --pair xx\\|yy x").status, 64);
  EXPECT_EQ(Translate(at + " --bogus x").status, 64);
  const CliRun help = Translate("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: parlumo-translate"), std::string::npos);
}

// A typed pair that names none is refused, with the pairs there are, and
// nothing is sent.
TEST(ParlumoTranslateTest, PairThatNamesNoPairIsAUsageError) {
  Service service(Reply("200 OK", kResultPage));
  for (const std::string pair : {"99", "12", "-1", "xx\\|yy", "EN\\|DE", "1x"}) {
    SCOPED_TRACE(pair);
    const CliRun run = Translate("--service " + service.Host() + " --pair " + pair + " x");
    EXPECT_EQ(run.status, 64);
    EXPECT_NE(run.out.find("names no language pair"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(" 0  en|de  English \u00bb German\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("11  es|en  Spanish \u00bb English\n"), std::string::npos) << run.out;
  }
  EXPECT_EQ(service.Request(), "") << "nothing may be sent for an unusable pair";
  EXPECT_EQ(Translate("--service " + service.Host() + " --pair 11 x").status, 0);
  EXPECT_EQ(Translate("--service " + service.Host() + " --pair es\\|en x").status, 0);
}

// Without --lang and without a settings file the messages follow the locale:
// the first of LC_ALL, LC_MESSAGES and LANG that is set decides.
TEST(ParlumoTranslateTest, MessagesFollowTheLocaleWithoutSettings) {
  const std::string refused =
      "--ini /nonexistent/parlumo.ini --service 127.0.0.1:" + std::to_string(ClosedPort()) + " x";
  const struct {
    const char* environment;
    bool german;
  } cases[] = {
      {"LANG=de_DE.UTF-8", true},
      {"LANG=de", true},
      {"LANG=de_AT@euro", true},
      {"LANG=en_US.UTF-8", false},
      {"LANG=fr_FR.UTF-8", false},
      {"", false},
      {"LANG=C", false},
      {"LC_ALL=C LANG=de_DE.UTF-8", false},
      {"LC_ALL=de_CH.UTF-8 LANG=en_GB.UTF-8", true},
      {"LC_MESSAGES=de_DE.UTF-8 LANG=en_US.UTF-8", true},
      {"LC_MESSAGES=en_US.UTF-8 LANG=de_DE.UTF-8", false},
      {"LC_ALL= LC_MESSAGES= LANG=de_DE.UTF-8", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.environment);
    const CliRun run = TranslateIn(c.environment, refused);
    EXPECT_EQ(run.status, 2);
    const bool german = run.out.find("Keine Verbindung zum Server") != std::string::npos;
    const bool english = run.out.find("No connection to server") != std::string::npos;
    EXPECT_EQ(german, c.german) << run.out;
    EXPECT_EQ(english, !c.german) << run.out;
  }
}

// A settings file decides the language over the locale, and --lang over both.
TEST(ParlumoTranslateTest, SettingsFileAndLangOptionOutrankTheLocale) {
  const test::TempFolder folder("parlumo-cli");
  const auto english = folder.Path() / "english.ini";
  std::ofstream(english) << "[Languages]\nInterfaceLanguage=0\n";
  const auto unset = folder.Path() / "unset.ini";
  std::ofstream(unset) << "[Service]\n";
  const std::string at = " --service 127.0.0.1:" + std::to_string(ClosedPort()) + " x";
  auto german = [](const CliRun& run) {
    return run.out.find("Keine Verbindung zum Server") != std::string::npos;
  };
  EXPECT_FALSE(german(TranslateIn("LANG=de_DE.UTF-8", "--ini " + english.string() + at)));
  // A file without the key reads as the desktop program reads it: German.
  EXPECT_TRUE(german(TranslateIn("LANG=en_US.UTF-8", "--ini " + unset.string() + at)));
  EXPECT_FALSE(
      german(TranslateIn("LANG=de_DE.UTF-8", "--ini " + unset.string() + " --lang en" + at)));
  EXPECT_TRUE(
      german(TranslateIn("LANG=en_US.UTF-8", "--ini /nonexistent/parlumo.ini --lang de" + at)));
}

// The program reads its settings from one reading of the file.
TEST(ParlumoTranslateTest, ReadsTheSettingsFileOnce) {
  const test::TempFolder folder("parlumo-cli");
  const auto ini = folder.Path() / "parlumo.ini";
  std::ofstream(ini) << "[Languages]\nInterfaceLanguage=0\n[Service]\nHost=127.0.0.1:1\n"
                        "[Proxy]\nServer=\nPort=\nUsername=\nPassword=\n";
  test::FileEvents file(ini);
  // Without text it ends after reading every setting it has.
  const CliRun run = RunShell(PARLUMO_TRANSLATE " --ini " + ini.string() + " 2>&1 </dev/null");
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_EQ(file.Take(), (test::FileEvents::Counts{1, 0}));
}

TEST(ParlumoTranslateTest, NotTranslatedAndUnknownFormat) {
  Service notTranslated(Reply("200 OK", "<html>no signature</html>"));
  EXPECT_EQ(Translate("--service " + notTranslated.Host() + " x").status, 3);
  Service unknown(Reply("200 OK", "/faq_translation.html but no result"));
  const CliRun run = Translate("--service " + unknown.Host() + " x");
  EXPECT_EQ(run.status, 4);
  EXPECT_NE(run.out.find("Unknown dataformat from server"), std::string::npos);
}

}  // namespace
}  // namespace parlumo
