// Reading the service's log on Windows: a read-only handle that shares
// reading, writing and deleting, and MultiByteToWideChar for the code page.
#include <windows.h>

#include <vector>

#include "platform/log_file.h"

namespace nubora {
namespace {

HANDLE AsHandle(std::intptr_t value) { return reinterpret_cast<HANDLE>(value); }

}  // namespace

SharedReadFile::~SharedReadFile() {
  if (handle_ != -1) ::CloseHandle(AsHandle(handle_));
}

bool SharedReadFile::Open(const std::wstring& path, unsigned long& error) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = ::GetLastError();
    return false;
  }
  if (::GetFileType(file) != FILE_TYPE_DISK) {
    error = ERROR_INVALID_PARAMETER;
    ::CloseHandle(file);
    return false;
  }
  handle_ = reinterpret_cast<std::intptr_t>(file);
  return true;
}

std::uint64_t SharedReadFile::Size() const {
  LARGE_INTEGER size = {};
  if (handle_ == -1 || !::GetFileSizeEx(AsHandle(handle_), &size)) return 0;
  return static_cast<std::uint64_t>(size.QuadPart);
}

std::size_t SharedReadFile::ReadAt(std::uint64_t offset, char* buffer, std::size_t size) const {
  if (handle_ == -1) return 0;
  OVERLAPPED at = {};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD got = 0;
  if (!::ReadFile(AsHandle(handle_), buffer, static_cast<DWORD>(size), &got, &at)) return 0;
  return got;
}

unsigned DefaultCodePage() { return ::GetACP(); }

unsigned LocaleCodePage() { return DefaultCodePage(); }

bool DecodeCodePage(const std::string& bytes, unsigned codePage, std::wstring& text) {
  text.clear();
  if (bytes.empty()) return ::IsValidCodePage(codePage) != FALSE;
  const int length = static_cast<int>(bytes.size());
  const int needed = ::MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
  if (needed <= 0) return false;
  std::vector<wchar_t> out(static_cast<std::size_t>(needed));
  ::MultiByteToWideChar(codePage, 0, bytes.data(), length, out.data(), needed);
  text.assign(out.data(), out.size());
  return true;
}

}  // namespace nubora
