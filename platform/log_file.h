#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace nubora {

// A file opened for reading only and shared for reading, writing and deleting,
// so that a running service can go on appending to it. Closed when destroyed.
class SharedReadFile {
 public:
  SharedReadFile();
  ~SharedReadFile();
  SharedReadFile(const SharedReadFile&) = delete;
  SharedReadFile& operator=(const SharedReadFile&) = delete;

  // False when the file cannot be opened or is not a regular file; `error`
  // then holds the platform's error code.
  bool Open(const std::wstring& path, unsigned long& error);
  // The size in bytes at the time of the call.
  std::uint64_t Size() const;
  // Reads up to `size` bytes at `offset`: the count read, 0 at the end or on
  // a failure.
  std::size_t ReadAt(std::uint64_t offset, char* buffer, std::size_t size) const;

 private:
  // The platform's open file (a Windows file handle, a POSIX descriptor) in
  // its own owner; null until opened.
  struct OpenFile;
  std::unique_ptr<OpenFile> file_;
};

// The ANSI code page the service writes its log in: that of LocalSystem's
// user locale on Windows (the system's when it cannot be read), 1252 elsewhere.
unsigned LogCodePage();

}  // namespace nubora
