#include "platform/text.h"

#include <cstring>
#include <cwchar>
#include <cwctype>

namespace nubora {
namespace {

constexpr unsigned long kReplacement = 0xFFFD;
constexpr bool kWideIsUtf16 = sizeof(wchar_t) == 2;

bool IsHighSurrogate(unsigned long unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(unsigned long unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

unsigned long Valid(unsigned long codePoint) {
  return codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF) ? kReplacement
                                                                              : codePoint;
}

}  // namespace

unsigned long NextCodePoint(const wchar_t* text, std::size_t length, std::size_t& at) {
  const unsigned long unit = static_cast<unsigned long>(text[at++]);
  if (IsHighSurrogate(unit) && at < length &&
      IsLowSurrogate(static_cast<unsigned long>(text[at]))) {
    return 0x10000 + ((unit - 0xD800) << 10) + (static_cast<unsigned long>(text[at++]) - 0xDC00);
  }
  return unit;
}

void AppendWide(std::wstring& out, unsigned long codePoint) {
  codePoint = Valid(codePoint);
  if (kWideIsUtf16 && codePoint >= 0x10000) {
    codePoint -= 0x10000;
    out += static_cast<wchar_t>(0xD800 + (codePoint >> 10));
    out += static_cast<wchar_t>(0xDC00 + (codePoint & 0x3FF));
  } else {
    out += static_cast<wchar_t>(codePoint);
  }
}

void AppendUtf8(std::string& out, unsigned long codePoint) {
  const unsigned long cp = Valid(codePoint);
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string Utf8(const std::wstring& text) {
  std::string out;
  for (std::size_t at = 0; at < text.size();)
    AppendUtf8(out, NextCodePoint(text.data(), text.size(), at));
  return out;
}

std::wstring FromUtf8(const std::string& bytes, std::size_t from) {
  static const unsigned long kSmallest[] = {0, 0x80, 0x800, 0x10000};
  std::wstring out;
  std::size_t i = from;
  while (i < bytes.size()) {
    const unsigned char lead = static_cast<unsigned char>(bytes[i++]);
    int extra = -1;
    unsigned long cp = lead;
    if (lead < 0x80) {
      extra = 0;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      extra = 1;
      cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      extra = 2;
      cp = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      extra = 3;
      cp = lead & 0x07;
    }
    int taken = 0;
    while (extra > 0 && taken < extra && i < bytes.size() &&
           (static_cast<unsigned char>(bytes[i]) & 0xC0) == 0x80) {
      cp = (cp << 6) | (static_cast<unsigned char>(bytes[i++]) & 0x3F);
      ++taken;
    }
    AppendWide(out, extra >= 0 && taken == extra && cp >= kSmallest[extra] ? cp : kReplacement);
  }
  return out;
}

// Where wide text is UTF-16 the units are kept as they are, lone surrogates
// included; elsewhere pairs are joined and lone surrogates become U+FFFD.
std::wstring FromUtf16(const std::string& bytes, std::size_t from, bool bigEndian) {
  std::wstring units;
  for (std::size_t i = from; i + 1 < bytes.size(); i += 2) {
    const unsigned first = static_cast<unsigned char>(bytes[i]);
    const unsigned second = static_cast<unsigned char>(bytes[i + 1]);
    units += static_cast<wchar_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
  }
  if (kWideIsUtf16) return units;
  std::wstring out;
  for (std::size_t at = 0; at < units.size();)
    AppendWide(out, NextCodePoint(units.data(), units.size(), at));
  return out;
}

std::wstring Widened(const char* ascii) { return std::wstring(ascii, ascii + std::strlen(ascii)); }

bool IsControlCharacter(wchar_t c) {
  return (c < L' ' && c != L'\t') || (c >= 0x7f && c <= 0x9f) || c == 0x061c || c == 0x200e ||
         c == 0x200f || (c >= 0x202a && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069);
}

std::string NativePath(const wchar_t* path) {
  std::string out;
  if (path == nullptr) return out;
  try {
    const std::size_t length = std::wcslen(path);
    std::size_t at = 0;
#ifndef _WIN32
    const wchar_t drive = path[0] | 0x20;
    if (drive >= L'a' && drive <= L'z' && path[1] == L':') {
      out += static_cast<char>(drive);
      if (path[2] != L'\\' && path[2] != L'/' && path[2] != 0) out += '/';
      at = 2;
    }
#endif
    while (at < length) {
      unsigned long cp = NextCodePoint(path, length, at);
#ifndef _WIN32
      if (cp == L'\\') cp = '/';
#endif
      AppendUtf8(out, cp);
    }
  } catch (...) {
    out.clear();  // no memory: no path rather than a part of one
  }
  return out;
}

std::wstring Lowered(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

}  // namespace nubora
