#include "logread/run_blocks.h"

#include <algorithm>
#include <cwchar>

#include "logread/run_parser.h"
#include "netconfig/log_lines.h"
#include "platform/code_page.h"
#include "platform/log_file.h"

namespace nubora {

std::size_t FindStartLine(const std::string& bytes, std::size_t begin, std::size_t end,
                          bool lastLine) {
  if (end > begin && bytes[end - 1] == '\r') --end;
  // "start time", the blank before the clock left out.
  const std::size_t length = std::wcslen(kStartTimePrefix) - 1;
  const char* const last = bytes.data() + end;
  for (const char* at = bytes.data() + begin;; ++at) {
    at = std::search(at, last, kStartTimePrefix, kStartTimePrefix + length);
    if (at == last) return std::string::npos;
    const char* clock = at + length;
    const bool cut = lastLine && clock == last;
    if (cut || (clock < last && *clock == ' ' && IsClock(clock + 1, last, lastLine))) {
      return static_cast<std::size_t>(at - bytes.data());
    }
  }
}

std::vector<BlockLine> SplitBlock(const std::string& bytes, unsigned codePage) {
  std::vector<BlockLine> lines;
  for (std::size_t begin = 0; begin < bytes.size();) {
    std::size_t end = bytes.find('\n', begin);
    const bool whole = end != std::string::npos;
    if (!whole) end = bytes.size();
    std::size_t textEnd = end;
    if (whole && textEnd > begin && bytes[textEnd - 1] == '\r') --textEnd;
    BlockLine line;
    line.whole = whole;
    DecodeCodePage(bytes.substr(begin, textEnd - begin), codePage, line.text);
    lines.push_back(std::move(line));
    begin = end + 1;
  }
  return lines;
}

bool NeedsLineNumbers(const RunStatus& run) {
  return run.unrecognisedCount > 0 || !run.stopRequests.empty() || run.cutShort.number != 0 ||
         run.brokenOffAt != 0 || run.earlierRunAt != 0 || run.verdict == Verdict::kIncomplete;
}

void NumberLines(RunStatus& run, std::size_t firstLine) {
  const std::size_t shift = firstLine - run.firstLine;
  run.firstLine = firstLine;
  for (LogLine* line : {&run.reached, &run.cutShort}) {
    if (line->number != 0) line->number += shift;
  }
  for (std::size_t* number : {&run.brokenOffAt, &run.earlierRunAt}) {
    if (*number != 0) *number += shift;
  }
  for (LogLine& line : run.unrecognised) line.number += shift;
  for (std::size_t& number : run.stopRequests) number += shift;
}

Block MakeBlock(const std::string& bytes, std::size_t firstLine, unsigned codePage) {
  Block block;
  block.lines = SplitBlock(bytes, codePage);
  block.firstLine = firstLine;
  block.alone = ParseRun(block.lines, firstLine);
  block.brokenOff = !block.alone.ended && block.alone.cutShort.number == 0;
  block.hasUnrecognised = block.alone.unrecognisedCount > 0;
  return block;
}

RunStatus MergeRunWithNeighbours(const Block* before, Block& block, const Block* after) {
  const bool fromBefore = before != nullptr && before->brokenOff && block.hasUnrecognised;
  const bool intoAfter = after != nullptr && block.brokenOff && after->hasUnrecognised;
  if (!fromBefore && !intoAfter) return std::move(block.alone);
  RunParser self(block.firstLine), earlier(0), later(0);
  LogLine cutShort, ignored;
  if (fromBefore) Replay(earlier, before->lines, before->firstLine, nullptr, ignored);
  if (Replay(self, block.lines, block.firstLine, fromBefore ? &earlier : nullptr, cutShort) > 0) {
    self.Run().earlierRunAt = before->firstLine;
  }
  if (intoAfter && Replay(later, after->lines, after->firstLine, &self, ignored) > 0) {
    self.Run().brokenOffAt = after->firstLine;
  }
  return self.Finish(cutShort);
}

}  // namespace nubora
