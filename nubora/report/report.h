#pragma once

#include <string>
#include <vector>

#include "netconfig/paths.h"
#include "nubora/report/service_wait.h"
#include "platform/event_log.h"
#include "platform/machine.h"
#include "platform/serial_console.h"
#include "platform/services.h"

namespace nubora {

// nubora report [LOG] [--console PORT|none] [--no-eventlog]
//               [--wait-for-service [SECONDS]] [--codepage N]
// Tells the log's last run, as `nubora status` does, on the serial console
// and in the Windows Event Log; also installs, removes and runs as the report
// service. Exit code: 0 when it reported, 1 when (un)installing failed, 2 for
// a usage error.

// What the report needs of the system beyond reading the log.
struct ReportPlatform {
  SerialConsole* console = nullptr;
  EventLog* eventLog = nullptr;
  ServiceWatch* services = nullptr;
  // Where the report service keeps which run it told (kReportSettingsKey).
  Registry* settings = nullptr;
  // What the report service's doctor looks at once the run is told.
  MachinePlatform machine{};
  std::wstring ini = kConfigPath;
};

// This system's serial console, Event Log and service watch.
ReportPlatform NativeReportPlatform();

// Room for the adapters' wait (kDiscoveryWaitSeconds) and hung commands.
constexpr unsigned long kDefaultWaitSeconds = 900;

struct ReportOptions {
  std::wstring log;             // the service's log where the platform has one
  std::wstring port = L"COM1";  // empty: no console
  bool eventLog = true;
  bool wait = false;
  bool untilDecided = false;  // past the wait an interim report, and on
  unsigned long waitSeconds = kDefaultWaitSeconds;
  unsigned codePage = 0;  // 0: the platform's default
  bool doctor = false;    // the service: then the doctor's findings
  // The service: a run told as this boot's is kept as told, and the log's
  // last run told before is no run of this boot.
  bool keepsToldRun = false;
  // The service's options it does not know, each with its value: told with
  // each boot's report, and then its exit code.
  std::vector<std::wstring> ignored;
};

// What failed of a report, for the report service's exit code: the first of
// the Event Log, a serial port that exists, the service manager, an option
// it passed over.
constexpr unsigned long kEventLogFailed = 1;
constexpr unsigned long kPortFailed = 2;
constexpr unsigned long kServiceManagerFailed = 3;
constexpr unsigned long kOptionIgnored = 4;

// Where the run last told as a boot's starts, under kReportSettingsKey.
inline constexpr wchar_t kToldRunOffsetValue[] = L"ToldRunOffset";  // REG_QWORD
inline constexpr wchar_t kToldRunStartValue[] = L"ToldRunStart";    // REG_SZ, its start time

// Sends the boot's report as `options` say, to the console and the Event
// Log, and prints it on `out`; `pause` between the polls of the wait (a stop
// request ends it with no report): 0, or what failed. The doctor's findings
// that follow (`options.doctor`, where the INI file is, not at shutdown) are
// never what failed.
unsigned long SendBootReport(const ReportOptions& options, const ReportPlatform& platform,
                             const PauseRoutine& pause, std::string& out, std::string& err);

}  // namespace nubora
