#include "platform/service_runner.h"

#include "platform/platform.h"

namespace nubora {

void ServiceRunner::Main() {
  ServiceHost& host = *CurrentPlatform().serviceHost;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    status_ = ServiceStatus{};
    status_.dwServiceType = setup_.serviceType;
    status_.dwCurrentState = scm::kStartPending;
    status_.dwControlsAccepted = setup_.acceptsOnlyWhileRunning ? 0 : setup_.controlsAccepted;
  }
  const ServiceStatusHandle handle = host.RegisterControlHandler(setup_.handlerName, Handler, this);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    handle_ = handle;
  }
  if (handle == nullptr) return;

  unsigned long error = 0;
  const bool started = host.StartThread(Worker, this, error);

  std::lock_guard<std::mutex> lock(mutex_);
  if (!started) {
    // No worker will ever report: stop now and say why, never with the code
    // that means success, whatever the host gave.
    status_.dwWin32ExitCode = static_cast<std::uint32_t>(ThreadStartError(0, 0, error));
    stopped_ = true;
    SetState(scm::kStopped);
    changed_.notify_all();
    return;
  }
  if (!stopped_) SetState(scm::kRunning);
  runningReported_ = true;
  changed_.notify_all();
}

unsigned NUBORA_CALLBACK ServiceRunner::Worker(void* self) {
  ServiceRunner& runner = *static_cast<ServiceRunner*>(self);
  const ServiceExit exit = runner.setup_.work(runner);
  std::unique_lock<std::mutex> lock(runner.mutex_);
  runner.changed_.wait(lock, [&runner] { return runner.runningReported_; });
  runner.stopped_ = true;
  runner.status_.dwWin32ExitCode = exit.win32ExitCode;
  runner.status_.dwServiceSpecificExitCode = exit.specificExitCode;
  runner.SetState(scm::kStopped);
  return 0;
}

unsigned long NUBORA_CALLBACK ServiceRunner::Handler(unsigned long control, unsigned long, void*,
                                                     void* context) {
  return static_cast<ServiceRunner*>(context)->Control(control);
}

unsigned long ServiceRunner::Control(unsigned long control) {
  if (control != scm::kControlStop && control != scm::kControlShutdown) {
    const bool answered = control == scm::kControlInterrogate || !setup_.refusesUnknownControls;
    return answered ? 0 : kErrorCallNotImplemented;
  }
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (handle_ == nullptr) return 0;
    // STOP_PENDING must not overtake RUNNING, which Main is about to report.
    changed_.wait(lock, [this] { return runningReported_ || stopped_; });
    if (stopped_) return 0;
    if (request_ == StopRequest::kNone) {
      request_ = control == scm::kControlStop ? StopRequest::kStop : StopRequest::kShutdown;
    }
    changed_.notify_all();
    SetState(scm::kStopPending);
  }
  if (setup_.stopPending != nullptr) setup_.stopPending();
  return 0;
}

void ServiceRunner::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  status_ = ServiceStatus{};
  handle_ = nullptr;
  runningReported_ = false;
  stopped_ = false;
  request_ = StopRequest::kNone;
}

void ServiceRunner::SetState(std::uint32_t state) {
  status_.dwCurrentState = state;
  if (setup_.acceptsOnlyWhileRunning) {
    status_.dwControlsAccepted = state == scm::kRunning ? setup_.controlsAccepted : 0;
  }
  status_.dwCheckPoint = 0;
  status_.dwWaitHint = 0;
  CurrentPlatform().serviceHost->ReportStatus(handle_, status_);
}

}  // namespace nubora
