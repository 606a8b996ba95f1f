#include "IndexImage.h"

#include <fcntl.h>
#include <nettle/sha2.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <filesystem>

#include "runtime/ReplaceFile.h"

namespace parlumo::service {

namespace {

constexpr char kMagic[8] = {'P', 'a', 'r', 'l', 'I', 'd', 'x', '\n'};
// Raised with every change of the layout, of a row, or of the hash.
constexpr std::uint32_t kFormatVersion = 1;
// Written as a number: read back unchanged only in the byte order that wrote it.
constexpr std::uint32_t kByteOrderMark = 0x01020304;
constexpr std::size_t kDigestSize = SHA256_DIGEST_SIZE;

struct TableEntry {
  std::uint64_t rowsOffset = 0;
  std::uint64_t bucketsOffset = 0;
  std::uint64_t bucketCount = 0;
  std::uint32_t rowCount = 0;
  std::uint32_t rowSize = 0;
};

struct Header {
  char magic[8] = {};
  std::uint32_t version = 0;
  std::uint32_t byteOrder = 0;
  std::uint64_t fileSize = 0;
  std::uint8_t digest[kDigestSize] = {};
  FileStamp sources[kIndexSourceCount] = {};
  TableEntry tables[kIndexTableCount] = {};
  std::uint64_t textOffset = 0;
  std::uint64_t textSize = 0;
};
static_assert(std::is_trivially_copyable_v<Header> && sizeof(Header) % 8 == 0);

constexpr std::size_t AlignUp(std::size_t n) {
  return (n + 7) & ~std::size_t{7};
}

// The digest of an image: its header with the digest field zeroed, then `rest` (the
// bytes after the header), which `read` hands over piece by piece.
template <typename ReadRest>
bool Digest(const Header& header, ReadRest&& read, std::uint8_t (&out)[kDigestSize]) {
  Header zeroed = header;
  std::fill(std::begin(zeroed.digest), std::end(zeroed.digest), std::uint8_t{0});
  sha256_ctx context;
  sha256_init(&context);
  sha256_update(&context, sizeof zeroed, reinterpret_cast<const std::uint8_t*>(&zeroed));
  const bool complete = read([&](const std::byte* data, std::size_t size) {
    sha256_update(&context, size, reinterpret_cast<const std::uint8_t*>(data));
  });
  sha256_digest(&context, kDigestSize, out);
  return complete;
}

bool SameDigest(const Header& header, const std::uint8_t (&digest)[kDigestSize]) {
  return std::equal(std::begin(digest), std::end(digest), std::begin(header.digest));
}

// The header's own fields, before anything it points to is trusted.
std::optional<ImageFault> CheckHeader(const Header& header, std::size_t size,
                                      const IndexSources* sources) {
  if (!std::equal(std::begin(kMagic), std::end(kMagic), std::begin(header.magic)) ||
      header.version != kFormatVersion || header.byteOrder != kByteOrderMark) {
    return ImageFault::Foreign;
  }
  if (header.fileSize != size) {
    return header.fileSize > size ? ImageFault::Truncated : ImageFault::Damaged;
  }
  if (sources != nullptr && !std::equal(sources->begin(), sources->end(), header.sources))
    return ImageFault::Outdated;
  return std::nullopt;
}

// Whether [offset, offset + count * unit) lies inside `size` bytes, aligned to 8.
bool Inside(std::uint64_t offset, std::uint64_t count, std::uint64_t unit, std::size_t size) {
  if (offset % 8 != 0 || offset > size) return false;
  return unit == 0 || count <= (size - offset) / unit;
}

}  // namespace

FileStamp StampOf(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return {};
  return FileStamp{.device = static_cast<std::uint64_t>(status.st_dev),
                   .inode = static_cast<std::uint64_t>(status.st_ino),
                   .size = static_cast<std::uint64_t>(status.st_size),
                   .modifiedNs = static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 +
                                 status.st_mtim.tv_nsec};
}

std::uint64_t IndexKeyHash(std::string_view key) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const char c : key)
    hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  return hash;
}

std::string_view ImageFaultName(ImageFault fault) {
  switch (fault) {
    case ImageFault::Missing:
      return "missing";
    case ImageFault::Truncated:
      return "truncated";
    case ImageFault::Foreign:
      return "not an index of this version";
    case ImageFault::Outdated:
      return "built from other files";
    case ImageFault::Damaged:
      return "damaged";
    case ImageFault::Unreadable:
      return "unreadable";
  }
  return "unknown";
}

IndexImage::~IndexImage() {
  if (mapped_) ::munmap(const_cast<std::byte*>(data_), size_);
}

void IndexImage::ReleasePages() const {
  // The mapping is read-only: no page of it was ever copied, so dropping them loses
  // nothing.
  if (mapped_) ::madvise(const_cast<std::byte*>(data_), size_, MADV_DONTNEED);
}

std::optional<ImageFault> IndexImage::Check(const IndexSources* sources) {
  if (size_ < sizeof(Header)) return ImageFault::Truncated;
  Header header;
  std::memcpy(&header, data_, sizeof header);
  if (const auto fault = CheckHeader(header, size_, sources)) return fault;
  for (std::size_t t = 0; t < kIndexTableCount; ++t) {
    const TableEntry& entry = header.tables[t];
    if (entry.rowCount == 0) continue;
    if (entry.rowSize == 0 || entry.rowSize % 8 != 0 || !std::has_single_bit(entry.bucketCount) ||
        !Inside(entry.rowsOffset, entry.rowCount, entry.rowSize, size_) ||
        !Inside(entry.bucketsOffset, entry.bucketCount, sizeof(IndexBucket), size_)) {
      return ImageFault::Damaged;
    }
    views_[t] = View{.rows = data_ + entry.rowsOffset,
                     .buckets = data_ + entry.bucketsOffset,
                     .rowCount = entry.rowCount,
                     .rowSize = entry.rowSize,
                     .bucketCount = entry.bucketCount};
  }
  if (!Inside(header.textOffset, header.textSize, 1, size_) || header.textSize > UINT32_MAX)
    return ImageFault::Damaged;
  text_ = reinterpret_cast<const char*>(data_ + header.textOffset);
  textSize_ = static_cast<std::uint32_t>(header.textSize);
  return std::nullopt;
}

std::shared_ptr<const IndexImage> IndexImage::FromBytes(std::vector<std::byte> bytes) {
  std::shared_ptr<IndexImage> image(new IndexImage);
  image->owned_ = std::move(bytes);
  image->data_ = image->owned_.data();
  image->size_ = image->owned_.size();
  if (image->Check(nullptr)) return nullptr;
  Header header;
  std::memcpy(&header, image->data_, sizeof header);
  std::uint8_t digest[kDigestSize];
  Digest(
      header,
      [&](auto&& add) {
        add(image->data_ + sizeof header, image->size_ - sizeof header);
        return true;
      },
      digest);
  if (!SameDigest(header, digest)) return nullptr;
  return image;
}

IndexImage::Opened IndexImage::Map(const std::string& path, const IndexSources& sources) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {nullptr, errno == ENOENT ? ImageFault::Missing : ImageFault::Unreadable};
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat status {};
  if (::fstat(fd, &status) != 0) return {nullptr, ImageFault::Unreadable};
  const auto size = static_cast<std::size_t>(status.st_size);
  Header header;
  if (size < sizeof header) return {nullptr, ImageFault::Truncated};
  if (::pread(fd, &header, sizeof header, 0) != static_cast<ssize_t>(sizeof header))
    return {nullptr, ImageFault::Unreadable};
  if (const auto fault = CheckHeader(header, size, &sources)) return {nullptr, fault};
  // The digest is taken from read() rather than through the mapping: the pages read
  // stay in the page cache but out of this process, which later maps only the pages
  // its lookups touch.
  std::uint8_t digest[kDigestSize];
  std::vector<std::byte> buffer(std::size_t{1} << 20);
  const bool complete = Digest(
      header,
      [&](auto&& add) {
        for (std::size_t at = sizeof header; at < size;) {
          const ssize_t got = ::pread(fd, buffer.data(), std::min(buffer.size(), size - at),
                                      static_cast<off_t>(at));
          if (got <= 0) return false;
          add(buffer.data(), static_cast<std::size_t>(got));
          at += static_cast<std::size_t>(got);
        }
        return true;
      },
      digest);
  if (!complete) return {nullptr, ImageFault::Unreadable};
  if (!SameDigest(header, digest)) return {nullptr, ImageFault::Damaged};
  // The read (and the write of a fresh index) left the file in the page cache in
  // large folios, and a fault maps the whole folio around the page it needs: a
  // handful of lookups would map most of the file. Dropped from the cache (the pages
  // are clean; those another process maps stay), the file comes back one page per
  // fault, as MADV_RANDOM then reads it.
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  void* data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  if (data == MAP_FAILED) return {nullptr, ImageFault::Unreadable};
  // Lookups jump across the file: reading ahead would only fill memory.
  ::madvise(data, size, MADV_RANDOM);
  std::shared_ptr<IndexImage> image(new IndexImage);
  image->data_ = static_cast<const std::byte*>(data);
  image->size_ = size;
  image->mapped_ = true;
  if (const auto fault = image->Check(&sources)) return {nullptr, fault};
  return {image, std::nullopt};
}

TextRef IndexWriter::Text(std::string_view text) {
  const auto [it, added] = stored_.try_emplace(std::string(text));
  if (added) {
    it->second =
        TextRef{static_cast<std::uint32_t>(text_.size()), static_cast<std::uint32_t>(text.size())};
    text_ += text;
  }
  return it->second;
}

void IndexWriter::AddRows(IndexTable table, std::size_t rowSize, std::span<const std::byte> rows,
                          const std::vector<std::string_view>& keys) {
  Table& out = tables_[static_cast<std::size_t>(table)].emplace();
  out.rowSize = static_cast<std::uint32_t>(rowSize);
  out.rowCount = static_cast<std::uint32_t>(keys.size());
  out.rows.assign(rows.begin(), rows.end());
  if (keys.empty()) return;
  // At most half full: a miss ends at an empty bucket after a probe or two.
  out.buckets.assign(std::bit_ceil(keys.size() * 2), IndexBucket{});
  const std::size_t mask = out.buckets.size() - 1;
  for (std::size_t row = 0; row < keys.size(); ++row) {
    const std::uint64_t hash = IndexKeyHash(keys[row]);
    std::size_t at = hash & mask;
    while (out.buckets[at].row != 0)
      at = (at + 1) & mask;
    out.buckets[at] =
        IndexBucket{static_cast<std::uint32_t>(row + 1), static_cast<std::uint32_t>(hash >> 32)};
  }
}

std::vector<std::byte> IndexWriter::Finish(const IndexSources& sources) {
  Header header;
  std::copy(std::begin(kMagic), std::end(kMagic), header.magic);
  header.version = kFormatVersion;
  header.byteOrder = kByteOrderMark;
  std::copy(sources.begin(), sources.end(), header.sources);
  std::vector<std::byte> bytes(sizeof header);
  const auto append = [&](std::span<const std::byte> data) {
    const std::size_t at = AlignUp(bytes.size());
    bytes.resize(at + data.size());
    std::copy(data.begin(), data.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
    return at;
  };
  for (std::size_t t = 0; t < kIndexTableCount; ++t) {
    if (!tables_[t] || tables_[t]->rowCount == 0) continue;
    TableEntry& entry = header.tables[t];
    entry.rowCount = tables_[t]->rowCount;
    entry.rowSize = tables_[t]->rowSize;
    entry.rowsOffset = append(tables_[t]->rows);
    entry.bucketsOffset = append(std::as_bytes(std::span(tables_[t]->buckets)));
    entry.bucketCount = tables_[t]->buckets.size();
  }
  header.textOffset = append(std::as_bytes(std::span(text_.data(), text_.size())));
  header.textSize = text_.size();
  bytes.resize(AlignUp(bytes.size()));
  header.fileSize = bytes.size();
  std::uint8_t digest[kDigestSize];
  Digest(
      header,
      [&](auto&& add) {
        add(bytes.data() + sizeof header, bytes.size() - sizeof header);
        return true;
      },
      digest);
  std::copy(std::begin(digest), std::end(digest), header.digest);
  std::memcpy(bytes.data(), &header, sizeof header);
  return bytes;
}

std::optional<std::string> WriteImageFile(const std::string& path,
                                          std::span<const std::byte> bytes) {
  const std::filesystem::path target(path);
  std::error_code error;
  if (target.has_parent_path() && !std::filesystem::exists(target.parent_path(), error)) {
    std::filesystem::create_directories(target.parent_path().parent_path(), error);
    if (::mkdir(target.parent_path().c_str(), 0700) != 0 && errno != EEXIST)
      return "cannot create " + target.parent_path().string() + ": " + std::strerror(errno);
  }
  // The index holds nothing private, but nobody else needs it either.
  if (const auto failure = ReplaceFile(
          target, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
          S_IRUSR | S_IWUSR)) {
    return "cannot write " + path + ": " + *failure;
  }
  return std::nullopt;
}

}  // namespace parlumo::service
