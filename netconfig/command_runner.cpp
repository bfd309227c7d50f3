#include "netconfig/command_runner.h"

#include <cwchar>

#include "netconfig/log.h"
#include "platform/platform.h"

namespace nubora {

std::int32_t RunCommandAndWait(wchar_t* commandLine) {
  LogWide(L"%ls\n", commandLine);
  LogFlush();

  unsigned long error = 0;
  std::unique_ptr<RunningProcess> process =
      CurrentPlatform().processes->StartHidden(commandLine, error);
  if (!process) {
    LogNarrow("CreateProcess failed (%d)\n", static_cast<int>(error));
    return 0;
  }

  unsigned count = 0;
  while (count < kWaitSlices) {
    if (process->WaitFor(kWaitSliceMs)) break;
    ++count;
    LogWide(L"wait %ls  count=%d\n", commandLine, static_cast<int>(count));
  }
  if (count == kWaitSlices) {
    LogWide(L"wait %ls  timed out\n", commandLine);
  } else {
    LogWide(L"wait %ls  successfully\n", commandLine);
  }
  return 0;
}

std::int32_t RunPostScript() {
  wchar_t commandLine[kCommandLineCapacity] = {};
  std::wcsncpy(commandLine, L"c:\\windows\\system32\\cmd.exe /c c:\\windows\\ipconfig_post.bat",
               kCommandLineCapacity - 1);
  RunCommandAndWait(commandLine);
  return 0;
}

}  // namespace nubora
