#pragma once

#include <string>

#include "nubora/report.h"

namespace nubora {

// Runs as the report service NuboraReport under the service manager; returns
// once it has stopped: 0, or the error code when the dispatcher cannot start.
unsigned long RunReportService(const ReportOptions& options, const ReportPlatform& platform);

// The report service's registration and the event source; 0 or the error of
// the step that failed (a source that fails takes the registration back).
unsigned long InstallReportService(EventLog& eventLog);
unsigned long UninstallReportService(EventLog& eventLog);

}  // namespace nubora
