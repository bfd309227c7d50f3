#pragma once

#include <string>

#include "nubora/report/report.h"

namespace nubora {

// Runs as the report service NuboraReport under the service manager; returns
// once it has stopped: 0, or the error code when the dispatcher cannot start.
unsigned long RunReportService(const ReportOptions& options, const ReportPlatform& platform);

// The report service's registration, its command line carrying `options`,
// and the event source; 0 or the error of the step that failed (a source
// that fails takes the registration back).
unsigned long InstallReportService(const ReportOptions& options, EventLog& eventLog);

// Stops the report service, waits up to kStopWaitSeconds for it, and removes
// it and the event source; 0 or the error of the step that failed
// (kErrorServiceRequestTimeout: it did not stop in time, and goes once it
// stops).
constexpr unsigned long kStopWaitSeconds = 30;
unsigned long UninstallReportService(const ReportPlatform& platform);

// The path of the running nubora.exe, which the registration names (room
// for the longest path Windows has).
std::wstring ThisExecutablePath();

// The command line's words for `options` that differ from the defaults,
// each quoted where it needs to be.
std::wstring OptionWords(const ReportOptions& options);

}  // namespace nubora
