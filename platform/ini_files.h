#pragma once

namespace nubora {

// Private-profile (INI) reading, with the contracts of the Windows calls:
// counts are in wide characters and exclude the final NUL.
class IniFiles {
 public:
  virtual ~IniFiles() = default;

  // True when a file or a folder exists at `path`.
  virtual bool Exists(const wchar_t* path) = 0;

  // Places every section name followed by a NUL, and one more NUL after the last.
  virtual unsigned long SectionNames(wchar_t* buffer, unsigned long size, const wchar_t* path) = 0;

  // Places the key's value, or `fallback` when the section has no such key.
  virtual unsigned long String(const wchar_t* section, const wchar_t* key, const wchar_t* fallback,
                               wchar_t* buffer, unsigned long size, const wchar_t* path) = 0;
};

}  // namespace nubora
