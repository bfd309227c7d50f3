// The log parser on arbitrary bytes read as a log: the runs a forward pass
// finds are one per start line (and one for a start line cut at the end of
// the file), the last one read back from the end is told exactly as the
// forward pass tells it, and no verdict claims more than the log shows.
#include <cstdio>
#include <regex>
#include <string>

#include "fuzz_support.h"
#include "logread/run_log.h"
#include "nubora/runtext/run_text.h"
#include "platform/log_file.h"

namespace {

std::size_t StartLines(const std::string& bytes) {
  static const std::regex start(
      "start time [0-9]+-[0-9]+-[0-9]+,[ 0-9][0-9]:[ 0-9][0-9]:[ 0-9][0-9]\r?$");
  static const std::regex cut(
      "start time( ([0-9]+(-([0-9]+(-([0-9]+(,([ 0-9]([0-9](:([ 0-9]([0-9](:([ "
      "0-9]([0-9])?)?)?)?)?)"
      "?)?)?)?)?)?)?)?)?)?\r?$");
  std::size_t count = 0;
  for (std::size_t at = 0; at <= bytes.size();) {
    std::size_t end = bytes.find('\n', at);
    const bool last = end == std::string::npos;
    if (last) end = bytes.size();
    count += std::regex_search(bytes.begin() + at, bytes.begin() + end, last ? cut : start);
    at = end + 1;
  }
  return count;
}

void CheckVerdict(const nubora::RunStatus& run) {
  using nubora::Verdict;
  FUZZ_CHECK((run.verdict == Verdict::kIncomplete) == !run.ended);
  if (run.verdict == Verdict::kConfigured || run.verdict == Verdict::kNothingToConfigure) {
    FUZZ_CHECK(run.unrecognisedCount == 0 && run.cutShort.number == 0);
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
}

// Everything the run tells, every line number it tells included.
bool Same(const nubora::RunStatus& a, const nubora::RunStatus& b) {
  return a.verdict == b.verdict && nubora::RunText(a) == nubora::RunText(b) &&
         (a.firstLine == 0 || a.firstLine == b.firstLine);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string& nativePath = nubora::fuzz::FileWith(data, size);
  nubora::SharedReadFile log;
  unsigned long error = 0;
  const std::wstring path(nativePath.begin(), nativePath.end());
  FUZZ_CHECK(log.Open(path, error));
  for (unsigned codePage : {1252u, 936u}) {
    nubora::RunStatus last;
    std::size_t visited = 0;
    const nubora::LogScan scan = nubora::ScanRuns(log, codePage, [&](nubora::RunStatus&& run) {
      CheckVerdict(run);
      last = std::move(run);
      return ++visited > 0;
    });
    FUZZ_CHECK(scan.runs == StartLines(bytes) && visited == scan.runs);
    nubora::RunStatus fromEnd;
    FUZZ_CHECK(nubora::ReadRunFromEnd(log, 1, codePage, fromEnd) == (scan.runs > 0));
    if (scan.runs == 0) continue;
    FUZZ_CHECK(Same(fromEnd, last));
  }
  return 0;
}
