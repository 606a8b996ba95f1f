#include "ProcessMemory.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace parlumo {

std::optional<std::size_t> ProportionalSetSize(pid_t pid) {
  const std::string path = "/proc/" + std::to_string(pid) + "/smaps_rollup";
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string text;
  char buffer[4096];
  ssize_t got = 0;
  while ((got = ::read(fd, buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR)) {
    if (got > 0) text.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  // "Pss:  12345 kB"; the line is missing when the process has ended meanwhile.
  const auto at = text.find("\nPss:");
  if (got < 0 || at == std::string::npos) return std::nullopt;
  char* end = nullptr;
  const unsigned long long kilobytes = std::strtoull(text.c_str() + at + 5, &end, 10);
  if (end == text.c_str() + at + 5) return std::nullopt;
  return static_cast<std::size_t>(kilobytes) * 1024;
}

std::string MegabytesText(std::size_t bytes) {
  return std::to_string((bytes + (std::size_t{1} << 19)) >> 20) + " MB";
}

}  // namespace parlumo
