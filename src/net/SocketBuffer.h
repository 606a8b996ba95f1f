#pragma once

#include <cstddef>
#include <deque>
#include <span>
#include <vector>

namespace parlumo {

// One block of the send queue: a byte array with a write count (how much was
// appended) and a read count (how much of that has gone out).
class TBuffer {
 public:
  // The socket's block size: one typical TCP segment.
  static constexpr int kSocketBlockSize = 1460;
  // The size of a block asked for with a size of 0 or less.
  static constexpr int kDefaultSize = 1514;

  explicit TBuffer(int size);

  // Copies as many bytes as still fit and returns that count.
  std::size_t Append(std::span<const std::byte> data);
  // The part appended but not yet read.
  std::span<const std::byte> Peek() const;
  // Marks n more bytes as read; when everything is read, both counts return to 0.
  void Remove(std::size_t n);
  // New capacity, keeping the unread bytes (moved to the front).
  void Resize(int size);

  std::size_t Capacity() const { return data_.size(); }
  std::size_t WriteCount() const { return write_; }
  std::size_t ReadCount() const { return read_; }
  bool Empty() const { return read_ == write_; }

 private:
  std::vector<std::byte> data_;
  std::size_t write_ = 0;
  std::size_t read_ = 0;
};

// The socket's send queue: an ordered list of blocks of kSocketBlockSize.
class TSocketBuffer {
 public:
  // Appends to the last block, then adds blocks as needed.
  void Append(std::span<const std::byte> data);
  // The unread part of the first block (empty when nothing waits).
  std::span<const std::byte> Front() const;
  // Marks n bytes of the first block as sent. An emptied block is freed when
  // more follow; the last one stays (empty) for the next append.
  void RemoveFront(std::size_t n);
  void Clear() { blocks_.clear(); }
  bool Empty() const;
  std::size_t BlockCount() const { return blocks_.size(); }
  const TBuffer& Block(std::size_t i) const { return blocks_[i]; }

 private:
  std::deque<TBuffer> blocks_;
};

}  // namespace parlumo
