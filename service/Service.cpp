#include "Service.h"

#include <optional>
#include <vector>

#include "FormData.h"
#include "HttpFront.h"
#include "PageTranslation.h"
#include "Pages.h"

namespace parlumo::service {

namespace {

ServiceAnswer Page(int status, const std::string& html, Charset charset = Charset::Utf8) {
  ServiceAnswer answer;
  answer.status = status;
  answer.body = FromUtf8(html, charset, true);
  answer.contentType = "text/html; charset=" + std::string(CharsetName(charset));
  return answer;
}

ServiceAnswer Error(int status, std::string_view title, std::string_view explanation) {
  return Page(status, ErrorPage(status, title, explanation));
}

// The pair's engine failed, and failed again when started afresh.
ServiceAnswer EngineFailure() {
  return Error(503, "Translation engine unavailable",
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

}  // namespace

struct Service::Impl {
  explicit Impl(ServiceOptions o) : options(std::move(o)), engines(options.engines) {}

  ServiceAnswer Answer(const ServiceRequest& request);
  // Each names the pair the request asked for in loggedPair as soon as it is known.
  ServiceAnswer TranslateText(const ServiceRequest& request, std::string& loggedPair);
  ServiceAnswer TranslatePage(const ServiceRequest& request, std::string& loggedPair);

  ServiceOptions options;
  EngineSet engines;
  std::unique_ptr<HttpFront> front;
  int boundPort = -1;
};

ServiceAnswer Service::Impl::TranslateText(const ServiceRequest& request, std::string& loggedPair) {
  const auto form = ParseForm(request.body);
  if (!form) {
    return Error(400, "Malformed form",
                 "The request body is not a valid application/x-www-form-urlencoded form "
                 "(a piece without \"=\" or a bad percent sequence).");
  }
  const auto field = [&](const char* name) -> const std::string* {
    const auto it = form->find(name);
    return it == form->end() ? nullptr : &it->second;
  };
  const std::string* text = field("text");
  const std::string* pair = field("langpair");
  if (text == nullptr || pair == nullptr) {
    return Error(
        400, "Missing field",
        std::string("The form has no \"") + (text == nullptr ? "text" : "langpair") + "\" field.");
  }
  loggedPair = *pair;
  const std::string* ie = field("ie");
  const std::string* oe = field("oe");
  const auto inCharset = CharsetByName(ie != nullptr ? *ie : "");
  const auto outCharset = CharsetByName(oe != nullptr ? *oe : "");
  if (!inCharset || !outCharset) {
    return Error(400, "Unknown character set",
                 "The character sets understood for ie and oe are UTF-8 (also ASCII), "
                 "ISO-8859-1 and windows-1252.");
  }
  Translator* translator = engines.Find(*pair);
  if (translator == nullptr) {
    return Page(200, PairNotOfferedPage(*pair, engines.Pairs()), *outCharset);
  }
  const std::string source = NormalizeLineBreaks(ToUtf8(*text, *inCharset));
  const auto translation = TranslateLines(*translator, source);
  if (!translation) {
    return EngineFailure();
  }
  return Page(200, ResultPage(*pair, *translation), *outCharset);
}

ServiceAnswer Service::Impl::TranslatePage(const ServiceRequest& request, std::string& loggedPair) {
  // The program puts the page address into the query as it was typed, so it may
  // hold "&" and "=" of its own: in a query that starts with "u=", the address runs
  // up to the last "&langpair=".
  const std::string query(request.Query());
  std::optional<std::string> address;
  std::string_view restOfQuery = query;
  if (query.starts_with("u=")) {
    const auto langpair = query.rfind("&langpair=");
    const std::string_view raw = std::string_view(query).substr(
        2, langpair == std::string::npos ? std::string::npos : langpair - 2);
    address = PercentDecode(raw, false);
    if (!address) {
      return Error(400, "Malformed address", "The address has a bad percent sequence.");
    }
    restOfQuery = langpair == std::string::npos ? std::string_view()
                                                : std::string_view(query).substr(langpair + 1);
  }
  const auto form = ParseForm(restOfQuery);
  if (!form) {
    return Error(400, "Malformed query",
                 "The query is not a valid form (a piece without \"=\" or a bad percent "
                 "sequence).");
  }
  if (!address) {
    if (const auto it = form->find("u"); it != form->end()) address = it->second;
  }
  const auto pairIt = form->find("langpair");
  if (!address || address->empty() || pairIt == form->end()) {
    return Error(400, "Missing field",
                 "A page translation needs the page address (u) and the language pair "
                 "(langpair), as in /translate?u=http://example.org/&langpair=en|de.");
  }
  const std::string& pair = pairIt->second;
  loggedPair = pair;
  Translator* translator = engines.Find(pair);
  if (translator == nullptr) {
    return Page(200, PairNotOfferedPage(pair, engines.Pairs()));
  }
  std::string error;
  const auto target = ParseHttpAddress(*address, error);
  if (!target) {
    return Error(400, "Address not supported", error);
  }
  // A page translation of a page translation of ... would hold a request thread for
  // every level until the pool runs dry.
  if (target->port == boundPort && target->target.starts_with("/translate") &&
      (target->host == options.host || target->host == "localhost" ||
       target->host == "127.0.0.1")) {
    return Error(400, "Address not supported",
                 "The page translation of this service cannot translate its own page "
                 "translations.");
  }
  const auto page = FetchPage(*target, options.fetch, error);
  if (!page) {
    return Error(502, "Page not available",
                 "The page " + target->ToString() + " could not be translated. " + error);
  }
  const std::string type = page->contentType;
  if (!type.empty() && type.find("html") == std::string::npos) {
    return Error(
        502, "Not a web page",
        "The address " + page->address.ToString() + " gives \"" + type + "\", not an HTML page.");
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
    return EngineFailure();
  }
  ServiceAnswer answer;
  answer.contentType = "text/html; charset=UTF-8";
  answer.body = *translated;
  return answer;
}

ServiceAnswer Service::Impl::Answer(const ServiceRequest& request) {
  // HEAD is answered as GET; the front sends the header alone.
  const bool get = request.method == "GET" || request.method == "HEAD";
  const std::string& path = request.path;
  std::string pair;
  ServiceAnswer answer;
  if (path == "/translate_t") {
    answer = request.method == "POST"
                 ? TranslateText(request, pair)
                 : Error(405, "Method not allowed", "Texts are sent to /translate_t with POST.");
  } else if (get && path == "/translate") {
    answer = TranslatePage(request, pair);
  } else if (get && path == "/") {
    answer = Page(200, ProviderHomePage(engines.Pairs()));
  } else if (get && path == "/help/faq_translation.html") {
    answer = Page(200, FaqPage(engines.Pairs()));
  } else if (get && (path == "/tools/parlumo/" || path == "/tools/parlumo")) {
    answer = Page(200, VendorHomePage());
  } else if (constexpr std::string_view kUpdates = "/tools/parlumo/updates/";
             get && path.starts_with(kUpdates) && path.size() > kUpdates.size() &&
             path.find('/', kUpdates.size()) == std::string::npos) {
    const auto page = UpdatePage(path.substr(kUpdates.size()));
    answer = page ? Page(200, *page) : Error(404, "Not found", "There is no such update page.");
  } else {
    answer = Error(404, "Not found", "This service has no page at this address.");
  }
  answer.pair = std::move(pair);
  return answer;
}

namespace {

// The answer to a request the front refused before it reached the service.
ServiceAnswer Refusal(int status, std::size_t maxBodyBytes) {
  switch (status) {
    case 413:
      return Error(
          413, "Request too large",
          "The request body is larger than " + SizeText(maxBodyBytes) + "; send a shorter text.");
    case 500:
      return Error(500, "Internal error", "The service failed on this request.");
    case 503:
      return Error(503, "Service busy",
                   "The service has more requests waiting for a translation engine than it "
                   "takes; please try again in a moment.");
    default:
      return Error(status, "Bad request", "The request could not be understood.");
  }
}

}  // namespace

Service::Service(ServiceOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {
  Impl& impl = *impl_;
  FrontOptions front;
  front.host = impl.options.host;
  front.port = impl.options.port;
  front.maxBodyBytes = impl.options.maxBodyBytes;
  front.clientTimeoutSeconds = impl.options.clientTimeoutSeconds;
  front.headerTimeoutSeconds = impl.options.headerTimeoutSeconds;
  front.idleTimeoutSeconds = impl.options.idleTimeoutSeconds;
  front.maxConnections = impl.options.maxConnections;
  front.maxWaitingRequests = impl.options.maxWaitingRequests;
  front.workers = impl.options.workers;
  const std::size_t maxBodyBytes = impl.options.maxBodyBytes;
  impl.front = std::make_unique<HttpFront>(
      std::move(front),
      FrontHandlers{[&impl](const ServiceRequest& request) { return impl.Answer(request); },
                    [maxBodyBytes](int status) { return Refusal(status, maxBodyBytes); }});
}

Service::~Service() = default;

int Service::Bind() {
  impl_->boundPort = impl_->front->Bind();
  return impl_->boundPort;
}

bool Service::Run() {
  return impl_->front->Run();
}

void Service::Stop() {
  impl_->front->Stop();
}

}  // namespace parlumo::service
