#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "platform/services.h"

namespace nubora {

// What ended a service's wait: nothing yet, a stop request, or the system
// shutting down.
enum class StopRequest { kNone, kStop, kShutdown };

// How a service's work ended, as its STOPPED report tells it.
struct ServiceExit {
  std::uint32_t win32ExitCode = 0;
  std::uint32_t specificExitCode = 0;
};

class ServiceRunner;

// What one service is to the service manager.
struct ServiceSetup {
  const wchar_t* handlerName;      // the name its control handler is registered under
  std::uint32_t serviceType;       // scm::kOwnProcess, ...
  std::uint32_t controlsAccepted;  // scm::kAccept... bits
  bool acceptsOnlyWhileRunning;    // reported with RUNNING only, else with every state
  bool refusesUnknownControls;     // answers kErrorCallNotImplemented, else 0
  ServiceExit (*work)(ServiceRunner& runner);
  void (*stopPending)();  // after STOP_PENDING was reported; may be null
};

// The service manager's protocol around a service's work: RUNNING once its
// worker thread has started, STOP_PENDING for a stop or shutdown request,
// STOPPED with the work's exit code as the last report. A report never
// overtakes another: RUNNING before STOP_PENDING, STOPPED last.
class ServiceRunner {
 public:
  explicit ServiceRunner(const ServiceSetup& setup) : setup_(setup) {}
  ServiceRunner(const ServiceRunner&) = delete;
  ServiceRunner& operator=(const ServiceRunner&) = delete;

  // The body of the service's ServiceMain: registers the control handler,
  // starts the work on its own thread and reports RUNNING.
  void Main();
  // The body of its control handler.
  unsigned long Control(unsigned long control);
  // Waits up to `milliseconds` or until a stop or shutdown is requested; the
  // request so far.
  StopRequest Pause(unsigned long milliseconds);
  // Back to the state of a fresh process, so that one process can host
  // several service starts in tests.
  void Reset();

 private:
  static unsigned long NUBORA_CALLBACK Handler(unsigned long control, unsigned long eventType,
                                               void* eventData, void* context);
  static unsigned NUBORA_CALLBACK Worker(void* self);
  void SetState(std::uint32_t state);  // the lock held

  const ServiceSetup setup_;
  std::mutex mutex_;
  std::condition_variable changed_;
  ServiceStatus status_;
  ServiceStatusHandle handle_ = nullptr;
  bool runningReported_ = false;
  bool stopped_ = false;
  StopRequest request_ = StopRequest::kNone;
};

}  // namespace nubora
