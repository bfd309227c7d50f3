#pragma once

#include <string>
#include <vector>

#include "platform/ini_files.h"

namespace nubora {

// Private-profile (INI) files read the way GetPrivateProfileSectionNamesW and
// GetPrivateProfileStringW read them, for the systems that lack those calls.

struct IniEntry {
  std::wstring key;
  std::wstring value;  // blanks trimmed, enclosing quotes still in place
};

struct IniSection {
  std::wstring name;  // blanks inside the brackets trimmed
  std::vector<IniEntry> entries;
};

// Every section in file order, duplicates included.
struct IniDocument {
  std::vector<IniSection> sections;
};

// Reads and parses a whole file. Text with the byte-order mark FF FE (UTF-16LE),
// FE FF (UTF-16BE) or EF BB BF (UTF-8) is decoded accordingly; any other text is
// taken as Latin-1, one byte to one character, the nearest fixed reading of the
// ANSI code page Windows applies (they differ only in bytes 80-9F). False when
// the file cannot be opened or read.
bool LoadIniFile(const std::string& nativePath, IniDocument& out);

// Lines end with CR LF, LF or CR. Blank lines and lines whose first non-blank
// character is ';' are comments. "[name]" starts a section: the name runs to
// the last ']' of the line and is trimmed of blanks. Inside a section,
// "key = value" adds an entry with both parts trimmed; a line without '=' and
// every line before the first section are ignored.
IniDocument ParseIniText(const std::wstring& text);

// Every section name but empty ones, each followed by a NUL, and one more NUL
// after the last; returns the characters placed without that final NUL. When
// the list does not fit, the name that does not is cut so that the buffer ends
// with two NULs, and the result is size - 2. As with Windows, a list that fits
// exactly is placed whole but also reported as size - 2.
unsigned long IniSectionNames(const IniDocument& document, wchar_t* buffer, unsigned long size);

// The value of `key` in the first section named `section` (names match without
// regard to letter case; later sections of the same name are not consulted, nor
// later entries of the same key; the empty name finds a section written "[]").
// Without the key the result is `fallback` less its trailing spaces (all but
// the first when it is only spaces), null meaning empty. One pair of matching
// enclosing quotes, double or single, is removed from either, and a second NUL
// goes where the closing quote was when it fits. At most size - 1 characters
// are placed, then a NUL; returns the count placed. As with Windows, a null
// `section` lists the section names, and a null `key` lists the section's keys
// (cut like IniSectionNames), or gives the fallback when none can be listed.
unsigned long IniString(const IniDocument& document, const wchar_t* section, const wchar_t* key,
                        const wchar_t* fallback, wchar_t* buffer, unsigned long size);

// IniFiles over the functions above, reading the file again on every call. A
// file that cannot be read lists no sections, and String then places the
// fallback less its trailing spaces but with any quotes, as Windows does.
class PortableIniFiles : public IniFiles {
 public:
  bool Exists(const wchar_t* path) override;
  unsigned long SectionNames(wchar_t* buffer, unsigned long size, const wchar_t* path) override;
  unsigned long String(const wchar_t* section, const wchar_t* key, const wchar_t* fallback,
                       wchar_t* buffer, unsigned long size, const wchar_t* path) override;
};

}  // namespace nubora
