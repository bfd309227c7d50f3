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

namespace {

// Past the forward reader's first chunk and the lines a run keeps, and no
// more: each line costs.
constexpr std::size_t kMaxLog = (1 << 20) + (1 << 18);
constexpr std::size_t kMaxLines = nubora::kKeptRunLines + 4096;
const char kRepeat[] = "\xFF\xFE";

std::string Expand(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::string log;
  std::size_t piece = 0, lines = 0;
  for (std::size_t at = input.find(kRepeat); at != std::string::npos && at + 3 <= size;
       at = input.find(kRepeat, piece)) {
    const std::size_t pieceLines = std::count(&input[piece], &input[at], '\n');
    for (std::size_t i = 0; i < data[at + 2] && log.size() < kMaxLog && lines < kMaxLines; ++i) {
      log.append(input, piece, at - piece);
      lines += pieceLines;
    }
    piece = at + 3;
  }
  log.append(input, piece, std::string::npos);
  return log.substr(0, kMaxLog);
}

// A start line: "start time", a date and a time; cut at the end of the
// file, any beginning of them.
std::size_t StartLines(const std::string& bytes) {
  static const char* const kParts[] = {" ",      "[0-9]+", "-",      "[0-9]+", "-",
                                       "[0-9]+", ",",      "[ 0-9]", "[0-9]",  ":",
                                       "[ 0-9]", "[0-9]",  ":",      "[ 0-9]", "[0-9]"};
  static const std::regex start = [] {
    std::string whole;
    for (const char* part : kParts) whole += part;
    return std::regex("start time" + whole + "\r?$");
  }();
  static const std::regex cut = [] {
    std::string begun;
    for (std::size_t i = std::size(kParts); i-- > 0;)
      begun = std::string("(") + kParts[i] + begun + ")?";
    return std::regex("start time" + begun + "\r?$");
  }();
  const std::vector<std::string> lines = nubora::fuzz::Split(bytes, std::string("\n"));
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
  for (const wchar_t* wide :
       {nubora::kParsingSectionPrefix, nubora::kAdapterFoundPrefix, nubora::kSnapshotNamePrefix}) {
    const std::string prefix(wide, wide + std::wcslen(wide));
    if (bytes.compare(0, prefix.size(), prefix) == 0 ||
        bytes.find('\n' + prefix) != std::string::npos) {
      return true;
    }
  }
  return false;
}

void CheckVerdict(const nubora::RunStatus& run) {
  using nubora::Verdict;
  FUZZ_CHECK((run.verdict == Verdict::kIncomplete) == !run.ended);
  if (run.verdict == Verdict::kConfigured || run.verdict == Verdict::kNothingToConfigure) {
    FUZZ_CHECK(run.unrecognisedCount == 0 && run.cutShort.number == 0 && run.notKeptLines == 0);
    FUZZ_CHECK(run.brokenOffAt == 0 && run.earlierRunAt == 0);
    for (const nubora::SectionEntry& section : run.sections) {
      FUZZ_CHECK(section.outcome == nubora::SectionOutcome::kStatic ||
                 section.outcome == nubora::SectionOutcome::kDhcp ||
                 section.outcome == nubora::SectionOutcome::kDisabled);
    }
  }
  if (run.verdict == Verdict::kNothingToConfigure) FUZZ_CHECK(run.records.empty());
  if (run.verdict == Verdict::kConfigured) {
    FUZZ_CHECK(!run.endTime.empty() && run.postScript.end == nubora::CommandEnd::kEnded);
    for (const nubora::RecordEntry& record : run.records) {
      FUZZ_CHECK(record.foundPass > 0 && !record.connection.empty() && record.sameMacAs == 0);
    }
  }
  FUZZ_CHECK(run.unrecognised.size() <= nubora::kMaxKeptLines);
  FUZZ_CHECK(run.unrecognisedCount + run.sections.size() <= nubora::kKeptRunLines);
  FUZZ_CHECK((run.notKeptLines > 0) == (run.ownReason != nullptr));
  FUZZ_CHECK(run.ownReason == nullptr || run.reason == run.ownReason->c_str());
}

// Everything the run tells, every line number it tells included.
bool Same(const nubora::RunStatus& a, const nubora::RunStatus& b) {
  return a.verdict == b.verdict && nubora::RunText(a) == nubora::RunText(b) &&
         (a.firstLine == 0 || a.firstLine == b.firstLine);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes = Expand(data, size);
  const std::string nativePath = nubora::fuzz::FileWith(bytes);
  nubora::SharedReadFile log;
  unsigned long error = 0;
  FUZZ_CHECK(log.Open(nubora::fuzz::Wide(nativePath), error));
  const std::size_t starts = StartLines(bytes);
  const bool names = HoldsNames(bytes);
  static const unsigned kCodePages[] = {1252, 936, 65001, 932, 949, 950};
  const unsigned codePage = kCodePages[size % 6];
  nubora::RunStatus last[3];  // the last runs, the very last at [runs % 3]
  std::size_t visited = 0;
  const nubora::LogScan scan = nubora::ScanRuns(log, codePage, [&](nubora::RunStatus&& run) {
    CheckVerdict(run);
    last[++visited % 3] = std::move(run);
    return true;
  });
  FUZZ_CHECK(!scan.noMemory && visited == scan.runs);
  FUZZ_CHECK(names ? scan.runs <= starts : scan.runs == starts);
  for (std::size_t fromEnd = 1; fromEnd <= 3; ++fromEnd) {
    nubora::RunStatus run;
    const bool found = nubora::ReadRunFromEnd(log, fromEnd, codePage, run);
    FUZZ_CHECK(found == (scan.runs >= fromEnd));
    if (found) FUZZ_CHECK(Same(run, last[(scan.runs + 1 - fromEnd) % 3]));
  }
  return 0;
}
