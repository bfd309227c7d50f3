#include "nubora/report_text.h"

#include <cstdio>

#include "nubora/run_text.h"
#include "nubora/status.h"

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

}  // namespace nubora
