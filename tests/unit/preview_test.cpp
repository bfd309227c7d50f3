// nubora preview on the scenarios' INI files: the sections and records it
// tells and its exit code against each folder's expected.preview, and the run
// it shows on the folder's adapters against the folder's expected log and
// netsh lines (the folders without settings, which the preview cannot play).
#include "nubora/preview/preview.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "fakes.h"

namespace nubora {
namespace {

namespace fs = std::filesystem;

std::wstring Wide(const fs::path& path) { return path.wstring(); }

// Settings other than e2e=no are what the preview cannot play.
bool PreviewPlays(const fs::path& folder) {
  const std::string settings =
      fs::exists(folder / "settings") ? testing::ReadFile((folder / "settings").string()) : "";
  return settings.empty() || settings == "e2e=no\n";
}

// The folders with something to hold the preview to.
std::vector<std::string> Folders() {
  std::vector<std::string> names;
  for (const std::string& name : testing::ScenarioNames()) {
    const fs::path folder = fs::path(NUBORA_SCENARIOS_DIR) / name;
    if (fs::exists(folder / "ipconfig_xen_vm.ini") &&
        (fs::exists(folder / "expected.preview") || PreviewPlays(folder))) {
      names.push_back(name);
    }
  }
  return names;
}

// The part of the preview's output after the line `mark`, up to the next mark.
std::string Part(const std::string& out, const std::string& mark) {
  const std::size_t begin = out.find(mark + "\n");
  if (begin == std::string::npos) return "(no " + mark + ")";
  const std::size_t from = begin + mark.size() + 1;
  const std::size_t end = out.find("\n----- ", from - 1);
  return out.substr(from, end == std::string::npos ? std::string::npos : end + 1 - from);
}

class PreviewOfScenario : public ::testing::TestWithParam<std::string> {};

TEST_P(PreviewOfScenario, TellsWhatTheFolderExpects) {
  const fs::path folder = fs::path(NUBORA_SCENARIOS_DIR) / GetParam();
  const std::wstring ini = Wide(folder / "ipconfig_xen_vm.ini");
  std::string out, err;
  if (fs::exists(folder / "expected.preview")) {
    const int code = PreviewCommand({ini}, out, err);
    EXPECT_EQ(err, "");
    EXPECT_EQ(testing::ReadFile((folder / "expected.preview").string()),
              out + "exit " + std::to_string(code) + "\n");
  }
  if (!PreviewPlays(folder)) return;
  const std::string expectedLog = testing::ReadFile((folder / "expected.log").string());
  PreviewCommand({ini, L"--adapters", Wide(folder / "adapters.ini")}, out, err);
  ASSERT_EQ(err, "");
  EXPECT_EQ(expectedLog, testing::WithClockForm(Part(out, "----- log")));
  EXPECT_EQ(testing::ReadFile((folder / "expected.netsh").string()),
            Part(out, "----- netsh command lines"));
  // The JSON holds the same run, line by line, and the exit code.
  const int code =
      PreviewCommand({ini, L"--adapters", Wide(folder / "adapters.ini"), L"--json"}, out, err);
  const nlohmann::json json = nlohmann::json::parse(out);
  std::string log, netsh;
  for (const auto& line : json["log"]) log += line.get<std::string>() + "\n";
  for (const auto& line : json["netsh"]) netsh += line.get<std::string>() + "\n";
  EXPECT_EQ(expectedLog, testing::WithClockForm(log));
  EXPECT_EQ(testing::ReadFile((folder / "expected.netsh").string()), netsh);
  EXPECT_EQ(json["exit_code"], code);
  // With adapters the exit code is the run's verdict, as status tells it.
  const std::string status = testing::ReadFile((folder / "expected.status").string());
  EXPECT_EQ(code, testing::LeavesNothingToDo(status) ? 0 : 1);
  // A pause for a missing adapter is told once, not waited for.
  const std::size_t pauses = testing::Occurrences(expectedLog, "\nretry find adapters");
  EXPECT_EQ(json["pauses"], pauses);
  EXPECT_EQ(json["paused_seconds"], 30 * pauses);
  PreviewCommand({ini, L"--adapters", Wide(folder / "adapters.ini")}, out, err);
  EXPECT_EQ(Part(out, "----- note"),
            pauses == 0 ? "(no ----- note)"
                        : "the run would pause " + std::to_string(pauses) + " times for 30 s (" +
                              std::to_string(30 * pauses) +
                              " s in all) waiting for an adapter that is missing\n");
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
