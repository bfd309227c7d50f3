#pragma once

namespace nubora {

// The Event Log's message IDs of source NuboraService. messages.mc gives each
// its text under the symbolic name NUBORA_ and the enumerator's words in
// capitals (kRunNotRun: NUBORA_RUN_NOT_RUN); a unit test holds the two alike.
enum class EventId : unsigned long {
  kRunConfigured = 100,
  kRunNothingToConfigure = 101,
  kRunPartlyConfigured = 102,
  kRunNotConfigured = 103,
  kRunIncompleteOrUnread = 104,  // also a log that cannot be read or holds no run
  kRunNotRun = 105,              // NuboraService did not run this boot
  kDoctorWarnings = 110,
  kDoctorErrors = 111,
};

}  // namespace nubora
