#include "nubora/report/report_command.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include "netconfig/paths.h"
#include "nubora/cli/arguments.h"
#include "nubora/doctor/access.h"
#include "nubora/report/report_service.h"
#include "nubora/runtext/run_text.h"
#include "platform/code_page.h"
#include "platform/identity.h"
#include "platform/platform.h"
#include "platform/system_errors.h"
#include "platform/text.h"

namespace nubora {
namespace {

const std::wstring kReportExplanation =
    std::wstring(
        L"  Tells the log's last run, as nubora status does, on the serial console\n"
        L"  and in the Application event log (source NuboraService).\n"
        L"  LOG       the log (on Windows ") +
    kLogPath +
    L" by default)\n"
    L"  --console PORT   the serial port (default COM1), none: no console\n"
    L"  --no-eventlog    no event\n"
    L"  --wait-for-service [SECONDS]  first wait until NuboraService has stopped,\n"
    L"            at most SECONDS (default " +
    Number(kDefaultWaitSeconds) +
    L"); a run still going is incomplete\n"
    L"  --codepage N  the ANSI code page the log was written in (default: that\n"
    L"            of LocalSystem's locale on Windows, 1252 elsewhere)\n"
    L"  --install-service    registers the service NuboraReport, which reports\n"
    L"            each boot's run, and the event source; --uninstall-service\n"
    L"            removes both\n"
    L"  --allow-writable-folder  installs even where others than administrators\n"
    L"            may change nubora.exe or a folder above it (one you vouch for;\n"
    L"            under Wine every file shows its Unix user with full access)\n"
    L"  exit code: 0 reported, 1 (un)installing failed, 2 usage error\n";

enum class Mode { kReport, kService, kInstall, kUninstall };

// The options; a usage error stays in `args`. The service passes over an
// option it does not know (into `options.ignored`): a typo in its command
// line must not silence every boot's report.
void ParseOptions(Arguments& args, bool service, Mode& mode, ReportOptions& options,
                  bool& allowWritable) {
  std::uint64_t number = 0;
  std::wstring unknown;
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
    } else if (args.Is(L"--allow-writable-folder")) {
      allowWritable = true;
    } else if (args.Is(L"--service") || args.Is(L"--install-service") ||
               args.Is(L"--uninstall-service")) {
      if (mode != Mode::kReport)
        args.Fail(L"one of --service, --install-service, --uninstall-service");
      mode = args.Is(L"--service")           ? Mode::kService
             : args.Is(L"--install-service") ? Mode::kInstall
                                             : Mode::kUninstall;
    } else if (service && args.UnknownOption(unknown)) {
      options.ignored.push_back(unknown);
    } else {
      args.Operand(options.log, L"one log at a time");
    }
  }
  if (allowWritable && mode != Mode::kInstall) {
    args.Fail(L"--allow-writable-folder goes with --install-service");
  }
  if (mode == Mode::kService) {
    options.wait = options.untilDecided = options.doctor = options.keepsToldRun = true;
  }
  if (mode == Mode::kReport || mode == Mode::kService) args.Log(options.log);
}

// The service runs nubora.exe as LocalSystem: not from where others may
// change it. True when nothing stands in the way.
bool InstallableHere(const MachinePlatform& machine, std::string& err) {
  for (const Finding& finding :
       ExecutableAccess(ThisExecutablePath(), kReportServiceName, machine)) {
    if (finding.severity == Severity::kInfo) continue;
    err =
        ToMultibyte(L"nubora report: not installed: " + finding.summary + L"\n  fix: " +
                    finding.fix + L"\n  or, for a folder you vouch for: --allow-writable-folder\n");
    return false;
  }
  return true;
}

}  // namespace

int ReportCommand(const std::vector<std::wstring>& list, const ReportPlatform& platform,
                  std::string& out, std::string& err) {
  Arguments args(kReportSynopsis, kReportExplanation.c_str(), list);
  Mode mode = Mode::kReport;
  ReportOptions options;
  bool allowWritable = false;
  const bool service = std::find(list.begin(), list.end(), L"--service") != list.end();
  ParseOptions(args, service, mode, options, allowWritable);
  int exitCode = 0;
  if (args.Done(out, err, exitCode)) return exitCode;
  if (mode == Mode::kUninstall && list.size() > 1) {
    return args.UsageError(L"--uninstall-service takes no other option", err);
  }
  switch (mode) {
    case Mode::kInstall:
    case Mode::kUninstall: {
      const bool install = mode == Mode::kInstall;
      if (install && !allowWritable && !InstallableHere(platform.machine, err)) return 1;
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
      err = ToMultibyte(L"nubora report: not started by the service manager (" + ErrorText(error) +
                        L")\n");
      return 1;
    }
    case Mode::kReport:
      break;
  }
  Clock& clock = *CurrentPlatform().clock;
  SendBootReport(
      options, platform,
      [&clock](unsigned long ms) {
        clock.Sleep(ms);
        return StopRequest::kNone;
      },
      out, err);
  return 0;  // what failed is on standard error
}

}  // namespace nubora
