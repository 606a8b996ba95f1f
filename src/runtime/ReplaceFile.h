#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace parlumo {

// Replaces the file at `target` with `bytes` so that a reader sees either the old file
// or the whole new one, also after a crash: the bytes go into a temporary file beside
// it (".<name>.XXXXXX"), which is given `mode`, synced and renamed over the target;
// then the folder is synced. The folder must exist. On failure the temporary file is
// gone, the target is as it was, and the text says what failed ("write: No space left
// on device").
std::optional<std::string> ReplaceFile(const std::filesystem::path& target, std::string_view bytes,
                                       mode_t mode);

}  // namespace parlumo
