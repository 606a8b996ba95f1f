#include "net/SocketBuffer.h"

#include <algorithm>
#include <cstring>

namespace parlumo {

TBuffer::TBuffer(int size) : data_(static_cast<std::size_t>(size > 0 ? size : kDefaultSize)) {}

std::size_t TBuffer::Append(std::span<const std::byte> data) {
  const std::size_t n = std::min(data.size(), data_.size() - write_);
  if (n > 0) std::memcpy(data_.data() + write_, data.data(), n);
  write_ += n;
  return n;
}

std::span<const std::byte> TBuffer::Peek() const {
  return std::span<const std::byte>(data_).subspan(read_, write_ - read_);
}

void TBuffer::Remove(std::size_t n) {
  read_ = std::min(read_ + n, write_);
  if (read_ == write_) read_ = write_ = 0;
}

void TBuffer::Resize(int size) {
  const std::size_t capacity = static_cast<std::size_t>(size > 0 ? size : kDefaultSize);
  const std::size_t unread = std::min(write_ - read_, capacity);
  std::vector<std::byte> data(capacity);
  if (unread > 0) std::memcpy(data.data(), data_.data() + read_, unread);
  data_ = std::move(data);
  read_ = 0;
  write_ = unread;
}

void TSocketBuffer::Append(std::span<const std::byte> data) {
  while (!data.empty()) {
    if (blocks_.empty() || blocks_.back().WriteCount() == blocks_.back().Capacity()) {
      blocks_.emplace_back(TBuffer::kSocketBlockSize);
    }
    data = data.subspan(blocks_.back().Append(data));
  }
}

std::span<const std::byte> TSocketBuffer::Front() const {
  return blocks_.empty() ? std::span<const std::byte>() : blocks_.front().Peek();
}

void TSocketBuffer::RemoveFront(std::size_t n) {
  if (blocks_.empty()) return;
  blocks_.front().Remove(n);
  if (blocks_.front().Empty() && blocks_.size() > 1) blocks_.pop_front();
}

bool TSocketBuffer::Empty() const {
  return std::all_of(blocks_.begin(), blocks_.end(), [](const TBuffer& b) { return b.Empty(); });
}

}  // namespace parlumo
