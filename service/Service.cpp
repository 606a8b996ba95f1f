#include "Service.h"

#include <optional>
#include <vector>

#include "FormData.h"
#include "HttpFront.h"
#include "PageTranslation.h"
#include "Pages.h"
#include "RequestPolicy.h"
#include "translate/TranslationPage.h"

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

// The pair's engine failed (and again when started afresh), did not answer in time,
// or was too busy with other requests to take this one.
ServiceAnswer EngineFailure() {
  return Error(503, "Translation engine unavailable",
               "The translation engine for this language pair failed or did not answer in "
               "time; please try again.");
}

// "\r\n" and every other line break ("\r", vertical tab, form feed, U+0085 NEL,
// U+2028 and U+2029: some programs put them where a line ends) become "\n".
std::string NormalizeLineBreaks(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::string_view rest = text.substr(i);
    if (text[i] == '\r') {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (text[i] == '\v' || text[i] == '\f') {
      out += '\n';
    } else if (rest.starts_with("\xC2\x85")) {
      out += '\n';
      i += 1;
    } else if (rest.starts_with("\xE2\x80\xA8") || rest.starts_with("\xE2\x80\xA9")) {
      out += '\n';
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// UTF-8 text without its control characters (C0 but tab and line feed, DEL, C1):
// they have no place in a translation or its HTML page, and a NUL would end the
// text early wherever it is read as a C string.
std::string WithoutControlCharacters(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if ((byte < 0x20 && byte != '\t' && byte != '\n') || byte == 0x7F) continue;
    // U+0080 to U+009F: C2 80 to C2 9F.
    if (byte == 0xC2 && i + 1 < text.size()) {
      const auto next = static_cast<unsigned char>(text[i + 1]);
      if (next >= 0x80 && next <= 0x9F) {
        ++i;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

bool IsBlank(std::string_view line) {
  return line.find_first_not_of(" \t") == std::string_view::npos;
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

// What a page translation is asked for.
struct PageQuery {
  std::string address;  // the page's address as the user typed it
  std::string pair;     // the language pair code
};

// Reads the query of a page translation. The program puts the page address into the
// query as it was typed, so it may hold "&" and "=" of its own: in a query that
// starts with "u=", the address runs up to the last "&langpair=". Otherwise u is a
// form value like langpair. Nothing, with the error answer in refusal, when the
// query is malformed or lacks the address or the pair.
std::optional<PageQuery> ReadPageQuery(std::string_view query, ServiceAnswer& refusal) {
  std::optional<std::string> address;
  std::string_view restOfQuery = query;
  if (query.starts_with("u=")) {
    const auto langpair = query.rfind("&langpair=");
    const std::string_view raw =
        query.substr(2, langpair == std::string::npos ? std::string::npos : langpair - 2);
    address = PercentDecode(raw, false);
    if (!address) {
      refusal = Error(400, "Malformed address", "The address has a bad percent sequence.");
      return std::nullopt;
    }
    restOfQuery = langpair == std::string::npos ? std::string_view() : query.substr(langpair + 1);
  }
  const auto form = ParseForm(restOfQuery);
  if (!form) {
    refusal = Error(400, "Malformed query",
                    "The query is not a valid form (a piece without \"=\" or a bad percent "
                    "sequence).");
    return std::nullopt;
  }
  if (!address) {
    if (const auto it = form->find("u"); it != form->end()) address = it->second;
  }
  const auto pair = form->find("langpair");
  if (!address || address->empty() || pair == form->end()) {
    refusal = Error(400, "Missing field",
                    "A page translation needs the page address (u) and the language pair "
                    "(langpair), as in " +
                        std::string(kPageTranslatePath) + "?u=http://example.org/&langpair=en|de.");
    return std::nullopt;
  }
  return PageQuery{std::move(*address), pair->second};
}

// A fetched page as UTF-8 HTML; nothing, with the error answer in refusal, when the
// page is not HTML.
std::optional<std::string> PageHtml(const FetchedPage& page, ServiceAnswer& refusal) {
  const std::string& type = page.contentType;
  if (!type.empty() && type.find("html") == std::string::npos) {
    refusal = Error(
        502, "Not a web page",
        "The address " + page.address.ToString() + " gives \"" + type + "\", not an HTML page.");
    return std::nullopt;
  }
  const auto declared = CharsetByName(DeclaredCharset(type, page.body));
  return ToUtf8(page.body, declared.value_or(Charset::Utf8));
}

// What a handler tells the routing besides its answer.
struct Handling {
  std::string pair;  // the pair the request named, for the log, as soon as it is known
  AnswerContent content = AnswerContent::ServicePage;
};

}  // namespace

struct Service::Impl {
  Impl(ServiceOptions o, int boundPort)
      : options(std::move(o)),
        engines(options.engines),
        hosts(options.front.host, boundPort, options.allowedHosts) {}

  ServiceAnswer Answer(const ServiceRequest& request);
  ServiceAnswer Route(const ServiceRequest& request, Handling& handling);
  ServiceAnswer TranslateText(const ServiceRequest& request, Handling& handling);
  ServiceAnswer TranslatePage(const ServiceRequest& request, Handling& handling);
  // Why the page fetch may not ask for address: empty when it may.
  std::string FetchRefusal(const HttpAddress& address) const;

  const ServiceOptions options;
  EngineSet engines;
  const HostPolicy hosts;
};

ServiceAnswer Service::Impl::TranslateText(const ServiceRequest& request, Handling& handling) {
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
  handling.pair = *pair;
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
  const std::string source =
      WithoutControlCharacters(NormalizeLineBreaks(ToUtf8(*text, *inCharset)));
  const auto translation = TranslateLines(*translator, source);
  if (!translation) {
    return EngineFailure();
  }
  return Page(200, ResultPage(*pair, *translation), *outCharset);
}

std::string Service::Impl::FetchRefusal(const HttpAddress& address) const {
  // A page translation of any page of the service holds a worker while its fetch
  // waits for another one: a handful of them, or a translation of a translation of
  // ..., would take every worker until the fetches time out.
  if (hosts.IsOwnAddress(address.host, address.port)) {
    return "The page translation of this service cannot translate its own pages.";
  }
  return {};
}

ServiceAnswer Service::Impl::TranslatePage(const ServiceRequest& request, Handling& handling) {
  ServiceAnswer refusal;
  const auto query = ReadPageQuery(request.Query(), refusal);
  if (!query) return refusal;
  handling.pair = query->pair;
  Translator* translator = engines.Find(query->pair);
  if (translator == nullptr) {
    return Page(200, PairNotOfferedPage(query->pair, engines.Pairs()));
  }
  std::string error;
  const auto target = ParseHttpAddress(query->address, error);
  if (!target) {
    return Error(400, "Address not supported", error);
  }
  if (error = FetchRefusal(*target); !error.empty()) {
    return Error(400, "Address not supported", error);
  }
  const auto page = FetchPage(
      *target, options.fetch, [this](const HttpAddress& address) { return FetchRefusal(address); },
      error, request.cancellation.get());
  if (!page) {
    return Error(502, "Page not available",
                 "The page " + target->ToString() + " could not be translated. " + error);
  }
  const auto html = PageHtml(*page, refusal);
  if (!html) return refusal;
  if (NestsTooDeeply(*html)) {
    return Error(502, "Page not translated",
                 "The page " + target->ToString() + " nests its elements more than " +
                     std::to_string(kMaxPageNesting) + " deep; the service does not translate it.");
  }
  const std::string base = page->address.ToString();
  const auto translated =
      TranslateHtmlPage(*html, base, TranslationBanner(query->pair, base), *translator);
  if (!translated) {
    return EngineFailure();
  }
  ServiceAnswer answer;
  answer.contentType = "text/html; charset=UTF-8";
  answer.body = *translated;
  handling.content = AnswerContent::TranslatedPage;
  return answer;
}

ServiceAnswer Service::Impl::Answer(const ServiceRequest& request) {
  Handling handling;
  ServiceAnswer answer =
      hosts.Accepts(request.host)
          ? Route(request, handling)
          : Error(421, "Misdirected Request",
                  "This service answers only requests addressed to it by one of its own names.");
  ApplyHeaderPolicy(answer, handling.content);
  answer.pair = std::move(handling.pair);
  return answer;
}

ServiceAnswer Service::Impl::Route(const ServiceRequest& request, Handling& handling) {
  // HEAD is answered as GET; the front sends the header alone.
  const bool get = request.method == "GET" || request.method == "HEAD";
  const std::string& path = request.path;
  if (path == kTranslatePath) {
    return request.method == "POST"
               ? TranslateText(request, handling)
               : Error(405, "Method not allowed",
                       "Texts are sent to " + std::string(kTranslatePath) + " with POST.");
  }
  if (get && path == kPageTranslatePath) return TranslatePage(request, handling);
  if (get && path == "/") {
    return Page(200, ProviderHomePage(engines.Pairs(), engines.Resident()));
  }
  if (get && path == kLanguageToolsPath) return Page(200, FaqPage(engines.Pairs()));
  // The home page also without its closing slash.
  if (get && (path == kHomePagePath || path + '/' == kHomePagePath)) {
    return Page(200, VendorHomePage());
  }
  if (get && path.starts_with(kUpdatesPath) && path.size() > kUpdatesPath.size() &&
      path.find('/', kUpdatesPath.size()) == std::string::npos) {
    const auto page = UpdatePage(path.substr(kUpdatesPath.size()));
    return page ? Page(200, *page) : Error(404, "Not found", "There is no such update page.");
  }
  return Error(404, "Not found", "This service has no page at this address.");
}

namespace {

// The answer to a request the front refused before it reached the service.
ServiceAnswer Refusal(int status, std::size_t maxBodyBytes) {
  ServiceAnswer answer;
  switch (status) {
    case 413:
      answer = Error(
          413, "Request too large",
          "The request body is larger than " + SizeText(maxBodyBytes) + "; send a shorter text.");
      break;
    case 500:
      answer = Error(500, "Internal error", "The service failed on this request.");
      break;
    case 503:
      answer = Error(503, "Service busy",
                     "The service has more requests waiting than it takes (or is stopping); "
                     "please try again in a moment.");
      break;
    default:
      answer = Error(status, "Bad request", "The request could not be understood.");
      break;
  }
  ApplyHeaderPolicy(answer, AnswerContent::ServicePage);
  return answer;
}

}  // namespace

Service::Service(ServiceOptions options, int boundPort)
    : impl_(std::make_unique<Impl>(std::move(options), boundPort)) {}

Service::~Service() = default;

FrontHandlers Service::Handlers() {
  Impl& impl = *impl_;
  const std::size_t maxBodyBytes = impl.options.front.maxBodyBytes;
  // A page translation waits on the page's server: it takes the fetch lane, so that
  // slow pages cannot hold every worker from the text translations.
  const auto lane = [](const ServiceRequest& request) {
    const bool get = request.method == "GET" || request.method == "HEAD";
    return get && request.path == kPageTranslatePath ? Lane::Fetch : Lane::Quick;
  };
  return FrontHandlers{[&impl](const ServiceRequest& request) { return impl.Answer(request); },
                       [maxBodyBytes](int status) { return Refusal(status, maxBodyBytes); }, lane};
}

}  // namespace parlumo::service
