#include "runtime/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <sstream>

#include "runtime/Ascii.h"
#include "runtime/ReplaceFile.h"

namespace parlumo {

namespace {

// A stray carriage return (a file cut after "\r") counts as a blank, too.
constexpr std::string_view kBlanks = " \t\v\f\r";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view s) {
  const auto first = s.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(kBlanks);
  return s.substr(first, last - first + 1);
}

std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

bool IsBlank(char c) {
  return kBlanks.find(c) != std::string_view::npos;
}

// A value that reading would change (outer blanks, outer quotes) is written in
// quotes, which reading takes off again: what is written is what is read.
std::string QuoteIfNeeded(std::string_view value) {
  if (value.empty()) return {};
  const bool outerBlank = IsBlank(value.front()) || IsBlank(value.back());
  const bool outerQuotes = value.size() >= 2 && value.front() == '"' && value.back() == '"';
  if (!outerBlank && !outerQuotes) return std::string(value);
  std::string quoted;
  quoted.reserve(value.size() + 2);
  quoted += '"';
  quoted += value;
  quoted += '"';
  return quoted;
}

bool HasLineBreakOrNul(std::string_view s) {
  return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

}  // namespace

EIniFileException::EIniFileException(const std::filesystem::path& fileName, std::string reason)
    : std::runtime_error("In " + fileName.string() + " kann nicht geschrieben werden"),
      reason_(std::move(reason)) {}

// ---------------------------------------------------------------------------
// TIniDocument

TIniDocument::TIniDocument(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size()) {
    const auto nl = text.find('\n', pos);
    const size_t next = nl == std::string_view::npos ? text.size() : nl + 1;
    size_t end = nl == std::string_view::npos ? text.size() : nl;
    if (nl != std::string_view::npos && end > pos && text[end - 1] == '\r') --end;
    const std::string_view line = text.substr(pos, end - pos);
    const Kind kind = ParseLine(line, pos == 0).kind;
    if (kind != Kind::Other) {
      pieces_.push_back(Piece{kind, static_cast<unsigned char>(next - end), 0,
                              std::string(text.substr(pos, next - pos))});
    } else {
      if (pieces_.empty() || pieces_.back().kind != Kind::Other) pieces_.emplace_back();
      Piece& run = pieces_.back();
      run.text += text.substr(pos, next - pos);
      if (!Trim(line).empty()) run.filled = run.text.size();
    }
    pos = next;
  }
}

TIniDocument::Parsed TIniDocument::ParseLine(std::string_view text, bool first) {
  if (first && text.starts_with(kUtf8Bom)) text.remove_prefix(kUtf8Bom.size());
  const auto trimmed = Trim(text);
  Parsed parsed;
  if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#') return parsed;
  if (trimmed.front() == '[') {
    auto name = trimmed.substr(1);
    const auto close = name.find(']');
    if (close != std::string_view::npos) name = name.substr(0, close);
    parsed.kind = Kind::Section;
    parsed.name = Trim(name);
    return parsed;
  }
  const auto eq = trimmed.find('=');
  if (eq == std::string_view::npos) return parsed;
  parsed.kind = Kind::Key;
  parsed.name = Trim(trimmed.substr(0, eq));
  parsed.value = Trim(trimmed.substr(eq + 1));
  return parsed;
}

TIniDocument::Parsed TIniDocument::ParsePiece(size_t index) const {
  const Piece& piece = pieces_[index];
  return ParseLine(std::string_view(piece.text).substr(0, piece.text.size() - piece.eolSize),
                   index == 0);
}

std::optional<std::string> TIniDocument::Get(std::string_view section, std::string_view key) const {
  section = Trim(section);
  key = Trim(key);
  bool inSection = false;
  for (size_t i = 0; i < pieces_.size(); ++i) {
    const Kind kind = pieces_[i].kind;
    if (kind == Kind::Section) {
      // Only the first section of a name counts, as with the system's own reader.
      if (inSection) return std::nullopt;
      inSection = EqualsNoCase(ParsePiece(i).name, section);
    } else if (inSection && kind == Kind::Key) {
      const Parsed parsed = ParsePiece(i);
      if (EqualsNoCase(parsed.name, key)) return std::string(Unquote(parsed.value));
    }
  }
  return std::nullopt;
}

std::string_view TIniDocument::NewLineEnding() const {
  for (const Piece& piece : pieces_) {
    if (piece.kind != Kind::Other) {
      if (piece.eolSize > 0)
        return std::string_view(piece.text).substr(piece.text.size() - piece.eolSize);
      continue;
    }
    const auto nl = piece.text.find('\n');
    if (nl == std::string::npos) continue;
    return nl > 0 && piece.text[nl - 1] == '\r' ? "\r\n" : "\n";
  }
  return "\n";
}

void TIniDocument::TerminateLast(std::string_view eol) {
  if (pieces_.empty()) return;
  Piece& last = pieces_.back();
  if (last.kind != Kind::Other) {
    if (last.eolSize > 0) return;
    // A stray carriage return (a file cut after "\r") and a new "\n" make a
    // "\r\n" line ending, as the file reads back.
    const bool strayReturn = eol == "\n" && last.text.ends_with('\r');
    last.text += eol;
    last.eolSize = static_cast<unsigned char>(strayReturn ? 2 : eol.size());
    return;
  }
  if (last.text.ends_with('\n')) return;
  // A last line that is not blank now ends after its line ending.
  const bool lastFilled = last.filled == last.text.size();
  last.text += eol;
  if (lastFilled) last.filled = last.text.size();
}

void TIniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  section = Trim(section);
  key = Trim(key);
  if (section.empty() || key.empty() || HasLineBreakOrNul(section) || HasLineBreakOrNul(key) ||
      !CanHoldValue(value) || section.find(']') != std::string_view::npos ||
      key.find('=') != std::string_view::npos || key.front() == '[' || key.front() == ';' ||
      key.front() == '#') {
    throw std::invalid_argument("name or value cannot be stored in an INI file");
  }
  const std::string newText = std::string(key) + "=" + QuoteIfNeeded(value);
  const std::string eol(NewLineEnding());
  auto linePiece = [&eol](Kind kind, const std::string& line) {
    return Piece{kind, static_cast<unsigned char>(eol.size()), 0, line + eol};
  };

  // Find the first section of that name and, inside it, the key or the place
  // after its last line that is not blank: after a piece, or inside a run.
  std::optional<size_t> sectionAt;
  size_t after = 0;
  // Where a run splits, or kNoSplit after a piece. (A plain number, not an optional:
  // GCC's -O3 warns that the optional's value may be read uninitialized.)
  constexpr size_t kNoSplit = static_cast<size_t>(-1);
  size_t splitAt = kNoSplit;
  for (size_t i = 0; i < pieces_.size(); ++i) {
    Piece& piece = pieces_[i];
    if (piece.kind == Kind::Section) {
      if (sectionAt) break;
      if (EqualsNoCase(ParsePiece(i).name, section)) {
        sectionAt = i;
        after = i;
      }
      continue;
    }
    if (!sectionAt) continue;
    if (piece.kind == Kind::Key) {
      if (EqualsNoCase(ParsePiece(i).name, key)) {
        piece.text.replace(0, piece.text.size() - piece.eolSize, newText);
        return;
      }
      after = i;
      splitAt = kNoSplit;
    } else if (piece.filled > 0) {
      after = i;
      splitAt = piece.filled;
    }
  }

  if (sectionAt) {
    const auto at = static_cast<std::ptrdiff_t>(after + 1);
    if (after + 1 == pieces_.size() &&
        (splitAt == kNoSplit || splitAt == pieces_[after].text.size())) {
      // At the very end of the file.
      TerminateLast(eol);
      pieces_.push_back(linePiece(Kind::Key, newText));
      return;
    }
    if (splitAt != kNoSplit && splitAt < pieces_[after].text.size()) {
      // Inside a run: its blank lines after the place go after the new line.
      Piece rest;
      rest.text = pieces_[after].text.substr(splitAt);
      pieces_[after].text.resize(splitAt);
      pieces_.insert(pieces_.begin() + at, std::move(rest));
    }
    pieces_.insert(pieces_.begin() + at, linePiece(Kind::Key, newText));
    return;
  }
  const bool lastBlank = !pieces_.empty() && pieces_.back().kind == Kind::Other &&
                         pieces_.back().filled != pieces_.back().text.size();
  TerminateLast(eol);
  if (!pieces_.empty() && !lastBlank) {
    if (pieces_.back().kind != Kind::Other) pieces_.emplace_back();
    pieces_.back().text += eol;
  }
  pieces_.push_back(linePiece(Kind::Section, "[" + std::string(section) + "]"));
  pieces_.push_back(linePiece(Kind::Key, newText));
}

bool TIniDocument::CanHoldValue(std::string_view value) {
  return !HasLineBreakOrNul(value);
}

std::string TIniDocument::Text() const {
  size_t size = 0;
  for (const Piece& piece : pieces_) {
    size += piece.text.size();
  }
  std::string text;
  text.reserve(size);
  for (const Piece& piece : pieces_) {
    text += piece.text;
  }
  return text;
}

// ---------------------------------------------------------------------------
// TIniFile

std::optional<int> ParseIniInteger(std::string_view text) {
  text = Trim(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.starts_with('$')) {
    base = 16;
    text.remove_prefix(1);
  } else if (text.starts_with("0x") || text.starts_with("0X")) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return std::nullopt;
  long long magnitude = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
  if (ec != std::errc() || end != text.data() + text.size() || magnitude < 0) return std::nullopt;
  const long long value = negative ? -magnitude : magnitude;
  if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()) {
    return std::nullopt;
  }
  return static_cast<int>(value);
}

TIniFile::TIniFile(std::filesystem::path fileName) : fileName_(std::move(fileName)) {}

std::optional<TIniDocument> TIniFile::Load() const {
  std::error_code ec;
  const auto status = std::filesystem::status(fileName_, ec);
  if (status.type() == std::filesystem::file_type::not_found) return TIniDocument();
  if (ec || status.type() != std::filesystem::file_type::regular) return std::nullopt;
  std::ifstream in(fileName_, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return TIniDocument(text.str());
}

void TIniFile::Store(const TIniDocument& document) const {
  namespace fs = std::filesystem;
  std::error_code ec;
  // Write through a symbolic link to the file it names instead of replacing the link.
  fs::path target = fileName_;
  if (fs::is_symlink(fileName_, ec)) {
    target = fs::weakly_canonical(fileName_, ec);
    if (ec) throw EIniFileException(fileName_, "cannot resolve link: " + ec.message());
  }
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  fs::create_directories(folder, ec);
  if (ec) throw EIniFileException(fileName_, "cannot create folder: " + ec.message());

  mode_t mode = S_IRUSR | S_IWUSR;
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0) mode = st.st_mode & 07777;

  if (const auto error = ReplaceFile(target, document.Text(), mode))
    throw EIniFileException(fileName_, *error);
}

std::optional<std::string> TIniFile::Lookup(std::string_view section, std::string_view key) const {
  if (sessions_ == 0) {
    const auto document = Load();
    return document ? document->Get(section, key) : std::nullopt;
  }
  if (!held_) held_ = Load();
  return *held_ ? (*held_)->Get(section, key) : std::nullopt;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view def) const {
  auto value = Lookup(section, key);
  return value ? std::move(*value) : std::string(def);
}

int TIniFile::ReadInteger(std::string_view section, std::string_view key, int def) const {
  const auto value = Lookup(section, key);
  if (!value) return def;
  return ParseIniInteger(*value).value_or(def);
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  Batch batch(*this);
  batch.WriteString(section, key, value);
  batch.Commit();
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
  WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

TIniFile::ReadSession::ReadSession(const TIniFile& file) : file_(file) {
  ++file_.sessions_;
}

TIniFile::ReadSession::~ReadSession() {
  if (--file_.sessions_ == 0) file_.held_.reset();
}

TIniFile::Batch::Batch(TIniFile& file) : file_(file) {}

void TIniFile::Batch::WriteString(std::string_view section, std::string_view key,
                                  std::string_view value) {
  writes_.push_back({std::string(section), std::string(key), std::string(value)});
}

void TIniFile::Batch::WriteInteger(std::string_view section, std::string_view key, int value) {
  WriteString(section, key, std::to_string(value));
}

void TIniFile::Batch::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void TIniFile::Batch::Commit() {
  if (writes_.empty()) return;
  // A file that exists but cannot be read is not rewritten: that would throw
  // away every setting in it.
  auto document = file_.Load();
  if (!document) throw EIniFileException(file_.fileName_, "the existing file cannot be read");
  try {
    for (const Write& write : writes_) {
      document->Set(write.section, write.key, write.value);
    }
  } catch (const std::invalid_argument& e) {
    throw EIniFileException(file_.fileName_, e.what());
  }
  file_.Store(*document);
  writes_.clear();
  // The reads of an open session see the file as it now is.
  if (file_.sessions_ > 0) file_.held_ = std::move(document);
}

}  // namespace parlumo
