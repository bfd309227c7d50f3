#pragma once

#include <cstdint>
#include <functional>

#include "platform/service_runner.h"
#include "platform/services.h"

namespace nubora {

// Waits one interval; the stop request so far (kNone: go on).
using PauseRoutine = std::function<StopRequest(unsigned long milliseconds)>;

// What the service manager says of NuboraService's run of this boot.
enum class BootFinding {
  kRan,            // stopped with exit code 0: its log's last run is this boot's
  kNoRunLogged,    // stopped, and its log did not grow since the baseline
  kFailed,         // stopped with another exit code
  kDidNotRun,      // not installed, or never started and not started automatically
  kNotStartedYet,  // automatic, not started yet when the wait ran out
  kStillRunning,   // running when the wait ran out
  kShutdown,       // the system shuts down while it runs or has not started
  kCannotAsk,      // the service manager could not be asked
};

struct BootWatch {
  BootFinding finding = BootFinding::kRan;
  ServiceSnapshot service;
  unsigned long waited = 0;  // seconds
  unsigned long error = 0;   // kCannotAsk: the query's error
  // The log's size at the last poll that found NuboraService not started
  // since boot (1077): what its run of this boot writes lies beyond it. Not
  // taken later: its run may have written all it will by the first poll that
  // finds it running.
  bool baselineKnown = false;
  std::uint64_t baseline = 0;
};

// Polls `name` about once a second until its run of this boot is decided:
// never started since boot (1077) and started automatically is not yet, since
// at boot the report may start first. No clock is compared.
// Past `seconds` the run as it stands goes to `interim`; with `untilDecided`
// the polls go on, else that was the last. A stop request ends the wait:
// false, nothing to tell. `logSize` is the size of the service's log now.
bool WatchBoot(ServiceWatch& services, const wchar_t* name,
               const std::function<std::uint64_t()>& logSize, unsigned long seconds,
               bool untilDecided, const PauseRoutine& pause,
               const std::function<void(const BootWatch&)>& interim, BootWatch& watch);

}  // namespace nubora
