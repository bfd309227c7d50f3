#include "netconfig/apply.h"

#include <gtest/gtest.h>

#include "fakes.h"
#include "netconfig/command_runner.h"
#include "platform/probes.h"

namespace nubora {
namespace {

using testing::DataPath;
using testing::ReadFile;

AdapterConfig Record(std::vector<std::wstring> ips, const wchar_t* mask, const wchar_t* gateway,
                     std::vector<std::wstring> dns, bool withDns = true) {
  AdapterConfig record;
  record.ipList = std::make_unique<AddressList>(std::move(ips));
  if (withDns) record.dnsList = std::make_unique<AddressList>(std::move(dns));
  PlaceText(record.mask, mask);
  PlaceText(record.gateway, gateway);
  const std::uint8_t mac[kMacLength] = {0x52, 0x54, 0x00, 0x12, 0x34, 0x56};
  std::copy(mac, mac + kMacLength, record.mac);
  PlaceText(record.adapterName, L"Ethernet");
  return record;
}

AdapterConfigList Snapshots(AdapterConfig snapshot) {
  AdapterConfigList list;
  list.push_back(std::move(snapshot));
  return list;
}

class LegacyOs {
 public:
  explicit LegacyOs(int value) : saved_(legacyOs) { legacyOs = value; }
  ~LegacyOs() { legacyOs = saved_; }

 private:
  std::int32_t saved_;
};

TEST(ApplyAdapterConfig, WorkedExampleInBothNetshForms) {
  for (int legacy : {0, 1}) {
    testing::FakePlatform platform;
    testing::LogCapture log;
    LegacyOs os(legacy);
    AdapterConfig desired = Record({L"10.0.1.5", L"10.0.1.6"}, L"255.255.255.0", L"10.0.1.1",
                                   {L"10.0.0.2", L"10.0.0.3"});
    const AdapterConfigList current =
        Snapshots(Record({L"10.0.1.5"}, L"255.255.255.0", L"10.0.1.1", {L"10.0.0.2"}));
    EXPECT_EQ(ApplyAdapterConfig(desired, current), 0);
    const char* golden =
        legacy ? "expected/worked_example_legacy.log" : "expected/worked_example.log";
    EXPECT_EQ(log.Text(), ReadFile(DataPath(golden)));
  }
}

TEST(ApplyAdapterConfig, ConvergedAdapterRunsNothing) {
  testing::FakePlatform platform;
  testing::LogCapture log;
  AdapterConfig desired =
      Record({L"10.0.1.6", L"10.0.1.5"}, L"255.255.255.0", L" ", {L"10.0.0.3", L"10.0.0.2"});
  const AdapterConfigList current = Snapshots(
      Record({L"10.0.1.5", L"10.0.1.6"}, L"255.255.255.0", L"", {L"10.0.0.2", L"10.0.0.3"}));
  ApplyAdapterConfig(desired, current);
  EXPECT_EQ(log.Text(),
            "config ip submask gateway is not changed...\nconfig dns is not changed...\n");
  EXPECT_TRUE(platform.events.empty());
}

TEST(ApplyAdapterConfig, DhcpRecordAlwaysIssuesOneCommand) {
  testing::FakePlatform platform;
  testing::LogCapture log;
  AdapterConfig desired;
  desired.dhcp = 1;
  PlaceText(desired.adapterName, L"mgmt");
  ApplyAdapterConfig(desired, AdapterConfigList{});
  ASSERT_EQ(platform.events.size(), 1u);
  EXPECT_EQ(platform.events[0],
            L"c:\\windows\\system32\\netsh.exe interface ip set address name=\"mgmt\" dhcp");
}

TEST(ApplyAdapterConfig, CommandTooLongForItsBufferIsNeverRun) {
  testing::FakePlatform platform;
  testing::LogCapture log;
  const std::wstring huge(300, L'9');
  AdapterConfig desired = Record({L"10.0.1.5", huge}, L"255.255.255.0", L"10.0.1.1", {});
  ApplyAdapterConfig(desired, AdapterConfigList{});
  ASSERT_EQ(platform.events.size(), 1u);  // the first address runs, the long one does not
  const std::string skipped = "command line too long , not run : "
                              "c:\\windows\\system32\\netsh.exe interface ip add address "
                              "name=\"Ethernet\" " +
                              std::string(300, '9') + " 255.255.255.0\n";
  EXPECT_NE(log.Text().find(skipped), std::string::npos);
}

TEST(ChangeDetection, RulesInOrder) {
  struct Case {
    const char* what;
    AdapterConfig desired;
    bool hasSnapshot;
    AdapterConfig snapshot;
    int address;
    int dns;
  };
  auto base = [] {
    return Record({L"10.0.0.5", L"10.0.0.6"}, L"255.255.255.0", L"10.0.0.1",
                  {L"10.0.0.2", L"10.0.0.3"});
  };
  std::vector<Case> cases;
  cases.push_back({"equal", base(), true, base(), 0, 0});
  cases.push_back({"no snapshot", base(), false, base(), 1, 1});
  cases.push_back({"other order",
                   Record({L"10.0.0.6", L"10.0.0.5"}, L"255.255.255.0", L"10.0.0.1",
                          {L"10.0.0.3", L"10.0.0.2"}),
                   true, base(), 0, 0});
  cases.push_back({"mask differs in form only",
                   Record({L"10.0.0.5", L"10.0.0.6"}, L"255.255.255.000", L"10.0.0.1",
                          {L"10.0.0.2", L"10.0.0.3"}),
                   true, base(), 1, 0});
  cases.push_back({"gateway differs",
                   Record({L"10.0.0.5", L"10.0.0.6"}, L"255.255.255.0", L"10.0.0.254",
                          {L"10.0.0.2", L"10.0.0.3"}),
                   true, base(), 1, 0});
  cases.push_back({"blank gateway against none",
                   Record({L"10.0.0.5"}, L"255.255.255.0", L" ", {L"10.0.0.2"}), true,
                   Record({L"10.0.0.5"}, L"255.255.255.0", L"", {L"10.0.0.2"}), 0, 0});
  cases.push_back({"blank gateway against a gateway",
                   Record({L"10.0.0.5"}, L"255.255.255.0", L" ", {L"10.0.0.2"}), true,
                   Record({L"10.0.0.5"}, L"255.255.255.0", L"10.0.0.1", {L"10.0.0.2"}), 1, 0});
  cases.push_back({"duplicate desired entries",
                   Record({L"10.0.0.5", L"10.0.0.5"}, L"255.255.255.0", L"10.0.0.1",
                          {L"10.0.0.2", L"10.0.0.2"}),
                   true, base(), 0, 0});
  cases.push_back({"leading blank",
                   Record({L"10.0.0.5", L" 10.0.0.6"}, L"255.255.255.0", L"10.0.0.1",
                          {L"10.0.0.2", L" 10.0.0.3"}),
                   true, base(), 1, 1});
  cases.push_back({"size differs",
                   Record({L"10.0.0.5"}, L"255.255.255.0", L"10.0.0.1", {L"10.0.0.2"}), true,
                   base(), 1, 1});
  cases.push_back({"no desired dns list",
                   Record({L"10.0.0.5", L"10.0.0.6"}, L"255.255.255.0", L"10.0.0.1", {}, false),
                   true, base(), 0, 1});
  for (Case& c : cases) {
    AdapterConfigList current;
    if (c.hasSnapshot) {
      c.snapshot.mac[5] = c.desired.mac[5];
      // A snapshot of another adapter first, and a later one of the same
      // adapter, must both be passed over.
      AdapterConfig other = base();
      other.mac[0] = 0x02;
      other.ipList->clear();
      current.push_back(std::move(other));
      current.push_back(std::move(c.snapshot));
      current.push_back(Record({L"192.0.2.99"}, L"255.0.0.0", L"", {}));
    }
    EXPECT_EQ(IsAddressConfigChanged(c.desired, current), c.address) << c.what;
    EXPECT_EQ(IsDnsConfigChanged(c.desired, current), c.dns) << c.what;
  }
}

TEST(RunCommandAndWait, LogsCountsTimeOutAndStartFailure) {
  struct Case {
    testing::ProcessScript script;
    const char* expected;  // wait lines after the command line, "X" standing for the command
  };
  const Case cases[] = {
      {{1, 0}, "wait X  successfully\n"},
      {{3, 0}, "wait X  count=1\nwait X  count=2\nwait X  successfully\n"},
      {{15, 0},
       "wait X  count=1\nwait X  count=2\nwait X  count=3\nwait X  count=4\nwait X  count=5\n"
       "wait X  count=6\nwait X  count=7\nwait X  count=8\nwait X  count=9\nwait X  count=10\n"
       "wait X  count=11\nwait X  count=12\nwait X  count=13\nwait X  count=14\n"
       "wait X  successfully\n"},
      {{0, 0},
       "wait X  count=1\nwait X  count=2\nwait X  count=3\nwait X  count=4\nwait X  count=5\n"
       "wait X  count=6\nwait X  count=7\nwait X  count=8\nwait X  count=9\nwait X  count=10\n"
       "wait X  count=11\nwait X  count=12\nwait X  count=13\nwait X  count=14\n"
       "wait X  count=15\nwait X  timed out\n"},
      {{1, 2}, "CreateProcess failed (2)\n"},
  };
  for (const Case& c : cases) {
    testing::FakePlatform platform;
    testing::LogCapture log;
    platform.processes.scripts[L"X"] = c.script;
    wchar_t command[kCommandLineCapacity] = L"X";
    EXPECT_EQ(RunCommandAndWait(command), 0);
    EXPECT_EQ(log.Text(), std::string("X\n") + c.expected);
    for (unsigned long wait : platform.processes.waits) EXPECT_EQ(wait, kWaitSliceMs);
    EXPECT_LE(platform.processes.waits.size(), kWaitSlices);
  }
}

TEST(RunPostScript, RunsTheBatchFileThroughCmd) {
  testing::FakePlatform platform;
  testing::LogCapture log;
  platform.processes.scripts[L"c:\\windows\\system32\\cmd.exe"] = {3, 0};
  RunPostScript();
  EXPECT_EQ(log.Text(), ReadFile(DataPath("expected/post_script_five_seconds.log")));
}

}  // namespace
}  // namespace nubora
