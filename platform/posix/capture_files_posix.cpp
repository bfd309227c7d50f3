// The fleet reader's files on Linux: opendir, stat, and a rename over the old file.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/capture_files.h"
#include "platform/posix/windows_error.h"
#include "platform/text.h"
#include "platform/unique_handle.h"

namespace nubora {
namespace {

struct FolderTraits {
  static DIR* Invalid() { return nullptr; }
  static void Close(DIR* folder) { ::closedir(folder); }
};

struct FdTraits {
  static int Invalid() { return -1; }
  static void Close(int descriptor) { ::close(descriptor); }
};

}  // namespace

bool IsFolder(const std::wstring& path) {
  struct stat info = {};
  return ::stat(NativePath(path.c_str()).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

unsigned long FolderFiles(const std::wstring& folder, std::vector<std::wstring>& names) {
  const std::string native = NativePath(folder.c_str());
  unique_handle<FolderTraits> listing(::opendir(native.c_str()));
  if (!listing) return WindowsError(errno);
  while (const dirent* entry = ::readdir(listing.get())) {
    struct stat info = {};
    const std::string path = native + "/" + entry->d_name;
    if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
      names.push_back(FromUtf8(entry->d_name));
    }
  }
  return 0;
}

unsigned long WrittenTime(const std::wstring& path, std::int64_t& seconds) {
  struct stat info = {};
  if (::stat(NativePath(path.c_str()).c_str(), &info) != 0) return WindowsError(errno);
  seconds = static_cast<std::int64_t>(info.st_mtime);
  return 0;
}

unsigned long ReplaceWhole(const std::wstring& path, const std::string& bytes) {
  const std::string target = NativePath(path.c_str());
  const std::string temporary = target + ".new" + std::to_string(::getpid());
  unsigned long error = 0;
  {
    unique_handle<FdTraits> file(
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!file) return WindowsError(errno);
    std::size_t written = 0;
    while (written < bytes.size()) {
      const ssize_t put = ::write(file.get(), bytes.data() + written, bytes.size() - written);
      if (put <= 0) break;
      written += static_cast<std::size_t>(put);
    }
    if (written < bytes.size() || ::fsync(file.get()) != 0) error = kErrorWriteFault;
  }
  if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) error = WindowsError(errno);
  if (error != 0) ::unlink(temporary.c_str());
  return error;
}

}  // namespace nubora
