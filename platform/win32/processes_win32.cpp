#include <windows.h>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_native.h"

namespace nubora {
namespace {

class Win32Process : public RunningProcess {
 public:
  explicit Win32Process(const PROCESS_INFORMATION& info)
      : thread_(info.hThread), process_(info.hProcess) {}

  bool WaitFor(unsigned long milliseconds) override {
    return ::WaitForSingleObject(process_.get(), milliseconds) == WAIT_OBJECT_0;
  }

 private:
  // Declared in this order so that the process handle closes first.
  unique_kernel_handle thread_;
  unique_kernel_handle process_;
};

}  // namespace

std::unique_ptr<RunningProcess> Win32ProcessLauncher::StartHidden(wchar_t* commandLine,
                                                                  unsigned long& error) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION info = {};
  if (!::CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
    error = ::GetLastError();
    return nullptr;
  }
  return std::unique_ptr<RunningProcess>(new Win32Process(info));
}

}  // namespace nubora
