#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace nubora {

// What the service's log says about one run: the block from a "start time"
// line to the next one. Line numbers count from 1 in the file; they are 0
// where the lines before the block were not counted.

enum class CommandEnd { kNotLogged, kEnded, kTimedOut, kCreateFailed, kTooLong };

struct CommandOutcome {
  std::wstring line;
  CommandEnd end = CommandEnd::kNotLogged;
  int slices = 0;  // 2 s slices that ran out before the end
  int error = 0;   // CreateProcess's error code
};

enum class PartState { kNotLogged, kUnchanged, kChanged };

struct PartOutcome {
  PartState state = PartState::kNotLogged;
  std::size_t expected = 0;  // commands a change issues: one per list item
  std::vector<CommandOutcome> commands;
};

enum class SectionOutcome {
  kUnfinished,
  kDisabled,
  kStatic,
  kDhcp,
  kNoMac,
  kBadMac,
  kNoIp,
  kNoMask,
  kMaskTooLong,
  kGatewayTooLong
};

struct SectionEntry {
  std::wstring name;
  SectionOutcome outcome = SectionOutcome::kUnfinished;
};

struct RecordEntry {
  std::wstring section;
  std::wstring mac;  // as the discovery lines write it: 00-00-5e-00-53-01
  bool dhcp = false;
  std::wstring connection;  // as the last pass found it; may be empty
  int foundPass = 0;        // first pass (1 to 8) that found it; 0: never
  int missedPasses = 0;
  bool nameTooLong = false;
  // An earlier record with the same MAC (its index + 1; 0: none): the run
  // compares this one with the adapter as it was before that one's commands.
  std::size_t sameMacAs = 0;
  PartOutcome address;  // a DHCP record's one command is its address part
  PartOutcome dns;      // expected 0: the record has no DNS servers
};

enum class ConfigFileState { kNotLogged, kMissing, kNoSections, kNoMemory, kRead };

enum class Verdict {
  kConfigured,
  kPartlyConfigured,
  kNothingToConfigure,
  kNotConfigured,
  kIncomplete
};

struct LogLine {
  std::size_t number = 0;
  std::wstring text;
};

struct RunStatus {
  std::size_t firstLine = 0;
  std::wstring startTime, endTime;  // as logged: 2016-3-5, 9:14: 7
  bool ended = false;               // the end time, or the run's early stop
  ConfigFileState configFile = ConfigFileState::kNotLogged;
  std::vector<SectionEntry> sections;
  std::vector<RecordEntry> records;
  int passes = 0;
  bool discoveryGaveUp = false;
  bool enumerationFailed = false;
  bool configureEnd = false;
  bool postScriptLogged = false;
  CommandOutcome postScript;
  std::vector<std::size_t> stopRequests;
  std::vector<LogLine> unrecognised;  // the first kMaxKeptLines of them
  std::size_t unrecognisedCount = 0;
  LogLine reached;   // the last whole line of the block
  LogLine cutShort;  // a last line without its line end, if any
  // Two runs writing at once: the start line of a later run that broke this
  // block off while this run went on, and the start line of an earlier run
  // whose lines follow inside this block (0: none).
  std::size_t brokenOffAt = 0;
  std::size_t earlierRunAt = 0;
  Verdict verdict = Verdict::kIncomplete;
};

constexpr std::size_t kMaxKeptLines = 100;

// The lines of one block, decoded, the start line first. `whole` is false for
// a last line without its line end.
struct BlockLine {
  std::wstring text;
  bool whole = true;
};
RunStatus ParseRun(const std::vector<BlockLine>& lines, std::size_t firstLine);

// Gives every line number of the run relative to line 1 of its block a base.
void NumberLines(RunStatus& run, std::size_t firstLine);

// True when some part of the run is told by its line number.
bool NeedsLineNumbers(const RunStatus& run);

// The offset of a start line ("start time" and a clock) within the bytes
// [begin, end) of one line without its line end: at its beginning, or glued
// to the end of a line cut short by a power loss; npos when there is none.
// `lastLine`: the file's last line, without a line end, where a start line
// cut short by a power loss also counts (at least "start time").
std::size_t FindStartLine(const std::string& bytes, std::size_t begin, std::size_t end,
                          bool lastLine = false);

// Splits bytes into lines at LF, dropping a CR before it, and decodes them.
std::vector<BlockLine> SplitBlock(const std::string& bytes, unsigned codePage);

class SharedReadFile;

// The run `fromEnd` runs back from the end of the log (1: the last), read
// backwards from the end: false when the log holds fewer runs.
bool ReadRunFromEnd(const SharedReadFile& file, std::size_t fromEnd, unsigned codePage,
                    RunStatus& run);

// One pass over the whole log, handing each run to `visit` in order until it
// answers false. Lines before the first run are in `before`.
struct LogScan {
  std::size_t runs = 0;
  std::vector<LogLine> before;  // the first kMaxKeptLines of them
  std::size_t beforeCount = 0;
};
LogScan ScanRuns(const SharedReadFile& file, unsigned codePage,
                 const std::function<bool(RunStatus&&)>& visit);

const char* VerdictText(Verdict verdict);
// Why a run that stopped or ran configured nothing; empty for other verdicts.
const char* NotConfiguredReason(const RunStatus& run);
int VerdictExitCode(Verdict verdict);

}  // namespace nubora
