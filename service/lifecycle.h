#pragma once

#include "platform/services.h"

namespace nubora {

void NUBORA_CALLBACK ServiceMain(unsigned long argumentCount, wchar_t** arguments);
unsigned long NUBORA_CALLBACK ServiceCtrlHandler(unsigned long control, unsigned long eventType,
                                                 void* eventData, void* context);

// Hands the calling thread to the service control dispatcher with the
// service's table; 0, or the error code when the dispatcher cannot start.
unsigned long RunServiceDispatcher();

// What the worker performs; the configuration run unless replaced.
using ServiceRun = int (*)();
void SetServiceRun(ServiceRun run);

// Back to the state of a fresh process, so that one process can host several
// service starts in tests.
void ResetServiceState();

}  // namespace nubora
