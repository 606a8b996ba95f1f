#pragma once

#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <string>

namespace parlumo::test {

// What the kernel saw happen to one file: how often it was opened (a read of
// it; writing goes to a temporary file) and how often another file was renamed
// onto its name (an atomic replacement: a write of it). Watches the file's
// folder, which must exist, so that a replaced file stays watched. Any process
// counts, the test's own included.
class FileEvents {
 public:
  struct Counts {
    int opens = 0;
    int replacements = 0;
    bool operator==(const Counts&) const = default;
    friend std::ostream& operator<<(std::ostream& out, const Counts& counts) {
      return out << counts.opens << " opens, " << counts.replacements << " replacements";
    }
  };

  explicit FileEvents(const std::filesystem::path& file)
      : name_(file.filename().string()), fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    if (fd_ < 0) {
      ADD_FAILURE() << "inotify: " << std::strerror(errno);
      return;
    }
    // The kernel merges an event into the same one right before it, so that
    // two opens in a row would count once: the closes between them keep them apart.
    if (::inotify_add_watch(fd_, file.parent_path().c_str(), IN_OPEN | IN_CLOSE | IN_MOVED_TO) <
        0) {
      ADD_FAILURE() << "cannot watch " << file.parent_path() << ": " << std::strerror(errno);
    }
  }
  ~FileEvents() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileEvents(const FileEvents&) = delete;
  FileEvents& operator=(const FileEvents&) = delete;

  // What happened since the watch began or the last call. The kernel queues an
  // event before the call that causes it returns, so nothing is still on the way.
  Counts Take() {
    Counts counts;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
      const ssize_t n = ::read(fd_, buffer, sizeof buffer);
      if (n <= 0) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) ADD_FAILURE() << "inotify: " << std::strerror(errno);
        return counts;
      }
      for (ssize_t at = 0; at < n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        if (event->mask & IN_Q_OVERFLOW) ADD_FAILURE() << "inotify: events were lost";
        if (event->len == 0 || name_ != event->name) continue;
        if (event->mask & IN_OPEN) ++counts.opens;
        if (event->mask & IN_MOVED_TO) ++counts.replacements;
      }
    }
  }

 private:
  std::string name_;
  int fd_;
};

}  // namespace parlumo::test
