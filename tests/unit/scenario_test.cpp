// Plays every machine of tests/scenarios through the configuration run, over
// the preview's stand-ins: the log and the netsh command lines must be the
// expected ones, which the end-to-end player also holds the real executable to.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "fakes.h"
#include "netconfig/paths.h"
#include "netconfig/run.h"
#include "nubora/machine/adapters_file.h"
#include "nubora/machine/stand_ins.h"
#include "platform/probes.h"
#include "platform/text.h"

namespace nubora {
namespace {

namespace fs = std::filesystem;
const fs::path kScenarios = NUBORA_SCENARIOS_DIR;

std::map<std::string, std::string> Settings(const fs::path& folder) {
  std::map<std::string, std::string> settings;
  std::ifstream file(folder / "settings");
  for (std::string line; std::getline(file, line);) {
    const std::size_t equals = line.find('=');
    if (equals != std::string::npos) settings[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return settings;
}

// "NAME:N" or "N:M" settings: the part before and after the colon.
std::pair<std::string, unsigned long> Pair(const std::string& text) {
  const std::size_t colon = text.find(':');
  return {text.substr(0, colon), std::stoul(text.substr(colon + 1))};
}

class Scenario : public ::testing::TestWithParam<std::string> {};

TEST_P(Scenario, Plays) {
  const fs::path folder = kScenarios / GetParam();
  std::map<std::string, std::string> settings = Settings(folder);

  std::vector<AdapterInfo> adapters;
  const fs::path adaptersFile = folder / "adapters.ini";
  if (fs::exists(adaptersFile) && fs::file_size(adaptersFile) > 0) {
    std::wstring error;
    ASSERT_TRUE(LoadAdaptersFile(adaptersFile.wstring(), adapters, error)) << error.size();
  }
  ListedAdapters listed(adapters);
  if (settings.count("appears_from_pass")) {
    const auto [name, pass] = Pair(settings["appears_from_pass"]);
    listed.AppearsFromPass(Widened(name.c_str()), static_cast<int>(pass));
  }
  if (settings.count("enumeration_fails_in_pass")) {
    const auto [pass, error] = Pair(settings["enumeration_fails_in_pass"]);
    listed.FailsInPass(std::stoi(pass), error);
  }
  RecordedCommands commands;
  auto number = [&](const char* key, unsigned long fallback) {
    return settings.count(key) ? std::stoul(settings[key]) : fallback;
  };
  commands.netsh = {static_cast<unsigned>(number("netsh_ends_in_slice", 1)),
                    number("netsh_start_error", 0)};
  commands.others.endsInSlice = static_cast<unsigned>(number("post_ends_in_slice", 1));

  Platform platform = CurrentPlatform();
  NoWaitClock clock(*platform.clock);
  RedirectedIniFiles ini(*platform.ini, (folder / "ipconfig_xen_vm.ini").wstring());
  platform.ini = &ini;
  platform.adapters = &listed;
  platform.processes = &commands;
  platform.clock = &clock;
  testing::FakeSystemProbe wow64;  // the shipped build is 32-bit
  wow64.hasWow64 = true;
  wow64.isWow64 = 1;
  platform.system = &wow64;
  ScopedPlatform scope(platform);
  const std::int32_t savedLegacy = legacyOs;
  legacyOs = static_cast<std::int32_t>(number("legacy_os", 0));
  testing::LogCapture log;
  EXPECT_EQ(RunConfiguration(), 0);
  legacyOs = savedLegacy;

  const std::string expected = testing::ReadFile((folder / "expected.log").string());
  EXPECT_EQ(testing::WithClockForm(log.Text()), expected);
  std::string netsh;
  for (const std::wstring& line : commands.lines)
    netsh += std::string(line.begin(), line.end()) + "\n";
  EXPECT_EQ(netsh, testing::ReadFile((folder / "expected.netsh").string()));
  EXPECT_EQ(clock.pauses, static_cast<int>(testing::Occurrences(expected, "retrycount=")));
  EXPECT_EQ(clock.waited, clock.pauses * 30000ul);
  EXPECT_EQ(commands.millisecondsWaited, commands.slicesWaited * 2000ul);
  // Under WOW64, file system redirection is turned off for the post script,
  // then back on.
  const int postScripts = expected.find(Utf8(kPostScriptCommand.text) + "\n") != std::string::npos;
  EXPECT_EQ(wow64.redirectionOff, postScripts);
  EXPECT_EQ(wow64.redirectionOn, postScripts);
}

INSTANTIATE_TEST_SUITE_P(Scenarios, Scenario, ::testing::ValuesIn(testing::ScenarioNames()),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace nubora
