#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "logread/run_model.h"
#include "logread/run_verdict.h"

namespace nubora {

class SharedReadFile;

// The run `fromEnd` runs back from the end of the log (1: the last), read
// backwards from the end: false when the log holds fewer runs, or when there
// was no memory for reading it (then `*noMemory` is set).
bool ReadRunFromEnd(const SharedReadFile& file, std::size_t fromEnd, unsigned codePage,
                    RunStatus& run, bool* noMemory = nullptr);

// One pass over the whole log, handing each run to `visit` in order until it
// answers false. Lines before the first run are in `before`.
struct LogScan {
  std::size_t runs = 0;
  std::vector<LogLine> before;  // the first kMaxKeptLines of them
  std::size_t beforeCount = 0;
  bool noMemory = false;  // the pass broke off: no memory for reading on
};
LogScan ScanRuns(const SharedReadFile& file, unsigned codePage,
                 const std::function<bool(RunStatus&&)>& visit);

}  // namespace nubora
