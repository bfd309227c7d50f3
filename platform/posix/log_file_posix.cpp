// Reading the service's log on Linux: pread on a read-only descriptor.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/log_file.h"
#include "platform/text.h"

namespace nubora {

namespace {

// The Windows error code a CreateFile of the same path would give, so that
// the tool tells an unreadable log in the same words on every platform.
unsigned long WindowsError(int error) {
  switch (error) {
    case ENOENT:
      return 2;  // ERROR_FILE_NOT_FOUND
    case ENOTDIR:
    case ENAMETOOLONG:
      return 3;  // ERROR_PATH_NOT_FOUND
    case EACCES:
    case EPERM:
    case EISDIR:
      return 5;  // ERROR_ACCESS_DENIED
    default:
      return 87;  // ERROR_INVALID_PARAMETER
  }
}

}  // namespace

SharedReadFile::~SharedReadFile() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

bool SharedReadFile::Open(const std::wstring& path, unsigned long& error) {
  const int fd = ::open(NativePath(path.c_str()).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = WindowsError(errno);
    return false;
  }
  struct stat info = {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    error = WindowsError(S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
    ::close(fd);
    return false;
  }
  handle_ = fd;
  return true;
}

std::uint64_t SharedReadFile::Size() const {
  struct stat info = {};
  if (handle_ < 0 || ::fstat(static_cast<int>(handle_), &info) != 0) return 0;
  return static_cast<std::uint64_t>(info.st_size);
}

std::size_t SharedReadFile::ReadAt(std::uint64_t offset, char* buffer, std::size_t size) const {
  if (handle_ < 0) return 0;
  const ssize_t got = ::pread(static_cast<int>(handle_), buffer, size, static_cast<off_t>(offset));
  return got > 0 ? static_cast<std::size_t>(got) : 0;
}

unsigned LogCodePage() { return 1252; }

}  // namespace nubora
