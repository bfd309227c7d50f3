#include "platform/portable_ini.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>

#include "platform/text.h"

namespace nubora {
namespace {

// Blanks trimmed around names and values; CR and LF only ever end lines.
bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\v' || c == L'\f'; }

// Case folding for name matching: ASCII and Latin-1 letters. Provisioning
// files use ASCII names; other letters compare as written.
wchar_t Fold(wchar_t c) {
  if ((c >= L'A' && c <= L'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
  return c;
}

bool SameName(const std::wstring& name, const wchar_t* wanted) {
  for (wchar_t c : name) {
    if (*wanted == 0 || Fold(c) != Fold(*wanted)) return false;
    ++wanted;
  }
  return *wanted == 0;
}

std::wstring Trimmed(const std::wstring& text, size_t begin, size_t end) {
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

std::wstring DecodeIniBytes(const std::string& bytes) {
  auto starts = [&](const char* mark, size_t length) {
    return bytes.compare(0, length, mark) == 0;
  };
  if (starts("\xFF\xFE", 2)) return FromUtf16(bytes, 2, false);
  if (starts("\xFE\xFF", 2)) return FromUtf16(bytes, 2, true);
  if (starts("\xEF\xBB\xBF", 3)) return FromUtf8(bytes, 3);
  std::wstring out;
  out.reserve(bytes.size());
  for (char byte : bytes) out += static_cast<wchar_t>(static_cast<unsigned char>(byte));
  return out;
}

unsigned long CopyCut(const wchar_t* text, size_t length, wchar_t* buffer, unsigned long size) {
  size_t placed = std::min<size_t>(length, size - 1);
  std::copy(text, text + placed, buffer);
  buffer[placed] = 0;
  return static_cast<unsigned long>(placed);
}

// One pair of matching enclosing quotes, double or single, is removed first.
// Like the system functions, which copy the closing quote and then overwrite
// it, a second NUL goes where that quote would have gone when it fits.
unsigned long CopyValue(const wchar_t* text, size_t length, wchar_t* buffer, unsigned long size) {
  if (length < 2 || (text[0] != L'"' && text[0] != L'\'') || text[length - 1] != text[0]) {
    return CopyCut(text, length, buffer, size);
  }
  unsigned long placed = CopyCut(text + 1, length - 2, buffer, size);
  if (length <= size) buffer[length - 1] = 0;
  return placed;
}

// A fallback loses its trailing spaces (not tabs), though one made only of
// spaces keeps its first, as with the system functions; null reads as empty.
size_t FallbackLength(const wchar_t* fallback) {
  size_t length = fallback != nullptr ? std::wcslen(fallback) : 0;
  while (length > 1 && fallback[length - 1] == L' ') --length;
  return length;
}

// The double-NUL list shared by section and key listings. One character is
// kept back for the final NUL; a name whose own NUL would need the last place
// before it is cut by the characters missing, ending the buffer with two NULs.
// A list that fits exactly so takes that path too, whole but reported as cut.
// With no character left before the final NUL, a section listing still places
// an empty cut name while a key listing just ends, as with the system functions.
template <typename Item>
unsigned long FillList(const std::vector<Item>& items, std::wstring Item::*name, bool sections,
                       wchar_t* buffer, unsigned long size) {
  if (size == 0) return 0;
  if (size == 1) {
    buffer[0] = 0;
    return 0;
  }
  unsigned long room = size - 1;  // characters left before the final NUL
  wchar_t* next = buffer;
  for (const Item& item : items) {
    const std::wstring& text = item.*name;
    if (text.empty()) continue;
    if (room == 1 && !sections) break;
    if (text.size() + 1 >= room) {
      next = std::copy(text.begin(), text.begin() + (room - 1), next);
      next[0] = next[1] = 0;
      return size - 2;
    }
    next = std::copy(text.begin(), text.end(), next);
    *next++ = 0;
    room -= static_cast<unsigned long>(text.size() + 1);
  }
  *next = 0;
  return static_cast<unsigned long>(next - buffer);
}

const IniSection* FindSection(const IniDocument& document, const wchar_t* name) {
  for (const IniSection& section : document.sections) {
    if (SameName(section.name, name)) return &section;
  }
  return nullptr;
}

}  // namespace

bool LoadIniFile(const std::string& nativePath, IniDocument& out) {
  try {
#ifdef _WIN32
    std::wstring widePath = FromUtf8(nativePath, 0);
    FILE* file = _wfopen(widePath.c_str(), L"rb");
#else
    FILE* file = std::fopen(nativePath.c_str(), "rb");
#endif
    if (file == nullptr) return false;
    std::string bytes;
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
    bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) return false;
    out = ParseIniText(DecodeIniBytes(bytes));
    return true;
  } catch (...) {
    return false;
  }
}

IniDocument ParseIniText(const std::wstring& text) {
  IniDocument document;
  IniSection* current = nullptr;
  size_t next = 0;
  while (next < text.size()) {
    size_t end = std::min(text.find_first_of(L"\r\n", next), text.size());
    size_t begin = next;
    next = end + 1;
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    if (begin == end || text[begin] == L';') continue;
    if (text[begin] == L'[') {
      size_t close = text.rfind(L']', end - 1);
      if (close != std::wstring::npos && close > begin) {
        document.sections.push_back(IniSection{Trimmed(text, begin + 1, close), {}});
        current = &document.sections.back();
        continue;
      }
    }
    size_t equals = std::find(text.begin() + begin, text.begin() + end, L'=') - text.begin();
    if (current == nullptr || equals == end) continue;
    std::wstring value = Trimmed(text, equals + 1, end);
    // The profile functions hand values on as C strings: a NUL ends one.
    value.erase(std::min(value.size(), value.find(L'\0')));
    current->entries.push_back(IniEntry{Trimmed(text, begin, equals), std::move(value)});
  }
  return document;
}

unsigned long IniSectionNames(const IniDocument& document, wchar_t* buffer, unsigned long size) {
  if (buffer == nullptr) return 0;
  return FillList(document.sections, &IniSection::name, true, buffer, size);
}

unsigned long IniString(const IniDocument& document, const wchar_t* section, const wchar_t* key,
                        const wchar_t* fallback, wchar_t* buffer, unsigned long size) {
  if (buffer == nullptr || size == 0) return 0;
  if (section == nullptr) return IniSectionNames(document, buffer, size);
  const IniSection* found = FindSection(document, section);
  if (found != nullptr && key == nullptr) {
    unsigned long listed = FillList(found->entries, &IniEntry::key, false, buffer, size);
    if (buffer[0] != 0) return listed;  // with nothing listed, the fallback
  } else if (found != nullptr) {
    for (const IniEntry& entry : found->entries) {
      if (SameName(entry.key, key)) {
        return CopyValue(entry.value.data(), entry.value.size(), buffer, size);
      }
    }
  }
  return CopyValue(fallback, FallbackLength(fallback), buffer, size);
}

bool PortableIniFiles::Exists(const wchar_t* path) {
  if (path == nullptr) return false;
#ifdef _WIN32
  struct _stat info;
  return _wstat(path, &info) == 0;
#else
  struct stat info;
  return stat(NativePath(path).c_str(), &info) == 0;
#endif
}

unsigned long PortableIniFiles::SectionNames(wchar_t* buffer, unsigned long size,
                                             const wchar_t* path) {
  IniDocument document;
  try {
    if (path != nullptr) LoadIniFile(NativePath(path), document);
  } catch (...) {
  }
  return IniSectionNames(document, buffer, size);
}

unsigned long PortableIniFiles::String(const wchar_t* section, const wchar_t* key,
                                       const wchar_t* fallback, wchar_t* buffer, unsigned long size,
                                       const wchar_t* path) {
  if (buffer == nullptr || size == 0) return 0;
  try {
    IniDocument document;
    if (path != nullptr && LoadIniFile(NativePath(path), document)) {
      return IniString(document, section, key, fallback, buffer, size);
    }
  } catch (...) {
  }
  // No file to read: the fallback as given, quotes included.
  return CopyCut(fallback, FallbackLength(fallback), buffer, size);
}

}  // namespace nubora
