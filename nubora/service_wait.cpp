#include "nubora/service_wait.h"

#include "nubora/run_text.h"

namespace nubora {

bool WaitForService(ServiceWatch& services, const wchar_t* name, const std::wstring& log,
                    unsigned long seconds, const PauseRoutine& pause, unsigned long& waited,
                    std::wstring& problem) {
  bool seenRunning = false;
  for (waited = 0;; ++waited) {
    ServiceSnapshot service;
    if (const unsigned long error = services.Query(name, service); error != 0) {
      problem = L"cannot ask the service manager about " + std::wstring(name) + L" (error " +
                Number(error) + L"), not waiting";
      return false;
    }
    if (!service.installed) return false;
    const bool running = service.state != scm::kStopped;
    if (!running && (seenRunning || services.WrittenSinceBoot(log))) return false;
    seenRunning = seenRunning || running;
    if (waited >= seconds || pause(1000) != StopRequest::kNone) return running;
  }
}

}  // namespace nubora
