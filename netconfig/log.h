#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>

namespace nubora {

// The run's log: the process's standard output, reopened onto the log file by
// `OpenRunLog`. Each call writes its whole message at once, so a line written
// by another thread never splits it. Wide messages are converted to the
// current locale's multibyte code page; narrow ones are written as they are.
void LogWide(const wchar_t* format, ...);
void LogNarrow(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
void LogFlush();

// One line of the log (netconfig/log_lines.h): `format` and its values, then
// the line end; or a fixed text and its value.
void LogWideLine(const wchar_t* format, ...);
void LogValue(const wchar_t* prefix, const wchar_t* value);

// The whole formatted text, however long.
std::wstring FormatWide(const wchar_t* format, ...);
std::wstring VFormatWide(const wchar_t* format, std::va_list args);

// Points standard output at `path` (append, text mode) and selects the user's
// default locale, for the rest of the process.
void OpenRunLog(const wchar_t* path);

// The stream the log writes to: standard output unless replaced.
std::FILE* LogStream();

// Sends the log to `stream` until restored; null restores standard output.
void SetLogStream(std::FILE* stream);

// Keeps the log's bytes in memory while it lives, ahead of any stream, so that
// a run played inside it writes no file: `OpenRunLog` then reopens nothing.
// The log is the process's one, so one keeps it at a time: a second one made
// while another lives keeps nothing, and the lines go on to the first.
class LogInMemory {
 public:
  LogInMemory();
  ~LogInMemory();
  LogInMemory(const LogInMemory&) = delete;
  LogInMemory& operator=(const LogInMemory&) = delete;

  // False when another was keeping the log, or memory ran out while keeping
  // it: `Bytes` then is not the whole log.
  bool Kept() const { return active_ && !lost_; }
  const std::string& Bytes() const { return bytes_; }

 private:
  friend void KeepInMemory(const std::string& bytes);
  bool active_ = false;
  bool lost_ = false;
  std::string bytes_;
};

}  // namespace nubora
