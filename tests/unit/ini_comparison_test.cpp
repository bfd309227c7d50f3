// Under Windows (or Wine), the portable INI reader must place exactly what the
// system's own profile functions place, on every file the tests carry.
#if defined(_WIN32)

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fakes.h"
#include "platform/portable_ini.h"
#include "platform/win32/win32_native.h"

namespace nubora {
namespace {

std::vector<std::wstring> IniFilesUnder(const std::string& folder) {
  std::vector<std::wstring> files;
  for (const auto& entry : std::filesystem::directory_iterator(testing::DataPath(folder))) {
    if (entry.path().extension() == ".ini") files.push_back(entry.path().wstring());
  }
  return files;
}

struct Placed {
  unsigned long count;
  std::wstring buffer;  // the whole buffer, NULs included
  bool operator==(const Placed& other) const {
    return count == other.count && buffer == other.buffer;
  }
};

template <typename Call>
Placed Place(unsigned long size, Call call) {
  std::wstring buffer(size, L'#');
  const unsigned long count = call(&buffer[0], size);
  // Past the count and its NUL the functions promise nothing.
  buffer.resize(std::min<std::size_t>(size, count + 2));
  return {count, buffer};
}

TEST(IniComparison, PortableReaderPlacesWhatWindowsPlaces) {
  Win32IniFiles windows;
  PortableIniFiles portable;
  std::vector<std::wstring> files = IniFilesUnder("ini");
  const std::vector<std::wstring> more = IniFilesUnder("config");
  files.insert(files.end(), more.begin(), more.end());
  ASSERT_GT(files.size(), 5u);

  const wchar_t* fallbacks[] = {L" ", L"0.0.0.0", L"", L"  x  "};
  const unsigned long sizes[] = {1024, 9, 2};
  std::size_t compared = 0;
  for (const std::wstring& file : files) {
    const wchar_t* path = file.c_str();
    for (unsigned long size : sizes) {
      auto names = [&](IniFiles& ini) {
        return Place(size,
                     [&](wchar_t* b, unsigned long n) { return ini.SectionNames(b, n, path); });
      };
      EXPECT_EQ(names(windows), names(portable)) << file << L" names, size " << size;
    }

    IniDocument document;
    LoadIniFile(NativePath(path), document);
    std::vector<std::wstring> sections = {L"missing"};
    std::vector<std::wstring> keys = {L"MISSING", L"MAC", L"ip", L"GATEWAY"};
    for (const IniSection& section : document.sections) {
      sections.push_back(section.name);
      for (const IniEntry& entry : section.entries) keys.push_back(entry.key);
    }
    for (const std::wstring& section : sections) {
      for (const std::wstring& key : keys) {
        for (const wchar_t* fallback : fallbacks) {
          for (unsigned long size : sizes) {
            auto value = [&](IniFiles& ini) {
              return Place(size, [&](wchar_t* b, unsigned long n) {
                return ini.String(section.c_str(), key.c_str(), fallback, b, n, path);
              });
            };
            EXPECT_EQ(value(windows), value(portable))
                << file << L" [" << section << L"] " << key << L" default '" << fallback
                << L"' size " << size;
            ++compared;
          }
        }
      }
    }
  }
  EXPECT_GT(compared, 100u);
}

}  // namespace
}  // namespace nubora

#endif
