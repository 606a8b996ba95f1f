#pragma once

#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <string>

namespace parlumo {

// The proportional set size of a process in bytes: its resident pages, each shared
// page counted as its share among the processes that map it (Pss in
// /proc/PID/smaps_rollup), so that the sizes of processes add up to the memory they
// take together. Nothing when the process is gone or its memory cannot be read.
std::optional<std::size_t> ProportionalSetSize(pid_t pid);

// Bytes as whole megabytes (MiB), rounded, for messages and pages: "60 MB".
std::string MegabytesText(std::size_t bytes);

}  // namespace parlumo
