// nubora report over a stand-in system: a service manager that plays a
// sequence of NuboraService's states, the console, the Event Log and the
// clock. The event of each verdict, the console's lines and 4 KB cut, the
// event text's cut, what each boot as the service manager shows it is told
// as, the report service's stop, shutdown and exit codes, its install, and
// the doctor's findings it tells after the run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "fakes.h"
#include "nubora/machine/stand_ins.h"
#include "nubora/report/report_command.h"
#include "nubora/report/report_text.h"
#include "nubora/runtext/run_text.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace nubora {
namespace {

// One answer of the service manager about NuboraService; `grows`: the service
// adds a run to its log before the next.
struct Step {
  ServiceSnapshot service;
  bool grows = false;
  unsigned long queryError = 0;
};
const Step kAbsent{};
Step NeverStarted(unsigned long startType) {
  return {{true, scm::kStopped, kErrorServiceNeverStarted, 0, startType}};
}
Step Running(bool grows = true) { return {{true, scm::kRunning, 0, 0, scm::kAutoStart}, grows}; }
Step StoppedWith(std::uint32_t code) { return {{true, scm::kStopped, code, 0, scm::kAutoStart}}; }
const Step kQueryFails{{}, false, 1722};

const char kRun[] =
    "start time 2024-5-17, 9: 3: 0\r\nstarting config ip address\r\n"
    "config file not exist\r\nconfig file error , no configure information\r\n";

// Every call is written down in `calls`; `failAt` names the step that fails
// with `error`.
struct FakeSystem : SerialConsole,
                    EventLog,
                    ServiceWatch,
                    ServiceManagerApi,
                    ExecutableFiles,
                    ServiceHost,
                    Clock {
  unsigned long Write(const std::wstring& port, const std::string& bytes) override {
    // The first line of each write, after its CR LF, prefix and time.
    EXPECT_EQ(bytes.substr(0, 37), "\r\nNuboraService: 2024-05-17 09:03:00 ");
    told += L"W" + port + L" " +
            std::wstring(bytes.begin() + 37, bytes.begin() + bytes.find('\r', 2)) + L"; ";
    return Fails(L"", L"write");
  }
  unsigned long Report(const wchar_t*, EventType type, unsigned long id,
                       const std::wstring& text) override {
    told += L"E" + Number(id) +
            L"IWE"[type == EventType::kInformation ? 0
                   : type == EventType::kWarning   ? 1
                                                   : 2] +
            L"; ";
    eventText = text;
    return Fails(L"", id < 110 ? L"event" : L"findings event");
  }
  unsigned long RegisterSource(const wchar_t* source, const std::wstring& file) override {
    return Fails(L"source " + std::wstring(source) + L"," + file, L"source");
  }
  unsigned long RemoveSource(const wchar_t* source) override {
    return Fails(L"remove " + std::wstring(source), L"remove");
  }
  // NuboraService plays `plays`, its last step for ever; NuboraReport is
  // running for `error` queries, then stopped.
  unsigned long Query(const wchar_t* name, ServiceSnapshot& s) override {
    if (std::wstring(name) == L"NuboraReport") {
      s = queries++ < error ? Running().service : StoppedWith(0).service;
      return 0;
    }
    const Step& step = plays[std::min(queries++, plays.size() - 1)];
    if (std::exchange(growing, step.grows)) {
      std::FILE* file = std::fopen(log.c_str(), "ab");
      std::fputs(kRun, file);
      std::fclose(file);
    }
    s = step.service;
    return step.queryError;
  }
  unsigned long RequestStop(const wchar_t* name) override {
    return Fails(L"stop " + std::wstring(name), L"stop");
  }
  void* OpenManager(unsigned long access) override {
    return Fails(L"manager " + Number(access), L"manager") ? nullptr : this;
  }
  void* CreateOwnService(void*, const wchar_t* name, const wchar_t* display, unsigned long access,
                         unsigned long type, unsigned long start, unsigned long errorControl,
                         const wchar_t* command) override {
    const std::wstring numbers = Number(access) + L"," + Number(type) + L"," + Number(start) +
                                 L"," + Number(errorControl) + L",";
    return Fails(std::wstring(L"create ") + name + L"," + display + L"," + numbers + command,
                 L"create")
               ? nullptr
               : this;
  }
  bool SetDescription(void*, const wchar_t* text) override {
    return Fails(L"describe " + std::wstring(text), L"describe") == 0;
  }
  void* OpenExistingService(void*, const wchar_t* name, unsigned long access) override {
    return Fails(L"open " + std::wstring(name) + L" " + Number(access), L"open") ? nullptr : this;
  }
  bool DeleteExistingService(void*) override { return Fails(L"delete", L"delete") == 0; }
  void Close(void*) override {}
  unsigned long LastError() override { return error; }
  void ModulePath(wchar_t* buffer, unsigned long size) override {
    std::wcsncpy(buffer, L"C:\\t\\nubora.exe", size);
  }
  bool CreateFolder(const wchar_t*) override { return false; }
  bool CopyOver(const wchar_t*, const wchar_t*) override { return false; }
  FileIdentity SameFile(const wchar_t*, const wchar_t*) override { return FileIdentity::kSame; }
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
  bool ReportStatus(ServiceStatusHandle, const ServiceStatus& status) override {
    EXPECT_EQ(status.dwServiceType, 0x10u);
    EXPECT_EQ(status.dwControlsAccepted, status.dwCurrentState == 4 ? 5u : 0u);
    states += Number(status.dwCurrentState);
    if (status.dwWin32ExitCode != 0) {
      states +=
          L"/" + Number(status.dwWin32ExitCode) + L":" + Number(status.dwServiceSpecificExitCode);
    }
    states += L" ";
    return true;
  }
  bool StartThread(ThreadRoutine routine, void* parameter, unsigned long&) override {
    worker = routine;
    workerParameter = parameter;
    return true;
  }
  LocalTime Now() override { return {2024, 5, 17, 9, 3, 0}; }
  void Sleep(unsigned long ms) override {
    EXPECT_EQ(ms, 1000u);
    ++sleeps;
  }

  unsigned long Fails(const std::wstring& call, const wchar_t* step) {
    if (!call.empty()) calls += call + L" ";
    return failAt == step ? error : 0;
  }
  ReportPlatform Outputs() { return {this, this, this}; }
  std::wstring calls, failAt, told, eventText, states;
  unsigned long error = 0;
  std::size_t queries = 0, sleeps = 0;
  bool growing = false;
  std::vector<Step> plays{kAbsent};
  std::vector<unsigned long> controls;
  std::string log;
  ServiceControlRoutine control = nullptr;
  void* context = nullptr;
  ThreadRoutine worker = nullptr;
  void* workerParameter = nullptr;
};

// A platform whose service manager, files, host and clock are `fake`.
struct Scoped {
  explicit Scoped(FakeSystem& fake) : scope(With(fake)) {}
  static Platform With(FakeSystem& fake) {
    Platform platform = CurrentPlatform();
    platform.services = &fake;
    platform.files = &fake;
    platform.serviceHost = &fake;
    platform.clock = &fake;
    return platform;
  }
  ScopedPlatform scope;
};

TEST(Report, EachVerdictHasItsEventAndLeadsTheStatusLines) {
  const struct {
    Verdict verdict;
    EventType type;
    unsigned long id;
  } cases[] = {{Verdict::kConfigured, EventType::kInformation, 100},
               {Verdict::kNothingToConfigure, EventType::kInformation, 101},
               {Verdict::kPartlyConfigured, EventType::kWarning, 102},
               {Verdict::kNotConfigured, EventType::kError, 103},
               {Verdict::kIncomplete, EventType::kError, 104}};
  for (const auto& c : cases) {
    RunStatus run;
    run.verdict = c.verdict;
    run.startTime = L"2024-5-17, 9: 3: 0";
    const Report report = TellRun(run, L"");
    EXPECT_EQ(report.type, c.type) << c.id;
    EXPECT_EQ(report.eventId, c.id);
    // The status text's verdict line, with its reason where it has one, leads.
    std::wstring rest, text = RunText(run);
    const std::size_t verdictAt = text.find(L"verdict: ");
    ASSERT_NE(verdictAt, std::wstring::npos);
    const std::wstring verdictLine =
        text.substr(verdictAt, text.find(L'\n', verdictAt) - verdictAt);
    EXPECT_EQ(verdictLine.rfind(L"verdict: " + Widened(VerdictText(c.verdict)), 0), 0u);
    ASSERT_FALSE(report.lines.empty());
    EXPECT_EQ(report.lines[0], verdictLine);
    // The other lines are the status text's, in order, the verdict line moved.
    for (std::size_t i = 1; i < report.lines.size(); ++i) rest += report.lines[i] + L"\n";
    EXPECT_EQ(rest, text.erase(text.find(verdictLine + L"\n"), verdictLine.size() + 1));
  }
}

// The cut at the limits: console lines of 128 bytes (32 make 4 KB exactly
// with the leading CR LF, the first two bytes shorter),
// event lines of 1873 characters with CR LF (17 make 31 839 exactly; 16 of
// 1990, one character less, fit).
TEST(Report, ConsoleAndEventTextAreCutAtTheirLimitsWithALastLineThatSaysSo) {
  // A % is the console's own; only the event's string has it full-width.
  EXPECT_EQ(ConsoleBytes({L"verdict: configured", L"[\u00e9] lan%1"}, {2024, 5, 7, 9, 3, 0}),
            "\r\nNuboraService: 2024-05-07 09:03:00 verdict: configured\r\n"
            "NuboraService: 2024-05-07 09:03:00 [\xc3\xa9] lan%1\r\n");
  EXPECT_EQ(EventText({L"[lan%1]", L"%%2"}), L"[lan\uFF051]\r\n\uFF05\uFF052");
  const std::string cut = "NuboraService: 2024-05-07 09:03:00 the report is cut here: more lines ";
  const struct {
    std::size_t count, longerLast, kept;
  } console[] = {{32, 0, 32}, {32, 1, 31}, {33, 0, 31}, {200, 0, 31}};
  for (const auto& c : console) {
    std::vector<std::wstring> lines(c.count, std::wstring(91, L'x'));
    lines.front().resize(89);
    lines.back() += std::wstring(c.longerLast, L'x');
    const std::string bytes = ConsoleBytes(lines, {2024, 5, 7, 9, 3, 0});
    EXPECT_LE(bytes.size(), kConsoleLimit);
    const std::string tail =
        c.kept == c.count ? "" : cut + std::to_string(c.count - c.kept) + "\r\n";
    EXPECT_EQ(bytes.size(), c.kept * 128 + tail.size()) << c.count << " " << c.longerLast;
    EXPECT_EQ(bytes.substr(c.kept * 128), tail);
  }
  const struct {
    std::size_t count, size, kept;  // size: with CR LF
  } event[] = {{1, 1873, 1}, {16, 1873, 16}, {17, 1873, 16}, {40, 1873, 16}, {16, 1990, 16}};
  for (const auto& c : event) {
    const std::wstring text =
        EventText(std::vector<std::wstring>(c.count, std::wstring(c.size - 2, L'y')));
    const std::wstring tail =
        c.kept == c.count ? L""
                          : L"\r\nthe report is cut here: more lines " + Number(c.count - c.kept);
    EXPECT_LT(text.size(), kEventTextLimit);
    EXPECT_EQ(text, text.substr(0, c.kept * c.size - 2) + tail) << c.count;
    EXPECT_EQ(text.size(), c.kept * c.size - 2 + tail.size()) << c.count;
  }
}

// What each boot, as the service manager plays it, is told as: each write to
// COM1 by its first line, each event by its ID and type. Only a run the
// service manager shows as this boot's is told with its own verdict (101
// here); no case depends on a time. On a machine of tests/data/doctor, after a
// run that configured nothing, the report service then tells the doctor's
// warnings and errors, one line each: never info or the last boot's (the
// verdict tells it), never by hand or at shutdown, never in its exit code.
TEST(Report, EachBootIsToldAsTheServiceManagerShowsIt) {
  const std::wstring ran = L"WCOM1 verdict: nothing to configure; E101I; ";
  const std::wstring notRun =
      L"WCOM1 verdict: not run: NuboraService did not run this boot; E105E; ";
  const std::wstring lastRun = L"\r\nthe last run in the log started at 2024-5-17, 9: 3: 0";
  const std::wstring incomplete = L"WCOM1 verdict: incomplete; E104E; ";
  const std::wstring notConfigured =
      L"WCOM1 verdict: not configured: the file holds no section that could be read (empty, no "
      L"section, or unreadable); E103E; ";
  const std::wstring apipa =
      L"error apipa [lan]: \"lan0\" carries 169.254.7.7: a duplicate address: the static address "
      L"was refused";
  const std::wstring refused = apipa +
                               L"\r\nerror duplicate-address [lan]: 192.0.2.10 is a duplicate: "
                               L"another machine holds it, and Windows never tries it again\r\n"
                               L"warning drift [lan]: \"lan0\" differs from the section: the next "
                               L"boot changes it";
  const std::wstring accessDenied =
      L"WCOM1 cannot write to the Event Log (error 5: access denied); ";
  const std::vector<std::wstring> byHand = {L"--wait-for-service"}, service = {L"--service"},
                                  serviceWaits0 = {L"--service", L"--wait-for-service", L"0"};
  const Step autoStart = NeverStarted(scm::kAutoStart);
  const struct {
    const char* what;  // a machine of tests/data/doctor, or what the case shows
    std::vector<std::wstring> args;
    std::vector<Step> plays;
    std::vector<unsigned long> controls;  // sent to the service once it runs
    const wchar_t* failAt;                // "write", "event", "findings event"
    unsigned long error;
    std::wstring told;
    std::wstring eventHolds;  // in the last event's text
    std::size_t sleeps;
    std::wstring states;  // of the service: 4 RUNNING, 3 STOP_PENDING, 1 STOPPED/exit:specific
  } cases[] = {
      // clang-format off
      {"never started, running, stopped", byHand, {autoStart, Running(), StoppedWith(0)}, {}, L"", 0, ran, L"configuration file: missing", 2, L""},
      {"disabled", byHand, {NeverStarted(scm::kDisabled)}, {}, L"", 0, notRun, L"NuboraService: stopped, start type disabled" + lastRun, 0, L""},
      {"not installed", byHand, {kAbsent}, {}, L"", 0, notRun, L"NuboraService: not installed" + lastRun, 0, L""},
      {"a failed start", byHand, {autoStart, StoppedWith(1053)}, {}, L"", 0,
       L"WCOM1 verdict: unknown: NuboraService stopped with error 1053: no answer to the service manager in time; E104E; ", lastRun, 1, L""},
      {"a crash", byHand, {Running(), StoppedWith(1067)}, {}, L"", 0,
       L"WCOM1 verdict: unknown: NuboraService stopped with error 1067: the process ended unexpectedly; E104E; ", lastRun, 1, L""},
      {"seen running, the log did not grow", byHand, {Running(false), StoppedWith(0)}, {}, L"", 0,
       L"WCOM1 verdict: unknown: the log holds no run of this boot; E104E; ", lastRun, 1, L""},
      {"still running when the wait by hand ends", {L"--wait-for-service", L"2"}, {Running()}, {}, L"", 0, incomplete,
       L"NuboraService still running after 2 s", 2, L""},
      {"a query that fails", byHand, {kQueryFails}, {}, L"", 0,
       L"WCOM1 verdict: unknown: cannot ask the service manager about NuboraService (error 1722); E104E; ", lastRun, 0, L""},
      {"the service: a query that fails", service, {kQueryFails}, {}, L"", 0,
       L"WCOM1 verdict: unknown: cannot ask the service manager about NuboraService (error 1722); E104E; ", lastRun, 0, L"4 1/1066:3 "},
      {"the service: still running past the wait, then stopped", serviceWaits0, {Running(), StoppedWith(0)}, {}, L"", 0,
       incomplete + ran, L"configuration file: missing", 0, L"4 1 "},
      {"the service: not started past the wait, then started and stopped", serviceWaits0, {autoStart, Running(), StoppedWith(0)}, {}, L"", 0,
       L"WCOM1 verdict: not run: NuboraService has not started after 0 s; E105E; " + ran, L"configuration file: missing", 0, L"4 1 "},
      {"the service: a stop request", service, {Running()}, {1}, L"", 0, L"", L"", 0, L"4 3 1 "},
      {"the service: a shutdown", service, {Running()}, {5}, L"", 0, incomplete, L"the system shuts down after 0 s", 0, L"4 3 1 "},
      {"the service: no such port", service, {StoppedWith(0)}, {}, L"write", 2, ran, L"serial console COM1: error 2: file not found", 0, L"4 1 "},
      {"the service: a port that fails", service, {StoppedWith(0)}, {}, L"write", 31, ran, L"serial console COM1: error 31", 0, L"4 1/1066:2 "},
      {"the service: the Event Log fails", service, {StoppedWith(0)}, {}, L"event", 5, ran + accessDenied, L"configuration file: missing", 0, L"4 1/1066:1 "},
      {"healthy", service, {StoppedWith(0)}, {}, L"", 0, notConfigured, L"", 0, L"4 1 "},
      {"no_post_script", service, {StoppedWith(0)}, {}, L"", 0, notConfigured, L"", 0, L"4 1 "},
      {"drift", service, {StoppedWith(0)}, {}, L"", 0, notConfigured + L"WCOM1 warning drift [lan]: \"lan0\" differs from the section: the next boot changes it; E110W; ", L"", 0, L"4 1 "},
      {"apipa_refused", service, {StoppedWith(0)}, {}, L"", 0, notConfigured + L"WCOM1 " + apipa + L"; E111E; ", refused, 0, L"4 1 "},
      {"apipa_refused", service, {StoppedWith(0)}, {}, L"findings event", 5, notConfigured + L"WCOM1 " + apipa + L"; E111E; " + accessDenied, refused, 0, L"4 1 "},
      {"apipa_refused", byHand, {StoppedWith(0)}, {}, L"", 0, notConfigured, L"", 0, L""},
      {"apipa_refused", service, {Running()}, {5}, L"", 0, incomplete, L"", 0, L"4 3 1 "},
      // clang-format on
  };
  // A run that configured nothing, for the doctor's machines: the doctor's
  // last-boot finding, were it told.
  const char configuredNothing[] =
      "start time 2024-5-17, 9: 3: 0\r\nstarting config ip address\r\n"
      "GetPrivateProfileSectionNames failedconfig file error , no configure information\r\n";
  const std::string log = ::testing::TempDir() + "nubora_report_boot.log";
  const std::string data = NUBORA_TEST_DATA_DIR "/doctor/", ini = data + "ipconfig_xen_vm.ini";
  for (const auto& c : cases) {
    const std::string machineFile = data + c.what + ".ini";
    const bool onMachine = std::filesystem::exists(machineFile);
    std::FILE* file = std::fopen(log.c_str(), "wb");
    std::fputs(onMachine ? configuredNothing : kRun, file);
    std::fclose(file);
    FakeSystem fake;
    fake.log = log;
    fake.plays = c.plays;
    fake.controls = c.controls;
    fake.failAt = c.failAt;
    fake.error = c.error;
    Scoped scoped(fake);
    ReportPlatform platform = fake.Outputs();
    MachineDescription description;
    std::wstring error;
    if (onMachine) {
      ASSERT_TRUE(LoadMachineFile(Widened(machineFile.c_str()), description, error));
      platform.ini = Widened(ini.c_str());
    }
    DescribedMachine machine(description);
    if (onMachine) platform.machine = machine.View();
    std::vector<std::wstring> args = c.args;
    args.push_back(std::wstring(log.begin(), log.end()));
    std::string out, err;
    EXPECT_EQ(ReportCommand(args, platform, out, err), 0) << c.what;
    EXPECT_EQ(fake.told, c.told) << c.what;
    EXPECT_NE(fake.eventText.find(c.eventHolds), std::wstring::npos) << c.what;
    EXPECT_EQ(fake.sleeps, c.sleeps) << c.what;
    EXPECT_EQ(fake.states, c.states) << c.what;
  }
}

TEST(Report, ArgumentsInstallAndUninstall) {
  const std::wstring create =
      L"manager 2 create NuboraReport,Nubora boot report,983551,16,2,1,\"C:\\t\\nubora.exe\" "
      L"report --service";
  const std::wstring described =
      L" describe Tells each boot's network configuration verdict on the serial console and in "
      L"the Windows Event Log source NuboraService,C:\\t\\nubora.exe ";
  const std::wstring removed =
      L"stop NuboraReport manager 1 open NuboraReport 65536 delete remove NuboraService ";
  const struct {
    std::vector<std::wstring> args;
    const wchar_t* failAt;
    unsigned long error;  // of the step failing; uninstall: NuboraReport stops after as many polls
    int exitCode;
    std::wstring calls;  // | the first line printed | the first on standard error
    std::size_t sleeps;
  } cases[] = {
      // clang-format off
      {{L"--install-service"}, L"", 0, 0, create + described + L"|install report service successfully|", 0},
      {{L"--install-service", L"D:\\a b\\", L"--console", L"COM2", L"--no-eventlog", L"--wait-for-service", L"1200", L"--codepage", L"936"}, L"", 0, 0,
       create + L" \"D:\\a b\\\\\" --console COM2 --no-eventlog --wait-for-service 1200 --codepage 936" + described + L"|install report service successfully|", 0},
      {{L"--install-service", L"--console", L"none", L"--wait-for-service"}, L"", 0, 0,
       create + L" --console none" + described + L"|install report service successfully|", 0},
      {{L"--install-service"}, L"create", 1073, 1, create + L" |install report service failed with errorcode=1073|", 0},
      {{L"--install-service"}, L"manager", 5, 1, L"manager 2 |install report service failed with errorcode=5|", 0},
      {{L"--install-service"}, L"source", 5, 1, create + described + L"delete |install report service failed with errorcode=5|", 0},
      {{L"--uninstall-service"}, L"", 0, 0, removed + L"|uninstall report service successfully|", 0},
      {{L"--uninstall-service"}, L"stop", 1062, 0, removed + L"|uninstall report service successfully|", 0},
      {{L"--uninstall-service"}, L"", 3, 0, removed + L"|uninstall report service successfully|", 3},
      {{L"--uninstall-service"}, L"", 31, 1, removed + L"|uninstall report service failed with errorcode=1053|", 30},
      {{L"--uninstall-service"}, L"remove", 2, 0, removed + L"|uninstall report service successfully|", 2},
      {{L"--uninstall-service"}, L"remove", 5, 1, removed + L"|uninstall report service failed with errorcode=5|", 5},
      {{L"--uninstall-service"}, L"manager", 5, 1, L"stop NuboraReport manager 1 |uninstall report service failed with errorcode=5|", 5},
      {{L"--uninstall-service", L"--console", L"COM2"}, L"", 0, 2, L"||nubora report: --uninstall-service takes no other option", 0},
      {{L"--console", L""}, L"", 0, 2, L"||nubora report: --console needs a port or none", 0},
      {{L"--service", L"--install-service"}, L"", 0, 2, L"||nubora report: one of --service, --install-service, --uninstall-service", 0},
      {{L"--install-service"}, L"folder", 0, 1, L"||nubora report: not installed: Users (S-1-5-32-545) may add files to C:\\t, the folder of NuboraReport's executable, where Windows looks first for IPHLPAPI.DLL", 0},
      {{L"--install-service", L"--allow-writable-folder"}, L"folder", 0, 0, create + described + L"|install report service successfully|", 0},
      {{L"--allow-writable-folder"}, L"", 0, 2, L"||nubora report: --allow-writable-folder goes with --install-service", 0},
      // clang-format on
  };
  for (const auto& c : cases) {
    FakeSystem fake;
    fake.failAt = c.failAt;
    fake.error = c.error;
    Scoped scoped(fake);
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
    const std::string printed = testing::FirstLine(out), complaint = testing::FirstLine(err);
    EXPECT_EQ(fake.calls + L"|" + std::wstring(printed.begin(), printed.end()) + L"|" +
                  std::wstring(complaint.begin(), complaint.end()),
              c.calls);
    EXPECT_EQ(fake.sleeps, c.sleeps) << testing::FirstLine(out);
  }
}

}  // namespace
}  // namespace nubora
