#include "service/lifecycle.h"

#include <condition_variable>
#include <mutex>

#include "netconfig/log.h"
#include "netconfig/log_lines.h"
#include "netconfig/run.h"
#include "platform/platform.h"
#include "service/installer.h"

namespace nubora {

ServiceStatus serviceStatus;
ServiceStatusHandle serviceStatusHandle = nullptr;

namespace {

constexpr std::uint32_t kServiceWin32 = 0x30;
constexpr std::uint32_t kAcceptStopPauseContinue = 3;
constexpr unsigned long kControlStop = 1;
constexpr unsigned long kControlShutdown = 5;

// Reports must not overtake one another: RUNNING comes before STOPPED, and
// STOPPED is the last report of the process.
struct ReportOrder {
  std::mutex mutex;
  std::condition_variable runningDone;
  bool runningReported = false;
  bool stopped = false;
};

ReportOrder& Order() {
  static ReportOrder order;
  return order;
}

ServiceRun& CurrentRun() {
  static ServiceRun run = RunConfiguration;
  return run;
}

// Caller holds the order's lock.
void ReportState(std::uint32_t state) {
  serviceStatus.dwCurrentState = state;
  serviceStatus.dwCheckPoint = 0;
  serviceStatus.dwWaitHint = 0;
  CurrentPlatform().serviceHost->ReportStatus(serviceStatusHandle, serviceStatus);
}

}  // namespace

void SetServiceRun(ServiceRun run) { CurrentRun() = run != nullptr ? run : RunConfiguration; }

void ResetServiceState() {
  std::lock_guard<std::mutex> lock(Order().mutex);
  serviceStatus = ServiceStatus{};
  serviceStatusHandle = nullptr;
  Order().runningReported = false;
  Order().stopped = false;
}

void NUBORA_CALLBACK ServiceMain(unsigned long /*argumentCount*/, wchar_t** /*arguments*/) {
  ServiceHost& host = *CurrentPlatform().serviceHost;
  {
    std::lock_guard<std::mutex> lock(Order().mutex);
    serviceStatus.dwServiceType = kServiceWin32;
    serviceStatus.dwCurrentState = kServiceStartPending;
    serviceStatus.dwControlsAccepted = kAcceptStopPauseContinue;
    serviceStatus.dwWin32ExitCode = 0;
    serviceStatus.dwServiceSpecificExitCode = 0;
    serviceStatus.dwCheckPoint = 0;
    serviceStatus.dwWaitHint = 0;
  }
  serviceStatusHandle =
      host.RegisterControlHandler(L"vadozazor_service", ServiceCtrlHandler, nullptr);
  if (serviceStatusHandle == nullptr) return;

  unsigned long error = 0;
  const bool started = host.StartThread(ServiceWorker, nullptr, error);

  std::lock_guard<std::mutex> lock(Order().mutex);
  if (!started) {
    // No worker will ever report: stop now and say why, never with the code
    // that means success, whatever the host gave.
    serviceStatus.dwWin32ExitCode = static_cast<std::uint32_t>(ThreadStartError(0, 0, error));
    Order().stopped = true;
    ReportState(kServiceStopped);
    Order().runningDone.notify_all();
    return;
  }
  if (!Order().stopped) ReportState(kServiceRunning);
  Order().runningReported = true;
  Order().runningDone.notify_all();
}

unsigned NUBORA_CALLBACK ServiceWorker(void* /*parameter*/) {
  CurrentRun()();
  std::unique_lock<std::mutex> lock(Order().mutex);
  Order().runningDone.wait(lock, [] { return Order().runningReported; });
  Order().stopped = true;
  ReportState(kServiceStopped);
  return 0;
}

unsigned long NUBORA_CALLBACK ServiceCtrlHandler(unsigned long control, unsigned long /*eventType*/,
                                                 void* /*eventData*/, void* /*context*/) {
  if (control != kControlStop && control != kControlShutdown) return 0;
  {
    std::unique_lock<std::mutex> lock(Order().mutex);
    if (serviceStatusHandle == nullptr) return 0;
    // STOP_PENDING must not overtake RUNNING, which ServiceMain is about to report.
    Order().runningDone.wait(lock, [] { return Order().runningReported || Order().stopped; });
    if (Order().stopped) return 0;
    ReportState(kServiceStopPending);
  }
  LogWideLine(kStopRequestLine);
  return 0;
}

unsigned long RunServiceDispatcher() {
  static const ServiceTableEntry table[2] = {{kServiceName, ServiceMain}, {nullptr, nullptr}};
  return CurrentPlatform().serviceHost->RunDispatcher(table);
}

}  // namespace nubora
