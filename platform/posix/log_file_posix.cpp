// Reading the service's log on Linux: pread on a read-only descriptor, and
// iconv for the Windows code pages.
#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <vector>

#include "platform/log_file.h"
#include "platform/portable_ini.h"

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

unsigned DefaultCodePage() { return 1252; }

unsigned LocaleCodePage() {
  return std::string(::nl_langinfo(CODESET)) == "UTF-8" ? 65001 : DefaultCodePage();
}

namespace {

struct Converter {
  explicit Converter(unsigned codePage) {
    const std::string name = codePage == 65001 ? "UTF-8" : "CP" + std::to_string(codePage);
    handle = ::iconv_open("WCHAR_T", name.c_str());
  }
  ~Converter() {
    if (handle != reinterpret_cast<iconv_t>(-1)) ::iconv_close(handle);
  }
  iconv_t handle;
  unsigned codePage = 0;
};

}  // namespace

bool DecodeCodePage(const std::string& bytes, unsigned codePage, std::wstring& text) {
  // One converter per code page for the whole process: the log is decoded
  // line by line.
  static thread_local std::unique_ptr<Converter> cached;
  if (!cached || cached->codePage != codePage) {
    cached.reset(new Converter(codePage));
    cached->codePage = codePage;
  }
  if (cached->handle == reinterpret_cast<iconv_t>(-1)) return false;
  text.clear();
  std::vector<wchar_t> out(bytes.size() + 1);
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  while (inLeft > 0) {
    char* outAt = reinterpret_cast<char*>(out.data());
    std::size_t outLeft = out.size() * sizeof(wchar_t);
    const std::size_t result = ::iconv(cached->handle, &in, &inLeft, &outAt, &outLeft);
    text.append(out.data(), (out.size() * sizeof(wchar_t) - outLeft) / sizeof(wchar_t));
    if (result != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) continue;
    // An unmapped byte, or a lead byte cut off at the end: one replacement
    // character for it, and on with the next byte.
    text.push_back(L'\xFFFD');
    ++in;
    --inLeft;
    ::iconv(cached->handle, nullptr, nullptr, nullptr, nullptr);
  }
  return true;
}

}  // namespace nubora
