#include "nubora/report/report.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cwchar>

#include "nubora/report/report_text.h"
#include "nubora/runtext/run_text.h"
#include "platform/code_page.h"
#include "platform/identity.h"
#include "platform/log_file.h"
#include "platform/platform.h"
#include "platform/probes.h"
#include "platform/system_errors.h"
#include "platform/text.h"

namespace nubora {
namespace {

unsigned long Deliver(const ReportMessage& report, const ReportOptions& options,
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
    const unsigned long error = platform.eventLog->WriteEvent(
        kEventSource, report.type, static_cast<unsigned long>(report.eventId),
        EventText(eventLines));
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

unsigned long SendBootReport(const ReportOptions& options, const ReportPlatform& platform,
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
      unread = L"cannot read " + options.log + L" (" + ErrorText(openError) + L")";
    }
    bool noMemory = false;
    const bool hasRun = opened && ReadRunFromEnd(file, 1, codePage, run, &noMemory);
    if (noMemory) unread = L"cannot read " + options.log + L" (out of memory)";
    const ReportMessage report = TellBoot(watch, hasRun ? &run : nullptr, unread);
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
    if (!WatchBoot(*platform.services, kServiceName, logSize, options.waitSeconds,
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
    const ReportMessage findings = TellFindings(Diagnose(platform.ini, L"", platform.machine));
    for (const std::wstring& line : findings.lines) out += ToMultibyte(line + L"\n");
    if (!findings.lines.empty()) Deliver(findings, options, platform, err);
  }
  return failure;
}

ReportPlatform NativeReportPlatform() {
  return ReportPlatform{&NativeSerialConsole(), &NativeEventLog(), &NativeServiceWatch(),
                        HostMachine()};
}

}  // namespace nubora
