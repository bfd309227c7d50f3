#include "nubora/report.h"

#include <clocale>
#include <cstdio>
#include <cwchar>

#include "netconfig/log.h"
#include "nubora/report_service.h"
#include "nubora/report_text.h"
#include "nubora/run_text.h"
#include "platform/log_file.h"
#include "platform/platform.h"

namespace nubora {
namespace {

constexpr int kUsage = 2;

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

bool ParseCount(const std::wstring& text, unsigned long& value) {
  if (text.empty() || text.find_first_not_of(L"0123456789") != std::wstring::npos) return false;
  value = std::wcstoul(text.c_str(), nullptr, 10);
  return true;
}

// Nonzero codes of MakeReport, in the order they win.

std::wstring ParseOptions(const std::vector<std::wstring>& args, Mode& mode,
                          ReportOptions& options) {
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
      if (mode != Mode::kReport) return L"one of --service, --install-service, --uninstall-service";
      mode = arg == L"--service"           ? Mode::kService
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
  if (mode == Mode::kService) options.wait = options.untilDecided = true;
  return L"";
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
  const unsigned codePage = options.codePage != 0 ? options.codePage : DefaultCodePage();
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
  return failure;
}

int ReportCommand(const std::vector<std::wstring>& args, const ReportPlatform& platform,
                  std::string& out, std::string& err) {
  for (const std::wstring& arg : args) {
    if (arg == L"--help" || arg == L"-h") {
      out = ToMultibyte(kHelp);
      return 0;
    }
  }
  Mode mode = Mode::kReport;
  ReportOptions options;
  const std::wstring problem = ParseOptions(args, mode, options);
  if (!problem.empty()) {
    err = ToMultibyte(L"nubora report: " + problem + L"\n" + kHelp);
    return kUsage;
  }
  if (mode == Mode::kUninstall && args.size() > 1) {
    err = ToMultibyte(L"nubora report: --uninstall-service takes no other option\n" +
                      std::wstring(kHelp));
    return kUsage;
  }
  std::wstring probe;
  if (options.codePage != 0 && !DecodeCodePage(std::string(), options.codePage, probe)) {
    err = ToMultibyte(L"nubora report: code page " + Number(options.codePage) +
                      L" is not known here\n");
    return kUsage;
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

int ReportMain(int argc, wchar_t** argv) {
  std::setlocale(LC_ALL, "");
  const std::vector<std::wstring> args(argv + 1, argv + argc);
  std::string out, err;
  const ReportPlatform platform{&NativeSerialConsole(), &NativeEventLog(), &NativeServiceWatch()};
  const int result = ReportCommand(args, platform, out, err);
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
  std::fwrite(err.data(), 1, err.size(), stderr);
  return result;
}

}  // namespace nubora
