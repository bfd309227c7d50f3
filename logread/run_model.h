#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
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
  std::uint64_t offset = 0;         // of its start line in the file
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
  // Lines of the run past the ones a run keeps (kKeptRunLines, kKeptRunBytes):
  // counted, not read; `reached` or `cutShort` is then the run's last line.
  std::size_t notKeptLines = 0;
  Verdict verdict = Verdict::kIncomplete;
  // Why a run configured nothing, or why it tells less than the log holds;
  // null otherwise. It points into `ownReason` when made for this run.
  const char* reason = nullptr;
  std::shared_ptr<const std::string> ownReason;
};

constexpr std::size_t kMaxKeptLines = 100;

// What one run keeps of its lines: far more than any run the service writes
// (tens of KB), so that a log of any size costs a few MB per run read.
constexpr std::size_t kKeptRunLines = 16384;
constexpr std::size_t kKeptRunBytes = 512 << 10;

// A record the run hands to the apply stage: found, under a name that fits
// and is not empty (the run passes over a nameless one without a line).
inline bool Applied(const RecordEntry& record) {
  return record.foundPass > 0 && !record.nameTooLong && !record.connection.empty();
}

// The lines of one block, decoded, the start line first. `whole` is false for
// a last line without its line end.
struct BlockLine {
  std::wstring text;
  bool whole = true;
};

}  // namespace nubora
