#include "netconfig/log.h"

#include <algorithm>
#include <cstdarg>
#include <cwchar>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "platform/log_stream.h"

namespace nubora {
namespace {

std::mutex& LogMutex() {
  static std::mutex mutex;
  return mutex;
}

std::FILE*& ReplacementStream() {
  static std::FILE* stream = nullptr;
  return stream;
}

// The log file once the run has opened it; standard output before that.
std::FILE*& OpenedStream() {
  static std::FILE* stream = nullptr;
  return stream;
}

LogInMemory*& MemoryLog() {
  static LogInMemory* memory = nullptr;
  return memory;
}

}  // namespace

// With the log's mutex held.
void KeepInMemory(const std::string& bytes) {
  LogInMemory& memory = *MemoryLog();
  if (memory.lost_) return;
  try {
    memory.bytes_ += bytes;
  } catch (const std::bad_alloc&) {
    memory.lost_ = true;
  }
}

namespace {

void WriteWhole(const std::string& bytes) {
  std::lock_guard<std::mutex> lock(LogMutex());
  if (MemoryLog() != nullptr) {
    KeepInMemory(bytes);
  } else {
    std::fwrite(bytes.data(), 1, bytes.size(), LogStream());
  }
}

}  // namespace

LogInMemory::LogInMemory() {
  std::lock_guard<std::mutex> lock(LogMutex());
  if (MemoryLog() != nullptr) return;
  MemoryLog() = this;
  active_ = true;
}

LogInMemory::~LogInMemory() {
  std::lock_guard<std::mutex> lock(LogMutex());
  if (active_) MemoryLog() = nullptr;
}

std::wstring VFormatWide(const wchar_t* format, std::va_list args) {
  std::vector<wchar_t> buffer(512);
  for (;;) {
    std::va_list copy;
    va_copy(copy, args);
    const int written = std::vswprintf(buffer.data(), buffer.size(), format, copy);
    va_end(copy);
    // Some C runtimes answer -1 when the text does not fit, others the length
    // it needs: only a count below the buffer's size is the whole text.
    if (written >= 0 && static_cast<std::size_t>(written) < buffer.size()) {
      return std::wstring(buffer.data(), static_cast<std::size_t>(written));
    }
    const std::size_t needed = written >= 0 ? static_cast<std::size_t>(written) + 1 : 0;
    if (buffer.size() >= (1u << 20)) return std::wstring();  // an encoding error, not length
    buffer.resize(std::max(needed, buffer.size() * 4));
  }
}

std::wstring FormatWide(const wchar_t* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::wstring text = VFormatWide(format, args);
  va_end(args);
  return text;
}

std::FILE* LogStream() {
  if (std::FILE* replacement = ReplacementStream()) return replacement;
  if (std::FILE* opened = OpenedStream()) return opened;
  return stdout;
}

void SetLogStream(std::FILE* stream) {
  std::lock_guard<std::mutex> lock(LogMutex());
  ReplacementStream() = stream;
}

void LogWide(const wchar_t* format, ...) {
  std::va_list args;
  va_start(args, format);
  const std::wstring text = VFormatWide(format, args);
  va_end(args);
  WriteWhole(ToMultibyte(text));
}

void LogWideLine(const wchar_t* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::wstring text = VFormatWide(format, args);
  va_end(args);
  text += L'\n';
  WriteWhole(ToMultibyte(text));
}

void LogValue(const wchar_t* prefix, const wchar_t* value) {
  WriteWhole(ToMultibyte(std::wstring(prefix) + value + L'\n'));
}

void LogNarrow(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text;
  if (length > 0) {
    text.resize(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(&text[0], text.size(), format, args);
    text.resize(static_cast<std::size_t>(length));
  }
  va_end(args);
  WriteWhole(text);
}

void LogFlush() {
  std::lock_guard<std::mutex> lock(LogMutex());
  if (MemoryLog() == nullptr) std::fflush(LogStream());
}

void OpenRunLog(const wchar_t* path) {
  {
    std::lock_guard<std::mutex> lock(LogMutex());
    // A log kept in memory or captured by a test keeps its place.
    if (MemoryLog() == nullptr && ReplacementStream() == nullptr) {
      OpenedStream() = ReopenStdoutForAppend(path);
    }
  }
  SelectUserDefaultLocale();
}

}  // namespace nubora
