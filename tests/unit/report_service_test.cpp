// The report service NuboraReport under the service manager: what it tells
// of each boot and then of the doctor's findings, its states and exit codes;
// its install and uninstall, and the arguments they refuse.
#include "report_fixture.h"

namespace nubora::testing {
namespace {

const std::wstring kRan = L"COM1: verdict: nothing to configure; event 101 information; ";
// What it keeps of the run it told, where it starts: the log's first, or the
// one the service added.
const std::wstring kKept = L"kept ToldRunOffset 0; kept ToldRunStart 2024-5-17, 9: 3: 0; ",
                   kKeptAdded = L"kept ToldRunOffset 128; kept ToldRunStart 2024-5-17, 9: 3: 0; ";
const std::wstring kIncomplete = L"COM1: verdict: incomplete; event 104 error; ";
const std::wstring kAccessDenied =
    L"COM1: cannot write to the Event Log (error 5: access denied); ";
const std::wstring kStopped = L"running, stopped, ",
                   kStopping = L"running, stop pending, stopped, ";
const std::vector<std::wstring> kService = {L"--service"};
const std::vector<unsigned long> kShutdown = {scm::kControlShutdown};

// It waits until NuboraService's run of this boot is decided; past the wait
// it tells the run as it stands and goes on. A stop request ends it untold, a
// shutdown tells the run as it stands. Its service-specific exit code: 1 the
// Event Log failed, 2 a port that exists, 3 the service manager.
TEST(ReportService, TellsEachBootAndExitsWithWhatFailed) {
  const std::vector<std::wstring> waits0 = {L"--service", L"--wait-for-service", L"0"};
  Step ranSince = NeverStarted(scm::kAutoStart);
  ranSince.grows = true;
  const ReportCase cases[] = {
      // clang-format off
      {"a query that fails", kService, {kQueryFails}, {}, L"", 0,
       L"COM1: verdict: unknown: cannot ask the service manager about NuboraService (error 1722); event 104 error; ",
       L"the last run in the log started at", L"running, stopped with service-specific error 3, "},
      {"still running past the wait, then stopped", waits0, {Running(), StoppedWith(0)}, {}, L"", 0, kIncomplete + kKept + kRan + kKeptAdded, L"configuration file: missing", kStopped},
      {"not started past the wait, then run and stopped between two polls", waits0, {ranSince, StoppedWith(0)}, {}, L"", 0,
       L"COM1: verdict: not run: NuboraService has not started after 0 s; event 105 error; " + kRan + kKeptAdded, L"configuration file: missing", kStopped},
      {"a stop request", kService, {Running()}, {scm::kControlStop}, L"", 0, L"", L"", kStopping},
      {"a shutdown", kService, {Running()}, kShutdown, L"", 0, kIncomplete + kKept, L"the system shuts down after 0 s", kStopping},
      {"no such port", kService, {StoppedWith(0)}, {}, L"write", 2, kRan + kKept, L"serial console COM1: error 2: file not found", kStopped},
      {"a port that fails", kService, {StoppedWith(0)}, {}, L"write", 31, kRan + kKept, L"serial console COM1: error 31",
       L"running, stopped with service-specific error 2, "},
      {"the Event Log fails", kService, {StoppedWith(0)}, {}, L"event", 5, kRan + kAccessDenied + kKept, L"configuration file: missing",
       L"running, stopped with service-specific error 1, "},
      {"an option it does not know", {L"--service", L"--consol", L"COM2", L"--console", L"COM3"}, {StoppedWith(0)}, {}, L"", 0,
       L"COM3: verdict: nothing to configure; event 101 information; " + kKept, L"\r\nignored option: --consol COM2", L"running, stopped with service-specific error 4, "},
      {"the log's last run told at a boot before", kService, {StoppedWith(0)}, {}, L"", 0,
       L"COM1: verdict: unknown: the log holds no run of this boot; event 104 error; ", L"the last run in the log started at", kStopped, 0, true},
      {"a shutdown before it started", kService, {NeverStarted(scm::kAutoStart)}, kShutdown, L"", 0, L"COM1: verdict: unknown: NuboraService has not started; event 104 error; ",
       L"after 0 s\r\nNuboraService: stopped, start type automatic", kStopping},
      {"the Event Log fails at the interim report only: still 1", waits0, {Running(), StoppedWith(0)}, {}, L"event 104", 5, kIncomplete + kAccessDenied + kKept + kRan + kKeptAdded, L"configuration file: missing", L"running, stopped with service-specific error 1, "},
      {"the port fails, and then the Event Log too: 1 wins", kService, {StoppedWith(0)}, {}, L"write; event 101", 31, kRan + kKept,
       L"serial console COM1: error 31", L"running, stopped with service-specific error 1, "},
      // clang-format on
  };
  for (const ReportCase& c : cases) CheckReport(c, kRun, nullptr);
}

// On a machine of tests/data/doctor, after a run that configured nothing, it
// then tells the doctor's warnings and errors, one line each: never info or
// the last boot's (the verdict tells it), never by hand or at shutdown, never
// in its exit code.
TEST(ReportService, ThenTellsTheDoctorsWarningsAndErrors) {
  const std::wstring
      notConfigured =
          L"COM1: verdict: not configured: the file holds no section that could be read (empty, no "
          L"section, or unreadable); event 103 error; ",
      apipa =
          L"error apipa [lan]: \"lan0\" carries 169.254.7.7: a duplicate address: the static "
          L"address was refused";
  const std::wstring refused = apipa +
                               L"\r\nerror duplicate-address [lan]: 192.0.2.10 is a duplicate: "
                               L"another machine holds it, and Windows never tries it again\r\n"
                               L"warning drift [lan]: \"lan0\" differs from the section: the next "
                               L"boot changes it";
  const std::wstring kept = notConfigured + kKept,
                     told = kept + L"COM1: " + apipa + L"; event 111 error; ";
  const ReportCase cases[] = {
      // clang-format off
      {"no_post_script", kService, {StoppedWith(0)}, {}, L"", 0, kept, L"unreadable)\r\nstart time 2024-5-17, 9: 3: 0\r\nno end time", kStopped},
      {"drift", kService, {StoppedWith(0)}, {}, L"", 0,
       kept + L"COM1: warning drift [lan]: \"lan0\" differs from the section: the next boot changes it; event 110 warning; ", L"", kStopped},
      {"service_missing", kService, {StoppedWith(0)}, {}, L"", 0,
       kept + L"COM1: error service: NuboraService is not registered; event 111 error; ", L"", kStopped},
      {"apipa_refused", kService, {StoppedWith(0)}, {}, L"", 0, told, refused, kStopped},
      {"apipa_refused", kService, {StoppedWith(0)}, {}, L"findings event", 5, told + kAccessDenied, refused, kStopped},
      {"apipa_refused", {L"--wait-for-service"}, {StoppedWith(0)}, {}, L"", 0, notConfigured, L"", L""},
      {"apipa_refused", kService, {Running()}, kShutdown, L"", 0, kIncomplete + kKept, L"", kStopping},
      // clang-format on
  };
  for (const ReportCase& c : cases) CheckReport(c, kRunNotConfigured, c.what);
}

TEST(ReportService, InstallsAndUninstallsOrSaysWhyNot) {
  // Full access, its own process, automatic start, normal error control.
  const std::wstring create =
      L"open manager 2; create NuboraReport|Nubora boot report|983551|16|2|1|\"C:\\t\\nubora.exe\" "
      L"report --service";
  const std::wstring described =
      L"; describe Tells each boot's network configuration verdict on the serial console and in "
      L"the Windows Event Log; source NuboraService,C:\\t\\nubora.exe";
  const std::wstring removed =
      L"stop NuboraReport; open manager 1; open NuboraReport 65536; delete; remove NuboraService";
  const char installed[] = "install report service successfully",
             uninstalled[] = "uninstall report service successfully";
  const struct {
    std::vector<std::wstring> args;
    const wchar_t* failAt;
    unsigned long error;  // of the step failing; uninstall: NuboraReport stops after as many polls
    int exitCode;
    std::wstring calls;
    const char* printed;  // its first line on standard output, or else on standard error
    std::size_t polls;
  } cases[] = {
      // clang-format off
      {{L"--install-service"}, L"", 0, 0, create + described, installed, 0},
      {{L"--install-service", L"D:\\a b\\", L"--console", L"COM2", L"--no-eventlog", L"--wait-for-service", L"1200", L"--codepage", L"936"}, L"", 0, 0,
       create + L" \"D:\\a b\\\\\" --console COM2 --no-eventlog --wait-for-service 1200 --codepage 936" + described, installed, 0},
      {{L"--install-service", L"--console", L"none", L"--wait-for-service"}, L"", 0, 0, create + L" --console none" + described, installed, 0},
      {{L"--install-service"}, L"create", 1073, 1, create, "install report service failed with errorcode=1073", 0},
      {{L"--install-service"}, L"manager", 5, 1, L"open manager 2", "install report service failed with errorcode=5", 0},
      {{L"--install-service"}, L"source", 5, 1, create + described + L"; delete", "install report service failed with errorcode=5", 0},
      {{L"--uninstall-service"}, L"", 0, 0, removed, uninstalled, 0},
      {{L"--uninstall-service"}, L"stop", 1062, 0, removed, uninstalled, 0},
      {{L"--uninstall-service"}, L"stop", 1061, 1, removed, "uninstall report service failed with errorcode=1053", 30},
      {{L"--uninstall-service"}, L"", 3, 0, removed, uninstalled, 3},
      {{L"--uninstall-service"}, L"", 31, 1, removed, "uninstall report service failed with errorcode=1053", 30},
      {{L"--uninstall-service"}, L"remove", 2, 0, removed, uninstalled, 2},
      {{L"--uninstall-service"}, L"remove", 5, 1, removed, "uninstall report service failed with errorcode=5", 5},
      {{L"--uninstall-service"}, L"manager", 5, 1, L"stop NuboraReport; open manager 1", "uninstall report service failed with errorcode=5", 5},
      {{L"--uninstall-service", L"--console", L"COM2"}, L"", 0, 2, L"", "nubora report: --uninstall-service takes no other option", 0},
      {{L"--consol", L"COM2"}, L"", 0, 2, L"", "nubora report: unknown option --consol", 0},
      {{L"--console", L""}, L"", 0, 2, L"", "nubora report: --console needs a port or none", 0},
      {{L"--service", L"--install-service"}, L"", 0, 2, L"", "nubora report: one of --service, --install-service, --uninstall-service", 0},
      {{L"--install-service"}, L"folder", 0, 1, L"", "nubora report: not installed: Users (S-1-5-32-545) may add files to C:\\t, the folder of NuboraReport's executable, where Windows looks first for IPHLPAPI.DLL", 0},
      {{L"--install-service", L"--allow-writable-folder"}, L"folder", 0, 0, create + described, installed, 0},
      {{L"--allow-writable-folder"}, L"", 0, 2, L"", "nubora report: --allow-writable-folder goes with --install-service", 0},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.printed << ", failing: " << c.failAt << " " << c.error);
    FakeSystem fake;
    fake.failAt = c.failAt;
    fake.error = c.error;
    ScopedPlatform scope(WithFake(fake));
    // "folder": Users may add files to nubora.exe's folder.
    MachineDescription description;
    if (std::wstring(c.failAt) == L"folder") {
      description.access[L"c:\\t"] = {kSystemSid, {{true, L"S-1-5-32-545", 0x2}}};
    }
    DescribedMachine machine(description);
    ReportPlatform platform = fake.Outputs();
    platform.machine = machine.View();
    std::string out, err;
    EXPECT_EQ(ReportCommand(c.args, platform, out, err), c.exitCode) << err;
    std::wstring calls;
    for (const std::wstring& call : fake.calls) calls += (calls.empty() ? L"" : L"; ") + call;
    EXPECT_EQ(calls, c.calls);
    EXPECT_EQ(FirstLine(out.empty() ? err : out), c.printed);
    EXPECT_EQ(fake.sleeps, c.polls);
  }
}

}  // namespace
}  // namespace nubora::testing
