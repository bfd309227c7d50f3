#pragma once

#include <functional>
#include <string>
#include <vector>

#include "nubora/run_log.h"
#include "platform/clock.h"
#include "platform/report_outputs.h"

namespace nubora {

// nubora report [LOG] [--console PORT|none] [--no-eventlog]
//               [--wait-for-service [SECONDS]] [--codepage N]
// Tells the log's last run, as `nubora status` does, on the serial console
// and in the Windows Event Log; also installs, removes and runs as the report
// service. Exit code: 0 when it reported, 1 when (un)installing failed, 2 for
// a usage error.
int ReportMain(int argc, wchar_t** argv);

// The same on the arguments after the verb, over `platform`, with what it
// prints on standard output and standard error.
int ReportCommand(const std::vector<std::wstring>& args, const ReportPlatform& platform,
                  std::string& out, std::string& err);

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

// Polls `name` about once a second, at most `seconds` times, until it is
// absent, or stopped after its run of this boot: seen running, or `log`
// written since the system started (at boot this report may start first).
// `pause` waits one interval and answers false when a stop was requested.
// True when the service was still running at the end.
bool WaitForService(ServiceWatch& services, const wchar_t* name, const std::wstring& log,
                    unsigned long seconds, const std::function<bool(unsigned long)>& pause,
                    unsigned long& waited, std::wstring& problem);

}  // namespace nubora
