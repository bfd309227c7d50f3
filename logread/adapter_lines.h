#pragma once

#include <cstddef>
#include <string>

#include "logread/line_match.h"
#include "logread/run_model.h"

namespace nubora {

// The lines of the adapters' discovery (netconfig/discovery.cpp), from
// "begin ConfigIpAddresses" on: each pass finds or misses each record in turn.
struct DiscoveryCursor {
  std::size_t record = 0;  // the record the pass comes to next
  std::size_t found = 0;   // records this pass found
  bool afterFind = false;  // the found adapter's own lines may follow
};
// kTakenLast for the line that ends the discovery, kPassedOn when the last
// pass found every record and the line is the apply stage's.
Taken TakeDiscoveryLine(RunStatus& run, DiscoveryCursor& cursor, const std::wstring& line);

// The lines of the command runner (netconfig/command_runner.cpp) for the
// command whose line it has logged.
struct RunnerCursor {
  CommandOutcome* waiting = nullptr;  // the command it waits for, if any
};
// A command line the runner logs before it starts it.
void StartCommand(RunnerCursor& cursor, CommandOutcome& command);
bool TakeRunnerLine(RunnerCursor& cursor, const std::wstring& line);

// The lines of the apply stage (netconfig/apply.cpp): for each record in
// turn, each part's changed or unchanged line and its commands.
struct ApplyCursor {
  std::size_t record = 0;  // past the records whose every expected line is in
  RunnerCursor runner;
};
bool TakeApplyLine(RunStatus& run, ApplyCursor& cursor, const std::wstring& line);

}  // namespace nubora
