#include "FormData.h"

#include <array>
#include <cstdint>

#include "runtime/Ascii.h"
#include "runtime/Utf8.h"

namespace parlumo::service {

namespace {

// Windows-1252 bytes 0x80 to 0x9F; 0 where the code page leaves the byte undefined
// (those are taken as the C1 control of the same number, as browsers do).
constexpr std::array<std::uint16_t, 32> kWindows1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

std::uint32_t SingleByteToCodePoint(unsigned char byte, Charset charset) {
  if (charset == Charset::Windows1252 && byte >= 0x80 && byte <= 0x9F) {
    const std::uint16_t mapped = kWindows1252High[byte - 0x80];
    return mapped != 0 ? mapped : byte;
  }
  return byte;
}

}  // namespace

std::optional<std::string> PercentDecode(std::string_view value, bool plusIsSpace) {
  std::string out;
  out.reserve(value.size());
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (c == '+' && plusIsSpace) {
      out += ' ';
    } else if (c == '%') {
      if (i + 2 >= value.size()) return std::nullopt;
      const int hi = HexValue(value[i + 1]);
      const int lo = HexValue(value[i + 2]);
      if (hi < 0 || lo < 0) return std::nullopt;
      out += static_cast<char>(hi * 16 + lo);
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

std::optional<std::map<std::string, std::string>> ParseForm(std::string_view body) {
  std::map<std::string, std::string> fields;
  while (!body.empty()) {
    const std::size_t amp = body.find('&');
    const std::string_view piece = body.substr(0, amp);
    body = amp == std::string_view::npos ? std::string_view() : body.substr(amp + 1);
    if (piece.empty()) continue;
    const std::size_t eq = piece.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    auto key = PercentDecode(piece.substr(0, eq));
    auto value = PercentDecode(piece.substr(eq + 1));
    if (!key || !value) return std::nullopt;
    fields.emplace(std::move(*key), std::move(*value));
  }
  return fields;
}

std::optional<Charset> CharsetByName(std::string_view name) {
  if (name.empty()) return Charset::Utf8;
  for (std::string_view n : {"UTF-8", "UTF8", "ASCII", "US-ASCII"}) {
    if (EqualsNoCase(name, n)) return Charset::Utf8;
  }
  for (std::string_view n : {"ISO-8859-1", "ISO8859-1", "ISO_8859-1", "LATIN1"}) {
    if (EqualsNoCase(name, n)) return Charset::Latin1;
  }
  for (std::string_view n : {"WINDOWS-1252", "CP1252"}) {
    if (EqualsNoCase(name, n)) return Charset::Windows1252;
  }
  return std::nullopt;
}

std::string_view CharsetName(Charset charset) {
  switch (charset) {
    case Charset::Utf8:
      return "UTF-8";
    case Charset::Latin1:
      return "ISO-8859-1";
    case Charset::Windows1252:
      return "windows-1252";
  }
  return "UTF-8";
}

std::string ToUtf8(std::string_view text, Charset charset) {
  if (charset == Charset::Utf8 && IsValidUtf8(text)) return std::string(text);
  if (charset == Charset::Utf8) charset = Charset::Windows1252;
  std::string out;
  out.reserve(text.size() * 2);
  for (const char c : text) {
    AppendUtf8(out, SingleByteToCodePoint(static_cast<unsigned char>(c), charset));
  }
  return out;
}

std::string FromUtf8(std::string_view utf8, Charset charset, bool htmlReferences) {
  if (charset == Charset::Utf8) return std::string(utf8);
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    char32_t cp = 0;
    std::size_t length = DecodeUtf8(utf8, i, cp);
    if (length == 0) {
      cp = 0xFFFD;
      length = 1;
    }
    i += length;
    int byte = -1;
    if (cp < 0x80 || (cp <= 0xFF && charset == Charset::Latin1) || (cp >= 0xA0 && cp <= 0xFF)) {
      byte = static_cast<int>(cp);
    } else if (charset == Charset::Windows1252) {
      for (std::size_t k = 0; k < kWindows1252High.size(); ++k) {
        if (kWindows1252High[k] == cp) byte = static_cast<int>(0x80 + k);
      }
    }
    if (byte >= 0) {
      out += static_cast<char>(byte);
    } else if (htmlReferences) {
      out += "&#" + std::to_string(cp) + ";";
    } else {
      out += '?';
    }
  }
  return out;
}

std::string HtmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string SizeText(std::size_t bytes) {
  constexpr std::size_t kKiB = 1024;
  if (bytes != 0 && bytes % (kKiB * kKiB) == 0) return std::to_string(bytes / kKiB / kKiB) + " MiB";
  if (bytes != 0 && bytes % kKiB == 0) return std::to_string(bytes / kKiB) + " KiB";
  return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

}  // namespace parlumo::service
