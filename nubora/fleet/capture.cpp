#include "nubora/fleet/capture.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <new>

#include "logread/run_verdict.h"
#include "nubora/doctor/doctor.h"
#include "nubora/report/report_lines.h"
#include "nubora/runtext/run_text.h"
#include "platform/identity.h"
#include "platform/log_file.h"
#include "platform/text.h"

namespace nubora {
namespace {

bool StartsWith(const std::string& text, const std::string& head) {
  return text.compare(0, head.size(), head) == 0;
}

// The text of a line anchored as the report writes it: the prefix, a clock
// of the report's form (each digit of a zero clock a digit), a blank.
bool Anchored(const std::string& line, std::string& clock, std::string& text) {
  static const std::string prefix = ConsoleLinePrefix();
  static const std::string zero = ConsoleClock(LocalTime{});
  if (!StartsWith(line, prefix) || line.size() < prefix.size() + zero.size() + 1) return false;
  for (std::size_t i = 0; i < zero.size(); ++i) {
    const char c = line[prefix.size() + i];
    if (zero[i] == '0' ? !std::isdigit(static_cast<unsigned char>(c)) : c != zero[i]) return false;
  }
  if (line[prefix.size() + zero.size()] != ' ') return false;
  clock = line.substr(prefix.size(), zero.size());
  text = line.substr(prefix.size() + zero.size() + 1);
  return true;
}

// "verdict: VERDICT[: REASON]" with VERDICT of the report's closed set.
bool VerdictOf(const std::string& text, std::string& verdict, std::string& reason) {
  static const std::string head = Utf8(kVerdictLinePrefix);
  static const std::string known[] = {VerdictText(Verdict::kConfigured),
                                      VerdictText(Verdict::kNothingToConfigure),
                                      VerdictText(Verdict::kPartlyConfigured),
                                      VerdictText(Verdict::kNotConfigured),
                                      VerdictText(Verdict::kIncomplete),
                                      Utf8(kUnknownVerdict),
                                      Utf8(kNotRunVerdict)};
  if (!StartsWith(text, head)) return false;
  const std::string rest = text.substr(head.size());
  for (const std::string& each : known) {
    if (rest == each || StartsWith(rest, each + ": ")) {
      verdict = each;
      reason = rest.size() > each.size() ? rest.substr(each.size() + 2) : "";
      return true;
    }
  }
  return false;
}

// "SEVERITY ID[ [SECTION]]: SUMMARY" for a warning or an error.
bool FindingOf(const std::string& text, Severity& severity) {
  for (const Severity each : {Severity::kError, Severity::kWarning}) {
    const std::string head = std::string(SeverityText(each)) + " ";
    if (!StartsWith(text, head)) continue;
    std::size_t at = head.size();
    while (at < text.size() &&
           (std::isalnum(static_cast<unsigned char>(text[at])) || text[at] == '-')) {
      ++at;
    }
    if (at > head.size() && (text.compare(at, 2, ": ") == 0 || text.compare(at, 2, " [") == 0)) {
      severity = each;
      return true;
    }
  }
  return false;
}

// Told while the run had not ended: the pending words after the service's name.
bool Pending(const std::string& text) {
  static const std::string running = Utf8(std::wstring(kServiceName) + kStillRunningAfter);
  static const std::string notStarted = Utf8(std::wstring(kServiceName) + kNotStartedAfter);
  return StartsWith(text, running) || StartsWith(text, notStarted);
}

}  // namespace

BootReport ReadBootReport(const std::string& bytes, bool atStart) {
  static const std::string cutHead = [] {
    std::string line = Utf8(CutLine(0));
    return line.substr(0, line.size() - 1);  // without the count
  }();
  BootReport report;
  std::size_t begin = 0;
  if (!atStart) {
    const std::size_t first = bytes.find('\n');
    begin = first == std::string::npos ? bytes.size() : first + 1;
  }
  std::string line, clock, text;
  for (std::size_t end = bytes.find('\n', begin); end != std::string::npos;
       begin = end + 1, end = bytes.find('\n', begin)) {
    line.assign(bytes, begin, end - begin);
    line.erase(
        std::remove_if(line.begin(), line.end(), [](char c) { return c == '\0' || c == '\r'; }),
        line.end());
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    std::string verdict, reason;
    Severity severity = Severity::kInfo;
    if (!Anchored(line, clock, text)) {
      // Another boot's output once a report has been told.
      if (report.present) report.present = false, report.newerBoot = true;
    } else if (VerdictOf(text, verdict, reason)) {
      report = BootReport{};
      report.present = true;
      report.verdict = verdict;
      report.reason = reason;
      report.clock = clock;
      report.interim = Pending(reason);
    } else if (!report.present) {
      continue;
    } else if (StartsWith(text, cutHead)) {
      report.cut = true;
    } else if (Pending(text)) {
      report.interim = true;
    } else if (FindingOf(text, severity)) {
      ++(severity == Severity::kError ? report.errors : report.warnings);
      report.findings.push_back(text);
    }
  }
  return report;
}

unsigned long ReadCaptureTail(const std::vector<std::wstring>& parts, std::string& bytes,
                              bool& atStart) {
  bytes.clear();
  atStart = false;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    SharedReadFile file;
    unsigned long error = 0;
    if (!file.Open(parts[i], error)) return i == 0 ? error : 0;
    // The last 8 KB hold a report and the findings after it (4 KB each at
    // most); only where they hold none is the rest of the bound read.
    const std::uint64_t size = file.Size();
    std::string tail;
    for (const std::size_t limit : {kCaptureTailLimit / 8, kCaptureTailLimit}) {
      const std::size_t want = size < limit ? static_cast<std::size_t>(size) : limit;
      tail.assign(want, '\0');
      std::size_t got = 0;
      while (got < want) {
        const std::size_t read = file.ReadAt(size - want + got, &tail[got], want - got);
        if (read == 0) break;
        got += read;
      }
      tail.resize(got);
      if (got == size || ReadBootReport(tail + bytes, false).present) break;
    }
    bytes.insert(0, tail);
    if (tail.size() < size) return 0;  // a tail: its first line may be a part
    atStart = i + 1 == parts.size();
    const BootReport report = ReadBootReport(bytes, atStart);
    if (report.present || report.newerBoot) return 0;
  }
  return 0;
}

}  // namespace nubora
