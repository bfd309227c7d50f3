#pragma once

#include <cstddef>
#include <string>

namespace nubora {

// Narrow text in the code pages of Windows, whatever the platform: Win32's own
// conversions there, iconv and the C runtime elsewhere.

// Narrow text in `codePage` to wide text. Bytes the code page does not map
// become U+FFFD, and the rest of the text is still converted. False when the
// code page is not known to the platform.
bool DecodeCodePage(const std::string& bytes, unsigned codePage, std::wstring& text);

// The code page narrow text takes under the current C locale: the system's
// ANSI code page on Windows, UTF-8 (65001) under a UTF-8 locale elsewhere and
// 1252 otherwise.
unsigned LocaleCodePage();

// Text in the current C locale's multibyte code page, as the service's log
// writes it after setlocale(LC_ALL, ""); a character the code page lacks
// becomes '?' so that the rest of the line still gets through.
std::string ToMultibyte(const std::wstring& text);

// Text in the system's ANSI code page into `buffer`, NUL included; `buffer` is
// left as it is when the text does not fit in `capacity` characters.
void AnsiToWide(const char* text, wchar_t* buffer, std::size_t capacity);

}  // namespace nubora
