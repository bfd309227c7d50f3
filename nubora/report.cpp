#include "nubora/report.h"

#include <clocale>
#include <condition_variable>
#include <cstdio>
#include <cwchar>
#include <mutex>

#include "netconfig/log.h"
#include "nubora/run_text.h"
#include "nubora/status.h"
#include "platform/log_file.h"
#include "platform/platform.h"

namespace nubora {
namespace {

constexpr int kUsage = 2;
constexpr unsigned long kDefaultWaitSeconds = 900;  // 210 s of adapters, hung commands
const wchar_t kWatchedService[] = L"NuboraService";
const wchar_t kEventSource[] = L"NuboraService";
const wchar_t kReportService[] = L"NuboraReport";
const wchar_t kReportDisplayName[] = L"Nubora boot report";
const wchar_t kReportDescription[] =
    L"Tells each boot's network configuration verdict on the serial console and in the Windows "
    L"Event Log";
const char kConsolePrefix[] = "NuboraService: ";
const wchar_t kCutLine[] = L"the report is cut here: more lines ";

const wchar_t kHelp[] =
    L"usage: nubora report [LOG] [--console PORT|none] [--no-eventlog]\n"
    L"                     [--wait-for-service [SECONDS]] [--codepage N]\n"
    L"       nubora report --install-service | --uninstall-service\n"
    L"  Tells the log's last run, as nubora status does, on the serial console\n"
    L"  and in the Application event log (source NuboraService).\n"
    L"  LOG       the log (default c:\\windows\\ipconfig_service.log)\n"
    L"  --console PORT   the serial port (default COM1), none: no console\n"
    L"  --no-eventlog    no event\n"
    L"  --wait-for-service [SECONDS]  first wait until NuboraService has stopped,\n"
    L"            at most SECONDS (default 900); a run still going is incomplete\n"
    L"  --codepage N  the ANSI code page the log was written in\n"
    L"  --install-service    registers the service NuboraReport, which reports\n"
    L"            each boot's run, and the event source; --uninstall-service\n"
    L"            removes both\n"
    L"  exit code: 0 reported, 1 (un)installing failed, 2 usage error\n";

enum class Mode { kReport, kService, kInstall, kUninstall };

struct Options {
  Mode mode = Mode::kReport;
  std::wstring log = L"c:\\windows\\ipconfig_service.log";
  std::wstring port = L"COM1";
  bool eventLog = true;
  bool wait = false;
  unsigned long waitSeconds = kDefaultWaitSeconds;
  unsigned codePage = 0;
};

bool ParseCount(const std::wstring& text, unsigned long& value) {
  if (text.empty() || text.find_first_not_of(L"0123456789") != std::wstring::npos) return false;
  value = std::wcstoul(text.c_str(), nullptr, 10);
  return true;
}

std::wstring ParseOptions(const std::vector<std::wstring>& args, Options& options) {
  bool logGiven = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::wstring& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    unsigned long value = 0;
    if (arg == L"--console") {
      if (!hasValue || args[i + 1].empty()) return L"--console needs a port or none";
      options.port = args[++i] == L"none" ? L"" : args[i];
    } else if (arg == L"--no-eventlog") {
      options.eventLog = false;
    } else if (arg == L"--wait-for-service") {
      options.wait = true;
      if (hasValue && ParseCount(args[i + 1], options.waitSeconds)) ++i;
    } else if (arg == L"--codepage") {
      if (!hasValue || !ParseCount(args[++i], value) || value == 0) {
        return L"--codepage needs a code page number";
      }
      options.codePage = static_cast<unsigned>(value);
    } else if (arg == L"--service" || arg == L"--install-service" ||
               arg == L"--uninstall-service") {
      if (options.mode != Mode::kReport)
        return L"one of --service, --install-service, --uninstall-service";
      options.mode = arg == L"--service"           ? Mode::kService
                     : arg == L"--install-service" ? Mode::kInstall
                                                   : Mode::kUninstall;
    } else if (!arg.empty() && arg[0] == L'-') {
      return L"unknown option " + arg;
    } else if (!logGiven) {
      options.log = arg;
      logGiven = true;
    } else {
      return L"one log at a time";
    }
  }
  if (options.mode == Mode::kService) options.wait = true;
  return L"";
}

std::vector<std::wstring> SplitLines(const std::wstring& text) {
  std::vector<std::wstring> lines;
  std::size_t begin = 0;
  for (std::size_t end = text.find(L'\n'); end != std::wstring::npos;
       begin = end + 1, end = text.find(L'\n', begin)) {
    lines.push_back(text.substr(begin, end - begin));
  }
  if (begin < text.size()) lines.push_back(text.substr(begin));
  return lines;
}

std::string ConsoleLine(const std::string& stamp, const std::wstring& line) {
  return kConsolePrefix + stamp + " " + Utf8(line) + "\r\n";
}

// The wait of the report service, which a stop request ends.
struct StopSignal {
  std::mutex mutex;
  std::condition_variable changed;
  bool requested = false;
  bool Pause(unsigned long milliseconds) {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return requested; });
    return !requested;
  }
};

struct ServiceState {
  std::vector<std::wstring> args;
  ReportPlatform platform;
  StopSignal stop;
  ServiceStatusHandle handle = nullptr;
  ServiceStatus status;
  // A stop request's STOP_PENDING must not follow STOPPED, the last report.
  std::recursive_mutex reporting;
  bool stopped = false;
};

ServiceState& Service() {
  static ServiceState state;
  return state;
}

int Reported(const Options& options, const ReportPlatform& platform,
             const std::function<bool(unsigned long)>& pause, std::string& out, std::string& err) {
  unsigned long waited = 0;
  bool stillRunning = false;
  std::wstring problem;
  if (options.wait) {
    stillRunning = WaitForService(*platform.services, kWatchedService, options.log,
                                  options.waitSeconds, pause, waited, problem);
    if (!problem.empty()) err += ToMultibyte(L"nubora report: " + problem + L"\n");
  }
  Report report;
  SharedReadFile file;
  unsigned long error = 0;
  RunStatus run;
  const unsigned codePage = options.codePage != 0 ? options.codePage : DefaultCodePage();
  if (!file.Open(options.log, error)) {
    report = TellProblem(L"cannot read " + options.log + L" (error " + Number(error) + L")");
  } else if (!ReadRunFromEnd(file, 1, codePage, run)) {
    report = TellProblem(L"no run in " + options.log);
  } else {
    report = TellRun(run, stillRunning, waited);
  }
  for (const std::wstring& line : report.lines) out += ToMultibyte(line + L"\n");

  if (!options.port.empty() &&
      !platform.console->Write(options.port,
                               ConsoleBytes(report.lines, CurrentPlatform().clock->Now()), error) &&
      error != kNotAvailable) {
    err += ToMultibyte(L"nubora report: cannot write to " + options.port + L" (error " +
                       Number(error) + L"), skipped\n");
  }
  if (options.eventLog &&
      !platform.eventLog->Report(kEventSource, report.type, report.eventId, EventText(report.lines),
                                 error) &&
      error != kNotAvailable) {
    err += ToMultibyte(L"nubora report: cannot write to the Event Log (error " + Number(error) +
                       L"), skipped\n");
  }
  return 0;
}

constexpr std::uint32_t kServiceOwnProcess = 0x10;
constexpr std::uint32_t kStopped = 1, kRunning = 4, kStopPending = 3;
constexpr std::uint32_t kAcceptStopShutdown = 0x1 | 0x4;

void SetState(std::uint32_t state) {
  ServiceState& service = Service();
  std::lock_guard<std::recursive_mutex> lock(service.reporting);
  if (service.stopped) return;
  service.stopped = state == kStopped;
  service.status.dwServiceType = kServiceOwnProcess;
  service.status.dwCurrentState = state;
  service.status.dwControlsAccepted = state == kRunning ? kAcceptStopShutdown : 0;
  CurrentPlatform().serviceHost->ReportStatus(service.handle, service.status);
}

unsigned long NUBORA_CALLBACK ReportControl(unsigned long control, unsigned long, void*, void*) {
  constexpr unsigned long kControlStop = 1, kControlInterrogate = 4, kControlShutdown = 5;
  if (control == kControlStop || control == kControlShutdown) {
    StopSignal& stop = Service().stop;
    {
      std::lock_guard<std::mutex> lock(stop.mutex);
      stop.requested = true;
    }
    stop.changed.notify_all();
    SetState(kStopPending);
    return 0;
  }
  return control == kControlInterrogate ? 0 : 120;  // not implemented
}

void NUBORA_CALLBACK ReportServiceMain(unsigned long, wchar_t**) {
  ServiceState& service = Service();
  service.handle =
      CurrentPlatform().serviceHost->RegisterControlHandler(kReportService, ReportControl, nullptr);
  if (service.handle == nullptr) return;
  SetState(kRunning);  // at once: the wait for NuboraService may be long
  Options options;
  ParseOptions(service.args, options);
  std::string out, err;
  Reported(
      options, service.platform, [&](unsigned long ms) { return service.stop.Pause(ms); }, out,
      err);
  SetState(kStopped);
}

// The report service's registration and the event source; 0 or the error of
// the step that failed (a source that fails takes the registration back).
unsigned long InstallReportService(EventLog& eventLog) {
  ServiceManagerApi& api = *CurrentPlatform().services;
  constexpr unsigned long kCreateService = 0x2, kAllAccess = 0xF01FF, kAutoStart = 2,
                          kErrorNormal = 1;
  wchar_t path[1024] = {};
  CurrentPlatform().files->ModulePath(path, 1024);
  ScHandle manager(api, api.OpenManager(kCreateService));
  if (!manager) return api.LastError();
  const std::wstring commandLine = L"\"" + std::wstring(path) + L"\" report --service";
  ScHandle service(
      api, api.CreateOwnService(manager.get(), kReportService, kReportDisplayName, kAllAccess,
                                kServiceOwnProcess, kAutoStart, kErrorNormal, commandLine.c_str()));
  if (!service) return api.LastError();
  api.SetDescription(service.get(), kReportDescription);
  const unsigned long error = eventLog.RegisterSource(kEventSource, path);
  if (error != 0) api.DeleteExistingService(service.get());
  return error;
}

unsigned long UninstallReportService(EventLog& eventLog) {
  ServiceManagerApi& api = *CurrentPlatform().services;
  constexpr unsigned long kConnect = 0x1, kDelete = 0x10000, kFileNotFound = 2;
  unsigned long error = 0;
  ScHandle manager(api, api.OpenManager(kConnect));
  if (!manager) return api.LastError();
  ScHandle service(api, api.OpenExistingService(manager.get(), kReportService, kDelete));
  if (!service || !api.DeleteExistingService(service.get())) error = api.LastError();
  const unsigned long sourceError = eventLog.RemoveSource(kEventSource);
  if (error == 0 && sourceError != kFileNotFound) error = sourceError;
  return error;
}

}  // namespace

Report EventFor(Verdict verdict) {
  switch (verdict) {
    case Verdict::kConfigured:
      return {EventType::kInformation, 100, {}};
    case Verdict::kNothingToConfigure:
      return {EventType::kInformation, 101, {}};
    case Verdict::kPartlyConfigured:
      return {EventType::kWarning, 102, {}};
    case Verdict::kNotConfigured:
      return {EventType::kError, 103, {}};
    case Verdict::kIncomplete:
      break;
  }
  return {EventType::kError, 104, {}};
}

Report TellRun(const RunStatus& run, bool stillRunning, unsigned long waited) {
  const Verdict verdict = stillRunning ? Verdict::kIncomplete : run.verdict;
  Report report = EventFor(verdict);
  report.lines.push_back(L"verdict: " + Wide(VerdictText(verdict)));
  if (stillRunning) {
    report.lines.push_back(std::wstring(kWatchedService) + L" still running after " +
                           Number(waited) + L" s");
  }
  for (std::wstring& line : SplitLines(RunText(run))) {
    // The status's own verdict line, with its reason, leads unless the wait
    // ran out and the run is told incomplete.
    if (line.rfind(L"verdict: ", 0) != 0) {
      report.lines.push_back(std::move(line));
    } else if (!stillRunning) {
      report.lines[0] = std::move(line);
    }
  }
  return report;
}

Report TellProblem(const std::wstring& why) {
  Report report = EventFor(Verdict::kIncomplete);
  report.lines.push_back(L"verdict: unknown: " + why);
  return report;
}

std::string ConsoleBytes(const std::vector<std::wstring>& lines, const LocalTime& now) {
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d", now.year, now.month, now.day,
                now.hour, now.minute, now.second);
  // Room kept for the line that says how many were cut.
  const std::size_t reserve = ConsoleLine(stamp, kCutLine + Number(lines.size())).size();
  std::string out;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string line = ConsoleLine(stamp, lines[i]);
    const std::size_t room = i + 1 == lines.size() ? kConsoleLimit : kConsoleLimit - reserve;
    if (out.size() + line.size() > room) {
      return out + ConsoleLine(stamp, kCutLine + Number(lines.size() - i));
    }
    out += line;
  }
  return out;
}

std::wstring EventText(const std::vector<std::wstring>& lines) {
  const std::size_t reserve = (std::wstring(L"\r\n") + kCutLine + Number(lines.size())).size();
  std::wstring text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::wstring line = (i == 0 ? L"" : L"\r\n") + lines[i];
    const std::size_t room = i + 1 == lines.size() ? kEventTextLimit : kEventTextLimit - reserve;
    if (text.size() + line.size() >= room) {
      return text + L"\r\n" + kCutLine + Number(lines.size() - i);
    }
    text += line;
  }
  return text;
}

bool WaitForService(ServiceWatch& services, const wchar_t* name, const std::wstring& log,
                    unsigned long seconds, const std::function<bool(unsigned long)>& pause,
                    unsigned long& waited, std::wstring& problem) {
  bool seenRunning = false;
  for (waited = 0;; ++waited) {
    unsigned long error = 0;
    const ServiceRunState state = services.Query(name, error);
    if (state == ServiceRunState::kUnknown) {
      problem = L"cannot ask the service manager about " + std::wstring(name) + L" (error " +
                Number(error) + L"), not waiting";
      return false;
    }
    if (state == ServiceRunState::kAbsent) return false;
    if (state == ServiceRunState::kStopped && (seenRunning || services.WrittenSinceBoot(log))) {
      return false;
    }
    seenRunning = seenRunning || state == ServiceRunState::kRunning;
    if (waited >= seconds || !pause(1000)) return state == ServiceRunState::kRunning;
  }
}

int ReportCommand(const std::vector<std::wstring>& args, const ReportPlatform& platform,
                  std::string& out, std::string& err) {
  for (const std::wstring& arg : args) {
    if (arg == L"--help" || arg == L"-h") {
      out = ToMultibyte(kHelp);
      return 0;
    }
  }
  Options options;
  const std::wstring problem = ParseOptions(args, options);
  if (!problem.empty()) {
    err = ToMultibyte(L"nubora report: " + problem + L"\n" + kHelp);
    return kUsage;
  }
  std::wstring probe;
  if (options.codePage != 0 && !DecodeCodePage(std::string(), options.codePage, probe)) {
    err = ToMultibyte(L"nubora report: code page " + Number(options.codePage) +
                      L" is not known here\n");
    return kUsage;
  }
  switch (options.mode) {
    case Mode::kInstall:
    case Mode::kUninstall: {
      const bool install = options.mode == Mode::kInstall;
      const unsigned long error = install ? InstallReportService(*platform.eventLog)
                                          : UninstallReportService(*platform.eventLog);
      const std::wstring what = install ? L"install" : L"uninstall";
      out = ToMultibyte(what + L" report service " +
                        (error == 0 ? L"successfully" : L"failed with errorcode=" + Number(error)) +
                        L"\n");
      return error == 0 ? 0 : 1;
    }
    case Mode::kService: {
      Service().args = args;
      Service().platform = platform;
      const ServiceTableEntry table[] = {{kReportService, ReportServiceMain}, {nullptr, nullptr}};
      const unsigned long error = CurrentPlatform().serviceHost->RunDispatcher(table);
      if (error == 0) return 0;
      err = ToMultibyte(L"nubora report: not started by the service manager (error " +
                        Number(error) + L")\n");
      return 1;
    }
    case Mode::kReport:
      break;
  }
  Clock& clock = *CurrentPlatform().clock;
  return Reported(
      options, platform,
      [&clock](unsigned long ms) {
        clock.Sleep(ms);
        return true;
      },
      out, err);
}

int ReportMain(int argc, wchar_t** argv) {
  std::setlocale(LC_ALL, "");
  const std::vector<std::wstring> args(argv + 1, argv + argc);
  std::string out, err;
  const int result = ReportCommand(args, NativeReportPlatform(), out, err);
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
  std::fwrite(err.data(), 1, err.size(), stderr);
  return result;
}

}  // namespace nubora
