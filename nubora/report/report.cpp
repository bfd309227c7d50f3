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

// The failures' codes rank them: the lowest of all the reports' wins.
void NoteFailure(unsigned long& failure, unsigned long now) {
  if (now != 0 && (failure == 0 || now < failure)) failure = now;
}

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

// The run last told as a boot's, as `settings` keep it: false when they
// keep none.
bool ReadToldRun(Registry* settings, std::uint64_t& offset, std::wstring& start) {
  std::vector<RegistryValue> values;
  if (settings == nullptr || settings->Values(kReportSettingsKey, values) != 0) return false;
  bool hasOffset = false, hasStart = false;
  for (const RegistryValue& value : values) {
    if (value.name == kToldRunOffsetValue) hasOffset = NumberOf(value, offset);
    if (value.name == kToldRunStartValue && value.type == kRegSz) {
      const std::vector<std::wstring> items = TextItems(value);
      hasStart = items.size() == 1;
      if (hasStart) start = items[0];
    }
  }
  return hasOffset && hasStart;
}

unsigned long KeepToldRun(Registry& settings, const RunStatus& run) {
  unsigned long error = settings.CreateKey(kReportSettingsKey);
  if (error == 0)
    error = settings.SetValue(kReportSettingsKey, QwordValue(kToldRunOffsetValue, run.offset));
  if (error == 0) {
    error = settings.SetValue(kReportSettingsKey,
                              TextValue(kToldRunStartValue, kRegSz, {run.startTime}));
  }
  return error;
}

}  // namespace

unsigned long SendBootReport(const ReportOptions& options, const ReportPlatform& platform,
                             const PauseRoutine& pause, std::string& out, std::string& err) {
  const unsigned codePage = options.codePage != 0 ? options.codePage : LogCodePage();
  unsigned long failure = 0;
  std::uint64_t toldOffset = 0;
  std::wstring toldStart;
  const bool toldBefore = ReadToldRun(platform.settings, toldOffset, toldStart);
  // The report of the run as the log holds it now, with `watch`'s finding.
  const auto tell = [&](const BootWatch& found) {
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
    // A run that started before the baseline, or that the service told at an
    // earlier boot, is not this boot's: its service wrote no log line (full
    // disk, a read-only log) or none yet.
    const bool alreadyTold =
        hasRun && toldBefore && run.offset == toldOffset && run.startTime == toldStart;
    const bool older = hasRun && ((found.baselineKnown && run.offset < found.baseline) ||
                                  (options.keepsToldRun && alreadyTold));
    BootWatch watch = found;
    const bool unfinished =
        watch.finding == BootFinding::kStillRunning || watch.finding == BootFinding::kShutdown;
    if (older && watch.finding == BootFinding::kRan) watch.finding = BootFinding::kNoRunLogged;
    if (older && unfinished) {
      unread = watch.service.state == scm::kStopped
                   ? std::wstring(kServiceName) + L" has not started"
                   : L"no line of this boot's run yet";
    }
    ReportMessage report =
        TellBoot(watch, older && unfinished ? nullptr : (hasRun ? &run : nullptr), unread);
    if (alreadyTold && !options.keepsToldRun) {
      report.lines.push_back(L"the last run in the log was already told at a boot");
    }
    for (const std::wstring& words : options.ignored) {
      report.lines.push_back(L"ignored option: " + Printable(words));
    }
    for (const std::wstring& line : report.lines) out += ToMultibyte(line + L"\n");
    NoteFailure(failure, Deliver(report, options, platform, err));
    const bool toldAsThisBoots =
        hasRun && !older && (unfinished || watch.finding == BootFinding::kRan);
    if (options.keepsToldRun && toldAsThisBoots && platform.settings != nullptr && !alreadyTold) {
      const unsigned long error = KeepToldRun(*platform.settings, run);
      if (error != 0) {
        err += ToMultibyte(L"nubora report: cannot keep the run told in HKLM\\" +
                           std::wstring(kReportSettingsKey) + L" (" + ErrorText(error) + L")\n");
      }
    }
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
  if (watch.finding == BootFinding::kCannotAsk) NoteFailure(failure, kServiceManagerFailed);
  if (!options.ignored.empty()) NoteFailure(failure, kOptionIgnored);
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
  const MachinePlatform machine = HostMachine();
  return ReportPlatform{&NativeSerialConsole(), &NativeEventLog(), &NativeServiceWatch(),
                        machine.registry, machine};
}

}  // namespace nubora
