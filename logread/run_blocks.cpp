#include "logread/run_blocks.h"

#include <algorithm>
#include <cwchar>

#include "netconfig/log_lines.h"
#include "platform/code_page.h"
#include "platform/log_file.h"

namespace nubora {

std::size_t FindStartLine(const std::string& bytes, std::size_t begin, std::size_t end,
                          bool lastLine) {
  if (end > begin && bytes[end - 1] == '\r') --end;
  // "start time", the blank before the clock left out.
  constexpr std::size_t length = sizeof kStartTimePrefix / sizeof kStartTimePrefix[0] - 2;
  if (end - begin < length) return std::string::npos;
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

BlockLine DecodeLine(const std::string& line, bool whole, unsigned codePage) {
  std::size_t length = line.size();
  if (whole && length > 0 && line[length - 1] == '\r') --length;
  BlockLine decoded;
  decoded.whole = whole;
  DecodeCodePage(line.substr(0, std::min(length, kKeptLineBytes)), codePage, decoded.text);
  return decoded;
}

namespace {

// The run as its parser read it, with the lines past those kept counted and
// the last of them told.
RunStatus FinishRun(RunParser& parser, const Block& block, LogLine cutShort) {
  parser.Run().offset = block.offset;
  if (block.notKept > 0) {
    RunStatus& run = parser.Run();
    run.notKeptLines = block.notKept;
    const LogLine last{block.firstLine + block.lines.size() + block.notKept - 1, block.last.text};
    if (block.last.whole) {
      run.reached = last;
    } else {
      cutShort = last;
    }
  }
  return parser.Finish(cutShort);
}

}  // namespace

BlockBuilder::BlockBuilder(std::size_t firstLine, std::uint64_t offset, unsigned codePage)
    : parser_(firstLine), codePage_(codePage) {
  block_.firstLine = firstLine;
  block_.offset = offset;
}

bool BlockBuilder::Full() const {
  return block_.lines.size() >= kKeptRunLines || keptBytes_ >= kKeptRunBytes;
}

void BlockBuilder::Add(const std::string& line, bool whole) {
  block_.lineEnds += whole;
  if (Full()) {
    ++block_.notKept;
    block_.last.whole = whole;
    // Decoded once it is known to be the last.
    lastBytes_.assign(line, 0, std::min(line.size(), kKeptLineBytes));
    return;
  }
  BlockLine decoded = DecodeLine(line, whole, codePage_);
  const std::size_t number = block_.firstLine + block_.lines.size();
  ReplayLine(parser_, decoded, number, block_.lines.empty(), nullptr, cutShort_);
  keptBytes_ += std::min(line.size(), kKeptLineBytes);
  block_.lines.push_back(std::move(decoded));
}

bool BlockBuilder::AddName(const std::string& line) {
  if (block_.lines.empty() || Full()) return false;
  BlockLine decoded = DecodeLine(line, true, codePage_);
  if (!parser_.TakeName(decoded.text, block_.firstLine + block_.lines.size())) return false;
  ++block_.lineEnds;
  keptBytes_ += std::min(line.size(), kKeptLineBytes);
  block_.lines.push_back(std::move(decoded));
  return true;
}

Block BlockBuilder::Finish() {
  if (block_.notKept > 0) block_.last = DecodeLine(lastBytes_, block_.last.whole, codePage_);
  block_.alone = FinishRun(parser_, block_, cutShort_);
  block_.brokenOff = !block_.alone.ended && block_.alone.cutShort.number == 0;
  block_.hasUnrecognised = block_.alone.unrecognisedCount > 0;
  return std::move(block_);
}

RunSplitter::RunSplitter(unsigned codePage, std::size_t firstLine, bool fileEnd, BlockSink block,
                         LineSink before)
    : codePage_(codePage),
      line_(firstLine),
      fileEnd_(fileEnd),
      block_(std::move(block)),
      before_(std::move(before)) {}

bool RunSplitter::Take(const std::string& line, bool whole, std::uint64_t lineEnd) {
  // A last line given short of the file's end goes on where a run begins.
  const std::size_t start =
      !whole && !fileEnd_ ? std::string::npos
                          : FindStartLine(line, line.size() - std::min(line.size(), kKeptLineBytes),
                                          line.size(), !whole);
  const std::size_t number = line_++;
  if (start == std::string::npos || (run_ && whole && run_->AddName(line))) {
    if (run_) {
      if (start == std::string::npos) run_->Add(line, whole);
    } else {
      before_(line.substr(0, std::min(line.size(), kKeptLineBytes)), number);
    }
    return true;
  }
  // What a power loss left of the line before the start line glued to it.
  if (start > 0) {
    const std::string head = line.substr(0, std::min(start, kKeptLineBytes));
    if (run_) {
      run_->Add(head, false);
    } else {
      before_(head, number);
    }
  }
  if (run_ && !block_(run_->Finish())) return false;
  run_.reset(new BlockBuilder(number, lineEnd - (line.size() - start), codePage_));
  run_->Add(line.substr(start), whole);
  return true;
}

bool RunSplitter::Finish() {
  if (!run_) return true;
  const bool more = block_(run_->Finish());
  run_.reset();
  return more;
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
  return FinishRun(self, block, cutShort);
}

}  // namespace nubora
