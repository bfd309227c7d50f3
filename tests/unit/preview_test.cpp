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
#include "netconfig/log.h"
#include "netconfig/paths.h"
#include "nubora/doctor/doctor.h"
#include "nubora/machine/predicted_run.h"
#include "platform/text.h"

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
  // The JSON holds the same run as the text, line by line, and the exit code.
  const int code =
      PreviewCommand({ini, L"--adapters", Wide(folder / "adapters.ini"), L"--json"}, out, err);
  const nlohmann::json json = nlohmann::json::parse(out);
  std::string log, netsh;
  for (const auto& line : json["log"]) log += line.get<std::string>() + "\n";
  for (const auto& line : json["netsh"]) netsh += line.get<std::string>() + "\n";
  EXPECT_EQ(expectedLog, testing::WithClockForm(log));
  EXPECT_EQ(json["exit_code"], code);
  // A misformed item (a value of no address form) holds the command lines back.
  const bool misformed = !json["misformed"].empty();
  const std::string expectedNetsh =
      misformed ? "" : testing::ReadFile((folder / "expected.netsh").string());
  EXPECT_EQ(expectedNetsh, netsh);
  // Otherwise the exit code is the run's verdict, as status tells it.
  const std::string status = testing::ReadFile((folder / "expected.status").string());
  EXPECT_EQ(code, !misformed && testing::LeavesNothingToDo(status) ? 0 : 1);
  PreviewCommand({ini, L"--adapters", Wide(folder / "adapters.ini")}, out, err);
  ASSERT_EQ(err, "");
  EXPECT_EQ(expectedLog, testing::WithClockForm(Part(out, "----- log")));
  for (const auto& record : json["records"]) {  // as the text tells each record
    const std::string told = std::to_string(record["number"].get<int>()) + ". " +
                             record["section"].get<std::string>() +
                             (record["type"] == "dhcp" ? ": DHCP" : ": static");
    EXPECT_NE(out.find(told), std::string::npos) << told;
  }
  EXPECT_EQ(misformed ? "(not shown: the misformed items above would add arguments or lines to "
                        "them)\n"
                      : expectedNetsh,
            Part(out, "----- netsh command lines"));
  // A pause for a missing adapter is told once, not waited for.
  const std::size_t pauses = testing::Occurrences(expectedLog, "\nretry find adapters");
  EXPECT_EQ(json["pauses"], pauses);
  EXPECT_EQ(json["paused_seconds"], 30 * pauses);
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

// Items the service would carry as they are into netsh command lines or its
// log, each beside a neighbour that must stay quiet: the section [lan] below
// with `line` in place of the line of its key, on the adapter `connection`.
TEST(PreviewMisformed, FlagsEachItemNotInItsFormAndShowsNoCommand) {
  const char* const kBase[] = {"[lan]",
                               "MAC=00:00:5e:00:53:01",
                               "IP=192.0.2.10",
                               "MASK=255.255.255.0",
                               "GATEWAY=192.0.2.1",
                               "DNS=198.51.100.53"};
  const char* const kDotted = "not dotted IPv4 text (four numbers 0-255 joined by '.')";
  const char* const kMac =
      "not a MAC (six groups of hexadecimal digits joined by ':' or '-', or "
      "twelve hexadecimal digits)";
  const char* const kQuote = "holds a quote, which ends the name in a netsh command line";
  const char* const kLog =
      "holds a text of the service's log lines, which a reader takes for a line";
  const struct {
    const char* line;
    const char* connection;
    const char* told = nullptr;  // KEY "item", then `why`; null: quiet
    const char* why = nullptr;
  } kItems[] = {
      // clang-format off
      {"GATEWAY=192.0.2.1 gwmetric=9", "lan0", "GATEWAY \"192.0.2.1 gwmetric=9\"", kDotted},
      {"GATEWAY=192.0.2.254", "lan0"},
      {"IP=192.0.2.10,192.0.2.11 x", "lan0", "IP \"192.0.2.11 x\"", kDotted},
      {"IP=192.0.2.10,192.0.2.256", "lan0", "IP \"192.0.2.256\"", kDotted},
      {"IP=192.0.2.255,192.0.2.0", "lan0"},
      {"MASK=255.255.255.0 x", "lan0", "MASK \"255.255.255.0 x\"", kDotted},
      {"DNS=198.51.100.53&net user x P@ss /add&rem", "lan0", "DNS \"198.51.100.53&net user x P@ss /add&rem\"", kDotted},
      {"DNS=198.51.100.53,203.0.113.53", "lan0"},
      {"MAC=00:00:5e:00:53:01 x", "lan0", "MAC \"00:00:5e:00:53:01 x\"", kMac},
      {"MAC=00:00:5e:00:53:01:ff", "lan0", "MAC \"00:00:5e:00:53:01:ff\"", kMac},
      {"MAC=00-00-5E-00-53-01", "lan0"},
      {"MAC=00005e005301", "lan0"},
      {"MAC=0:0:5e:0:53:1", "lan0"},
      {"[lan\"uplink]", "lan0", "section name \"lan\"uplink\"", kQuote},
      {"[configure end]", "lan0", "section name \"configure end\"", kLog},
      {"[lan start time]", "lan0", "section name \"lan start time\"", kLog},
      {"[lan uplink 2]", "lan0"},
      {"", "lan\"0 static 203.0.113.9", "connection name \"lan\"0 static 203.0.113.9\"", kQuote},
      {"", "lan\a0", "connection name \"lan?0\"", "holds a control character, which can end a line of the log"},
      {"", "Find Adapter Name: x", "connection name \"Find Adapter Name: x\"", kLog},
      {"", "Ethernet 2"},
      // clang-format on
  };
  const auto key = [](const std::string& line) {
    return line.substr(0, line.find_first_of("=[") + 1);
  };
  const std::string ini = testing::TempPath("misformed.ini");
  const std::string adapters = testing::TempPath("misformed_adapters.ini");
  for (const auto& c : kItems) {
    SCOPED_TRACE(std::string(c.line) + " on " + c.connection);
    std::string text;
    for (const char* line : kBase)
      text += (key(line) == key(c.line) ? c.line : line) + std::string("\n");
    testing::WriteFile(ini, text);
    testing::WriteFile(adapters, std::string("[") + c.connection +
                                     "]\nMAC=00:00:5e:00:53:01\nADDRESSES=192.0.2.10/24\n");
    std::string out, err;
    const int code =
        PreviewCommand({Widened(ini.c_str()), L"--adapters", Widened(adapters.c_str())}, out, err);
    const std::string netsh = Part(out, "----- netsh command lines");
    if (c.told == nullptr) {
      EXPECT_EQ(0, code);
      EXPECT_EQ(out.find("misformed"), std::string::npos) << out;
      EXPECT_NE(netsh.find("netsh.exe"), std::string::npos);
      continue;
    }
    EXPECT_EQ(1, code);
    EXPECT_NE(out.find("\nmisformed items (the service puts each as it is into netsh command lines "
                       "or its log):\n  ["),
              std::string::npos);
    EXPECT_NE(out.find("] " + std::string(c.told) + ": " + c.why + "\n"), std::string::npos) << out;
    EXPECT_EQ("(not shown: the misformed items above would add arguments or lines to them)\n",
              netsh);
  }
}

// Where the predicted run's log cannot be kept in memory (here: another keeps
// the process's log), the verb stops with exit code 2 and plays nothing: the
// service's log file is never opened.
TEST(PredictedRun, NotKeptInMemoryIsAnErrorAndWritesNoLog) {
  const std::string logFile = NativePath(kLogPath);
  std::remove(logFile.c_str());
  const std::wstring ini = testing::DoctorData("ipconfig_xen_vm.ini");
  const std::wstring adapters =
      Wide(fs::path(NUBORA_TEST_DATA_DIR) / "preview/missing_adapter.ini");
  for (const bool doctor : {false, true}) {
    std::string out, err;
    const auto verb = [&] {
      return doctor ? DoctorCommand({ini, L"--machine", testing::DoctorData("drift.ini")}, out, err)
                    : PreviewCommand({ini, L"--adapters", adapters}, out, err);
    };
    {
      const LogInMemory other;
      EXPECT_EQ(2, verb());
      EXPECT_EQ(other.Bytes().find("start time"), std::string::npos);  // no run played
    }
    EXPECT_EQ((doctor ? "nubora doctor: " : "nubora preview: ") + Utf8(kRunNotKept) + "\n", err);
    EXPECT_EQ("", out);
    EXPECT_FALSE(fs::exists(logFile));
    EXPECT_EQ(1, verb());  // nothing else keeping the log, the run is played
  }
}

}  // namespace
}  // namespace nubora
