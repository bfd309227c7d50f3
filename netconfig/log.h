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

}  // namespace nubora
