// Reading the service's log on Linux: pread on a read-only descriptor.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/log_file.h"
#include "platform/posix/windows_error.h"
#include "platform/system_errors.h"
#include "platform/text.h"
#include "platform/unique_handle.h"

namespace nubora {

namespace {

struct DescriptorTraits {
  static int Invalid() { return -1; }
  static void Close(int descriptor) { ::close(descriptor); }
};

}  // namespace

struct SharedReadFile::OpenFile {
  unique_handle<DescriptorTraits> descriptor;
};

SharedReadFile::SharedReadFile() = default;
SharedReadFile::~SharedReadFile() = default;

bool SharedReadFile::Open(const std::wstring& path, unsigned long& error) {
  file_.reset();
  unique_handle<DescriptorTraits> fd(
      ::open(NativePath(path.c_str()).c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) {
    error = WindowsError(errno);
    return false;
  }
  struct stat info = {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    error = WindowsError(S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
    return false;
  }
  file_.reset(new OpenFile{std::move(fd)});
  return true;
}

std::uint64_t SharedReadFile::Size() const {
  struct stat info = {};
  if (!file_ || ::fstat(file_->descriptor.get(), &info) != 0) return 0;
  return static_cast<std::uint64_t>(info.st_size);
}

std::size_t SharedReadFile::ReadAt(std::uint64_t offset, char* buffer, std::size_t size) const {
  if (!file_) return 0;
  const ssize_t got = ::pread(file_->descriptor.get(), buffer, size, static_cast<off_t>(offset));
  return got > 0 ? static_cast<std::size_t>(got) : 0;
}

unsigned LogCodePage() { return 1252; }

}  // namespace nubora
