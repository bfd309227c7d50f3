// The log parser on arbitrary bytes read as a log: the runs a forward pass
// finds are one per start line (and one for a start line cut at the end of
// the file) where no line holds a name the service logs, at most that many
// otherwise; the last runs read back from the end are told exactly as the
// forward pass tells them; no verdict claims more than the log shows.
//
// The input describes the log: each piece of it followed by the marker
// FF FE and a byte N stands N times in the log, so that a small input makes a
// log that crosses the readers' windows (64 KB back, 1 MB forward) and the
// lines and bytes a run keeps. The input's size picks the code page it is
// read in: 1252, UTF-8 or a double-byte one.
#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <regex>
#include <string>

#include "fuzz_support.h"
#include "logread/run_log.h"
#include "netconfig/log_lines.h"
#include "nubora/runtext/run_text.h"
#include "platform/log_file.h"

using namespace nubora;

namespace {

// Past the forward reader's first chunk and the lines a run keeps, and no
// more: each line costs.
constexpr std::size_t kMaxLog = (1 << 20) + (1 << 18);
constexpr std::size_t kMaxLines = kKeptRunLines + 4096;

std::string Expand(const std::uint8_t* data, std::size_t size) {
  const std::string input(data, data + size);
  std::string log;
  std::size_t piece = 0, lines = 0;
  for (std::size_t at; (at = input.find("\xFF\xFE", piece)) != std::string::npos && at + 3 <= size;
       piece = at + 3) {
    const std::size_t pieceLines = std::count(&input[piece], &input[at], '\n');
    for (std::size_t i = 0; i < data[at + 2] && log.size() < kMaxLog && lines < kMaxLines;
         ++i, lines += pieceLines) {
      log.append(input, piece, at - piece);
    }
  }
  return (log + input.substr(piece)).substr(0, kMaxLog);
}

std::size_t StartLines(const std::string& bytes) {
  static const std::regex start(
      "start time [0-9]+-[0-9]+-[0-9]+,[ 0-9][0-9]:[ 0-9][0-9]:[ 0-9][0-9]\r?$");
  static const std::regex cut(
      "start time( ([0-9]+(-([0-9]+(-([0-9]+(,([ 0-9]([0-9](:([ 0-9]([0-9](:([ "
      "0-9]([0-9])?)?)?)?)?)"
      "?)?)?)?)?)?)?)?)?)?\r?$");
  const std::vector<std::string> lines = fuzz::Split(bytes, std::string("\n"));
  std::size_t count = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].find("start time") != std::string::npos) {  // the regex is slow
      count += std::regex_search(lines[i], i + 1 == lines.size() ? cut : start);
    }
  }
  return count;
}

// A line that begins with a prefix the service writes a name after: a name
// may read like a start line.
bool HoldsNames(const std::string& bytes) {
  const std::string lines = "\n" + bytes;
  for (const wchar_t* prefix : {kParsingSectionPrefix, kAdapterFoundPrefix, kSnapshotNamePrefix}) {
    if (lines.find("\n" + std::string(prefix, prefix + std::wcslen(prefix))) != std::string::npos) {
      return true;
    }
  }
  return false;
}

void CheckVerdict(const RunStatus& run) {
  FUZZ_CHECK((run.verdict == Verdict::kIncomplete) == !run.ended);
  if (run.verdict == Verdict::kConfigured || run.verdict == Verdict::kNothingToConfigure) {
    FUZZ_CHECK(run.unrecognisedCount == 0 && run.cutShort.number == 0 && run.notKeptLines == 0 &&
               run.brokenOffAt == 0 && run.earlierRunAt == 0);
    for (const SectionEntry& section : run.sections) {
      FUZZ_CHECK(section.outcome == SectionOutcome::kStatic ||
                 section.outcome == SectionOutcome::kDhcp ||
                 section.outcome == SectionOutcome::kDisabled);
    }
  }
  if (run.verdict == Verdict::kNothingToConfigure) FUZZ_CHECK(run.records.empty());
  if (run.verdict == Verdict::kConfigured) {
    FUZZ_CHECK(!run.endTime.empty() && run.postScript.end == CommandEnd::kEnded);
    for (const RecordEntry& record : run.records) {
      FUZZ_CHECK(record.foundPass > 0 && !record.connection.empty() && record.sameMacAs == 0);
    }
  }
  FUZZ_CHECK(run.unrecognised.size() <= kMaxKeptLines);
  FUZZ_CHECK(run.unrecognisedCount + run.sections.size() <= kKeptRunLines);
  FUZZ_CHECK((run.notKeptLines > 0) == (run.ownReason != nullptr));
  FUZZ_CHECK(run.ownReason == nullptr || run.reason == run.ownReason->c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes = Expand(data, size);
  SharedReadFile log;
  unsigned long error = 0;
  FUZZ_CHECK(log.Open(fuzz::Wide(fuzz::FileWith(bytes)), error));
  static const unsigned kCodePages[] = {1252, 936, 65001, 932, 949, 950};
  const unsigned codePage = kCodePages[size % 6];
  RunStatus last[3];  // the last runs, the very last at [runs % 3]
  std::size_t visited = 0;
  const LogScan scan = ScanRuns(log, codePage, [&](RunStatus&& run) {
    CheckVerdict(run);
    last[++visited % 3] = std::move(run);
    return true;
  });
  FUZZ_CHECK(!scan.noMemory && visited == scan.runs);
  const std::size_t starts = StartLines(bytes);
  FUZZ_CHECK(HoldsNames(bytes) ? scan.runs <= starts : scan.runs == starts);
  for (std::size_t fromEnd = 1; fromEnd <= 3; ++fromEnd) {
    RunStatus run;
    const bool found = ReadRunFromEnd(log, fromEnd, codePage, run);
    FUZZ_CHECK(found == (scan.runs >= fromEnd));
    // Everything the run tells, every line number it tells included.
    const RunStatus& forward = last[(scan.runs + 1 - fromEnd) % 3];
    FUZZ_CHECK(!found || (run.verdict == forward.verdict && RunText(run) == RunText(forward) &&
                          (run.firstLine == 0 || run.firstLine == forward.firstLine)));
  }
  return 0;
}
