#include "netconfig/run.h"

#include <gtest/gtest.h>

#include <clocale>
#include <thread>

#include "fakes.h"
#include "netconfig/log.h"
#include "platform/portable_ini.h"

namespace nubora {
namespace {

using testing::DataPath;
using testing::ReadFile;

struct RunPlatform : testing::FakePlatform {
  explicit RunPlatform(const std::string& ini) {
    dataIni = std::make_unique<RedirectedIniFiles>(portable, testing::WideDataPath(ini));
    Platform platform = CurrentPlatform();
    platform.ini = dataIni.get();
    scope.reset();
    scope = std::make_unique<ScopedPlatform>(platform);
  }
  PortableIniFiles portable;
  std::unique_ptr<RedirectedIniFiles> dataIni;
};

TEST(RunConfiguration, WithoutConfigFileLogsFourLinesAndRunsNothing) {
  RunPlatform platform("config/does_not_exist.ini");
  testing::LogCapture log;
  EXPECT_EQ(RunConfiguration(), 0);
  EXPECT_EQ(RunConfiguration(), 0);
  const std::string block = ReadFile(DataPath("expected/run_without_config.log"));
  EXPECT_EQ(log.Text(), block + block);
  EXPECT_TRUE(platform.events.empty());
}

TEST(RunConfiguration, RedirectionIsOffAroundThePostScriptOnlyUnderWow64) {
  for (int wow64 : {0, 1}) {
    RunPlatform platform("config/four_sections.ini");
    testing::LogCapture log;
    platform.system.hasWow64 = true;
    platform.system.isWow64 = wow64;
    platform.adapters.passes = {
        {0,
         {testing::MakeAdapter(L"lan0", {0, 0, 0x5E, 0, 0x53, 1}, {"192.0.2.10"}, 24, "", {}),
          testing::MakeAdapter(L"mgmt0", {0, 0, 0x5E, 0, 0x53, 2}, {}, 0, "", {})}}};
    RunConfiguration();

    const testing::Events& events = platform.events;
    ASSERT_GE(events.size(), 3u);
    const std::wstring post = L"c:\\windows\\system32\\cmd.exe /c c:\\windows\\ipconfig_post.bat";
    if (wow64 != 0) {
      ASSERT_EQ(events.size(), 8u);  // 4 lan commands, 1 mgmt, off, post script, on
      EXPECT_EQ(events[5], L"redirection off");
      EXPECT_EQ(events[6], post);
      EXPECT_EQ(events[7], L"redirection on");
    } else {
      ASSERT_EQ(events.size(), 6u);
      EXPECT_EQ(events[5], post);
    }
    const std::string text = log.Text();
    EXPECT_EQ(text.rfind("start time 2016-3-5, 9:14: 7\nstarting config ip address\n", 0), 0u);
    const std::string ending = ReadFile(DataPath("expected/run_ending.log"));
    ASSERT_GE(text.size(), ending.size());
    EXPECT_EQ(text.substr(text.size() - ending.size()), ending);
  }
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

TEST(Log, WideTextIsConvertedNarrowTextIsNot) {
  std::setlocale(LC_ALL, "C");
  testing::LogCapture log;
  LogWide(L"%ls|%d|%2d\n", L"name", 42, 7);
  LogNarrow("%s|\xE9\n", "raw");
  LogWide(L"\u670D\n");  // not representable in the C locale's code page
  EXPECT_EQ(log.Text(), "name|42| 7\nraw|\xE9\n?\n");
}

TEST(Log, LongMessagesArriveWhole) {
  for (std::size_t length : {511u, 512u, 3000u, 70000u}) {
    testing::LogCapture log;
    const std::wstring value(length, L'9');
    LogWide(L"ip=%ls\n", value.c_str());
    EXPECT_EQ(log.Text(), "ip=" + std::string(length, '9') + "\n") << length;
  }
}

}  // namespace
}  // namespace nubora
