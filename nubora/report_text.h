#pragma once

#include <string>
#include <vector>

#include "nubora/run_log.h"
#include "platform/clock.h"
#include "platform/event_log.h"

namespace nubora {

// The service whose runs are told, and the Event Log source that tells them.
inline constexpr wchar_t kWatchedService[] = L"NuboraService";

// One report: the event that carries it and its lines, the verdict line first.
struct Report {
  EventType type = EventType::kError;
  unsigned long eventId = 0;
  std::vector<std::wstring> lines;
};

// The Event Log's ID and type of each verdict; 104 for a log that cannot be
// read or holds no run.
Report EventFor(Verdict verdict);

// The report of a log's last run, or why there is none. `stillRunning`: the
// service had not stopped when the report was made, so its run is incomplete.
Report TellRun(const RunStatus& run, bool stillRunning, unsigned long waited);
Report TellProblem(const std::wstring& why);

// The console's bytes: each line prefixed with the service's name and `now`,
// UTF-8, CR LF; at most kConsoleLimit bytes, the last line then saying how
// many were cut.
constexpr std::size_t kConsoleLimit = 4096;
std::string ConsoleBytes(const std::vector<std::wstring>& lines, const LocalTime& now);

// The event's insertion string: the lines, CR LF between them, cut below the
// Event Log's limit on one string.
constexpr std::size_t kEventTextLimit = 31839;
std::wstring EventText(const std::vector<std::wstring>& lines);

}  // namespace nubora
