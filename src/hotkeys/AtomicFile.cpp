#include "hotkeys/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace parlumo {
namespace {

std::error_code Errno(int value) {
  return {value, std::generic_category()};
}

// The file a path names after every symbolic link along the last component
// has been followed; the links of the folders on the way need no resolving,
// since the file is replaced within its own folder either way. A link to
// nothing gives the path it points to, so the write creates that file.
std::error_code ResolveLinks(std::string& path) {
  // As many links as the system follows before it reports a loop.
  constexpr int kMaxLinks = 40;
  for (int followed = 0; followed <= kMaxLinks; ++followed) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return {};
    std::vector<char> buffer(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
    for (;;) {
      const ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size());
      if (n < 0) return Errno(errno);
      if (static_cast<std::size_t>(n) < buffer.size()) {
        std::string target(buffer.data(), static_cast<std::size_t>(n));
        if (target.empty()) return Errno(ENOENT);
        if (target.front() != '/') {
          const std::size_t slash = path.rfind('/');
          if (slash != std::string::npos) target.insert(0, path, 0, slash + 1);
        }
        path = std::move(target);
        break;
      }
      buffer.resize(buffer.size() * 2);
    }
  }
  return Errno(ELOOP);
}

// The new file until it has taken the target's name: closed and removed on
// every way out that does not commit it.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string pattern) : path_(std::move(pattern)) {
    fd_ = ::mkostemp(path_.data(), O_CLOEXEC);
    if (fd_ < 0) path_.clear();
  }
  ~TemporaryFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  int Fd() const { return fd_; }
  const std::string& Path() const { return path_; }
  // Closes the descriptor; a failed close means the data may not have arrived.
  std::error_code Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0 ? std::error_code() : Errno(errno);
  }
  // The file has its final name now: nothing to remove.
  void Committed() { path_.clear(); }

 private:
  std::string path_;
  int fd_ = -1;
};

std::error_code WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return Errno(errno);
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return {};
}

mode_t CurrentUmask() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

}  // namespace

std::error_code WriteFileAtomically(const std::string& path, std::string_view bytes) {
  if (path.empty()) return Errno(ENOENT);
  std::string target = path;
  if (std::error_code error = ResolveLinks(target)) return error;

  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (exists) {
    if (S_ISDIR(existing.st_mode)) return Errno(EISDIR);
    // A pipe or a device is no file to replace.
    if (!S_ISREG(existing.st_mode)) return Errno(EINVAL);
    // A write-protected file stays protected: replacing it through its folder
    // would go round the protection.
    if (::access(target.c_str(), W_OK) != 0) return Errno(errno);
  }

  const std::size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string(".")
                             : slash == 0               ? std::string("/")
                                                        : target.substr(0, slash);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  if (name.empty()) return Errno(EISDIR);
  TemporaryFile temporary(folder + "/." + name + ".XXXXXX");
  if (temporary.Fd() < 0) return Errno(errno);

  if (std::error_code error = WriteAll(temporary.Fd(), bytes)) return error;
  if (exists) {
    // Same owner where this process may give it; the mode in any case.
    if (::fchown(temporary.Fd(), existing.st_uid, existing.st_gid) != 0) {
      // Only root may give a file away; the file then belongs to the user.
    }
    if (::fchmod(temporary.Fd(), existing.st_mode & 07777) != 0) return Errno(errno);
  } else if (::fchmod(temporary.Fd(), 0666 & ~CurrentUmask()) != 0) {
    return Errno(errno);
  }
  if (::fsync(temporary.Fd()) != 0) return Errno(errno);
  if (std::error_code error = temporary.Close()) return error;
  if (::rename(temporary.Path().c_str(), target.c_str()) != 0) return Errno(errno);
  temporary.Committed();

  // The new name is on disk once the folder is; a failure here changes nothing
  // the user can act on, the file is written.
  const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd >= 0) {
    ::fsync(folderFd);
    ::close(folderFd);
  }
  return {};
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

}  // namespace parlumo
