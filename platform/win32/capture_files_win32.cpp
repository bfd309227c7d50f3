// The fleet reader's files on Windows: FindFirstFileW, the file's attributes,
// and MoveFileExW over the old file.
#include <windows.h>

#include <string>

#include "platform/capture_files.h"
#include "platform/win32/win32_handles.h"

namespace nubora {
namespace {

struct FindTraits {
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE handle) { ::FindClose(handle); }
};

}  // namespace

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

unsigned long FolderFiles(const std::wstring& folder, std::vector<std::wstring>& names) {
  WIN32_FIND_DATAW found = {};
  unique_handle<FindTraits> listing(::FindFirstFileW((folder + L"\\*").c_str(), &found));
  if (!listing) return ::GetLastError();
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names.push_back(found.cFileName);
  } while (::FindNextFileW(listing.get(), &found));
  return 0;
}

unsigned long WrittenTime(const std::wstring& path, std::int64_t& seconds) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return ::GetLastError();
  const std::uint64_t ticks =
      (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
      data.ftLastWriteTime.dwLowDateTime;
  // 100 ns ticks since 1601 to seconds since 1970.
  seconds = static_cast<std::int64_t>(ticks / 10000000ULL) - 11644473600LL;
  return 0;
}

unsigned long ReplaceWhole(const std::wstring& path, const std::string& bytes) {
  const std::wstring temporary = path + L".new" + std::to_wstring(::GetCurrentProcessId());
  unsigned long error = 0;
  {
    unique_file_handle file(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr,
                                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return ::GetLastError();
    DWORD put = 0;
    if (!::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) ||
        put != bytes.size() || !::FlushFileBuffers(file.get())) {
      error = ::GetLastError();
      if (error == 0) error = ERROR_WRITE_FAULT;
    }
  }
  if (error == 0 && !::MoveFileExW(temporary.c_str(), path.c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = ::GetLastError();
  }
  if (error != 0) ::DeleteFileW(temporary.c_str());
  return error;
}

}  // namespace nubora
