#pragma once

#include <string>
#include <vector>

#include "logread/run_log.h"
#include "nubora/doctor/doctor.h"
#include "nubora/report/event_ids.h"
#include "nubora/report/report_lines.h"
#include "nubora/report/service_wait.h"
#include "platform/event_log.h"

namespace nubora {

// One message of the report: the event that carries it and its lines, the
// verdict line first.
struct ReportMessage {
  EventType type = EventType::kError;
  EventId eventId = EventId::kRunIncompleteOrUnread;
  std::vector<std::wstring> lines;
};

// The Event Log's ID and type of each verdict, with no line yet.
ReportMessage VerdictEvent(Verdict verdict);

// The message of a log's last run with its own verdict, or, with
// `unfinished` (why it had not ended when told), as incomplete.
ReportMessage TellRun(const RunStatus& run, const std::wstring& unfinished);
// Verdict unknown, and `why`.
ReportMessage TellProblem(const std::wstring& why);

// The message of NuboraService's run of this boot as `watch` found it.
// `run`: the log's last run, null when the log has none of this boot
// (`unread` then says why). Only a run the service manager shows as this
// boot's is told with its own verdict; of any other the start alone.
ReportMessage TellBoot(const BootWatch& watch, const RunStatus* run, const std::wstring& unread);

// The doctor's warnings and errors, one FindingLine each, as a Warning event
// or, with any error, an Error event; no line when there is none, or when
// the adapters could not be listed (no finding then). Info is left to nubora
// doctor itself.
ReportMessage TellFindings(const Diagnosis& diagnosis);

// The event's insertion string: the lines, CR LF between them, every % as
// U+FF05, cut below the Event Log's limit on one string.
constexpr std::size_t kEventTextLimit = 31839;
std::wstring EventText(const std::vector<std::wstring>& lines);

}  // namespace nubora
