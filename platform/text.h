#pragma once

#include <cstddef>
#include <string>

namespace nubora {

// Conversions between Unicode forms, the same on every platform. Wide text is
// UTF-16 where wchar_t has 16 bits (Windows) and UTF-32 elsewhere; whatever
// cannot be converted becomes U+FFFD and the rest of the text still is.

// The code point at `at` in wide text or UTF-16 units, moving `at` past it:
// a surrogate pair is joined, a lone surrogate is returned as it is.
unsigned long NextCodePoint(const wchar_t* text, std::size_t length, std::size_t& at);

// Appends a code point as wide characters or as UTF-8 bytes.
void AppendWide(std::wstring& out, unsigned long codePoint);
void AppendUtf8(std::string& out, unsigned long codePoint);

// UTF-8 of wide text, and back: malformed bytes become U+FFFD, one per byte.
std::string Utf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& bytes, std::size_t from = 0);

// UTF-16 bytes (from `from`, in the byte order given) as wide text.
std::wstring FromUtf16(const std::string& bytes, std::size_t from, bool bigEndian);

// ASCII text, such as the tool's fixed words, as wide text.
std::wstring Widened(const char* ascii);

// What a terminal or a log viewer may act on rather than show: C0 and C1
// controls (the tab aside), DEL, and the marks that reorder the text around
// them.
bool IsControlCharacter(wchar_t c);

// Lower case, as Windows compares names (paths, value names, GUIDs).
std::wstring Lowered(std::wstring text);

// Native form of a Windows-style path, in UTF-8. Elsewhere than on Windows a
// leading drive letter becomes a folder of the working directory
// ("C:\dir\a.ini" reads "c/dir/a.ini") and backslashes become slashes; on
// Windows the path is kept as written.
std::string NativePath(const wchar_t* path);

}  // namespace nubora
