#pragma once

// nubora report's stand-in system, shared by its tests: a service manager
// that plays a sequence of NuboraService's states, the console, the Event
// Log, the report service's host and the clock, each call written down.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "fakes.h"
#include "nubora/machine/stand_ins.h"
#include "nubora/report/report_command.h"
#include "nubora/runtext/run_text.h"

namespace nubora::testing {

// One answer of the service manager about NuboraService; `grows`: the service
// adds kRun to its log before the next.
struct Step {
  ServiceSnapshot service;
  bool grows = false;
  unsigned long queryError = 0;
};
inline const Step kAbsent{}, kQueryFails{{}, false, 1722};
inline Step NeverStarted(unsigned long startType) {
  return {{true, scm::kStopped, kErrorServiceNeverStarted, 0, startType}};
}
inline Step Running(bool grows = true) {
  return {{true, scm::kRunning, 0, 0, scm::kAutoStart}, grows};
}
inline Step StoppedWith(std::uint32_t code) {
  return {{true, scm::kStopped, code, 0, scm::kAutoStart}};
}

// A run that found no INI file: nothing to configure.
inline constexpr char kRun[] =
    "start time 2024-5-17, 9: 3: 0\r\nstarting config ip address\r\n"
    "config file not exist\r\nconfig file error , no configure information\r\n";
// A run that found no section in it: not configured.
inline constexpr char kRunNotConfigured[] =
    "start time 2024-5-17, 9: 3: 0\r\nstarting config ip address\r\n"
    "GetPrivateProfileSectionNames failedconfig file error , no configure information\r\n";

// `failAt` names the steps that fail with `error`, "; " between them:
// "write", "event" (or "event ID" for that one only), "findings event",
// "source", "remove", "stop", or one of the installers'.
struct FakeSystem : FakeInstallSystem,
                    SerialConsole,
                    EventLog,
                    ServiceWatch,
                    ServiceHost,
                    Clock,
                    Registry {
  FakeSystem() { modulePath = L"C:\\t\\nubora.exe"; }
  unsigned long Write(const std::wstring& port, const std::string& bytes) override {
    // Each write: CR LF, then its lines, each with the prefix and time.
    const std::string lead = "\r\nNuboraService: 2024-05-17 09:03:00 ";
    EXPECT_EQ(bytes.substr(0, lead.size()), lead);
    const std::string first = bytes.substr(lead.size(), bytes.find('\r', 2) - lead.size());
    told += port + L": " + std::wstring(first.begin(), first.end()) + L"; ";
    return Fails(L"", L"write");
  }
  unsigned long WriteEvent(const wchar_t*, EventType type, unsigned long id,
                           const std::wstring& text) override {
    told += L"event " + Number(id) +
            (type == EventType::kInformation ? L" information; "
             : type == EventType::kWarning   ? L" warning; "
                                             : L" error; ");
    eventText = text;
    if (Fails(L"", L"event " + Number(id)) != 0) return error;
    return Fails(L"", id < 110 ? L"event" : L"findings event");
  }
  unsigned long RegisterSource(const wchar_t* source, const std::wstring& file) override {
    return Fails(L"source " + std::wstring(source) + L"," + file, L"source");
  }
  unsigned long RemoveSource(const wchar_t* source) override {
    return Fails(L"remove " + std::wstring(source), L"remove");
  }
  // NuboraService plays `plays`; NuboraReport is running for `error`
  // queries (none when it refused a stop as not running), then stopped.
  unsigned long Query(const wchar_t* name, ServiceSnapshot& s) override {
    if (std::wstring(name) == L"NuboraReport") {
      const bool notRunning = failAt == L"stop" && error == kErrorServiceNotActive;
      s = queries++ < error && !notRunning ? Running().service : StoppedWith(0).service;
      return 0;
    }
    const Step& step = plays[std::min(queries++, plays.size() - 1)];
    if (std::exchange(growing, step.grows)) WriteFile(log, kRun, true);
    s = step.service;
    return step.queryError;
  }
  unsigned long RequestStop(const wchar_t* name) override {
    return Fails(L"stop " + std::wstring(name), L"stop");
  }
  // The service's worker runs once its main has returned and `controls`
  // have been sent.
  unsigned long RunDispatcher(const ServiceTableEntry* table) override {
    EXPECT_STREQ(table[0].name, L"NuboraReport");
    table[0].main(0, nullptr);
    EXPECT_EQ(control(4, 0, nullptr, context), 0u);    // interrogate
    EXPECT_EQ(control(2, 0, nullptr, context), 120u);  // pause: not accepted
    for (unsigned long code : controls) EXPECT_EQ(control(code, 0, nullptr, context), 0u);
    worker(workerParameter);
    return 0;
  }
  ServiceStatusHandle RegisterControlHandler(const wchar_t* name, ServiceControlRoutine handler,
                                             void* handlerContext) override {
    EXPECT_STREQ(name, L"NuboraReport");
    control = handler;
    context = handlerContext;
    return this;
  }
  // Windows' numbers: its own process; running 4 (accepting stop and
  // shutdown), stop pending 3, stopped 1; 1066 a service-specific exit code.
  bool ReportStatus(ServiceStatusHandle, const ServiceStatus& status) override {
    const bool running = status.dwCurrentState == 4;
    EXPECT_EQ(status.dwServiceType, 0x10u);
    EXPECT_EQ(status.dwControlsAccepted, running ? 5u : 0u);
    states += running ? L"running" : status.dwCurrentState == 3 ? L"stop pending" : L"stopped";
    if (status.dwWin32ExitCode != 0) {
      states += status.dwWin32ExitCode == 1066
                    ? L" with service-specific error " + Number(status.dwServiceSpecificExitCode)
                    : L" with error " + Number(status.dwWin32ExitCode);
    }
    states += L", ";
    return true;
  }
  bool StartThread(ThreadRoutine routine, void* parameter, unsigned long&) override {
    worker = routine;
    workerParameter = parameter;
    return true;
  }
  // The report service's record of the run it told: `kept`; each value
  // set is "kept NAME VALUE; " in `told`.
  unsigned long SubKeys(const std::wstring&, std::vector<std::wstring>&) override { return 50; }
  unsigned long Values(const std::wstring& key, std::vector<RegistryValue>& values) override {
    values = kept;
    return key == L"SOFTWARE\\Nubora\\NuboraReport" ? 0 : 2;
  }
  unsigned long CheckWritable(const std::wstring&) override { return 0; }
  unsigned long DeleteValue(const std::wstring&, const std::wstring&) override { return 0; }
  unsigned long SetValue(const std::wstring& key, const RegistryValue& value) override {
    EXPECT_EQ(key, L"SOFTWARE\\Nubora\\NuboraReport");
    std::uint64_t number = 0;
    told += L"kept " + value.name + L" " +
            (NumberOf(value, number) ? Number(number) : TextItems(value).at(0)) + L"; ";
    return Fails(L"", L"keep");
  }
  unsigned long CreateKey(const std::wstring&) override { return 0; }
  LocalTime Now() override { return {2024, 5, 17, 9, 3, 0}; }
  void Sleep(unsigned long ms) override {
    EXPECT_EQ(ms, 1000u);
    ++sleeps;
  }

  unsigned long Fails(const std::wstring& call, const std::wstring& step) {
    Failing(call, L"");
    return (L"; " + failAt + L"; ").find(L"; " + step + L"; ") != std::wstring::npos ? error : 0;
  }
  ReportPlatform Outputs() { return {this, this, this, this}; }

  std::vector<Step> plays{kAbsent};     // NuboraService's, the last for ever
  std::vector<unsigned long> controls;  // sent to the report service once it runs
  std::vector<RegistryValue> kept;      // the run told before
  std::string log;                      // where a growing step adds kRun
  // "COM1: FIRST LINE; " of each console write, "event ID TYPE; " of each event.
  std::wstring told;
  std::wstring eventText;  // the last event's
  std::wstring states;     // the report service's: "running, stopped, "
  std::size_t sleeps = 0;  // of a second each: the polls by hand, the uninstall's
  std::size_t queries = 0;
  bool growing = false;
  ServiceControlRoutine control = nullptr;
  void* context = nullptr;
  ThreadRoutine worker = nullptr;
  void* workerParameter = nullptr;
};

// The current platform with `fake` as its service manager, files, service
// host and clock.
inline Platform WithFake(FakeSystem& fake) {
  Platform platform = WithInstallSystem(fake);
  platform.serviceHost = &fake;
  platform.clock = &fake;
  return platform;
}

// One `nubora report ARGS LOG` over the stand-in system, and what it tells.
struct ReportCase {
  const char* what;  // with the doctor: a machine of tests/data/doctor
  std::vector<std::wstring> args;
  std::vector<Step> plays;
  std::vector<unsigned long> controls;  // sent to the report service once it runs
  const wchar_t* failAt;                // "write", "event", "findings event"
  unsigned long error;
  std::wstring told;
  std::wstring eventHolds;  // in the last event's text
  std::wstring states;      // of the report service
  std::size_t polls = 0;    // by hand
  bool toldBefore = false;  // the log's first run was told at a boot
};

// The case, LOG holding `logText`; the doctor, where the report service asks
// it, looks at tests/data/doctor/MACHINE.ini for ipconfig_xen_vm.ini (null:
// neither is there).
inline void CheckReport(const ReportCase& c, const char* logText, const char* machine) {
  SCOPED_TRACE(c.what);
  FakeSystem fake;
  fake.plays = c.plays;
  fake.controls = c.controls;
  fake.failAt = c.failAt;
  fake.error = c.error;
  if (c.toldBefore)
    fake.kept = {QwordValue(L"ToldRunOffset", 0),
                 TextValue(L"ToldRunStart", 1, {L"2024-5-17, 9: 3: 0"})};
  // One log per test: ctest runs the tests side by side.
  fake.log =
      TempPath(std::string("report_") +
               ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".log");
  WriteFile(fake.log, logText);
  std::vector<std::wstring> args = c.args;
  args.push_back(std::wstring(fake.log.begin(), fake.log.end()));
  ScopedPlatform scope(WithFake(fake));
  ReportPlatform platform = fake.Outputs();
  DescribedMachine described(machine != nullptr ? DoctorMachine(machine) : MachineDescription{});
  if (machine != nullptr) {
    platform.machine = described.View();
    platform.ini = DoctorData("ipconfig_xen_vm.ini");
  }
  std::string out, err;
  EXPECT_EQ(ReportCommand(args, platform, out, err), 0);
  EXPECT_EQ(fake.told, c.told);
  EXPECT_NE(fake.eventText.find(c.eventHolds), std::wstring::npos) << fake.eventText;
  EXPECT_EQ(fake.states, c.states);
  EXPECT_EQ(fake.sleeps, c.polls);
}

}  // namespace nubora::testing
