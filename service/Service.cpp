#include "Service.h"

#include <httplib.h>

#include <chrono>
#include <cstdio>

#include "FormData.h"
#include "PageTranslation.h"
#include "Pages.h"

namespace parlumo::service {

namespace {

// What the log line of the request being handled on this thread needs; the server
// runs each request on one thread from routing to logging.
struct RequestNote {
  std::chrono::steady_clock::time_point start;
  bool started = false;
  std::string pair;
};
thread_local RequestNote tNote;

void SendPage(httplib::Response& res, int status, const std::string& html,
              Charset charset = Charset::Utf8) {
  res.status = status;
  res.set_content(FromUtf8(html, charset, true),
                  "text/html; charset=" + std::string(CharsetName(charset)));
}

void SendError(httplib::Response& res, int status, std::string_view title,
               std::string_view explanation) {
  SendPage(res, status, ErrorPage(status, title, explanation));
}

// The pair's engine failed, and failed again when started afresh.
void SendEngineFailure(httplib::Response& res) {
  SendError(res, 503, "Translation engine unavailable",
            "The translation engine for this language pair failed twice; please try again.");
}

// "\r\n" and a lone "\r" become "\n".
std::string NormalizeLineBreaks(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

bool IsBlank(std::string_view line) {
  return line.find_first_not_of(" \t\f\v") == std::string_view::npos;
}

// Translates text line by line (blank lines stay as they are); nothing when the
// engine failed.
std::optional<std::string> TranslateLines(Translator& translator, const std::string& text) {
  std::vector<std::string> lines;
  std::string_view rest = text;
  while (true) {
    const auto newline = rest.find('\n');
    lines.emplace_back(rest.substr(0, newline));
    if (newline == std::string_view::npos) break;
    rest.remove_prefix(newline + 1);
  }
  std::vector<std::string> segments;
  for (const auto& line : lines) {
    if (!IsBlank(line)) segments.push_back(line);
  }
  auto translated = translator.Translate(segments);
  if (!translated || translated->size() != segments.size()) return std::nullopt;
  std::string out;
  std::size_t next = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) out += '\n';
    out += IsBlank(lines[i]) ? lines[i] : (*translated)[next++];
  }
  return out;
}

std::string QueryOf(const httplib::Request& req) {
  const auto question = req.target.find('?');
  return question == std::string::npos ? std::string() : req.target.substr(question + 1);
}

}  // namespace

struct Service::Impl {
  explicit Impl(ServiceOptions o) : options(std::move(o)), engines(options.engines) {}

  void Routes();
  void TranslateText(const httplib::Request& req, httplib::Response& res);
  void TranslatePage(const httplib::Request& req, httplib::Response& res);

  ServiceOptions options;
  EngineSet engines;
  httplib::Server server;
  int boundPort = -1;
};

void Service::Impl::TranslateText(const httplib::Request& req, httplib::Response& res) {
  const auto form = ParseForm(req.body);
  if (!form) {
    SendError(res, 400, "Malformed form",
              "The request body is not a valid application/x-www-form-urlencoded form "
              "(a piece without \"=\" or a bad percent sequence).");
    return;
  }
  const auto field = [&](const char* name) -> const std::string* {
    const auto it = form->find(name);
    return it == form->end() ? nullptr : &it->second;
  };
  const std::string* text = field("text");
  const std::string* pair = field("langpair");
  if (text == nullptr || pair == nullptr) {
    SendError(
        res, 400, "Missing field",
        std::string("The form has no \"") + (text == nullptr ? "text" : "langpair") + "\" field.");
    return;
  }
  tNote.pair = *pair;
  const std::string* ie = field("ie");
  const std::string* oe = field("oe");
  const auto inCharset = CharsetByName(ie != nullptr ? *ie : "");
  const auto outCharset = CharsetByName(oe != nullptr ? *oe : "");
  if (!inCharset || !outCharset) {
    SendError(res, 400, "Unknown character set",
              "The character sets understood for ie and oe are UTF-8 (also ASCII), "
              "ISO-8859-1 and windows-1252.");
    return;
  }
  Translator* translator = engines.Find(*pair);
  if (translator == nullptr) {
    SendPage(res, 200, PairNotOfferedPage(*pair, engines.Pairs()), *outCharset);
    return;
  }
  const std::string source = NormalizeLineBreaks(ToUtf8(*text, *inCharset));
  const auto translation = TranslateLines(*translator, source);
  if (!translation) {
    SendEngineFailure(res);
    return;
  }
  SendPage(res, 200, ResultPage(*pair, *translation), *outCharset);
}

void Service::Impl::TranslatePage(const httplib::Request& req, httplib::Response& res) {
  // The program puts the page address into the query as it was typed, so it may
  // hold "&" and "=" of its own: in a query that starts with "u=", the address runs
  // up to the last "&langpair=".
  const std::string query = QueryOf(req);
  std::optional<std::string> address;
  std::string_view restOfQuery = query;
  if (query.starts_with("u=")) {
    const auto langpair = query.rfind("&langpair=");
    const std::string_view raw = std::string_view(query).substr(
        2, langpair == std::string::npos ? std::string::npos : langpair - 2);
    address = PercentDecode(raw, false);
    if (!address) {
      SendError(res, 400, "Malformed address", "The address has a bad percent sequence.");
      return;
    }
    restOfQuery = langpair == std::string::npos ? std::string_view()
                                                : std::string_view(query).substr(langpair + 1);
  }
  const auto form = ParseForm(restOfQuery);
  if (!form) {
    SendError(res, 400, "Malformed query",
              "The query is not a valid form (a piece without \"=\" or a bad percent "
              "sequence).");
    return;
  }
  if (!address) {
    if (const auto it = form->find("u"); it != form->end()) address = it->second;
  }
  const auto pairIt = form->find("langpair");
  if (!address || address->empty() || pairIt == form->end()) {
    SendError(res, 400, "Missing field",
              "A page translation needs the page address (u) and the language pair "
              "(langpair), as in /translate?u=http://example.org/&langpair=en|de.");
    return;
  }
  const std::string& pair = pairIt->second;
  tNote.pair = pair;
  Translator* translator = engines.Find(pair);
  if (translator == nullptr) {
    SendPage(res, 200, PairNotOfferedPage(pair, engines.Pairs()));
    return;
  }
  std::string error;
  const auto target = ParseHttpAddress(*address, error);
  if (!target) {
    SendError(res, 400, "Address not supported", error);
    return;
  }
  // A page translation of a page translation of ... would hold a request thread for
  // every level until the pool runs dry.
  if (target->port == boundPort && target->target.starts_with("/translate") &&
      (target->host == options.host || target->host == "localhost" ||
       target->host == "127.0.0.1")) {
    SendError(res, 400, "Address not supported",
              "The page translation of this service cannot translate its own page "
              "translations.");
    return;
  }
  const auto page = FetchPage(*target, options.fetch, error);
  if (!page) {
    SendError(res, 502, "Page not available",
              "The page " + target->ToString() + " could not be translated. " + error);
    return;
  }
  const std::string type = page->contentType;
  if (!type.empty() && type.find("html") == std::string::npos) {
    SendError(
        res, 502, "Not a web page",
        "The address " + page->address.ToString() + " gives \"" + type + "\", not an HTML page.");
    return;
  }
  const auto declared = CharsetByName(DeclaredCharset(type, page->body));
  const std::string html = ToUtf8(page->body, declared.value_or(Charset::Utf8));
  const std::string base = page->address.ToString();
  const std::string banner =
      "<div style=\"background:#ffd;border:1px solid #cc9;padding:.4em;margin:0 0 .5em 0;"
      "font:14px sans-serif;color:#000\">Translated from " +
      HtmlEscape(PairName(pair)) + " by the Parlumo translation service &middot; <a href=\"" +
      HtmlEscape(base) + "\">Original page</a></div>";
  const auto translated = TranslateHtmlPage(html, base, banner, *translator);
  if (!translated) {
    SendEngineFailure(res);
    return;
  }
  res.status = 200;
  res.set_content(*translated, "text/html; charset=UTF-8");
}

void Service::Impl::Routes() {
  server.set_payload_max_length(options.maxBodyBytes);
  server.set_read_timeout(options.clientTimeoutSeconds, 0);
  server.set_write_timeout(options.clientTimeoutSeconds, 0);
  server.set_keep_alive_timeout(options.clientTimeoutSeconds);

  server.set_pre_routing_handler([](const httplib::Request&, httplib::Response&) {
    tNote = RequestNote{std::chrono::steady_clock::now(), true, {}};
    return httplib::Server::HandlerResponse::Unhandled;
  });
  server.set_logger([](const httplib::Request& req, const httplib::Response& res) {
    long long ms = 0;
    if (tNote.started) {
      ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 tNote.start)
               .count();
    }
    std::fprintf(stderr, "%s %s pair=%s in=%zu out=%zu status=%d %lldms\n", req.method.c_str(),
                 req.path.c_str(), tNote.pair.empty() ? "-" : tNote.pair.c_str(), req.body.size(),
                 res.body.size(), res.status, ms);
    tNote = RequestNote{};
  });
  server.set_error_handler(
      httplib::Server::HandlerWithResponse([](const httplib::Request&, httplib::Response& res) {
        if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
        switch (res.status) {
          case 404:
            SendError(res, 404, "Not found", "This service has no page at this address.");
            break;
          case 413:
            SendError(res, 413, "Request too large",
                      "The request body is larger than 1 MiB; send a shorter text.");
            break;
          default:
            SendError(res, res.status, "Bad request", "The request could not be understood.");
        }
        return httplib::Server::HandlerResponse::Handled;
      }));
  server.set_exception_handler(
      [](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
        SendError(res, 500, "Internal error", "The service failed on this request.");
      });

  server.Post("/translate_t", [this](const httplib::Request& req, httplib::Response& res) {
    TranslateText(req, res);
  });
  server.Get("/translate_t", [](const httplib::Request&, httplib::Response& res) {
    SendError(res, 405, "Method not allowed", "Texts are sent to /translate_t with POST.");
  });
  server.Get("/translate", [this](const httplib::Request& req, httplib::Response& res) {
    TranslatePage(req, res);
  });
  server.Get("/", [this](const httplib::Request&, httplib::Response& res) {
    SendPage(res, 200, ProviderHomePage(engines.Pairs()));
  });
  server.Get("/help/faq_translation.html", [this](const httplib::Request&, httplib::Response& res) {
    SendPage(res, 200, FaqPage(engines.Pairs()));
  });
  server.Get("/tools/parlumo/?", [](const httplib::Request&, httplib::Response& res) {
    SendPage(res, 200, VendorHomePage());
  });
  server.Get(R"(/tools/parlumo/updates/([^/]+))",
             [](const httplib::Request& req, httplib::Response& res) {
               const auto page = UpdatePage(req.matches[1].str());
               if (!page) {
                 SendError(res, 404, "Not found", "There is no such update page.");
                 return;
               }
               SendPage(res, 200, *page);
             });
}

Service::Service(ServiceOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {
  impl_->Routes();
}

Service::~Service() = default;

int Service::Bind() {
  if (impl_->options.port == 0) {
    impl_->boundPort = impl_->server.bind_to_any_port(impl_->options.host);
  } else if (impl_->server.bind_to_port(impl_->options.host, impl_->options.port)) {
    impl_->boundPort = impl_->options.port;
  }
  return impl_->boundPort;
}

bool Service::Run() {
  return impl_->server.listen_after_bind();
}

void Service::Stop() {
  impl_->server.stop();
}

}  // namespace parlumo::service
