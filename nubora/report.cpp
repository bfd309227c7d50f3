#include "nubora/report.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cwchar>

#include "nubora/arguments.h"
#include "nubora/report_service.h"
#include "nubora/report_text.h"
#include "nubora/run_text.h"
#include "platform/code_page.h"
#include "platform/log_file.h"
#include "platform/platform.h"
#include "platform/probes.h"
#include "platform/text.h"

namespace nubora {
namespace {

const wchar_t kReportHelp[] =
    L"usage: nubora report [LOG] [--console PORT|none] [--no-eventlog]\n"
    L"                     [--wait-for-service [SECONDS]] [--codepage N]\n"
    L"       nubora report --install-service | --uninstall-service\n"
    L"  Tells the log's last run, as nubora status does, on the serial console\n"
    L"  and in the Application event log (source NuboraService).\n"
    L"  LOG       the log (on Windows c:\\windows\\ipconfig_service.log by default)\n"
    L"  --console PORT   the serial port (default COM1), none: no console\n"
    L"  --no-eventlog    no event\n"
    L"  --wait-for-service [SECONDS]  first wait until NuboraService has stopped,\n"
    L"            at most SECONDS (default 900); a run still going is incomplete\n"
    L"  --codepage N  the ANSI code page the log was written in (default: that\n"
    L"            of LocalSystem's locale on Windows, 1252 elsewhere)\n"
    L"  --install-service    registers the service NuboraReport, which reports\n"
    L"            each boot's run, and the event source; --uninstall-service\n"
    L"            removes both\n"
    L"  exit code: 0 reported, 1 (un)installing failed, 2 usage error\n";

enum class Mode { kReport, kService, kInstall, kUninstall };

// The options; a usage error stays in `args`.
void ParseOptions(Arguments& args, Mode& mode, ReportOptions& options) {
  std::uint64_t number = 0;
  while (args.Next()) {
    if (args.Is(L"--console")) {
      if (args.Value(options.port, L"--console needs a port or none") && options.port.empty()) {
        args.Fail(L"--console needs a port or none");
      }
      if (options.port == L"none") options.port.clear();
    } else if (args.Is(L"--no-eventlog")) {
      options.eventLog = false;
    } else if (args.Is(L"--wait-for-service")) {
      options.wait = true;
      if (args.OptionalNumber(ULONG_MAX, number))
        options.waitSeconds = static_cast<unsigned long>(number);
    } else if (args.Is(L"--codepage")) {
      args.CodePage(options.codePage);
    } else if (args.Is(L"--service") || args.Is(L"--install-service") ||
               args.Is(L"--uninstall-service")) {
      if (mode != Mode::kReport)
        args.Fail(L"one of --service, --install-service, --uninstall-service");
      mode = args.Is(L"--service")           ? Mode::kService
             : args.Is(L"--install-service") ? Mode::kInstall
                                             : Mode::kUninstall;
    } else {
      args.Operand(options.log, L"one log at a time");
    }
  }
  if (mode == Mode::kService) options.wait = options.untilDecided = options.doctor = true;
  if (mode == Mode::kReport || mode == Mode::kService) args.Log(options.log);
}

unsigned long Deliver(const Report& report, const ReportOptions& options,
                      const ReportPlatform& platform, std::string& err) {
  std::vector<std::wstring> eventLines = report.lines;
  unsigned long failure = 0;
  bool consoleTook = false;
  if (!options.port.empty()) {
    const LocalTime now = CurrentPlatform().clock->Now();
    const unsigned long error =
        platform.console->Write(options.port, ConsoleBytes(report.lines, now));
    consoleTook = error == 0;
    if (error != 0 && error != kNotAvailable) {
      err += ToMultibyte(L"nubora report: cannot write to " + options.port + L" (" +
                         ErrorText(error) + L"), skipped\n");
      // Told in the event either way; a port the machine lacks is no failure.
      eventLines.push_back(L"serial console " + options.port + L": " + ErrorText(error));
      if (error != kErrorFileNotFound) failure = kPortFailed;
    }
  }
  if (options.eventLog) {
    const unsigned long error = platform.eventLog->Report(kWatchedService, report.type,
                                                          report.eventId, EventText(eventLines));
    if (error != 0 && error != kNotAvailable) {
      const std::wstring why = L"cannot write to the Event Log (" + ErrorText(error) + L")";
      err += ToMultibyte(L"nubora report: " + why + L", skipped\n");
      if (consoleTook) {
        platform.console->Write(options.port, ConsoleBytes({why}, CurrentPlatform().clock->Now()));
      }
      failure = kEventLogFailed;
    }
  }
  return failure;
}

}  // namespace

unsigned long MakeReport(const ReportOptions& options, const ReportPlatform& platform,
                         const PauseRoutine& pause, std::string& out, std::string& err) {
  const unsigned codePage = options.codePage != 0 ? options.codePage : LogCodePage();
  unsigned long failure = 0;
  // The report of the run as the log holds it now, with `watch`'s finding.
  const auto tell = [&](const BootWatch& watch) {
    SharedReadFile file;
    unsigned long openError = 0;
    RunStatus run;
    std::wstring unread = L"no run in " + options.log;
    const bool opened = file.Open(options.log, openError);
    if (!opened) {
      unread = L"cannot read " + options.log + L" (error " + Number(openError) + L")";
    }
    const bool hasRun = opened && ReadRunFromEnd(file, 1, codePage, run);
    const Report report = TellBoot(watch, hasRun ? &run : nullptr, unread);
    for (const std::wstring& line : report.lines) out += ToMultibyte(line + L"\n");
    const unsigned long delivered = Deliver(report, options, platform, err);
    if (failure == 0) failure = delivered;
  };
  BootWatch watch;
  if (options.wait) {
    const auto logSize = [&options]() -> std::uint64_t {
      SharedReadFile file;
      unsigned long error = 0;
      return file.Open(options.log, error) ? file.Size() : 0;
    };
    if (!WatchBoot(*platform.services, kWatchedService, logSize, options.waitSeconds,
                   options.untilDecided, pause, tell, watch)) {
      return 0;  // asked to stop: nothing to tell
    }
  }
  tell(watch);
  if (watch.finding == BootFinding::kCannotAsk && failure == 0) {
    failure = kServiceManagerFailed;
  }
  // The run's own verdict tells the last boot; a shutdown leaves no time to look.
  if (options.doctor && watch.finding != BootFinding::kShutdown &&
      CurrentPlatform().ini->Exists(platform.ini.c_str())) {
    InitPlatformProbes();
    const Report findings = TellFindings(Diagnose(platform.ini, L"", platform.machine));
    for (const std::wstring& line : findings.lines) out += ToMultibyte(line + L"\n");
    if (!findings.lines.empty()) Deliver(findings, options, platform, err);
  }
  return failure;
}

ReportPlatform NativeReportPlatform() {
  return ReportPlatform{&NativeSerialConsole(), &NativeEventLog(), &NativeServiceWatch(),
                        HostMachine()};
}

int ReportCommand(const std::vector<std::wstring>& list, const ReportPlatform& platform,
                  std::string& out, std::string& err) {
  Arguments args(L"report", kReportHelp, list);
  Mode mode = Mode::kReport;
  ReportOptions options;
  ParseOptions(args, mode, options);
  int exitCode = 0;
  if (args.Done(out, err, exitCode)) return exitCode;
  if (mode == Mode::kUninstall && list.size() > 1) {
    return args.Usage(L"--uninstall-service takes no other option", err);
  }
  switch (mode) {
    case Mode::kInstall:
    case Mode::kUninstall: {
      const bool install = mode == Mode::kInstall;
      const unsigned long error = install ? InstallReportService(options, *platform.eventLog)
                                          : UninstallReportService(platform);
      const std::wstring what = install ? L"install" : L"uninstall";
      out = ToMultibyte(what + L" report service " +
                        (error == 0 ? L"successfully" : L"failed with errorcode=" + Number(error)) +
                        L"\n");
      return error == 0 ? 0 : 1;
    }
    case Mode::kService: {
      const unsigned long error = RunReportService(options, platform);
      if (error == 0) return 0;
      err = ToMultibyte(L"nubora report: not started by the service manager (error " +
                        Number(error) + L")\n");
      return 1;
    }
    case Mode::kReport:
      break;
  }
  Clock& clock = *CurrentPlatform().clock;
  MakeReport(
      options, platform,
      [&clock](unsigned long ms) {
        clock.Sleep(ms);
        return StopRequest::kNone;
      },
      out, err);
  return 0;  // what failed is on standard error
}

}  // namespace nubora
