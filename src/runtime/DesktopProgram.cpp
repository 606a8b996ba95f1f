#include "runtime/DesktopProgram.h"

namespace parlumo {

namespace fs = std::filesystem;

fs::path FrontProgramPath(const fs::path& programPath) {
  if (programPath.filename() != kDesktopProgramName) return programPath;
  const fs::path front = programPath.parent_path() / kFrontProgramName;
  std::error_code ec;
  return fs::is_regular_file(front, ec) ? front : programPath;
}

}  // namespace parlumo
