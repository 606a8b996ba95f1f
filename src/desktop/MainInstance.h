#pragma once

#include <string>
#include <vector>

namespace parlumo {

// What the single-instance test needs of the platform. A copy of the program is
// identified by its application title and class: a running copy is one with the
// same title and the same class.
class InstancePlatform {
 public:
  virtual ~InstancePlatform() = default;

  virtual std::string ApplicationTitle() const = 0;
  virtual std::string ApplicationClassName() const = 0;
  // The command-line parameters, without the program's own path.
  virtual std::vector<std::string> Parameters() const = 0;

  // Makes this process the running copy of the identity unless another copy
  // already is. Atomic: of copies that start at the same moment exactly one gets
  // true. The claim lasts until the process ends.
  virtual bool ClaimFirstCopy(const std::string& title, const std::string& className) = 0;
  // Hands the text to the running copy and waits until it has taken it, for a
  // limited time. Never called with an empty text.
  virtual void HandOverParameters(const std::string& text) = 0;
  // Brings the running copy's last active window to the front, restoring it when
  // it is minimised. Failures are ignored.
  virtual void BringRunningCopyForward() = 0;
  // Ends the process with the exit code; normal finalisation runs.
  virtual void ExitProcess(int code) = 0;
};

// The text handed to the running copy: each parameter followed by one blank;
// whenever the text so far contains ".EXE" in any letter case, it starts again
// empty. {"a", "b"} gives "a b ", {"x.exe", "y"} gives "y ".
std::string JoinParameters(const std::vector<std::string>& parameters);

// The single-instance guard. Its construction is the whole test: when another
// copy is running, the parameters go to it, it is brought forward, and this
// process ends with exit code 0 inside the constructor. An empty title or class
// identifies nothing; any number of such copies run.
class TMainInstance {
 public:
  explicit TMainInstance(InstancePlatform& platform);
  TMainInstance(const TMainInstance&) = delete;
  TMainInstance& operator=(const TMainInstance&) = delete;
};

}  // namespace parlumo
