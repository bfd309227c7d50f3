#pragma once

#include <memory>

namespace nubora {

// A started process; destroying it closes its handles and leaves the process
// itself alone.
class RunningProcess {
 public:
  virtual ~RunningProcess() = default;
  // Waits up to `milliseconds`; true once the process has ended.
  virtual bool WaitFor(unsigned long milliseconds) = 0;
};

class ProcessLauncher {
 public:
  virtual ~ProcessLauncher() = default;
  // Starts `commandLine` hidden, with no application name, the caller's
  // environment and directory. The text may be changed in place. Returns the
  // process, or null with `error` set to the platform's error code.
  virtual std::unique_ptr<RunningProcess> StartHidden(wchar_t* commandLine,
                                                      unsigned long& error) = 0;
};

}  // namespace nubora
