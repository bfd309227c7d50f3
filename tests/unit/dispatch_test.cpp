#include "service/dispatch.h"

#include <gtest/gtest.h>

#include "fakes.h"
#include "platform/probes.h"

namespace nubora {
namespace {

struct VerbCase {
  std::vector<std::wstring> args;
  Verb expected;
};

TEST(Dispatch, ChoosesVerbFromFirstArgumentIgnoringCase) {
  const VerbCase cases[] = {
      {{}, Verb::kRun},
      {{L"install"}, Verb::kInstall},
      {{L"Install", L"extra", L"words"}, Verb::kInstall},
      {{L"uninstall"}, Verb::kUninstall},
      {{L"-k"}, Verb::kService},
      {{L"-K"}, Verb::kService},
      {{L"/install"}, Verb::kUnknown},
      {{L"--install"}, Verb::kUnknown},
      {{L"installx"}, Verb::kUnknown},
      {{L"instal"}, Verb::kUnknown},
      {{L"-k2"}, Verb::kUnknown},
      {{L""}, Verb::kUnknown},
      {{L"x", L"install"}, Verb::kUnknown},
  };
  for (const VerbCase& c : cases) {
    std::vector<std::wstring> storage = {L"NuboraService.exe"};
    storage.insert(storage.end(), c.args.begin(), c.args.end());
    std::vector<wchar_t*> argv;
    for (std::wstring& s : storage) argv.push_back(&s[0]);
    EXPECT_EQ(ChooseVerb(static_cast<int>(argv.size()), argv.data()), c.expected)
        << (c.args.empty() ? L"(none)" : c.args[0]).size();
  }
}

TEST(Probes, LegacyOsBelowMajorVersionSixAndWow64OnlyWithEntryPoint) {
  struct Case {
    unsigned long major;
    bool readable;
    bool hasWow64;
    int isWow64;
    int legacy;
    int wow64;
  };
  const Case cases[] = {
      {5, true, false, 1, 1, 0},
      {6, true, true, 1, 0, 1},
      {10, true, true, 0, 0, 0},
      {4, false, false, 0, 0, 0},  // unreadable version: newer syntax
  };
  for (const Case& c : cases) {
    testing::FakeSystemProbe probe;
    probe.major = c.major;
    probe.versionReadable = c.readable;
    probe.hasWow64 = c.hasWow64;
    probe.isWow64 = c.isWow64;
    Platform platform = CurrentPlatform();
    platform.system = &probe;
    ScopedPlatform scope(platform);
    EXPECT_EQ(InitPlatformProbes(), 1);
    EXPECT_EQ(legacyOs, c.legacy) << c.major;
    EXPECT_EQ(IsWow64(), c.wow64) << c.major;
  }
}

}  // namespace
}  // namespace nubora
