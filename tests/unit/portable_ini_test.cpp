#include "platform/portable_ini.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/text.h"

#ifndef NUBORA_TEST_DATA_DIR
#define NUBORA_TEST_DATA_DIR "tests/data"
#endif

namespace nubora {
namespace {

const std::string kIniDir = NUBORA_TEST_DATA_DIR "/ini/";
constexpr wchar_t kUntouched = 0xFFFF;  // never placed by a call
constexpr unsigned long kGuard = 8;     // buffer characters past the size given

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// Golden-file text to wide text: \0 \t \\ \uXXXX \UXXXXXXXX, and \- for a
// place the call must leave as it was.
std::wstring Unescape(const std::string& text) {
  std::wstring out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += static_cast<wchar_t>(static_cast<unsigned char>(text[i]));
      continue;
    }
    char kind = text[++i];
    if (kind == '0') {
      out += L'\0';
    } else if (kind == 't') {
      out += L'\t';
    } else if (kind == '-') {
      out += kUntouched;
    } else if (kind == 'u' || kind == 'U') {
      size_t digits = kind == 'u' ? 4 : 8;
      AppendWide(out, std::stoul(text.substr(i + 1, digits), nullptr, 16));
      i += digits;
    } else {
      out += static_cast<wchar_t>(kind);
    }
  }
  return out;
}

// A text field of a golden line; null pointer for <null>.
struct Field {
  bool null = false;
  std::wstring text;
  const wchar_t* get() const { return null ? nullptr : text.c_str(); }
};

struct Call {
  int line = 0;
  std::string source;
  bool names = false;
  Field section, key, fallback;
  unsigned long size = 0;
  bool resultIsLength = false;
  unsigned long result = 0;
  std::wstring placed;
};

std::vector<Call> ReadGolden(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  EXPECT_TRUE(file.is_open()) << path;
  std::vector<Call> calls;
  std::string line;
  for (int number = 1; std::getline(file, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    std::stringstream split(line);
    for (std::string field; std::getline(split, field, '\t');) fields.push_back(field);
    if (fields.size() != 7) {
      ADD_FAILURE() << path << ":" << number << ": expected 7 fields";
      continue;
    }
    auto field = [](const std::string& text) {
      return text == "<null>" ? Field{true, L""} : Field{false, Unescape(text)};
    };
    Call call;
    call.line = number;
    call.source = line;
    call.names = fields[0] == "names";
    call.section = field(fields[1]);
    call.key = field(fields[2]);
    call.fallback = field(fields[3]);
    call.size = std::stoul(fields[4]);
    call.resultIsLength = fields[5] == "len";
    call.result = call.resultIsLength ? 0 : std::stoul(fields[5]);
    call.placed = fields[6] == "<none>" ? L"" : Unescape(fields[6]);
    calls.push_back(call);
  }
  return calls;
}

// Runs `fill` on a buffer of the golden size followed by guard characters and
// checks its result, the characters it must place and that the guard is intact.
template <typename Fill>
void ExpectPlaced(const Call& golden, Fill fill) {
  ASSERT_LE(golden.placed.size(), golden.size) << "golden places more than the size";
  std::vector<wchar_t> buffer(golden.size + kGuard, kUntouched);
  unsigned long result = fill(buffer.data(), golden.size);
  std::wstring placed(buffer.begin(), buffer.begin() + golden.placed.size());
  EXPECT_EQ(placed, golden.placed);
  std::wstring guard(buffer.begin() + golden.size, buffer.end());
  EXPECT_EQ(guard, std::wstring(kGuard, kUntouched)) << "placed past the size";
  unsigned long expected =
      golden.resultIsLength ? std::wcslen(golden.placed.c_str()) : golden.result;
  EXPECT_EQ(result, expected);
}

#ifdef _WIN32
const char* const kOwnFolder = "windows_only/";
#else
const char* const kOwnFolder = "posix_only/";
#endif

class IniGoldenTest : public ::testing::TestWithParam<std::string> {};

// Each call runs through PortableIniFiles on the path.
TEST_P(IniGoldenTest, CallsPlaceWhatTheGoldenFileSays) {
  const std::string base = kIniDir + GetParam();
  const std::wstring path = Widen(base + ".ini");
  PortableIniFiles files;
  std::vector<Call> calls = ReadGolden(base + ".expected");
  ASSERT_FALSE(calls.empty());
  for (const Call& call : calls) {
    SCOPED_TRACE(::testing::Message()
                 << GetParam() << ".expected:" << call.line << ": " << call.source);
    ExpectPlaced(call, [&](wchar_t* buffer, unsigned long size) {
      return call.names ? files.SectionNames(buffer, size, path.c_str())
                        : files.String(call.section.get(), call.key.get(), call.fallback.get(),
                                       buffer, size, path.c_str());
    });
  }
}

// Every golden file, with those of the reader's own platform kind.
std::vector<std::string> GoldenFiles() {
  std::vector<std::string> names;
  for (const char* folder : {"", kOwnFolder}) {
    for (const auto& entry : std::filesystem::directory_iterator(kIniDir + folder)) {
      if (entry.path().extension() == ".expected") {
        names.push_back(folder + entry.path().stem().string());
      }
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

INSTANTIATE_TEST_SUITE_P(Files, IniGoldenTest, ::testing::ValuesIn(GoldenFiles()),
                         [](const auto& info) {
                           std::string name = info.param;
                           std::replace(name.begin(), name.end(), '/', '_');
                           return name;
                         });

TEST(PortableIniFilesTest, ExistsForFilesAndFolders) {
  PortableIniFiles files;
  EXPECT_TRUE(files.Exists(Widen(kIniDir + "lookup.ini").c_str()));
  EXPECT_TRUE(files.Exists(Widen(NUBORA_TEST_DATA_DIR "/ini").c_str()));
  EXPECT_FALSE(files.Exists(Widen(kIniDir + "lookup.ini.missing").c_str()));
  EXPECT_FALSE(files.Exists(nullptr));
}

TEST(PortableIniFilesTest, NullBufferPlacesNothing) {
  IniDocument document;
  ASSERT_TRUE(LoadIniFile(kIniDir + "lookup.ini", document));
  EXPECT_EQ(IniSectionNames(document, nullptr, 64), 0u);
  EXPECT_EQ(IniString(document, L"Network", L"Address", L"fb", nullptr, 64), 0u);
}

}  // namespace
}  // namespace nubora
