#pragma once

#include <string>
#include <vector>

#include "logread/run_log.h"
#include "nubora/doctor/doctor.h"
#include "nubora/report/service_wait.h"
#include "platform/clock.h"
#include "platform/event_log.h"

namespace nubora {

// One report: the event that carries it and its lines, the verdict line first.
struct Report {
  EventType type = EventType::kError;
  unsigned long eventId = 0;
  std::vector<std::wstring> lines;
};

// The Event Log's ID and type of each verdict; 104 for a log that cannot be
// read or holds no run. (105: NuboraService did not run this boot.)
Report EventFor(Verdict verdict);

// The report of a log's last run with its own verdict, or, with `unfinished`
// (why it had not ended when told), as incomplete.
Report TellRun(const RunStatus& run, const std::wstring& unfinished);
Report TellProblem(const std::wstring& why);

// The report of NuboraService's run of this boot as `watch` found it. `run`:
// the log's last run, null when the log has none (`unread` then says why).
// Only a run the service manager shows as this boot's is told with its own
// verdict; of any other the start alone.
Report TellBoot(const BootWatch& watch, const RunStatus* run, const std::wstring& unread);

// The doctor's warnings and errors, one line each, as event 110 (Warning) or,
// with any error, 111 (Error); no line when there is none, or when the
// adapters could not be listed (no finding then). Info is left to nubora
// doctor itself.
Report TellFindings(const Diagnosis& diagnosis);

// The console's bytes: CR LF, then each line prefixed with the service's name and `now`,
// UTF-8, CR LF; at most kConsoleLimit bytes, the last line then saying how
// many were cut.
constexpr std::size_t kConsoleLimit = 4096;
std::string ConsoleBytes(const std::vector<std::wstring>& lines, const LocalTime& now);

// The event's insertion string: the lines, CR LF between them, every % as
// U+FF05, cut below the Event Log's limit on one string.
constexpr std::size_t kEventTextLimit = 31839;
std::wstring EventText(const std::vector<std::wstring>& lines);

}  // namespace nubora
