#pragma once

// The report's lines as the serial console carries them: the forms its
// writer uses and a reader of console captures parses by. Each line is
//   NuboraService: YYYY-MM-DD hh:mm:ss TEXT
// A boot's report opens with its verdict line (VerdictLine: "verdict:
// VERDICT", then ": REASON" where there is one); each of the doctor's
// warnings and errors it tells is one line, "SEVERITY ID [SECTION]: SUMMARY"
// (no [SECTION] for the machine's own).
#include <cstddef>
#include <string>
#include <vector>

#include "nubora/doctor/doctor.h"
#include "nubora/runtext/run_text.h"
#include "platform/clock.h"

namespace nubora {

// "NuboraService: ", which begins every console line.
std::string ConsoleLinePrefix();
// The clock after it (printf's form), the local time of the report.
inline constexpr char kConsoleClockForm[] = "%04d-%02d-%02d %02d:%02d:%02d";
std::string ConsoleClock(const LocalTime& time);
// One line: the prefix, `clock`, a blank, `text` in UTF-8, CR LF.
std::string ConsoleLine(const std::string& clock, const std::wstring& text);

// The verdicts of a boot's report beyond a run's own (VerdictText): its run
// could not be told, or NuboraService did not run.
inline constexpr wchar_t kUnknownVerdict[] = L"unknown";
inline constexpr wchar_t kNotRunVerdict[] = L"not run";

// A report told while NuboraService's run had not ended when the wait ran
// out (an interim report, where the report waits on): the service's name,
// then one of these, then the seconds waited and " s".
inline constexpr wchar_t kStillRunningAfter[] = L" still running after ";
inline constexpr wchar_t kNotStartedAfter[] = L" has not started after ";

// One finding on one line: its severity word (SeverityText), ID, section and summary.
std::wstring FindingLine(const Finding& finding);

// The last line of a report that is cut: how many lines it leaves out.
std::wstring CutLine(std::size_t leftOut);

// The console's bytes: CR LF (the port may hold a partial line), then each
// line as ConsoleLine at `now`; at most kConsoleLimit bytes, the last line
// then a CutLine.
constexpr std::size_t kConsoleLimit = 4096;
std::string ConsoleBytes(const std::vector<std::wstring>& lines, const LocalTime& now);

}  // namespace nubora
