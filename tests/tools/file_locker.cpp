// Holds a file open without sharing for a while, as another program might
// while the service reads it: file_locker PATH MILLISECONDS.
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  HANDLE file = CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  Sleep(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)));
  CloseHandle(file);
  return 0;
}
