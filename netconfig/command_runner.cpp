#include "netconfig/command_runner.h"

#include <cwchar>

#include "netconfig/log.h"
#include "netconfig/log_lines.h"
#include "platform/platform.h"

namespace nubora {

std::int32_t RunCommandAndWait(wchar_t* commandLine) {
  LogWideLine(L"%ls", commandLine);
  LogFlush();

  unsigned long error = 0;
  std::unique_ptr<RunningProcess> process =
      CurrentPlatform().processes->StartHidden(commandLine, error);
  if (!process) {
    LogWideLine(kCreateFailedFormat, static_cast<int>(error));
    return 0;
  }

  unsigned count = 0;
  while (count < kWaitSlices) {
    if (process->WaitFor(kWaitSliceMs)) break;
    ++count;
    LogWideLine(kWaitSliceFormat, commandLine, static_cast<int>(count));
  }
  if (count == kWaitSlices) {
    LogWideLine(kWaitTimedOutFormat, commandLine);
  } else {
    LogWideLine(kWaitEndedFormat, commandLine);
  }
  return 0;
}

std::int32_t RunPostScript() {
  wchar_t commandLine[kCommandLineCapacity] = {};
  std::wcsncpy(commandLine, kPostScriptCommand.text, kCommandLineCapacity - 1);
  RunCommandAndWait(commandLine);
  return 0;
}

}  // namespace nubora
