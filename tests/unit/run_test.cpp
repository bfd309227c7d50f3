#include "netconfig/run.h"

#include <gtest/gtest.h>

#include <clocale>
#include <thread>

#include "fakes.h"
#include "netconfig/log.h"
#include "nubora/stand_ins.h"
#include "platform/probes.h"

namespace nubora {
namespace {

// Commands written down in the order they start, among the probe's events.
class OrderedCommands : public RecordedCommands {
 public:
  explicit OrderedCommands(std::vector<std::wstring>& events) : events_(events) {}
  std::unique_ptr<RunningProcess> StartHidden(wchar_t* line, unsigned long& error) override {
    events_.push_back(line);
    return RecordedCommands::StartHidden(line, error);
  }

 private:
  std::vector<std::wstring>& events_;
};

TEST(RunConfiguration, RedirectionIsOffAroundThePostScriptOnlyUnderWow64) {
  for (int wow64 : {0, 1}) {
    testing::FakeSystemProbe probe;
    probe.hasWow64 = true;
    probe.isWow64 = wow64;
    Platform platform = CurrentPlatform();
    const std::string file = NUBORA_SCENARIOS_DIR "/post_script_missing/ipconfig_xen_vm.ini";
    RedirectedIniFiles ini(*platform.ini, std::wstring(file.begin(), file.end()));
    ListedAdapters adapters({});
    OrderedCommands commands(probe.events);
    NoWaitClock clock(*platform.clock);
    platform.system = &probe;
    platform.ini = &ini;
    platform.adapters = &adapters;
    platform.processes = &commands;
    platform.clock = &clock;
    ScopedPlatform scope(platform);
    InitPlatformProbes();
    testing::LogCapture log;
    RunConfiguration();

    const std::wstring post = L"c:\\windows\\system32\\cmd.exe /c c:\\windows\\ipconfig_post.bat";
    const std::vector<std::wstring> expected =
        wow64 ? std::vector<std::wstring>{L"redirection off", post, L"redirection on"}
              : std::vector<std::wstring>{post};
    EXPECT_EQ(probe.events, expected);
  }
  InitPlatformProbes();
}

TEST(Log, ConcurrentWritersNeverSplitALine) {
  testing::LogCapture log;
  auto writer = [](const wchar_t* word) {
    for (int i = 0; i < 500; ++i) LogWide(L"%ls %ls %d\n", word, word, i);
  };
  std::thread a(writer, L"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa");
  std::thread b(writer, L"bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb");
  a.join();
  b.join();
  const std::string text = log.Text();
  std::size_t lines = 0;
  for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
       start = end + 1, ++lines) {
    const std::string line = text.substr(start, end - start);
    const char c = line.empty() ? '?' : line[0];
    EXPECT_EQ(line.rfind(std::string(36, c) + " " + std::string(36, c) + " ", 0), 0u) << line;
  }
  EXPECT_EQ(lines, 1000u);
}

TEST(Log, WideTextIsConvertedNarrowTextIsNotAndLongTextArrivesWhole) {
  std::setlocale(LC_ALL, "C");
  testing::LogCapture log;
  LogWide(L"%ls|%d|%2d\n", L"name", 42, 7);
  LogNarrow("%s|\xE9\n", "raw");
  LogWide(L"\u670D\n");  // not representable in the C locale's code page
  LogWide(L"%ls\n", std::wstring(70000, L'9').c_str());
  EXPECT_EQ(log.Text(), "name|42| 7\nraw|\xE9\n?\n" + std::string(70000, '9') + "\n");
}

}  // namespace
}  // namespace nubora
