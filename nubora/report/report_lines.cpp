#include "nubora/report/report_lines.h"

#include <cstdio>

#include "platform/identity.h"
#include "platform/text.h"

namespace nubora {

std::string ConsoleLinePrefix() { return Utf8(kServiceName) + ": "; }

std::string ConsoleClock(const LocalTime& time) {
  char clock[64];
  std::snprintf(clock, sizeof clock, kConsoleClockForm, time.year, time.month, time.day, time.hour,
                time.minute, time.second);
  return clock;
}

std::string ConsoleLine(const std::string& clock, const std::wstring& text) {
  return ConsoleLinePrefix() + clock + " " + Utf8(text) + "\r\n";
}

std::wstring FindingLine(const Finding& finding) {
  const std::wstring section =
      finding.section.empty() ? L"" : L" [" + Printable(finding.section) + L"]";
  return Widened(SeverityText(finding.severity)) + L" " + Widened(finding.id) + section + L": " +
         Printable(finding.summary);
}

std::wstring CutLine(std::size_t leftOut) {
  return L"the report is cut here: more lines " + Number(leftOut);
}

std::string ConsoleBytes(const std::vector<std::wstring>& lines, const LocalTime& now) {
  const std::string clock = ConsoleClock(now);
  // A line break first: the port may hold a partial line (boot messages, a
  // report its write timeout cut).
  std::string out = "\r\n";
  for (const std::wstring& line : lines) out += ConsoleLine(clock, line);
  if (out.size() <= kConsoleLimit) return out;
  // Cut only where all would not fit, leaving room for the line that says so.
  const std::size_t room = kConsoleLimit - ConsoleLine(clock, CutLine(lines.size())).size();
  out = "\r\n";
  for (std::size_t i = 0;; ++i) {
    const std::string line = ConsoleLine(clock, lines[i]);
    if (out.size() + line.size() > room) return out + ConsoleLine(clock, CutLine(lines.size() - i));
    out += line;
  }
}

}  // namespace nubora
