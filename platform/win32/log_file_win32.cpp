// Reading the service's log on Windows: a read-only handle that shares
// reading, writing and deleting, and the code page it is written in.
#include <windows.h>

#include <cwchar>

#include "platform/log_file.h"
#include "platform/win32/win32_handles.h"

namespace nubora {

struct SharedReadFile::OpenFile {
  unique_file_handle handle;
};

SharedReadFile::SharedReadFile() = default;
SharedReadFile::~SharedReadFile() = default;

bool SharedReadFile::Open(const std::wstring& path, unsigned long& error) {
  file_.reset();
  unique_file_handle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    error = ::GetLastError();
    return false;
  }
  if (::GetFileType(file.get()) != FILE_TYPE_DISK) {
    error = ERROR_INVALID_PARAMETER;
    return false;
  }
  file_.reset(new OpenFile{std::move(file)});
  return true;
}

std::uint64_t SharedReadFile::Size() const {
  LARGE_INTEGER size = {};
  if (!file_ || !::GetFileSizeEx(file_->handle.get(), &size)) return 0;
  return static_cast<std::uint64_t>(size.QuadPart);
}

std::size_t SharedReadFile::ReadAt(std::uint64_t offset, char* buffer, std::size_t size) const {
  if (!file_) return 0;
  OVERLAPPED at = {};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD got = 0;
  if (!::ReadFile(file_->handle.get(), buffer, static_cast<DWORD>(size), &got, &at)) return 0;
  return got;
}

// LocalSystem's user locale, whose C runtime code page the service writes
// in, whatever account reads the log.
unsigned LogCodePage() {
  HKEY opened = nullptr;
  wchar_t locale[16] = {};
  DWORD size = sizeof locale - sizeof(wchar_t);
  DWORD type = 0;
  bool read = ::RegOpenKeyExW(HKEY_USERS, L".DEFAULT\\Control Panel\\International", 0,
                              KEY_QUERY_VALUE, &opened) == ERROR_SUCCESS;
  if (read) {
    const unique_key key(opened);
    read = ::RegQueryValueExW(key.get(), L"Locale", nullptr, &type, reinterpret_cast<BYTE*>(locale),
                              &size) == ERROR_SUCCESS &&
           type == REG_SZ;
  }
  wchar_t codePage[8] = {};
  const LCID lcid = read ? std::wcstoul(locale, nullptr, 16) : 0;
  if (lcid != 0 && ::GetLocaleInfoW(lcid, LOCALE_IDEFAULTANSICODEPAGE, codePage, 8) > 0) {
    const unsigned number = std::wcstoul(codePage, nullptr, 10);
    // 0: a locale with no ANSI code page of its own.
    if (number != 0 && ::IsValidCodePage(number)) return number;
  }
  return ::GetACP();
}

}  // namespace nubora
