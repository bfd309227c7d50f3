#pragma once

#include "logread/run_model.h"

namespace nubora {

// What a run's lines add up to, and for a run that configured nothing, why:
// decided in one place for status, report and their exit codes.
struct VerdictAndReason {
  Verdict verdict;
  const char* reason = nullptr;  // only for kNotConfigured
};
VerdictAndReason DecideVerdict(const RunStatus& run);

const char* VerdictText(Verdict verdict);
int VerdictExitCode(Verdict verdict);

}  // namespace nubora
