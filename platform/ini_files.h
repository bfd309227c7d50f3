#pragma once

#include <string>

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

// Reads one given file wherever the caller looks: for tools and tests that run
// the configuration stages on a file of their choosing.
class RedirectedIniFiles : public IniFiles {
 public:
  RedirectedIniFiles(IniFiles& inner, std::wstring path) : inner_(inner), path_(std::move(path)) {}
  bool Exists(const wchar_t*) override { return inner_.Exists(path_.c_str()); }
  unsigned long SectionNames(wchar_t* buffer, unsigned long size, const wchar_t*) override {
    return inner_.SectionNames(buffer, size, path_.c_str());
  }
  unsigned long String(const wchar_t* section, const wchar_t* key, const wchar_t* fallback,
                       wchar_t* buffer, unsigned long size, const wchar_t*) override {
    return inner_.String(section, key, fallback, buffer, size, path_.c_str());
  }

 private:
  IniFiles& inner_;
  std::wstring path_;
};

}  // namespace nubora
