#include "ApertiumStream.h"

#include <charconv>

namespace parlumo::service {

namespace {

// The stream format's own characters, and the engines' word marks.
constexpr std::string_view kReserved = "\\[]^$/@<>{}*#~";
// Marks an engine puts before a word it could not analyse, generate or translate.
constexpr std::string_view kWordMarks = "*#@";

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n';
}

// The length of an escaped tag ("\<prn\>") at the start of text, or 0. The text
// never holds "<" outside its superblanks, so a tag in an answer is the engine's
// own: a word whose translation is empty leaves its tags behind.
std::size_t EngineTagLength(std::string_view text) {
  if (!text.starts_with("\\<")) return 0;
  const auto close = text.find("\\>", 2);
  if (close == std::string_view::npos) return 0;
  const std::string_view name = text.substr(2, close - 2);
  if (name.empty()) return 0;
  for (const char c : name) {
    const bool nameChar = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '_' || c == '-';
    if (!nameChar) return 0;
  }
  return close + 2;
}

}  // namespace

bool HeldFromEngine(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte < 0x20) return c != '\t' && c != '\n';
  return byte == 0x7F || kReserved.find(c) != std::string_view::npos;
}

StreamSegment ToApertiumStream(std::string_view text) {
  StreamSegment segment;
  segment.input.reserve(text.size() + 8);
  std::string piece;
  bool lastHeld = false;  // nothing has been sent since the last held-back run
  const auto hold = [&](std::string_view run) {
    if (lastHeld) {
      segment.held.back().append(run);
      return;
    }
    segment.input += '[';
    segment.input += std::to_string(segment.held.size());
    segment.input += ']';
    segment.held.emplace_back(run);
    segment.pieces.push_back(std::move(piece));
    piece.clear();
    lastHeld = true;
  };
  const auto send = [&](char c) {
    segment.input += c;
    piece += c;
    lastHeld = false;
  };
  std::size_t i = 0;
  while (i < text.size()) {
    if (IsBlank(text[i])) {
      send(text[i++]);
      continue;
    }
    std::size_t end = i;
    while (end < text.size() && !IsBlank(text[end]))
      ++end;
    const std::string_view word = text.substr(i, end - i);
    if (word.size() > kMaxEngineWordBytes) {
      hold(word);
    } else {
      for (std::size_t k = 0; k < word.size();) {
        if (!HeldFromEngine(word[k])) {
          send(word[k++]);
          continue;
        }
        std::size_t runEnd = k;
        while (runEnd < word.size() && HeldFromEngine(word[runEnd]))
          ++runEnd;
        hold(word.substr(k, runEnd - k));
        k = runEnd;
      }
    }
    i = end;
  }
  segment.pieces.push_back(std::move(piece));
  return segment;
}

std::vector<std::string_view> SplitEngineInput(std::string_view input, std::size_t maxBytes) {
  std::vector<std::string_view> parts;
  while (input.size() > maxBytes) {
    const std::string_view window = input.substr(0, maxBytes);
    // The end of the part: after the last blank that follows a sentence's end, else
    // after the last blank, else after the first blank beyond the window.
    std::size_t end = std::string_view::npos;
    for (std::size_t i = window.size(); i-- > 1;) {
      if (IsBlank(window[i]) && (window[i - 1] == '.' || window[i - 1] == '!' ||
                                 window[i - 1] == '?' || window[i - 1] == ';')) {
        end = i + 1;
        break;
      }
    }
    if (end == std::string_view::npos) {
      for (std::size_t i = window.size(); i-- > 0;) {
        if (IsBlank(window[i])) {
          end = i + 1;
          break;
        }
      }
    }
    if (end == std::string_view::npos) {
      for (std::size_t i = window.size(); i < input.size(); ++i) {
        if (IsBlank(input[i])) {
          end = i + 1;
          break;
        }
      }
    }
    if (end == std::string_view::npos || end >= input.size()) break;
    parts.push_back(input.substr(0, end));
    input.remove_prefix(end);
  }
  parts.push_back(input);
  return parts;
}

std::optional<std::string> FromApertiumStream(std::string_view output,
                                              const std::vector<std::string>& held) {
  std::string out;
  out.reserve(output.size());
  std::size_t next = 0;  // the number the next superblank must carry
  for (std::size_t i = 0; i < output.size(); ++i) {
    const char c = output[i];
    if (const std::size_t tag = EngineTagLength(output.substr(i)); tag > 0) {
      i += tag - 1;
    } else if (c == '\\' && i + 1 < output.size()) {
      out += output[++i];
    } else if (c == '[') {
      const auto close = output.find(']', i + 1);
      if (close == std::string_view::npos) return std::nullopt;
      std::size_t number = 0;
      const char* first = output.data() + i + 1;
      const char* last = output.data() + close;
      const auto [end, ec] = std::from_chars(first, last, number);
      if (ec != std::errc() || end != last || first == last || number != next ||
          next >= held.size()) {
        return std::nullopt;
      }
      out += held[next++];
      i = close;
    } else if (c == ']') {
      return std::nullopt;
    } else if (kWordMarks.find(c) == std::string_view::npos) {
      out += c;
    }
  }
  if (next != held.size()) return std::nullopt;
  return out;
}

}  // namespace parlumo::service
