// nubora preview on the scenarios' INI files: the sections and records it
// tells and its exit code against each folder's expected.preview, and the run
// it shows on the folder's adapters against the folder's expected log and
// netsh lines (the folders without settings, which the preview cannot play).
#include "nubora/preview.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "fakes.h"

namespace nubora {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Folders() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(NUBORA_SCENARIOS_DIR)) {
    if (fs::exists(entry.path() / "ipconfig_xen_vm.ini")) {
      names.push_back(entry.path().filename().string());
    }
  }
  return names;
}

std::wstring Wide(const fs::path& path) { return path.wstring(); }

// The part of the preview's output after the line `mark`, up to the next mark.
std::string Part(const std::string& out, const std::string& mark) {
  const std::size_t begin = out.find(mark + "\n");
  if (begin == std::string::npos) return "(no " + mark + ")";
  const std::size_t from = begin + mark.size() + 1;
  const std::size_t end = out.find("\n----- ", from - 1);
  return out.substr(from, end == std::string::npos ? std::string::npos : end + 1 - from);
}

class PreviewOfScenario : public ::testing::TestWithParam<std::string> {};

TEST_P(PreviewOfScenario, TellsSectionsRecordsAndExitCodeAsExpected) {
  const fs::path folder = fs::path(NUBORA_SCENARIOS_DIR) / GetParam();
  const fs::path golden = folder / "expected.preview";
  if (!fs::exists(golden)) GTEST_SKIP() << "no expected.preview";
  std::string out, err;
  const int code = PreviewCommand({Wide(folder / "ipconfig_xen_vm.ini")}, out, err);
  EXPECT_EQ(err, "");
  EXPECT_EQ(testing::ReadFile(golden.string()), out + "exit " + std::to_string(code) + "\n");
}

TEST_P(PreviewOfScenario, ShowsTheRunTheScenarioExpects) {
  const fs::path folder = fs::path(NUBORA_SCENARIOS_DIR) / GetParam();
  if (fs::exists(folder / "settings")) GTEST_SKIP() << "settings the preview cannot play";
  const fs::path adapters = folder / "adapters.ini";
  std::string out, err;
  PreviewCommand({Wide(folder / "ipconfig_xen_vm.ini"), L"--adapters", Wide(adapters)}, out, err);
  ASSERT_EQ(err, "");
  static const std::regex clock(R"((^|\n)(start|end) time [0-9][^\n]*)");
  EXPECT_EQ(testing::ReadFile((folder / "expected.log").string()),
            std::regex_replace(Part(out, "----- log"), clock, "$1$2 time <time>"));
  EXPECT_EQ(testing::ReadFile((folder / "expected.netsh").string()),
            Part(out, "----- netsh command lines"));
}

INSTANTIATE_TEST_SUITE_P(Scenarios, PreviewOfScenario, ::testing::ValuesIn(Folders()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           for (char& c : name)
                             c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return name;
                         });

}  // namespace
}  // namespace nubora
