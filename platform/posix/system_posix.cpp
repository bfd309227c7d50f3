// Version, clock, log stream, service and file operations on Linux.
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>
#include <system_error>
#include <thread>

#include "platform/log_stream.h"
#include "platform/posix/posix_native.h"
#include "platform/system_errors.h"
#include "platform/text.h"

namespace nubora {

bool PosixSystemProbe::ReadOsMajorVersion(unsigned long& major) {
  // Not Windows: report the newest netsh syntax.
  major = 10;
  return true;
}

LocalTime PosixClock::Now() {
  const std::time_t now = std::time(nullptr);
  std::tm parts = {};
  localtime_r(&now, &parts);
  return LocalTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                   parts.tm_hour,        parts.tm_min,     parts.tm_sec};
}

void PosixClock::Sleep(unsigned long milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::FILE* ReopenStdoutForAppend(const wchar_t* path) {
  const std::string native = NativePath(path);
  const std::size_t slash = native.rfind('/');
  if (slash != std::string::npos) {
    // The Windows folder always exists there; make its stand-in here.
    std::string folder;
    for (std::size_t at = native.find('/'); at != std::string::npos && at <= slash;
         at = native.find('/', at + 1)) {
      folder = native.substr(0, at);
      if (!folder.empty()) ::mkdir(folder.c_str(), 0755);
    }
  }
  return std::freopen(native.c_str(), "a", stdout);
}

void SelectUserDefaultLocale() { std::setlocale(LC_ALL, ""); }

unsigned long PosixServiceHost::RunDispatcher(const ServiceTableEntry*) {
  return kErrorFailedServiceControllerConnect;
}

bool PosixServiceHost::StartThread(ThreadRoutine routine, void* parameter, unsigned long& error) {
  try {
    std::thread(routine, parameter).detach();
  } catch (const std::system_error& failure) {
    error = ThreadStartError(0, failure.code().value(), 0);
    return false;
  }
  return true;
}

void* PosixServiceManager::OpenManager(unsigned long) { return nullptr; }

unsigned long PosixServiceManager::LastError() { return kErrorCallNotImplemented; }

void PosixExecutableFiles::ModulePath(wchar_t* buffer, unsigned long size) {
  if (size == 0) return;
  buffer[0] = L'\0';
  char path[4096] = {};
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof(path) - 1);
  if (length <= 0) return;
  const std::size_t count = std::mbstowcs(buffer, path, size - 1);
  buffer[count == static_cast<std::size_t>(-1) ? 0 : count] = L'\0';
}

bool PosixExecutableFiles::CreateFolder(const wchar_t* path) {
  const std::string native = NativePath(path);
  if (::mkdir(native.c_str(), 0755) == 0 || errno == EEXIST) return true;
  lastError_ = static_cast<unsigned long>(errno);
  return false;
}

bool PosixExecutableFiles::CopyOver(const wchar_t* from, const wchar_t* to) {
  std::ifstream in(NativePath(from), std::ios::binary);
  std::ofstream out(NativePath(to), std::ios::binary | std::ios::trunc);
  if (!in || !out) {
    lastError_ = static_cast<unsigned long>(errno != 0 ? errno : EIO);
    return false;
  }
  out << in.rdbuf();
  return static_cast<bool>(out);
}

FileIdentity PosixExecutableFiles::SameFile(const wchar_t* a, const wchar_t* b) {
  struct stat first = {}, second = {};
  if (::stat(NativePath(a).c_str(), &first) != 0 || ::stat(NativePath(b).c_str(), &second) != 0) {
    return errno == ENOENT || errno == ENOTDIR ? FileIdentity::kDifferent : FileIdentity::kUnknown;
  }
  const bool same = first.st_dev == second.st_dev && first.st_ino == second.st_ino;
  return same ? FileIdentity::kSame : FileIdentity::kDifferent;
}

}  // namespace nubora
