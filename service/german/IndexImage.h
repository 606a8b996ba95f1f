#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <vector>

namespace parlumo::service {

// An index image: lookup tables laid out to be used in place, from a heap buffer or
// from a read-only mapping of a file. Lookups touch a few pages each (a bucket, a row,
// its texts), so a mapped image costs memory only for the words actually looked up.
//
// Layout (native byte order; a file written on another kind of machine is refused):
//   Header      magic, format version, byte order, file size, SHA-256 of the whole
//               file (taken with the digest field zeroed), the stamps of the files it
//               was built from, and one TableEntry per table
//   tables      each: its rows (fixed-size structs, 8-byte aligned), then its
//               buckets: a power-of-two array, at most half full, of {row number + 1
//               (0: empty), the high half of the key's hash}, placed by the FNV-1a
//               hash of the row's key, linear probing. The hash half in the bucket
//               lets a miss end without reading any row.
//   texts       every string the rows refer to, each once (TextRef: offset, size)
//
// Every offset and size is checked against the image before the image is used, and
// every text is checked again when it is read, so a damaged image cannot make a
// lookup read outside it.

// A string in the image's text pool.
struct TextRef {
  std::uint32_t offset = 0;
  std::uint32_t size = 0;
};

// The tables an image may hold; an image built for one purpose holds some of them
// (the others read as empty).
enum class IndexTable : std::uint32_t {
  GermanToEnglish,    // EntryRow: German key -> English
  EnglishToGerman,    // EntryRow: English key -> German
  EnglishVerbs,       // EntryRow: English verb without "to" -> German infinitive
  EnglishAdjectives,  // EntryRow: English adjective -> German adjective
  GermanVerbs,        // EntryRow: German infinitive -> English verb
  EnglishNames,       // EntryRow: capitalised English word -> German
  Nouns,              // NounRow: German noun -> gender and plural
  StrongForms,        // StrongFormsRow: infinitive -> second and third person
  StrongInfinitives,  // PairRow: strong present form -> infinitive
  WordFlags,          // PairRow: word of the Hunspell list -> its kept rule flags
};
inline constexpr std::size_t kIndexTableCount = 10;

// A dictionary translation with its rank (the fields of Dictionary's Rank).
struct EntryRow {
  TextRef key;
  TextRef translation;
  std::uint8_t source = 0;
  std::uint8_t tier = 0;
  std::uint8_t commonness = 0;
  std::uint8_t synonym = 0;
  std::uint32_t line = 0;
  std::uint32_t keyUses = 0;
  std::uint8_t kind = 0;
  std::uint8_t reserved[3] = {};
};
struct NounRow {
  TextRef key;
  TextRef plural;
  std::uint8_t gender = 0;
  std::uint8_t reserved[7] = {};
};
struct StrongFormsRow {
  TextRef key;
  TextRef second;
  TextRef third;
};
struct PairRow {
  TextRef key;
  TextRef value;
};

// What a source file was when an image was built from it. A file that is missing
// has the stamp of zeros.
struct FileStamp {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t size = 0;
  std::int64_t modifiedNs = 0;
  bool operator==(const FileStamp&) const = default;
};
// The stamps an image records: the files it was built from, and the program that
// built it (whose build rules and compiled-in tables shape it too).
inline constexpr std::size_t kIndexSourceCount = 4;
using IndexSources = std::array<FileStamp, kIndexSourceCount>;

// The stamp of a file now (zeros when it cannot be read).
FileStamp StampOf(const std::string& path);

// The hash that places keys in buckets (FNV-1a, 64 bits). Part of the format.
std::uint64_t IndexKeyHash(std::string_view key);

// A bucket of a table.
struct IndexBucket {
  std::uint32_t row = 0;  // the row's number + 1; 0: empty
  std::uint32_t tag = 0;  // the high half of its key's hash
};

// Why an image file was not used.
enum class ImageFault {
  Missing,     // no file (or it cannot be opened)
  Truncated,   // shorter than its header says, or than a header
  Foreign,     // not an image, another format version or another byte order
  Outdated,    // built from other sources, or by another program
  Damaged,     // its digest does not match, or a table lies outside it
  Unreadable,  // reading or mapping it failed
};
std::string_view ImageFaultName(ImageFault fault);

class IndexImage {
 public:
  ~IndexImage();
  IndexImage(const IndexImage&) = delete;
  IndexImage& operator=(const IndexImage&) = delete;

  // An image over bytes made by IndexWriter (checked like a file, sources aside).
  static std::shared_ptr<const IndexImage> FromBytes(std::vector<std::byte> bytes);

  // Maps an image file read-only. It is used only when its header, its tables and
  // its digest check out and it was built from `sources`; otherwise the fault.
  struct Opened {
    std::shared_ptr<const IndexImage> image;
    std::optional<ImageFault> fault;
  };
  static Opened Map(const std::string& path, const IndexSources& sources);

  // The text a row refers to; empty when the reference lies outside the pool.
  std::string_view Text(TextRef ref) const {
    if (ref.offset > textSize_ || ref.size > textSize_ - ref.offset) return {};
    return std::string_view(text_ + ref.offset, ref.size);
  }

  // The row whose key is `key` in a table, or nothing.
  template <typename Row>
  std::optional<Row> Find(IndexTable table, std::string_view key) const {
    static_assert(std::is_trivially_copyable_v<Row> && sizeof(Row) % 8 == 0);
    const View& view = views_[static_cast<std::size_t>(table)];
    if (view.rowSize != sizeof(Row) || view.bucketCount == 0) return std::nullopt;
    const std::uint64_t mask = view.bucketCount - 1;
    const std::uint64_t hash = IndexKeyHash(key);
    const auto tag = static_cast<std::uint32_t>(hash >> 32);
    std::uint64_t at = hash & mask;
    // At most one full round: a damaged table without an empty bucket ends too.
    for (std::uint64_t probes = 0; probes < view.bucketCount; ++probes, at = (at + 1) & mask) {
      IndexBucket bucket;
      std::memcpy(&bucket, view.buckets + at * sizeof bucket, sizeof bucket);
      if (bucket.row == 0) return std::nullopt;
      if (bucket.tag != tag || bucket.row > view.rowCount) continue;
      Row row;
      std::memcpy(&row, view.rows + std::size_t{bucket.row - 1} * sizeof(Row), sizeof(Row));
      if (Text(row.key) == key) return row;
    }
    return std::nullopt;
  }

  // The number of rows of a table.
  std::size_t Rows(IndexTable table) const {
    return views_[static_cast<std::size_t>(table)].rowCount;
  }

  // Gives the pages of a mapped image back to the system: they leave this process's
  // memory (the file's pages stay in the page cache) and the next lookups map what they
  // touch again. Safe while other threads look up. Nothing for an image in memory.
  void ReleasePages() const;

  // The image's size in bytes, and whether it is a mapped file.
  std::size_t Size() const { return size_; }
  bool Mapped() const { return mapped_; }

 private:
  IndexImage() = default;
  // Checks the header and the tables of `size` bytes at `data` and sets the views;
  // the fault otherwise. `sources` is checked unless null.
  std::optional<ImageFault> Check(const IndexSources* sources);

  struct View {
    const std::byte* rows = nullptr;
    const std::byte* buckets = nullptr;
    std::uint32_t rowCount = 0;
    std::uint32_t rowSize = 0;
    std::uint64_t bucketCount = 0;
  };

  const std::byte* data_ = nullptr;
  std::size_t size_ = 0;
  bool mapped_ = false;
  std::vector<std::byte> owned_;  // the bytes of an image that is not mapped
  const char* text_ = nullptr;
  std::uint32_t textSize_ = 0;
  std::array<View, kIndexTableCount> views_{};
};

// Lays out an image: texts are stored once however often rows refer to them.
class IndexWriter {
 public:
  TextRef Text(std::string_view text);

  // Adds a table (once per table). Each row's key must be a TextRef made by Text();
  // keys are unique within a table.
  template <typename Row>
  void AddTable(IndexTable table, const std::vector<Row>& rows) {
    static_assert(std::is_trivially_copyable_v<Row> && sizeof(Row) % 8 == 0);
    std::vector<std::string_view> keys;
    keys.reserve(rows.size());
    for (const Row& row : rows)
      keys.push_back(std::string_view(text_).substr(row.key.offset, row.key.size));
    AddRows(table, sizeof(Row), std::as_bytes(std::span(rows)), keys);
  }

  // The image, stamped with its sources.
  std::vector<std::byte> Finish(const IndexSources& sources);

 private:
  void AddRows(IndexTable table, std::size_t rowSize, std::span<const std::byte> rows,
               const std::vector<std::string_view>& keys);

  struct Table {
    std::uint32_t rowSize = 0;
    std::uint32_t rowCount = 0;
    std::vector<std::byte> rows;
    std::vector<IndexBucket> buckets;
  };
  std::array<std::optional<Table>, kIndexTableCount> tables_;
  std::string text_;
  std::unordered_map<std::string, TextRef> stored_;
};

// Writes an image to `path` (ReplaceFile: a reader sees the old file or the whole new
// one). Creates the folder (mode 0700) when it is missing. An error message on
// failure.
std::optional<std::string> WriteImageFile(const std::string& path,
                                          std::span<const std::byte> bytes);

}  // namespace parlumo::service
