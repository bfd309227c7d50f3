#include "nubora/report/service_wait.h"

#include "platform/system_errors.h"

namespace nubora {

namespace {

// Whether one poll of `service` ends the wait, and with what. `seenRunning`:
// an earlier poll found it running; `logStill`: its log has not grown since
// the baseline.
bool BootDecided(const ServiceSnapshot& service, bool seenRunning, bool logStill,
                 BootFinding& finding) {
  if (!service.installed) {
    finding = BootFinding::kDidNotRun;
    return true;
  }
  if (service.state != scm::kStopped) return false;
  if (!seenRunning && service.win32ExitCode == kErrorServiceNeverStarted) {
    finding = BootFinding::kDidNotRun;
    return service.startType != scm::kAutoStart;
  }
  finding = service.win32ExitCode != 0 ? BootFinding::kFailed
            : logStill                 ? BootFinding::kNoRunLogged
                                       : BootFinding::kRan;
  return true;
}

}  // namespace

bool WatchBoot(ServiceWatch& services, const wchar_t* name,
               const std::function<std::uint64_t()>& logSize, unsigned long seconds,
               bool untilDecided, const PauseRoutine& pause,
               const std::function<void(const BootWatch&)>& interim, BootWatch& watch) {
  bool seenRunning = false, told = false;
  watch = BootWatch{};
  for (;; ++watch.waited) {
    watch.error = services.Query(name, watch.service);
    if (watch.error != 0) {
      watch.finding = BootFinding::kCannotAsk;
      return true;
    }
    const bool running = watch.service.installed && watch.service.state != scm::kStopped;
    const bool notStarted = !seenRunning && watch.service.installed && !running &&
                            watch.service.win32ExitCode == kErrorServiceNeverStarted;
    if (notStarted) {
      watch.baselineKnown = true;
      watch.baseline = logSize();
    }
    const bool logStill = watch.baselineKnown && logSize() <= watch.baseline;
    if (BootDecided(watch.service, seenRunning, logStill, watch.finding)) return true;
    seenRunning = seenRunning || running;
    const BootFinding asItStands =
        seenRunning ? BootFinding::kStillRunning : BootFinding::kNotStartedYet;
    if (watch.waited >= seconds && !told) {
      watch.finding = asItStands;
      if (!untilDecided) return true;
      interim(watch);
      told = true;
    }
    const StopRequest request = pause(1000);
    if (request == StopRequest::kStop) return false;
    if (request == StopRequest::kShutdown) {
      watch.finding = BootFinding::kShutdown;
      return true;
    }
  }
}

}  // namespace nubora
