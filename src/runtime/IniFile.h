#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace parlumo {

// A failed write of the settings file. The text is German in every interface
// language: it is the one the settings code has always shown for this case.
class EIniFileException : public std::runtime_error {
 public:
  EIniFileException(const std::filesystem::path& fileName, std::string reason);

  // What went wrong underneath (for logs and tests); what() is the user's text.
  const std::string& Reason() const { return reason_; }

 private:
  std::string reason_;
};

// The text of an INI file held in memory, with the lookup rules of Windows
// profile files: sections and keys match without regard to ASCII letter case,
// blanks around names and values do not count, and a value wrapped in double
// quotes loses them. The first matching section and key win. Setting a value
// changes exactly one line (or adds one, or a section header and one), so
// comments, order, blank lines, unknown keys and line endings stay as they were.
//
// The text is split into its section and key lines once, when the document is
// made; the other lines between them (blank lines, comments, anything else) are
// kept as one piece each, however many there are, and lookups and changes go
// over the section and key lines only.
class TIniDocument {
 public:
  TIniDocument() = default;
  explicit TIniDocument(std::string_view text);

  std::optional<std::string> Get(std::string_view section, std::string_view key) const;

  // Sets key=value in section. Throws std::invalid_argument for a name or value
  // that the file format cannot hold (line breaks, NUL, "=" in a key, "]" in a
  // section, an empty name): storing it would corrupt or inject other keys.
  void Set(std::string_view section, std::string_view key, std::string_view value);

  // Whether Set takes value as a value: any bytes but line breaks and NUL.
  static bool CanHoldValue(std::string_view value);

  std::string Text() const;

 private:
  enum class Kind : unsigned char { Other, Section, Key };
  struct Parsed {
    Kind kind = Kind::Other;
    std::string_view name;   // section or key name, trimmed
    std::string_view value;  // key value, trimmed, quotes not yet removed
  };
  // A section or key line, or a run of the other lines between them; its text
  // is as in the file, with the line endings (the file's last line may have none).
  struct Piece {
    Kind kind = Kind::Other;
    // Of a section or key line: the length of its line ending (0 to 2).
    unsigned char eolSize = 0;
    // Of a run: where its last line that is not blank ends, line ending
    // included; 0 when every line of it is blank.
    std::size_t filled = 0;
    std::string text;
  };

  static Parsed ParseLine(std::string_view text, bool first);
  // The section or key line pieces_[index] holds.
  Parsed ParsePiece(std::size_t index) const;
  std::string_view NewLineEnding() const;
  // Gives the file's last line a line ending when it has none.
  void TerminateLast(std::string_view eol);

  std::vector<Piece> pieces_;
};

// The program's settings file. Every read looks at the file as it is on disk now
// (a missing or unreadable file or key gives the default), unless a ReadSession
// holds one reading of it; every write changes the file at once and atomically:
// the new text goes to a temporary file in the same folder, which then replaces
// the old one, so a crash leaves either the old or the new file, never half of
// one. The first write creates the file (and its folder), readable by the user
// only, since it holds the proxy password.
class TIniFile {
 public:
  explicit TIniFile(std::filesystem::path fileName);
  // A session refers to the object: it stays where it is.
  TIniFile(const TIniFile&) = delete;
  TIniFile& operator=(const TIniFile&) = delete;

  const std::filesystem::path& FileName() const { return fileName_; }

  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view def) const;
  // Decimal, optionally signed, or hexadecimal with "$" or "0x"; anything else,
  // or a number outside int, gives the default.
  int ReadInteger(std::string_view section, std::string_view key, int def) const;
  // True for any integer other than 0; a value that is no integer gives def.
  bool ReadBool(std::string_view section, std::string_view key, bool def) const;

  // These throw EIniFileException when the file cannot be written; the file is
  // then unchanged.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int value);
  void WriteBool(std::string_view section, std::string_view key, bool value);

  // Holds one reading of the file while it lives, so that a load of many
  // settings reads and parses the file once: every read of the TIniFile in that
  // time is answered from the reading, made at the first of them. What others
  // write to the file meanwhile (other programs, or another TIniFile object on
  // the same file) is not seen until the session ends, with one exception: a
  // write through this TIniFile reaches the file at once by reading it anew,
  // and that reading, with the write made, becomes the session's, so the reads
  // after it see the write and also whatever others had written by then.
  // Sessions nest; the outermost one holds the reading.
  class ReadSession {
   public:
    explicit ReadSession(const TIniFile& file);
    ~ReadSession();
    ReadSession(const ReadSession&) = delete;
    ReadSession& operator=(const ReadSession&) = delete;

   private:
    const TIniFile& file_;
  };

  // The writes of one save, made to the file together: Commit reads the file as
  // it is then, makes the writes on it in their order and writes it once, so
  // the file ends as the same writes made one by one would leave it. Nothing
  // reaches the file before Commit, and nothing without it: a save that an
  // exception ends halfway changes nothing.
  class Batch {
   public:
    explicit Batch(TIniFile& file);
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int value);
    void WriteBool(std::string_view section, std::string_view key, bool value);

    // Throws EIniFileException when the file cannot be written, or a write
    // holds what the file cannot (see TIniDocument::Set); the file is then
    // unchanged and the writes stay in the batch. Nothing to write: the file is
    // neither read nor written.
    void Commit();

   private:
    struct Write {
      std::string section;
      std::string key;
      std::string value;
    };
    TIniFile& file_;
    std::vector<Write> writes_;
  };

 private:
  // The file's text; an empty document when there is no file, nullopt when
  // there is one that cannot be read.
  std::optional<TIniDocument> Load() const;
  void Store(const TIniDocument& document) const;
  std::optional<std::string> Lookup(std::string_view section, std::string_view key) const;

  std::filesystem::path fileName_;
  // The sessions open on the file, and the reading the outermost one holds once
  // it is made (its document is nullopt for a file that cannot be read).
  mutable int sessions_ = 0;
  mutable std::optional<std::optional<TIniDocument>> held_;
};

// Parses an integer the way settings values are read; nullopt when it is none.
std::optional<int> ParseIniInteger(std::string_view text);

}  // namespace parlumo
