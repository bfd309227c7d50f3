// nubora report over fakes of the console, the Event Log, the service manager
// and the clock: the event of each verdict, the console's lines and 4 KB cut,
// the event text's cut, the wait for the service, and what each mode does and
// prints, failures included.
#include "nubora/report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

#include "nubora/report_text.h"
#include "nubora/run_text.h"
#include "platform/platform.h"

namespace nubora {
namespace {

// Every call is written down in `calls`; `failAt` names the step that fails
// with `error` (the console and the Event Log fail with a nonzero `error`).
struct FakeSystem : SerialConsole,
                    EventLog,
                    ServiceWatch,
                    ServiceManagerApi,
                    ExecutableFiles,
                    ServiceHost,
                    Clock {
  unsigned long Write(const std::wstring& port, const std::string& bytes) override {
    console += bytes;
    return Fails(L"write " + port, L"write");
  }
  unsigned long Report(const wchar_t*, EventType type, unsigned long id,
                       const std::wstring&) override {
    return Fails(L"event " + Number(static_cast<int>(type)) + L" " + Number(id), L"event");
  }
  unsigned long RegisterSource(const wchar_t* source, const std::wstring& file) override {
    return Fails(L"source " + std::wstring(source) + L"," + file, L"source");
  }
  unsigned long RemoveSource(const wchar_t* source) override {
    return Fails(L"remove " + std::wstring(source), L"remove");
  }
  unsigned long Query(const wchar_t* name, ServiceSnapshot& s) override {
    // "stops": running for `error` queries, "late": stopped, not yet run for
    // `error` queries; "absent", "query": absent, unknown.
    s = ServiceSnapshot{failAt != L"absent", 4};
    if (Fails(L"query " + std::wstring(name), L"query") != 0) return error;
    const bool before = queries++ < error;
    if (failAt == L"late" || (failAt == L"stops" && !before)) s.state = 1;
    return 0;
  }
  bool WrittenSinceBoot(const std::wstring& path) override {
    calls += L"written " + path.substr(path.size() - 4) + L" ";
    return failAt != L"late" || queries > error;
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
  unsigned long RunDispatcher(const ServiceTableEntry* table) override {
    calls += std::wstring(L"dispatch ") + table[0].name + L" ";
    table[0].main(0, nullptr);
    // A stop request as soon as the service runs.
    EXPECT_EQ(control(4, 0, nullptr, nullptr), 0u);    // interrogate
    EXPECT_EQ(control(2, 0, nullptr, nullptr), 120u);  // pause: not accepted
    EXPECT_EQ(control(5, 0, nullptr, nullptr), 0u);    // shutdown, as a stop
    worker(workerParameter);
    return 0;
  }
  ServiceStatusHandle RegisterControlHandler(const wchar_t*, ServiceControlRoutine handler,
                                             void* context) override {
    control = [handler, context](unsigned long code, unsigned long, void*, void*) {
      return handler(code, 0, nullptr, context);
    };
    return this;
  }
  bool ReportStatus(ServiceStatusHandle, const ServiceStatus& status) override {
    calls += L"state " + Number(status.dwCurrentState) + L" ";
    return true;
  }
  bool StartThread(ThreadRoutine routine, void* parameter, unsigned long&) override {
    worker = routine;
    workerParameter = parameter;
    return true;
  }
  LocalTime Now() override { return {2024, 5, 17, 9, 3, 0}; }
  void Sleep(unsigned long ms) override { calls += L"sleep " + Number(ms) + L" "; }

  unsigned long Fails(const std::wstring& call, const wchar_t* step) {
    calls += call + L" ";
    return failAt == step ? error : 0;
  }
  ReportPlatform Outputs() { return {this, this, this}; }
  ThreadRoutine worker = nullptr;
  void* workerParameter = nullptr;
  std::wstring calls, failAt;
  std::string console;
  unsigned long error = 0;
  unsigned long queries = 0;
  std::function<unsigned long(unsigned long, unsigned long, void*, void*)> control;
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
    const Report report = TellRun(run, false, 0);
    EXPECT_EQ(report.type, c.type) << c.id;
    EXPECT_EQ(report.eventId, c.id);
    // The status text's verdict line, with its reason where it has one, leads.
    std::wstring rest, text = RunText(run);
    const std::size_t verdictAt = text.find(L"verdict: ");
    ASSERT_NE(verdictAt, std::wstring::npos);
    const std::wstring verdictLine =
        text.substr(verdictAt, text.find(L'\n', verdictAt) - verdictAt);
    EXPECT_EQ(verdictLine.rfind(L"verdict: " + Wide(VerdictText(c.verdict)), 0), 0u);
    ASSERT_FALSE(report.lines.empty());
    EXPECT_EQ(report.lines[0], verdictLine);
    // The other lines are the status text's, in order, the verdict line moved.
    for (std::size_t i = 1; i < report.lines.size(); ++i) rest += report.lines[i] + L"\n";
    EXPECT_EQ(rest, text.erase(text.find(verdictLine + L"\n"), verdictLine.size() + 1));
  }
  RunStatus ended;
  ended.verdict = Verdict::kConfigured;
  const Report running = TellRun(ended, true, 7);
  EXPECT_EQ(running.eventId, 104u);
  EXPECT_EQ(running.lines[0], L"verdict: incomplete");
  EXPECT_EQ(running.lines[1], L"NuboraService still running after 7 s");
  const Report unread = TellProblem(L"cannot read x (error 2)");
  EXPECT_EQ(unread.eventId, 104u);
  EXPECT_EQ(unread.type, EventType::kError);
  EXPECT_EQ(unread.lines, std::vector<std::wstring>{L"verdict: unknown: cannot read x (error 2)"});
}

// The cut at the limits: console lines of 128 bytes (32 make 4 KB exactly),
// event lines of 1873 characters with CR LF (17 make 31 839 exactly; 16 of
// 1990, one character less, fit).
TEST(Report, ConsoleAndEventTextAreCutAtTheirLimitsWithALastLineThatSaysSo) {
  EXPECT_EQ(ConsoleBytes({L"verdict: configured", L"[\u00e9]"}, {2024, 5, 7, 9, 3, 0}),
            "NuboraService: 2024-05-07 09:03:00 verdict: configured\r\n"
            "NuboraService: 2024-05-07 09:03:00 [\xc3\xa9]\r\n");
  const std::string cut = "NuboraService: 2024-05-07 09:03:00 the report is cut here: more lines ";
  const struct {
    std::size_t count, longerLast, kept;
  } console[] = {{32, 0, 32}, {32, 1, 31}, {33, 0, 31}, {200, 0, 31}};
  for (const auto& c : console) {
    std::vector<std::wstring> lines(c.count, std::wstring(91, L'x'));
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

TEST(Report, ArgumentsChooseWhatIsDoneAndFailuresAreToldNotFatal) {
  const std::string log = ::testing::TempDir() + "nubora_report.log";
  std::FILE* file = std::fopen(log.c_str(), "wb");
  std::fputs(
      "start time 2024-5-17, 9: 3: 0\r\nstarting config ip address\r\n"
      "config file not exist\r\nconfig file error , no configure information\r\n",
      file);
  std::fclose(file);
  const std::wstring wlog(log.begin(), log.end());
  const std::wstring told = L"write COM1 event 4 101 |verdict: nothing to configure|";
  const std::wstring create =
      L"manager 2 create NuboraReport,Nubora boot report,983551,16,2,1,\"C:\\t\\nubora.exe\" "
      L"report --service describe Tells each boot's network configuration verdict on the serial "
      L"console and in the Windows Event Log ";
  const std::wstring source = L"source NuboraService,C:\\t\\nubora.exe ";
  const struct {
    std::vector<std::wstring> args;
    const wchar_t* failAt;
    unsigned long error;  // of the step failing, or of the console and Event Log
    int exitCode;
    std::wstring calls;  // | the first line printed | the first on standard error
  } cases[] = {
      // clang-format off
      {{wlog}, L"", 0, 0, told},
      {{wlog, L"--console", L"COM3", L"--no-eventlog"}, L"", 0, 0, L"write COM3 |verdict: nothing to configure|"},
      {{wlog, L"--console", L"none"}, L"", 0, 0, L"event 4 101 |verdict: nothing to configure|"},
      {{wlog}, L"write", 31, 0, told + L"nubora report: cannot write to COM1 (error 31), skipped"},
      {{wlog}, L"event", 31, 0, told + L"nubora report: cannot write to the Event Log (error 31), skipped"},
      {{wlog}, L"write", kNotAvailable, 0, told},
      {{wlog, L"--wait-for-service", L"2"}, L"", 0, 0, L"query NuboraService sleep 1000 query NuboraService "
       L"sleep 1000 query NuboraService write COM1 event 1 104 |verdict: incomplete|"},
      {{L"--wait-for-service", wlog}, L"stops", 1, 0, L"query NuboraService sleep 1000 query NuboraService " + told},
      {{wlog, L"--wait-for-service", L"0"}, L"absent", 0, 0, L"query NuboraService " + told},
      {{wlog, L"--wait-for-service"}, L"late", 1, 0, L"query NuboraService written .log sleep 1000 "
       L"query NuboraService written .log " + told},
      {{wlog, L"--wait-for-service", L"1"}, L"late", 9, 0, L"query NuboraService written .log sleep 1000 "
       L"query NuboraService written .log " + told},
      {{wlog, L"--wait-for-service"}, L"query", 1722, 0, L"query NuboraService " + told +
       L"nubora report: cannot ask the service manager about NuboraService (error 1722), not waiting"},
      {{wlog, L"--service"}, L"", 0, 0, L"dispatch NuboraReport state 4 state 3 query NuboraService "
       L"write COM1 event 1 104 state 1 ||"},
      {{L"--install-service"}, L"", 0, 0, create + source + L"|install report service successfully|"},
      {{L"--install-service"}, L"create", 1073, 1, create.substr(0, create.find(L"describe")) + L"|install report service failed with errorcode=1073|"},
      {{L"--install-service"}, L"manager", 5, 1, L"manager 2 |install report service failed with errorcode=5|"},
      {{L"--install-service"}, L"source", 5, 1, create + source + L"delete |install report service failed with errorcode=5|"},
      {{L"--uninstall-service"}, L"remove", 2, 0, L"manager 1 open NuboraReport 65536 delete remove NuboraService |uninstall report service successfully|"},
      {{L"--uninstall-service"}, L"open", 1060, 1, L"manager 1 open NuboraReport 65536 remove NuboraService |uninstall report service failed with errorcode=1060|"},
      {{L"--uninstall-service"}, L"remove", 5, 1, L"manager 1 open NuboraReport 65536 delete remove NuboraService |uninstall report service failed with errorcode=5|"},
      {{L"--help"}, L"", 0, 0, L"|usage: nubora report [LOG] [--console PORT|none] [--no-eventlog]|"},
      {{wlog, L"--console"}, L"", 0, 2, L"||nubora report: --console needs a port or none"},
      {{wlog, L"--console", L""}, L"", 0, 2, L"||nubora report: --console needs a port or none"},
      {{wlog, L"x"}, L"", 0, 2, L"||nubora report: one log at a time"},
      {{wlog, L"--bogus"}, L"", 0, 2, L"||nubora report: unknown option --bogus"},
      {{wlog, L"--codepage", L"0"}, L"", 0, 2, L"||nubora report: --codepage needs a code page number"},
      {{L"--service", L"--install-service"}, L"", 0, 2, L"||nubora report: one of --service, --install-service, --uninstall-service"},
      // clang-format on
  };
  for (const auto& c : cases) {
    FakeSystem fake;
    fake.failAt = c.failAt;
    fake.error = c.error;
    Platform platform = CurrentPlatform();
    platform.services = &fake;
    platform.files = &fake;
    platform.serviceHost = &fake;
    platform.clock = &fake;
    ScopedPlatform scoped(platform);
    std::string out, err;
    EXPECT_EQ(ReportCommand(c.args, fake.Outputs(), out, err), c.exitCode) << err;
    const auto firstLine = [](const std::string& text) {
      return std::wstring(text.begin(), std::find(text.begin(), text.end(), '\n'));
    };
    EXPECT_EQ(fake.calls + L"|" + firstLine(out) + L"|" + firstLine(err), c.calls);
    // What the console tells starts with its prefix and the clock's time.
    EXPECT_EQ(fake.console.substr(0, 35),
              fake.console.empty() ? "" : "NuboraService: 2024-05-17 09:03:00 ");
  }
}

}  // namespace
}  // namespace nubora
