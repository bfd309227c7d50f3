#include "logread/run_log.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <deque>
#include <functional>
#include <memory>
#include <new>
#include <unordered_map>
#include <vector>

#include "logread/line_reader.h"
#include "logread/run_blocks.h"
#include "netconfig/log_lines.h"
#include "platform/code_page.h"
#include "platform/log_file.h"

namespace nubora {

namespace {

// The block of the run whose start line is at `from` and whose next run
// begins at `to`.
Block ReadBlock(const SharedReadFile& file, std::uint64_t from, std::uint64_t to,
                std::size_t firstLine, unsigned codePage) {
  BlockBuilder builder(firstLine, from, codePage);
  ForEachLine(file, from, to, [&](const std::string& line, bool whole, std::uint64_t) {
    builder.Add(line, whole);
    return true;
  });
  return builder.Finish();
}

// The runs' start lines, from the end of the log backwards, line by line: a
// window of the file finds the line ends, and only the last kKeptLineBytes of
// a line are searched, where a start line glued to it would be.
//
// A start line is where a run begins unless the run before takes that line as
// a name it logged (RunSplitter), which only the lines from that run's start
// tell. Two kinds of line are known to begin a run without them: a file's
// last line cut short, and a line without a name prefix that no section
// opened within kKeptRunLines lines before it can have as its name (a run
// takes no name past the lines it keeps). The others are left to a forward
// pass from the nearest such start before them.
class StartsFromEnd {
 public:
  // `want`: at most that many start lines are asked for.
  StartsFromEnd(const SharedReadFile& file, std::uint64_t size, unsigned codePage, std::size_t want)
      : file_(file),
        size_(size),
        codePage_(codePage),
        want_(want),
        lineEnd_(size),
        windowBase_(size),
        limit_(size) {}

  // The offset of the next start line further back; false when there is none.
  bool Next(std::uint64_t& offset) {
    for (;;) {
      if (!found_.empty()) {
        offset = found_.back();
        found_.pop_back();
        ++handed_;
        return true;
      }
      if (candidates_.empty() || candidates_.front().kind == Kind::kPending) {
        if (failed_) return false;
        if (WalkLine()) continue;
        if (failed_) return false;
        // The file's beginning: no section before can open a name.
        for (; !pending_.empty(); pending_.pop_front()) Decide(At(pending_.front()));
        if (!candidates_.empty()) continue;
        if (!doubtful_) return false;
        Split(0);
        continue;
      }
      const Candidate candidate = candidates_.front();
      candidates_.pop_front();
      ++frontSeq_;
      if (candidate.kind == Kind::kDoubtful) {
        doubtful_ = true;
      } else if (!doubtful_) {
        limit_ = candidate.offset;
        offset = candidate.offset;
        ++handed_;
        return true;
      } else {
        Split(candidate.offset);
      }
    }
  }

 private:
  enum class Kind { kPending, kStart, kDoubtful };
  struct Candidate {
    std::uint64_t offset;
    std::size_t line;  // lines walked before it
    std::size_t text;  // the hash of its text
    Kind kind;
  };

  Candidate& At(std::size_t seq) { return candidates_[seq - frontSeq_]; }

  // Doubtful where a section opened within kKeptRunLines lines before may
  // have the start line's text as its name.
  void Decide(Candidate& candidate) {
    const auto opened = openings_.find(candidate.text);
    const bool named = opened != openings_.end() && opened->second > candidate.line;
    candidate.kind = named ? Kind::kDoubtful : Kind::kStart;
  }

  // Examines the next line further back: false at the file's beginning or
  // when it cannot be read.
  bool WalkLine() {
    if (done_) return false;
    std::uint64_t lineBegin = 0;
    if (!FindLineBegin(lineBegin)) return failed_ = true, false;
    const std::size_t line = walked_++;
    for (; !pending_.empty(); pending_.pop_front()) {
      Candidate& candidate = At(pending_.front());
      if (line - candidate.line <= kKeptRunLines) break;
      Decide(candidate);
    }
    if (pending_.empty()) openings_.clear();
    const bool whole = lineEnd_ < size_;
    const std::uint64_t end = lineEnd_;
    done_ = lineBegin == 0;
    if (!done_) lineEnd_ = lineBegin - 1;
    std::string head;
    constexpr std::size_t prefix =
        sizeof kParsingSectionPrefix / sizeof kParsingSectionPrefix[0] - 1;
    if (!pending_.empty() && end - lineBegin >= prefix) {
      if (!Read(lineBegin, lineBegin + prefix, head)) return failed_ = true, false;
      if (std::equal(head.begin(), head.end(), kParsingSectionPrefix)) {
        if (!ReadHead(lineBegin, end, head)) return failed_ = true, false;
        const std::wstring text = DecodeLine(head, whole, codePage_).text;
        openings_[std::hash<std::wstring>()(text.substr(std::min(prefix, text.size())))] = line;
      }
    }
    const std::uint64_t from =
        std::max<std::uint64_t>(lineBegin, end - std::min<std::uint64_t>(end, kKeptLineBytes));
    std::size_t start = std::string::npos;
    if (InWindow(from, end)) {  // searched where it is: most lines are
      const std::size_t base = static_cast<std::size_t>(from - windowBase_);
      start = FindStartLine(window_, base, base + static_cast<std::size_t>(end - from), !whole);
      if (start != std::string::npos) start -= base;
    } else {
      std::string tail;
      if (!Read(from, end, tail)) return failed_ = true, false;
      start = FindStartLine(tail, 0, tail.size(), !whole);
    }
    if (start == std::string::npos) return true;
    Candidate candidate{from + start, line, 0, Kind::kStart};
    if (whole) {
      if (!ReadHead(lineBegin, end, head)) return failed_ = true, false;
      const std::wstring text = DecodeLine(head, whole, codePage_).text;
      if (StartsWithNamePrefix(text)) {
        candidate.kind = Kind::kDoubtful;
      } else {
        candidate.kind = Kind::kPending;
        candidate.text = std::hash<std::wstring>()(text);
        pending_.push_back(frontSeq_ + candidates_.size());
      }
    }
    candidates_.push_back(candidate);
    return true;
  }

  // The run starts in [from, limit_) as a forward pass finds them, from the
  // start line at `from` (0: the file's beginning); the last ones still
  // wanted are kept.
  void Split(std::uint64_t from) {
    const std::size_t keep = want_ - std::min(want_, handed_);
    RunSplitter splitter(
        codePage_, 1, limit_ == size_,
        [&](Block&& block) {
          found_.push_back(block.offset);
          if (found_.size() > keep) found_.pop_front();
          return true;
        },
        [](const std::string&, std::size_t) {});
    ForEachLine(file_, from, limit_, [&](const std::string& line, bool whole, std::uint64_t end) {
      return splitter.Take(line, whole, end);
    });
    splitter.Finish();
    doubtful_ = false;
    limit_ = from;
  }

  // The line's first kKeptLineBytes and the byte after them, its CR there.
  bool ReadHead(std::uint64_t begin, std::uint64_t end, std::string& bytes) const {
    return Read(begin, std::min<std::uint64_t>(end, begin + kKeptLineBytes + 1), bytes);
  }

  bool InWindow(std::uint64_t from, std::uint64_t to) const {
    return from >= windowBase_ && to <= windowBase_ + window_.size();
  }

  bool Read(std::uint64_t from, std::uint64_t to, std::string& bytes) const {
    if (InWindow(from, to)) {
      bytes.assign(window_, static_cast<std::size_t>(from - windowBase_),
                   static_cast<std::size_t>(to - from));
      return true;
    }
    bytes.assign(static_cast<std::size_t>(to - from), '\0');
    return bytes.empty() || file_.ReadAt(from, &bytes[0], bytes.size()) == bytes.size();
  }

  // The first byte of the line that ends at `lineEnd_`: after the LF before
  // it, or the file's first byte.
  bool FindLineBegin(std::uint64_t& begin) {
    for (;;) {
      while (!lineEnds_.empty() && windowBase_ + lineEnds_.back() >= lineEnd_) lineEnds_.pop_back();
      if (!lineEnds_.empty()) {
        begin = windowBase_ + lineEnds_.back() + 1;
        return true;
      }
      if (windowBase_ == 0) {
        begin = 0;
        return true;
      }
      const std::size_t chunk =
          static_cast<std::size_t>(std::min<std::uint64_t>(kWindow, windowBase_));
      window_.resize(chunk);
      if (file_.ReadAt(windowBase_ - chunk, &window_[0], chunk) != chunk) return false;
      windowBase_ -= chunk;
      for (const char *at = window_.data(), *end = at + chunk;
           (at = static_cast<const char*>(std::memchr(at, '\n', end - at))) != nullptr; ++at) {
        lineEnds_.push_back(static_cast<std::uint32_t>(at - window_.data()));
      }
    }
  }

  static constexpr std::size_t kWindow = 1 << 16;
  const SharedReadFile& file_;
  const std::uint64_t size_;
  const unsigned codePage_;
  const std::size_t want_;
  std::uint64_t lineEnd_;  // the end of the next line to examine, before its LF
  std::uint64_t windowBase_;
  std::string window_;                   // the bytes from `windowBase_` on
  std::vector<std::uint32_t> lineEnds_;  // the LFs in it not yet passed, by offset
  bool done_ = false, failed_ = false;
  std::size_t walked_ = 0;
  std::deque<Candidate> candidates_;  // found, not yet handed out; the last found at the back
  std::size_t frontSeq_ = 0;          // the number of the front one, counted as found
  std::deque<std::size_t> pending_;   // the numbers of those not yet decided
  // For each name a section opened while some start line was pending: the
  // last line walked that opened it.
  std::unordered_map<std::size_t, std::size_t> openings_;
  std::deque<std::uint64_t> found_;  // by the last forward pass, not yet handed out
  std::uint64_t limit_;              // the last start handed out
  bool doubtful_ = false;            // start lines before `limit_` are left for a forward pass
  std::size_t handed_ = 0;
};

bool FromEnd(const SharedReadFile& file, std::size_t fromEnd, unsigned codePage, RunStatus& run) {
  const std::uint64_t size = file.Size();
  StartsFromEnd starts(file, size, codePage, fromEnd + (fromEnd < static_cast<std::size_t>(-1)));
  std::uint64_t offset = 0, blockEnd = size, afterEnd = size;
  for (std::size_t seen = 0; seen < fromEnd; ++seen) {
    if (seen > 0) afterEnd = blockEnd, blockEnd = offset;
    if (!starts.Next(offset)) return false;
  }
  // Its neighbours are read only where two runs may have written at once.
  Block block = ReadBlock(file, offset, blockEnd, 1, codePage);
  std::uint64_t origin = offset;
  Block before, after;
  bool hasBefore = false, hasAfter = false;
  if (block.hasUnrecognised && starts.Next(origin)) {
    before = ReadBlock(file, origin, offset, 1, codePage);
    hasBefore = true;
    block.firstLine += before.lineEnds;
    NumberLines(block.alone, block.firstLine);
  }
  if (blockEnd < size && block.brokenOff) {
    after = ReadBlock(file, blockEnd, afterEnd, block.firstLine + block.lineEnds, codePage);
    hasAfter = true;
  }
  run = MergeRunWithNeighbours(hasBefore ? &before : nullptr, block, hasAfter ? &after : nullptr);
  if (NeedsLineNumbers(run)) {
    NumberLines(run, run.firstLine + LineAt(file, origin) - 1);
  } else if (offset > 0) {
    run.firstLine = 0;  // not counted: nothing is told by its number
  }
  return true;
}

void Scan(const SharedReadFile& file, unsigned codePage,
          const std::function<bool(RunStatus&&)>& visit, LogScan& scan) {
  // A run is told once the block after it is known: the two may overlap.
  std::unique_ptr<Block> previous, current;
  auto add = [&](Block&& next) -> bool {
    ++scan.runs;
    if (current && !visit(MergeRunWithNeighbours(previous.get(), *current, &next))) return false;
    previous = std::move(current);
    current.reset(new Block(std::move(next)));
    return true;
  };
  // Lines before the first run belong to none: nothing there is understood,
  // blank lines aside.
  auto before = [&](const std::string& text, std::size_t line) {
    std::wstring decoded;
    const bool cr = !text.empty() && text.back() == '\r';
    DecodeCodePage(text.substr(0, text.size() - (cr ? 1 : 0)), codePage, decoded);
    if (decoded.empty()) return;
    if (scan.before.size() < kMaxKeptLines) scan.before.push_back({line, decoded});
    ++scan.beforeCount;
  };
  RunSplitter splitter(codePage, 1, true, add, before);
  const bool read = ForEachLine(file, 0, file.Size(),
                                [&](const std::string& line, bool whole, std::uint64_t end) {
                                  return splitter.Take(line, whole, end);
                                });
  if (!read || !splitter.Finish()) return;
  if (current) visit(MergeRunWithNeighbours(previous.get(), *current, nullptr));
}

}  // namespace

bool ReadRunFromEnd(const SharedReadFile& file, std::size_t fromEnd, unsigned codePage,
                    RunStatus& run, bool* noMemory) {
  try {
    return FromEnd(file, fromEnd, codePage, run);
  } catch (const std::bad_alloc&) {
    if (noMemory != nullptr) *noMemory = true;
    return false;
  }
}

LogScan ScanRuns(const SharedReadFile& file, unsigned codePage,
                 const std::function<bool(RunStatus&&)>& visit) {
  LogScan scan;
  try {
    Scan(file, codePage, visit, scan);
  } catch (const std::bad_alloc&) {
    scan.noMemory = true;
  }
  return scan;
}

}  // namespace nubora
