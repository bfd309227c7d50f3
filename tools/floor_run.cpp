// The least any configuration run must do: start one command interpreter,
// hidden, and wait for it. Used as the floor the benchmark compares with.
#include <windows.h>

int wmain() {
  wchar_t commandLine[] = L"c:\\windows\\system32\\cmd.exe /c exit";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info)) {
    return 1;
  }
  WaitForSingleObject(info.hProcess, 30000);
  CloseHandle(info.hProcess);
  CloseHandle(info.hThread);
  return 0;
}
