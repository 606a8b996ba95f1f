#include "PageTranslation.h"

#include <gumbo.h>

#include <algorithm>
#include <vector>

#include "FormData.h"
#include "runtime/Ascii.h"
#include "translate/HtmlText.h"

namespace parlumo::service {

namespace {

bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The lower-case name of the tag starting at html[lt] ("<name" or "</name").
std::string TagName(std::string_view html, std::size_t lt) {
  std::size_t i = lt + 1;
  if (i < html.size() && html[i] == '/') ++i;
  std::string name;
  while (i < html.size() && (IsLetter(html[i]) || (html[i] >= '0' && html[i] <= '9'))) {
    name += AsciiLower(html[i]);
    ++i;
  }
  return name;
}

// End of the tag starting at lt (one past its ">", quoted attribute values skipped),
// or npos when it does not end before limit.
std::size_t TagEnd(std::string_view html, std::size_t lt, std::size_t limit) {
  char quote = 0;
  for (std::size_t i = lt + 1; i < limit; ++i) {
    const char c = html[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '>') {
      return i + 1;
    }
  }
  return std::string_view::npos;
}

// Whether the "<" at html[i] starts markup (a tag, an end tag, a comment, a doctype or
// a processing instruction) rather than being text.
bool OpensTag(std::string_view html, std::size_t i, std::size_t limit) {
  if (i + 1 >= limit) return false;
  const char next = html[i + 1];
  return IsLetter(next) || next == '!' || next == '?' || next == '/';
}

// Where the markup that starts at html[lt] ends, or npos when it does not end before
// limit.
std::size_t MarkupEnd(std::string_view html, std::size_t lt, std::size_t limit) {
  if (html.substr(lt, 4) == "<!--") {
    const auto close = html.substr(0, limit).find("-->", lt + 4);
    return close == std::string_view::npos ? close : close + 3;
  }
  return TagEnd(html, lt, limit);
}

// Elements with no content, and elements whose start tag closes an open one of their
// own kind: neither makes the tree deeper.
bool NestsNothing(std::string_view name) {
  static constexpr std::string_view kNames[] = {
      "area",  "base",  "basefont", "bgsound",  "br",   "col",    "embed", "frame",  "hr",
      "image", "img",   "input",    "keygen",   "link", "meta",   "param", "source", "track",
      "wbr",   "p",     "li",       "dt",       "dd",   "option", "tr",    "td",     "th",
      "tbody", "thead", "tfoot",    "colgroup", "html", "head",   "body"};
  return std::find(std::begin(kNames), std::end(kNames), name) != std::end(kNames);
}

// Elements that an end tag of an element they are inside closes as well.
bool ClosesWithItsParent(std::string_view name) {
  static constexpr std::string_view kNames[] = {
      "a",     "abbr", "b",      "bdi",    "bdo", "big",   "cite", "code", "data", "del", "dfn",
      "em",    "font", "i",      "ins",    "kbd", "label", "mark", "nobr", "q",    "s",   "samp",
      "small", "span", "strike", "strong", "sub", "sup",   "time", "tt",   "u",    "var"};
  return std::find(std::begin(kNames), std::end(kNames), name) != std::end(kNames);
}

// Elements whose content is text up to their end tag.
bool HoldsRawText(std::string_view name) {
  return name == "script" || name == "style" || name == "textarea" || name == "title" ||
         name == "xmp" || name == "iframe" || name == "noembed" || name == "noframes";
}

// Elements whose text is not for translation (with everything inside them): code,
// program input and output, variables, preformatted text, scripts and styles, and
// what the user types.
bool KeepsItsText(GumboTag tag) {
  switch (tag) {
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_CODE:
    case GUMBO_TAG_PRE:
    case GUMBO_TAG_LISTING:
    case GUMBO_TAG_XMP:
    case GUMBO_TAG_PLAINTEXT:
    case GUMBO_TAG_KBD:
    case GUMBO_TAG_SAMP:
    case GUMBO_TAG_TT:
    case GUMBO_TAG_VAR:
    case GUMBO_TAG_TEXTAREA:
      return true;
    default:
      return false;
  }
}

bool HasClass(const GumboVector& attributes, std::string_view wanted) {
  const GumboAttribute* classes = gumbo_get_attribute(&attributes, "class");
  if (classes == nullptr) return false;
  const std::string_view value(classes->value);
  std::size_t i = 0;
  while (i < value.size()) {
    while (i < value.size() && IsAsciiSpace(value[i]))
      ++i;
    std::size_t end = i;
    while (end < value.size() && !IsAsciiSpace(value[end]))
      ++end;
    if (value.substr(i, end - i) == wanted) return true;
    i = end;
  }
  return false;
}

// The gumbo tree of a page; the page's bytes must outlive it.
class ParsedPage {
 public:
  explicit ParsedPage(std::string_view html) {
    // Parse errors are of no use here, and a broken page would collect many.
    options_.max_errors = 0;
    static constexpr char kEmpty[] = "";
    output_ = gumbo_parse_with_options(&options_, html.empty() ? kEmpty : html.data(), html.size());
  }
  ~ParsedPage() { gumbo_destroy_output(&options_, output_); }
  ParsedPage(const ParsedPage&) = delete;
  ParsedPage& operator=(const ParsedPage&) = delete;

  const GumboNode* Document() const { return output_->document; }

 private:
  GumboOptions options_ = kGumboDefaultOptions;
  GumboOutput* output_ = nullptr;
};

constexpr std::size_t kNoPosition = std::string_view::npos;

// A node's bytes in the page, when it has any there: elements and text the parser
// implied or made up have none.
struct Span {
  std::size_t begin = kNoPosition;
  std::size_t end = kNoPosition;
};

Span SpanIn(std::string_view html, const GumboStringPiece& piece) {
  if (piece.data == nullptr || piece.length == 0 || piece.data < html.data() ||
      piece.length > html.size() ||
      static_cast<std::size_t>(piece.data - html.data()) > html.size() - piece.length) {
    return {};
  }
  const auto begin = static_cast<std::size_t>(piece.data - html.data());
  return {begin, begin + piece.length};
}

const GumboVector* ChildrenOf(const GumboNode* node) {
  switch (node->type) {
    case GUMBO_NODE_DOCUMENT:
      return &node->v.document.children;
    case GUMBO_NODE_ELEMENT:
    case GUMBO_NODE_TEMPLATE:
      return &node->v.element.children;
    default:
      return nullptr;
  }
}

// The first byte of the page that belongs to node or to something inside it, or
// kNoPosition.
std::size_t FirstByteOf(std::string_view html, const GumboNode* node) {
  std::size_t first = kNoPosition;
  std::vector<const GumboNode*> pending{node};
  while (!pending.empty()) {
    const GumboNode* n = pending.back();
    pending.pop_back();
    const GumboVector* children = ChildrenOf(n);
    const Span span =
        children != nullptr
            ? (n->type == GUMBO_NODE_DOCUMENT ? Span{} : SpanIn(html, n->v.element.original_tag))
            : SpanIn(html, n->v.text.original_text);
    first = std::min(first, span.begin);
    if (children == nullptr) continue;
    for (unsigned i = 0; i < children->length; ++i)
      pending.push_back(static_cast<const GumboNode*>(children->data[i]));
  }
  return first;
}

struct TextRun {
  std::size_t begin;
  std::size_t end;
  std::string text;  // what a reader sees in it, character references decoded
};

// The runs of text within a text node's bytes. A parser leaves markup it ignores (a
// stray end tag, say) inside the text around it: the runs stop at markup and leave it
// as it is. A run that is the whole node takes the parser's own decoding of it.
void AddRuns(std::string_view html, Span span, const char* decoded, std::vector<TextRun>& runs) {
  std::size_t start = span.begin;
  std::size_t i = span.begin;
  bool whole = true;
  const auto endRun = [&](std::size_t at) {
    if (at > start) {
      runs.push_back({start, at, HtmlToText(html.substr(start, at - start))});
    }
  };
  while (i < span.end) {
    if (html[i] != '<' || !OpensTag(html, i, span.end)) {
      ++i;
      continue;
    }
    whole = false;
    endRun(i);
    const auto end = MarkupEnd(html, i, span.end);
    // Markup that runs on past the node: the rest of the node is not text either.
    if (end == std::string_view::npos) return;
    start = i = end;
  }
  if (whole) {
    runs.push_back({span.begin, span.end, decoded});
  } else {
    endRun(span.end);
  }
}

std::string CollapseSpace(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (IsAsciiSpace(c)) {
      if (!out.empty() && out.back() != ' ') out += ' ';
    } else {
      out += c;
    }
  }
  while (!out.empty() && out.back() == ' ')
    out.pop_back();
  return out;
}

// What the tree says about a page: its text to translate and where the base and the
// banner go.
struct PageLayout {
  std::vector<TextRun> runs;  // in page order, none overlapping
  bool hasBase = false;       // a base element with an address
  std::size_t baseAt = kNoPosition;
  std::size_t bannerAt = kNoPosition;  // kNoPosition: no body (a frameset page)
};

PageLayout LayOut(std::string_view html, const GumboNode* document) {
  PageLayout layout;
  const GumboNode* root = nullptr;  // the html element
  const GumboNode* head = nullptr;
  const GumboNode* body = nullptr;

  // Whether text is translated, by the translate attributes (HTML's rule: an element
  // takes its parent's state unless it says "yes" or "no") and by what no attribute
  // turns back on (class notranslate, the elements that keep their text).
  struct Visit {
    const GumboNode* node;
    bool translate;
    bool kept;
  };
  std::vector<Visit> pending{{document, true, false}};
  while (!pending.empty()) {
    const Visit visit = pending.back();
    pending.pop_back();
    const GumboNode* node = visit.node;
    if (node->type == GUMBO_NODE_TEXT) {
      if (visit.translate && !visit.kept) {
        const Span span = SpanIn(html, node->v.text.original_text);
        if (span.begin != kNoPosition) AddRuns(html, span, node->v.text.text, layout.runs);
      }
      continue;
    }
    const GumboVector* children = ChildrenOf(node);
    if (children == nullptr) continue;  // comments, CDATA, white space
    Visit inside = visit;
    if (node->type != GUMBO_NODE_DOCUMENT) {
      const GumboElement& element = node->v.element;
      if (element.tag_namespace == GUMBO_NAMESPACE_HTML) {
        if (element.tag == GUMBO_TAG_HTML && root == nullptr) root = node;
        if (element.tag == GUMBO_TAG_HEAD && head == nullptr) head = node;
        if (element.tag == GUMBO_TAG_BODY && body == nullptr) body = node;
        // Only a base with an address sets the page's (one that names a target only
        // does not).
        if (element.tag == GUMBO_TAG_BASE &&
            gumbo_get_attribute(&element.attributes, "href") != nullptr) {
          layout.hasBase = true;
        }
      }
      if (const GumboAttribute* translate = gumbo_get_attribute(&element.attributes, "translate")) {
        const std::string_view value(translate->value);
        if (EqualsNoCase(value, "no")) inside.translate = false;
        if (EqualsNoCase(value, "yes") || value.empty()) inside.translate = true;
      }
      if (KeepsItsText(element.tag) || HasClass(element.attributes, "notranslate")) {
        inside.kept = true;
      }
    }
    // Children in reverse, so that they come off the stack in order.
    for (unsigned i = children->length; i-- > 0;) {
      pending.push_back(
          {static_cast<const GumboNode*>(children->data[i]), inside.translate, inside.kept});
    }
  }

  // Runs in page order; the parser may have moved text (out of a table, say), and a
  // run that shares bytes with an earlier one is left alone.
  std::stable_sort(layout.runs.begin(), layout.runs.end(),
                   [](const TextRun& a, const TextRun& b) { return a.begin < b.begin; });
  std::size_t kept = 0;
  for (std::size_t r = 0; r < layout.runs.size(); ++r) {
    if (kept > 0 && layout.runs[r].begin < layout.runs[kept - 1].end) continue;
    if (kept != r) layout.runs[kept] = std::move(layout.runs[r]);
    ++kept;
  }
  layout.runs.resize(kept);

  // The base goes right after the head's start tag, else before the first thing in
  // the head or after it (the body, a frameset); the banner right after the body's
  // start tag, else before the first thing in the body, else at the end.
  if (body != nullptr) {
    const Span tag = SpanIn(html, body->v.element.original_tag);
    layout.bannerAt =
        tag.end != kNoPosition ? tag.end : std::min(FirstByteOf(html, body), html.size());
  }
  const Span headTag = head != nullptr ? SpanIn(html, head->v.element.original_tag) : Span{};
  if (headTag.end != kNoPosition) {
    layout.baseAt = headTag.end;
  } else {
    std::size_t at = head != nullptr ? FirstByteOf(html, head) : kNoPosition;
    const GumboVector* parts = root != nullptr ? ChildrenOf(root) : nullptr;
    for (unsigned i = 0; parts != nullptr && i < parts->length; ++i) {
      const auto* part = static_cast<const GumboNode*>(parts->data[i]);
      if (part != head) at = std::min(at, FirstByteOf(html, part));
    }
    layout.baseAt = std::min(at, html.size());
  }
  return layout;
}

// Counts how deep the elements of a page can nest, from above: the parser's time grows
// with the square of the depth (and its clean-up recurses through it), so a page nested
// beyond any real one is not parsed at all. Unclosed elements of the same kind
// (paragraphs, list items, cells) and inline elements that an enclosing end tag closes
// are counted as the parser closes them.
std::size_t NestingDepthBound(std::string_view html, std::size_t limit) {
  std::vector<std::string> open;
  std::size_t deepest = 0;
  std::size_t i = 0;
  while (i < html.size() && deepest <= limit) {
    if (html[i] != '<' || !OpensTag(html, i, html.size())) {
      ++i;
      continue;
    }
    const auto end = MarkupEnd(html, i, html.size());
    if (end == std::string_view::npos) break;
    const bool closing = html[i + 1] == '/';
    const bool named = IsLetter(html[i + (closing ? 2 : 1)]);
    const std::string name = named ? TagName(html, i) : std::string();
    i = end;
    if (!named) continue;
    if (closing) {
      for (std::size_t k = open.size(); k-- > 0;) {
        if (open[k] == name) {
          open.resize(k);
          break;
        }
        if (!ClosesWithItsParent(open[k])) break;
      }
      continue;
    }
    if (name == "plaintext") break;
    if (!NestsNothing(name)) {
      open.push_back(name);
      deepest = std::max(deepest, open.size());
    }
    if (HoldsRawText(name)) {
      const auto close = FindNoCase(html, "</" + name, i);
      i = close == std::string_view::npos ? html.size() : close;
    }
  }
  return deepest;
}

}  // namespace

bool NestsTooDeeply(std::string_view html) {
  return NestingDepthBound(html, kMaxPageNesting) > kMaxPageNesting;
}

std::string DeclaredCharset(std::string_view contentType, std::string_view html) {
  const auto valueAfter = [](std::string_view text, std::size_t at) {
    std::size_t i = at;
    while (i < text.size() && (text[i] == '"' || text[i] == '\'' || text[i] == ' '))
      ++i;
    std::string value;
    while (i < text.size() && (IsLetter(text[i]) || (text[i] >= '0' && text[i] <= '9') ||
                               text[i] == '-' || text[i] == '_')) {
      value += text[i++];
    }
    return value;
  };
  auto at = FindNoCase(contentType, "charset=");
  if (at != std::string_view::npos) return valueAfter(contentType, at + 8);
  const std::string_view head = html.substr(0, 4096);
  at = FindNoCase(head, "charset=");
  if (at != std::string_view::npos) return valueAfter(head, at + 8);
  return {};
}

std::optional<std::string> TranslateHtmlPage(std::string_view html, std::string_view baseUrl,
                                             std::string_view bannerHtml, Translator& translator) {
  if (NestsTooDeeply(html)) return std::nullopt;
  PageLayout layout;
  {
    const ParsedPage parsed(html);
    layout = LayOut(html, parsed.Document());
  }
  const std::vector<TextRun>& runs = layout.runs;

  // The visible text of each run, white space collapsed.
  std::vector<std::string> segments;
  std::vector<std::size_t> runOfSegment;
  for (std::size_t r = 0; r < runs.size(); ++r) {
    std::string text = CollapseSpace(runs[r].text);
    if (text.empty()) continue;
    segments.push_back(std::move(text));
    runOfSegment.push_back(r);
  }
  auto translated = translator.Translate(segments);
  if (!translated || translated->size() != segments.size()) return std::nullopt;

  std::vector<std::string> replacement(runs.size());
  std::vector<bool> replaced(runs.size(), false);
  for (std::size_t s = 0; s < segments.size(); ++s) {
    const TextRun& run = runs[runOfSegment[s]];
    const std::string_view original = html.substr(run.begin, run.end - run.begin);
    const auto first = original.find_first_not_of(" \t\r\n\f");
    const auto last = original.find_last_not_of(" \t\r\n\f");
    if (first == std::string_view::npos) continue;  // white space has no segment
    replacement[runOfSegment[s]] = std::string(original.substr(0, first)) +
                                   HtmlEscape((*translated)[s]) +
                                   std::string(original.substr(last + 1));
    replaced[runOfSegment[s]] = true;
  }

  struct Insertion {
    std::size_t at;
    std::string text;
  };
  std::vector<Insertion> insertions;
  if (!layout.hasBase) {
    insertions.push_back({layout.baseAt, "<base href=\"" + HtmlEscape(baseUrl) + "\">"});
  }
  if (layout.bannerAt != kNoPosition)
    insertions.push_back({layout.bannerAt, std::string(bannerHtml)});
  std::stable_sort(insertions.begin(), insertions.end(),
                   [](const Insertion& a, const Insertion& b) { return a.at < b.at; });

  std::string out;
  out.reserve(html.size() + bannerHtml.size() + baseUrl.size() + 64);
  std::size_t copied = 0;
  const auto copyTo = [&](std::size_t at) {
    if (at > copied) out += html.substr(copied, at - copied);
    copied = std::max(copied, at);
  };
  std::size_t next = 0;  // the next insertion
  for (std::size_t r = 0; r <= runs.size(); ++r) {
    const std::size_t at = r < runs.size() ? runs[r].begin : html.size();
    // Insertions that fall before this run (or inside the one before it: after it).
    for (; next < insertions.size() && insertions[next].at <= at; ++next) {
      copyTo(insertions[next].at);
      out += insertions[next].text;
    }
    if (r == runs.size()) break;
    copyTo(runs[r].begin);
    if (replaced[r]) {
      out += replacement[r];
      copied = runs[r].end;
    }
  }
  copyTo(html.size());
  return out;
}

}  // namespace parlumo::service
