#pragma once

#include <string>
#include <vector>

#include "logread/run_log.h"

namespace nubora {

// A run as plain text, one line per fact, as `nubora status` prints it and
// `nubora report` sends it on.
std::wstring RunText(const RunStatus& run);

// The line that leads a run's text and a report: "verdict: VERDICT", then
// ": REASON" where there is one.
inline constexpr wchar_t kVerdictLinePrefix[] = L"verdict: ";
std::wstring VerdictLine(const std::wstring& verdict, const std::wstring& reason = L"");
// A run's own: its verdict and reason.
std::wstring VerdictLine(const RunStatus& run);

// The words for each part of a run, shared by the text and the JSON.
const char* SectionText(SectionOutcome outcome);
const char* ConfigFileText(ConfigFileState state);
const char* PartText(PartState state);
std::wstring CommandText(const CommandOutcome& command);

// Control characters shown as '?' and a very long line cut, so that one line
// of the output stays one line.
std::wstring Printable(const std::wstring& text);
std::wstring Number(std::size_t value);

// Each line as LABEL N: TEXT, then how many more there were than shown.
void AddLines(std::wstring& out, const wchar_t* label, const std::vector<LogLine>& lines,
              std::size_t count);

}  // namespace nubora
