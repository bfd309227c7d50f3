#include "nubora/report/report_text.h"

#include <cstdio>

#include "nubora/runtext/run_text.h"
#include "platform/identity.h"
#include "platform/system_errors.h"
#include "platform/text.h"

namespace nubora {
namespace {

const char kConsolePrefix[] = "NuboraService: ";
const wchar_t kCutLine[] = L"the report is cut here: more lines ";

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

std::string ConsoleLine(const std::string& stamp, const std::wstring& line) {
  return kConsolePrefix + stamp + " " + Utf8(line) + "\r\n";
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

Report TellRun(const RunStatus& run, const std::wstring& unfinished) {
  const bool incomplete = !unfinished.empty();
  const Verdict verdict = incomplete ? Verdict::kIncomplete : run.verdict;
  Report report = EventFor(verdict);
  report.lines.push_back(L"verdict: " + Widened(VerdictText(verdict)));
  if (incomplete) report.lines.push_back(unfinished);
  for (std::wstring& line : SplitLines(RunText(run))) {
    // The status's own verdict line, with its reason, leads unless the run
    // is told incomplete.
    if (line.rfind(L"verdict: ", 0) != 0) {
      report.lines.push_back(std::move(line));
    } else if (!incomplete) {
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

Report TellBoot(const BootWatch& watch, const RunStatus* run, const std::wstring& unread) {
  const std::wstring service = kServiceName;
  const std::wstring after = L" after " + Number(watch.waited) + L" s";
  std::wstring unfinished;
  Report report;
  switch (watch.finding) {
    case BootFinding::kRan:
      return run != nullptr ? TellRun(*run, L"") : TellProblem(unread);
    case BootFinding::kStillRunning:
      unfinished = service + L" still running" + after;
      break;
    case BootFinding::kShutdown:
      unfinished = L"the system shuts down" + after;
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
      report = {EventType::kError, 105, {}};
      report.lines.push_back(L"verdict: not run: " + service +
                             (watch.finding == BootFinding::kDidNotRun
                                  ? L" did not run this boot"
                                  : L" has not started" + after));
      report.lines.push_back(service + L": " + ServiceText(watch.service));
      break;
  }
  if (!unfinished.empty()) {
    if (run != nullptr) return TellRun(*run, unfinished);
    report = TellProblem(unread);
    report.lines.push_back(unfinished);
  } else if (run != nullptr) {
    // Never that run's verdict: it may be any boot's.
    report.lines.push_back(L"the last run in the log started at " + run->startTime);
  }
  return report;
}

Report TellFindings(const Diagnosis& diagnosis) {
  Report report{EventType::kWarning, 110, {}};
  for (const Finding& finding : diagnosis.findings) {
    if (finding.severity == Severity::kInfo) continue;
    if (finding.severity == Severity::kError) report = {EventType::kError, 111, report.lines};
    report.lines.push_back(FindingLine(finding));
  }
  return report;
}

std::string ConsoleBytes(const std::vector<std::wstring>& lines, const LocalTime& now) {
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d", now.year, now.month, now.day,
                now.hour, now.minute, now.second);
  // Room kept for the line that says how many were cut.
  const std::size_t reserve = ConsoleLine(stamp, kCutLine + Number(lines.size())).size();
  // A line break first: the port may hold a partial line (boot messages, a
  // report its write timeout cut).
  std::string out = "\r\n";
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
    const std::wstring line = (i == 0 ? L"" : L"\r\n") + WithoutPercent(lines[i]);
    const std::size_t room = i + 1 == lines.size() ? kEventTextLimit : kEventTextLimit - reserve;
    if (text.size() + line.size() >= room) {
      return text + L"\r\n" + kCutLine + Number(lines.size() - i);
    }
    text += line;
  }
  return text;
}

}  // namespace nubora
