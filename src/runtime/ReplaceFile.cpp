#include "runtime/ReplaceFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace parlumo {

namespace {

std::string ErrnoText(const char* what) {
  return std::string(what) + ": " + std::strerror(errno);
}

// Closes a file descriptor and removes a temporary file unless released.
class TempFile {
 public:
  TempFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  int Fd() const { return fd_; }
  const std::string& Path() const { return path_; }
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }
  void Keep() { path_.clear(); }

 private:
  int fd_;
  std::string path_;
};

}  // namespace

std::optional<std::string> ReplaceFile(const std::filesystem::path& target, std::string_view bytes,
                                       mode_t mode) {
  const std::filesystem::path folder =
      target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
  std::string tempName = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkstemp(tempName.data());
  if (fd < 0) return ErrnoText("cannot create temporary file");
  TempFile temp(fd, tempName);

  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::write(temp.Fd(), bytes.data() + written, bytes.size() - written);
    if (n < 0) {
      if (errno == EINTR) continue;
      return ErrnoText("write");
    }
    written += static_cast<std::size_t>(n);
  }
  if (::fchmod(temp.Fd(), mode) != 0) return ErrnoText("chmod");
  if (::fsync(temp.Fd()) != 0) return ErrnoText("fsync");
  if (!temp.Close()) return ErrnoText("close");
  if (::rename(temp.Path().c_str(), target.c_str()) != 0) return ErrnoText("rename");
  temp.Keep();
  // Make the rename itself durable; a failure here no longer loses data.
  const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return std::nullopt;
}

}  // namespace parlumo
