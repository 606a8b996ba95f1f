#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

namespace parlumo {

// A byte stream with a position, as the HTTP client reads a request body from
// and writes a response body to. The caller owns the streams.
class TStream {
 public:
  virtual ~TStream() = default;
  // Reads up to count bytes at the position and advances it; returns the count read.
  virtual std::size_t Read(void* buffer, std::size_t count) = 0;
  // Writes at the position (growing the stream as needed) and advances it.
  virtual void Write(const void* data, std::size_t count) = 0;
  virtual std::int64_t Position() const = 0;
  virtual void SetPosition(std::int64_t position) = 0;
  virtual std::int64_t Size() const = 0;
  // Cuts or extends the stream; the position stays within it.
  virtual void SetSize(std::int64_t size) = 0;
};

// A stream held in a std::string.
class TStringStream final : public TStream {
 public:
  TStringStream() = default;
  explicit TStringStream(std::string data) : data_(std::move(data)) {}

  std::size_t Read(void* buffer, std::size_t count) override {
    const std::size_t n = std::min(count, data_.size() - position_);
    if (n > 0) std::memcpy(buffer, data_.data() + position_, n);
    position_ += n;
    return n;
  }
  void Write(const void* data, std::size_t count) override {
    if (count == 0) return;
    if (position_ == data_.size()) {
      data_.append(static_cast<const char*>(data), count);
    } else {
      if (position_ + count > data_.size()) data_.resize(position_ + count);
      std::memcpy(data_.data() + position_, data, count);
    }
    position_ += count;
  }
  std::int64_t Position() const override { return static_cast<std::int64_t>(position_); }
  void SetPosition(std::int64_t position) override {
    position_ = static_cast<std::size_t>(std::clamp<std::int64_t>(position, 0, Size()));
  }
  std::int64_t Size() const override { return static_cast<std::int64_t>(data_.size()); }
  void SetSize(std::int64_t size) override {
    data_.resize(static_cast<std::size_t>(std::max<std::int64_t>(size, 0)));
    position_ = std::min(position_, data_.size());
  }

  const std::string& DataString() const { return data_; }

 private:
  std::string data_;
  std::size_t position_ = 0;
};

}  // namespace parlumo
