#pragma once

#include <string>
#include <string_view>
#include <system_error>

namespace parlumo {

// Replaces the file's content with bytes so that the file is never seen half
// written: the bytes go into a new file in the same folder, which then takes the
// file's name. A symbolic link is followed, so the file it points to is
// replaced and the link stays. An existing file keeps its permission bits; a new
// one gets 0666 less the umask. A file that exists but is not writable for this
// process is refused, as is a folder. On failure the old file is untouched and
// no temporary file is left; the result names the reason.
std::error_code WriteFileAtomically(const std::string& path, std::string_view bytes);

// Whether a file other than a folder exists under the path (links followed).
bool FileExists(const std::string& path);

}  // namespace parlumo
