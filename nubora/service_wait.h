#pragma once

#include <functional>
#include <string>

#include "platform/service_runner.h"
#include "platform/services.h"

namespace nubora {

// Waits one interval; the stop request so far (kNone: go on).
using PauseRoutine = std::function<StopRequest(unsigned long milliseconds)>;

// Polls `name` about once a second, at most `seconds` times, until it is
// absent, or stopped after its run of this boot: seen running, or `log`
// written since the system started (at boot this report may start first).
// True when the service was still running at the end.
bool WaitForService(ServiceWatch& services, const wchar_t* name, const std::wstring& log,
                    unsigned long seconds, const PauseRoutine& pause, unsigned long& waited,
                    std::wstring& problem);

}  // namespace nubora
