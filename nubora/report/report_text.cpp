#include "nubora/report/report_text.h"

#include "nubora/runtext/run_text.h"
#include "platform/identity.h"
#include "platform/system_errors.h"
#include "platform/text.h"

namespace nubora {
namespace {

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

std::wstring ServiceText(const ServiceSnapshot& service) {
  static const wchar_t* const kStates[] = {
      L"",        L"stopped",          L"start pending", L"stop pending",
      L"running", L"continue pending", L"pause pending", L"paused"};
  static const wchar_t* const kStartTypes[] = {L"boot", L"system", L"automatic", L"manual",
                                               L"disabled"};
  if (!service.installed) return L"not installed";
  const std::wstring state = service.state < 8 ? kStates[service.state] : Number(service.state);
  const std::wstring start =
      service.startType < 5 ? kStartTypes[service.startType] : Number(service.startType);
  return state + L", start type " + start;
}

// Every % as the full-width sign: Event Viewer expands %n and %%n even inside
// an insertion string.
std::wstring WithoutPercent(std::wstring text) {
  for (wchar_t& c : text) {
    if (c == L'%') c = L'\uFF05';
  }
  return text;
}

}  // namespace

ReportMessage VerdictEvent(Verdict verdict) {
  switch (verdict) {
    case Verdict::kConfigured:
      return {EventType::kInformation, EventId::kRunConfigured, {}};
    case Verdict::kNothingToConfigure:
      return {EventType::kInformation, EventId::kRunNothingToConfigure, {}};
    case Verdict::kPartlyConfigured:
      return {EventType::kWarning, EventId::kRunPartlyConfigured, {}};
    case Verdict::kNotConfigured:
      return {EventType::kError, EventId::kRunNotConfigured, {}};
    case Verdict::kIncomplete:
      break;
  }
  return {EventType::kError, EventId::kRunIncompleteOrUnread, {}};
}

ReportMessage TellRun(const RunStatus& run, const std::wstring& unfinished) {
  const bool incomplete = !unfinished.empty();
  const Verdict verdict = incomplete ? Verdict::kIncomplete : run.verdict;
  ReportMessage report = VerdictEvent(verdict);
  // The status's own verdict line, with its reason, leads unless the run is
  // told incomplete; the other lines are the status's.
  const std::wstring verdictLine = VerdictLine(run);
  report.lines.push_back(incomplete ? VerdictLine(Widened(VerdictText(verdict))) : verdictLine);
  if (incomplete) report.lines.push_back(unfinished);
  for (std::wstring& line : SplitLines(RunText(run))) {
    if (line != verdictLine) report.lines.push_back(std::move(line));
  }
  return report;
}

ReportMessage TellProblem(const std::wstring& why) {
  ReportMessage report = VerdictEvent(Verdict::kIncomplete);
  report.lines.push_back(VerdictLine(kUnknownVerdict, why));
  return report;
}

ReportMessage TellBoot(const BootWatch& watch, const RunStatus* run, const std::wstring& unread) {
  const std::wstring service = kServiceName;
  const std::wstring waited = Number(watch.waited) + L" s";
  std::wstring unfinished;
  ReportMessage report;
  switch (watch.finding) {
    case BootFinding::kRan:
      return run != nullptr ? TellRun(*run, L"") : TellProblem(unread);
    case BootFinding::kStillRunning:
      unfinished = service + kStillRunningAfter + waited;
      break;
    case BootFinding::kShutdown:
      unfinished = L"the system shuts down after " + waited;
      break;
    case BootFinding::kNoRunLogged:
      report = TellProblem(L"the log holds no run of this boot");
      break;
    case BootFinding::kFailed:
      report = TellProblem(service + L" stopped with " + ErrorText(watch.service.win32ExitCode));
      break;
    case BootFinding::kCannotAsk:
      report = TellProblem(L"cannot ask the service manager about " + service + L" (" +
                           ErrorText(watch.error) + L")");
      break;
    case BootFinding::kDidNotRun:
    case BootFinding::kNotStartedYet:
      report = {EventType::kError, EventId::kRunNotRun, {}};
      report.lines.push_back(VerdictLine(
          kNotRunVerdict,
          service + (watch.finding == BootFinding::kDidNotRun ? L" did not run this boot"
                                                              : kNotStartedAfter + waited)));
      report.lines.push_back(service + L": " + ServiceText(watch.service));
      break;
  }
  if (!unfinished.empty()) {
    if (run != nullptr) return TellRun(*run, unfinished);
    report = TellProblem(unread);
    report.lines.push_back(unfinished);
    report.lines.push_back(service + L": " + ServiceText(watch.service));
  } else if (run != nullptr) {
    // Never that run's verdict: it may be any boot's.
    report.lines.push_back(L"the last run in the log started at " + run->startTime);
  }
  return report;
}

ReportMessage TellFindings(const Diagnosis& diagnosis) {
  ReportMessage report{EventType::kWarning, EventId::kDoctorWarnings, {}};
  for (const Finding& finding : diagnosis.findings) {
    if (finding.severity == Severity::kInfo) continue;
    if (finding.severity == Severity::kError) {
      report = {EventType::kError, EventId::kDoctorErrors, report.lines};
    }
    report.lines.push_back(FindingLine(finding));
  }
  return report;
}

std::wstring EventText(const std::vector<std::wstring>& lines) {
  std::wstring text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    text += (i == 0 ? L"" : L"\r\n") + WithoutPercent(lines[i]);
  }
  if (text.size() < kEventTextLimit) return text;
  // Cut only where all would not fit, leaving room for the line that says so.
  const std::size_t room = kEventTextLimit - (L"\r\n" + CutLine(lines.size())).size();
  text.clear();
  for (std::size_t i = 0;; ++i) {
    const wchar_t* const lineBreak = i == 0 ? L"" : L"\r\n";
    const std::wstring line = lineBreak + WithoutPercent(lines[i]);
    if (text.size() + line.size() >= room) return text + lineBreak + CutLine(lines.size() - i);
    text += line;
  }
}

}  // namespace nubora
